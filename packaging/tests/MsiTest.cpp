// The MSI installed and removed with msiexec, as a user or an IT department
// would, and where everything lands. Written for Windows; under Wine
// packaging/tests/run-msi-tests.sh runs it in a Wine prefix of its own, so
// nothing of an installation can reach the other tests.
//
// Environment:
//   WENDLOCK_MSI           the package
//   WENDLOCK_MSI_NEXT      the same files packaged as the next version
//   WENDLOCK_RELEASE_DIR   the files of the release zip, to compare the installed files with
#include "tests/win/TestSupport.h"

#include "core/win32.h"

#include <knownfolders.h>
#include <msi.h>
#include <msiquery.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <vector>

namespace {

using namespace std::chrono_literals;

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring Environment(const wchar_t* name)
{
    wchar_t value[MAX_PATH * 2] = {};
    DWORD n = ::GetEnvironmentVariableW(name, value, static_cast<DWORD>(std::size(value)));
    return n && n < std::size(value) ? value : L"";
}

std::wstring KnownFolder(REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    std::wstring result;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &path))) result = std::wstring(path) + L"\\";
    ::CoTaskMemFree(path);
    return result;
}

std::string Bytes(const std::wstring& path)
{
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Narrow(const std::wstring& text) { return wl::ToUtf8(text); }

// msiexec's exit code; the tail of its log when it failed.
struct MsiexecResult {
    DWORD code;
    std::string log;
};

MsiexecResult Msiexec(const std::wstring& arguments)
{
    static int runs = 0;
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring log = std::wstring(temp) + L"wendlock-msiexec-" + std::to_wstring(++runs) + L".log";
    std::wstring commandLine = L"msiexec.exe " + arguments + L" /qn /l*v \"" + log + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return {::GetLastError(), "msiexec did not start"};
    wl::UniqueHandle process(info.hProcess);
    ::CloseHandle(info.hThread);
    if (::WaitForSingleObject(process.get(), 180'000) != WAIT_OBJECT_0) return {WAIT_TIMEOUT, "msiexec hangs"};
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    std::string text;
    if (code != ERROR_SUCCESS) {
        // The log is UTF-16 on Windows and UTF-8 under Wine: keep the readable bytes.
        for (char c : Bytes(log))
            if (c == '\n' || (c >= ' ' && c < 127)) text.push_back(c);
        text = text.substr(text.size() > 3000 ? text.size() - 3000 : 0);
    }
    return {code, text};
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// A property of the package itself.
std::wstring PackageProperty(const std::wstring& msi, const std::wstring& name)
{
    MSIHANDLE database = 0;
    if (::MsiOpenDatabaseW(msi.c_str(), MSIDBOPEN_READONLY, &database) != ERROR_SUCCESS) return L"";
    std::wstring query = L"SELECT `Value` FROM `Property` WHERE `Property` = '" + name + L"'";
    MSIHANDLE view = 0, record = 0;
    std::wstring value;
    if (::MsiDatabaseOpenViewW(database, query.c_str(), &view) == ERROR_SUCCESS &&
        ::MsiViewExecute(view, 0) == ERROR_SUCCESS && ::MsiViewFetch(view, &record) == ERROR_SUCCESS) {
        wchar_t text[256] = {};
        DWORD size = 256;
        if (::MsiRecordGetStringW(record, 1, text, &size) == ERROR_SUCCESS) value = text;
    }
    if (record) ::MsiCloseHandle(record);
    if (view) ::MsiCloseHandle(view);
    ::MsiCloseHandle(database);
    return value;
}

// The installed products of the package's upgrade code.
std::vector<std::wstring> InstalledProducts(const std::wstring& upgradeCode)
{
    std::vector<std::wstring> products;
    wchar_t code[39] = {};
    for (DWORD i = 0; ::MsiEnumRelatedProductsW(upgradeCode.c_str(), 0, i, code) == ERROR_SUCCESS; ++i)
        products.emplace_back(code);
    return products;
}

std::wstring ProductInfo(const std::wstring& product, MSIINSTALLCONTEXT context, const wchar_t* property)
{
    wchar_t value[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (::MsiGetProductInfoExW(product.c_str(), nullptr, context, property, value, &size) != ERROR_SUCCESS) return L"";
    return value;
}

std::optional<std::wstring> RunValue(HKEY root)
{
    wchar_t data[MAX_PATH * 2] = {};
    DWORD size = sizeof data;
    if (::RegGetValueW(root, kRunKey, L"Wendlock", RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(data);
}

void SetRunValue(HKEY root, const std::wstring& data)
{
    ::RegSetKeyValueW(root, kRunKey, L"Wendlock", REG_SZ, data.c_str(),
                      static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

void DeleteRunValue(HKEY root)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, kRunKey, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return;
    (void)::RegDeleteValueW(key, L"Wendlock");
    ::RegCloseKey(key);
}

std::wstring ShortcutTarget(const std::wstring& lnk)
{
    wl::ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid())))
        return L"";
    auto file = link.As<IPersistFile>();
    if (!file || FAILED(file->Load(lnk.c_str(), STGM_READ))) return L"";
    wchar_t target[MAX_PATH] = {};
    if (FAILED(link->GetPath(target, MAX_PATH, nullptr, 0))) return L"";
    return target;
}

// The process id of a running copy of the program started from this exe, or 0.
DWORD RunningCopyOf(const std::wstring& exe)
{
    struct Search {
        std::wstring exe;
        DWORD pid = 0;
    } search{exe};
    ::EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD pid = 0;
            ::GetWindowThreadProcessId(hwnd, &pid);
            wl::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
            wchar_t image[MAX_PATH] = {};
            DWORD size = MAX_PATH;
            if (!process || !::QueryFullProcessImageNameW(process.get(), 0, image, &size)) return TRUE;
            if (::CompareStringOrdinal(image, -1, s->exe.c_str(), -1, TRUE) != CSTR_EQUAL) return TRUE;
            s->pid = pid;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.pid;
}

// Opens the shortcut as the user does, waits for the tray icon of the copy it
// starts, then ends it as a logoff does (which also saves its settings).
// Returns whether the icon showed.
bool StartFromShortcutAndLogOff(const std::wstring& lnk, const std::wstring& exe)
{
    SHELLEXECUTEINFOW run{};
    run.cbSize = sizeof run;
    run.lpFile = lnk.c_str();
    run.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExW(&run)) return false;

    DWORD pid = 0;
    HWND main = nullptr;
    bool icon = test::PumpUntil(
        [&] {
            pid = pid ? pid : RunningCopyOf(exe);
            main = pid ? test::FindMainWindow(pid) : nullptr;
            return main && test::FindMainTrayIcon(pid).owner;
        },
        30s);
    if (!pid) return false;
    wl::UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    if (main) {
        DWORD_PTR result = 0;
        ::SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &result);
        ::SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &result);
    }
    if (::WaitForSingleObject(process.get(), 15'000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the program did not end at logoff";
        wl::UniqueHandle kill(::OpenProcess(PROCESS_TERMINATE, FALSE, pid));
        ::TerminateProcess(kill.get(), 1);
    }
    return icon;
}

// The names in a folder (not "." and ".."), sorted.
std::vector<std::wstring> FolderContents(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

// The files of the release zip but SHA256SUMS and the policy templates'
// folder, which the package does not install.
std::vector<std::wstring> ReleaseFiles()
{
    auto files = FolderContents(Environment(L"WENDLOCK_RELEASE_DIR"));
    std::erase(files, L"SHA256SUMS");
    std::erase(files, L"policies");
    return files;
}

bool KeyExists(HKEY root, const wchar_t* path)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, path, 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

class Msi : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(m_msi.empty() || m_next.empty() || m_upgradeCode.empty() || m_version.empty())
            << "WENDLOCK_MSI and WENDLOCK_MSI_NEXT name readable packages";
        ASSERT_GE(m_release.size(), 8u) << "WENDLOCK_RELEASE_DIR holds the release files";
        ASSERT_TRUE(InstalledProducts(m_upgradeCode).empty()) << "a Wendlock is installed already";
    }

    void TearDown() override
    {
        for (const std::wstring& product : InstalledProducts(m_upgradeCode)) {
            (void)Msiexec(L"/x " + product);
            (void)Msiexec(L"/x " + product + L" ALLUSERS=1");
        }
        DeleteRunValue(HKEY_CURRENT_USER);
        DeleteRunValue(HKEY_LOCAL_MACHINE);
    }

    // Installed as the release zip has them, byte for byte.
    void ExpectReleaseFilesIn(const std::wstring& folder)
    {
        std::wstring release = Environment(L"WENDLOCK_RELEASE_DIR");
        for (const std::wstring& file : m_release) {
            ASSERT_TRUE(test::FileExists(folder + file)) << Narrow(folder + file);
            EXPECT_TRUE(Bytes(folder + file) == Bytes(release + file)) << Narrow(file) << " differs from the zip's";
        }
    }

    void ExpectNoReleaseFileIn(const std::wstring& folder)
    {
        for (const std::wstring& file : m_release) EXPECT_FALSE(test::FileExists(folder + file)) << Narrow(file);
    }

    // The one installed product of the package family, in the context given.
    void ExpectInstalled(MSIINSTALLCONTEXT context, const std::wstring& version, const std::wstring& folder)
    {
        auto products = InstalledProducts(m_upgradeCode);
        ASSERT_EQ(products.size(), 1u);
        EXPECT_EQ(ProductInfo(products[0], context, INSTALLPROPERTY_VERSIONSTRING), version);
        // What Apps & features shows besides the name and version.
        EXPECT_EQ(ProductInfo(products[0], context, INSTALLPROPERTY_PUBLISHER), L"The Wendlock developers");
        std::wstring icon = ProductInfo(products[0], context, INSTALLPROPERTY_PRODUCTICON);
        EXPECT_TRUE(!icon.empty() && test::FileExists(icon)) << "product icon: " << Narrow(icon);
        EXPECT_EQ(ProductInfo(products[0], context, INSTALLPROPERTY_INSTALLLOCATION), folder);
    }

    // Where the program writes its settings and the user's links file: beside
    // itself when it may, else in %APPDATA%\Wendlock.
    std::wstring UsersFile(const std::wstring& folder, const std::wstring& name)
    {
        for (const std::wstring& file : {folder + name, KnownFolder(FOLDERID_RoamingAppData) + L"Wendlock\\" + name})
            if (test::FileExists(file)) return file;
        return L"";
    }

    std::wstring m_msi = Environment(L"WENDLOCK_MSI");
    std::wstring m_next = Environment(L"WENDLOCK_MSI_NEXT");
    std::wstring m_upgradeCode = PackageProperty(m_msi, L"UpgradeCode");
    std::wstring m_version = PackageProperty(m_msi, L"ProductVersion");
    std::wstring m_nextVersion = PackageProperty(m_next, L"ProductVersion");
    std::vector<std::wstring> m_release = ReleaseFiles();
    // Where Windows puts per-user programs (FOLDERID_UserProgramFiles).
    std::wstring m_userFolder = KnownFolder(FOLDERID_LocalAppData) + L"Programs\\Wendlock\\";
    std::wstring m_machineFolder = KnownFolder(FOLDERID_ProgramFiles) + L"Wendlock\\";
    std::wstring m_userShortcut = KnownFolder(FOLDERID_Programs) + L"Wendlock.lnk";
};

}  // namespace

// Per user is the default, and Windows then asks for no administrator: the
// package says it needs no elevated rights and does not ask for ALLUSERS.
// (Wine runs everything as an administrator, so only the package can show it.)
TEST_F(Msi, IsPerUserByDefaultAndAsksForNoElevation)
{
    MSIHANDLE summary = 0;
    ASSERT_EQ(::MsiGetSummaryInformationW(0, m_msi.c_str(), 0, &summary), static_cast<UINT>(ERROR_SUCCESS));
    UINT type = 0;
    INT wordCount = 0;
    FILETIME time{};
    DWORD size = 0;
    EXPECT_EQ(::MsiSummaryInfoGetPropertyW(summary, PIDSI_WORDCOUNT, &type, &wordCount, &time, nullptr, &size),
              static_cast<UINT>(ERROR_SUCCESS));
    ::MsiCloseHandle(summary);
    EXPECT_NE(wordCount & 8, 0) << "word count " << wordCount << ": elevated privileges required";
    EXPECT_EQ(PackageProperty(m_msi, L"ALLUSERS"), L"");
}

TEST_F(Msi, PerUserInstallWithStartAtLogonRunsAndUninstallsKeepingTheSettings)
{
    auto install = Msiexec(L"/i " + Quoted(m_msi) + L" STARTATLOGON=1");
    ASSERT_EQ(install.code, 0u) << install.log;

    ExpectInstalled(MSIINSTALLCONTEXT_USERUNMANAGED, m_version, m_userFolder);
    ExpectReleaseFilesIn(m_userFolder);
    const std::wstring exe = m_userFolder + L"wendlock.exe";
    EXPECT_EQ(ShortcutTarget(m_userShortcut), exe);
    EXPECT_EQ(RunValue(HKEY_CURRENT_USER), Quoted(exe));
    EXPECT_EQ(RunValue(HKEY_LOCAL_MACHINE), std::nullopt);

    EXPECT_TRUE(StartFromShortcutAndLogOff(m_userShortcut, exe)) << "no tray icon";
    std::wstring settings = UsersFile(m_userFolder, L"wendlock.ini");
    ASSERT_FALSE(settings.empty()) << "the program wrote no settings";
    // The first start gave the user a links file of their own, made from the example.
    std::wstring links = UsersFile(m_userFolder, L"newlnks.ini");
    ASSERT_FALSE(links.empty()) << "no links file for the user";
    EXPECT_TRUE(Bytes(links) == Bytes(m_userFolder + L"newlnks.example.ini"));

    auto uninstall = Msiexec(L"/x " + Quoted(m_msi));
    ASSERT_EQ(uninstall.code, 0u) << uninstall.log;
    EXPECT_TRUE(InstalledProducts(m_upgradeCode).empty());
    ExpectNoReleaseFileIn(m_userFolder);
    EXPECT_FALSE(test::FileExists(m_userShortcut));
    EXPECT_EQ(RunValue(HKEY_CURRENT_USER), std::nullopt);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Wendlock"));
    EXPECT_TRUE(test::FileExists(settings)) << "the settings went with the program";
    EXPECT_TRUE(test::FileExists(links)) << "the links went with the program";
    // Nothing else is left of the installation.
    std::vector<std::wstring> left;
    if (links.starts_with(m_userFolder)) left.push_back(L"newlnks.ini");
    if (settings.starts_with(m_userFolder)) left.push_back(L"wendlock.ini");
    EXPECT_EQ(FolderContents(m_userFolder), left);

    ::DeleteFileW(settings.c_str());
    ::DeleteFileW(links.c_str());
    ::RemoveDirectoryW(m_userFolder.c_str());
}

// The user ticked "Start Wendlock when I log on" in an installed copy (the
// check box writes the Run value itself) and added a link to the links file
// beside the program; the next version and a repair keep both, and the
// uninstall removes the logon entry and leaves the user's files.
TEST_F(Msi, UpgradeAndRepairKeepTheLogonEntryAndTheUsersLinks)
{
    auto install = Msiexec(L"/i " + Quoted(m_msi));
    ASSERT_EQ(install.code, 0u) << install.log;
    const std::wstring exe = m_userFolder + L"wendlock.exe";
    EXPECT_EQ(RunValue(HKEY_CURRENT_USER), std::nullopt) << "start at logon without STARTATLOGON=1";
    SetRunValue(HKEY_CURRENT_USER, Quoted(exe));

    EXPECT_TRUE(StartFromShortcutAndLogOff(m_userShortcut, exe)) << "no tray icon";
    const std::wstring links = m_userFolder + L"newlnks.ini";
    ASSERT_TRUE(test::FileExists(links)) << "no links file for the user";
    // As Notepad saves it: the example's encoding kept.
    ASSERT_TRUE(::WritePrivateProfileStringW(L"settings", L"count", L"6", links.c_str()));
    ASSERT_TRUE(::WritePrivateProfileStringW(L"settings", L"new6", L"Note&pad", links.c_str()));
    ASSERT_TRUE(::WritePrivateProfileStringW(L"settings", L"newcmd6", L"notepad.exe", links.c_str()));
    const std::string edited = Bytes(links);

    auto upgrade = Msiexec(L"/i " + Quoted(m_next));
    ASSERT_EQ(upgrade.code, 0u) << upgrade.log;
    ExpectInstalled(MSIINSTALLCONTEXT_USERUNMANAGED, m_nextVersion, m_userFolder);
    ExpectReleaseFilesIn(m_userFolder);
    EXPECT_EQ(RunValue(HKEY_CURRENT_USER), Quoted(exe));
    EXPECT_TRUE(Bytes(links) == edited) << "the upgrade changed the user's links";

    // A repair that puts every file of the package back, whatever its state
    // (msiexec /fa; Wine's msiexec knows only this form of it).
    test::WriteTextFile(m_userFolder + L"olico.ico", "damaged");
    auto repair = Msiexec(L"/i " + Quoted(m_next) + L" REINSTALL=ALL REINSTALLMODE=amus");
    ASSERT_EQ(repair.code, 0u) << repair.log;
    ExpectReleaseFilesIn(m_userFolder);
    EXPECT_TRUE(Bytes(links) == edited) << "the repair changed the user's links";

    auto older = Msiexec(L"/i " + Quoted(m_msi));
    EXPECT_NE(older.code, 0u) << "an older version installed over a newer one";

    auto uninstall = Msiexec(L"/x " + Quoted(m_next));
    ASSERT_EQ(uninstall.code, 0u) << uninstall.log;
    EXPECT_TRUE(InstalledProducts(m_upgradeCode).empty());
    ExpectNoReleaseFileIn(m_userFolder);
    EXPECT_EQ(RunValue(HKEY_CURRENT_USER), std::nullopt);
    // What the user made stays, and nothing else.
    EXPECT_EQ(FolderContents(m_userFolder), (std::vector<std::wstring>{L"newlnks.ini", L"wendlock.ini"}));
    EXPECT_TRUE(Bytes(links) == edited);

    ::DeleteFileW(links.c_str());
    ::DeleteFileW((m_userFolder + L"wendlock.ini").c_str());
    ::RemoveDirectoryW(m_userFolder.c_str());
}

// The user ticked "Start Wendlock when I log on" in a copy installed without
// STARTATLOGON=1, so no part of the package wrote the entry: the uninstall
// still removes it, and leaves one naming another copy of the program.
TEST_F(Msi, UninstallRemovesTheUsersLogonEntryOfThisInstallationOnly)
{
    const std::wstring mine = Quoted(m_userFolder + L"wendlock.exe"), other = L"\"C:\\Tools\\Wendlock\\wendlock.exe\"";
    for (const std::wstring& entry : {mine, other}) {
        auto install = Msiexec(L"/i " + Quoted(m_msi));
        ASSERT_EQ(install.code, 0u) << install.log;
        SetRunValue(HKEY_CURRENT_USER, entry);
        auto uninstall = Msiexec(L"/x " + Quoted(m_msi));
        ASSERT_EQ(uninstall.code, 0u) << uninstall.log;
        EXPECT_EQ(RunValue(HKEY_CURRENT_USER), entry == other ? std::optional(other) : std::nullopt);
    }
}

// IT deploys for every user: Program Files, the logon entry under HKLM (each
// user's Wendlock starts at logon), kept by the next version pushed without
// STARTATLOGON.
TEST_F(Msi, PerMachineInstallForEveryUser)
{
    auto install = Msiexec(L"/i " + Quoted(m_msi) + L" ALLUSERS=1 STARTATLOGON=1");
    ASSERT_EQ(install.code, 0u) << install.log;
    ExpectInstalled(MSIINSTALLCONTEXT_MACHINE, m_version, m_machineFolder);
    ExpectReleaseFilesIn(m_machineFolder);
    const std::wstring exe = m_machineFolder + L"wendlock.exe";
    EXPECT_EQ(RunValue(HKEY_LOCAL_MACHINE), Quoted(exe));
    EXPECT_EQ(RunValue(HKEY_CURRENT_USER), std::nullopt);
    // Windows puts it in the Start menu of all users; Wine 8's msiexec in the installing user's.
    std::wstring shortcut = KnownFolder(FOLDERID_CommonPrograms) + L"Wendlock.lnk";
    if (!test::FileExists(shortcut)) shortcut = m_userShortcut;
    EXPECT_EQ(ShortcutTarget(shortcut), exe);

    auto upgrade = Msiexec(L"/i " + Quoted(m_next) + L" ALLUSERS=1");
    ASSERT_EQ(upgrade.code, 0u) << upgrade.log;
    ExpectInstalled(MSIINSTALLCONTEXT_MACHINE, m_nextVersion, m_machineFolder);
    EXPECT_EQ(RunValue(HKEY_LOCAL_MACHINE), Quoted(exe));

    // Windows removes a product in the context it was installed in; Wine 8
    // runs the removal per user unless told (and then looks for the files in
    // the per-user folder and leaves HKLM alone).
    auto uninstall = Msiexec(L"/x " + Quoted(m_next) + L" ALLUSERS=1");
    ASSERT_EQ(uninstall.code, 0u) << uninstall.log;
    EXPECT_TRUE(InstalledProducts(m_upgradeCode).empty());
    ExpectNoReleaseFileIn(m_machineFolder);
    EXPECT_FALSE(test::FileExists(shortcut));
    EXPECT_EQ(RunValue(HKEY_LOCAL_MACHINE), std::nullopt);
}

int wmain(int argc, wchar_t** argv)
{
    wl::ComApartment com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
