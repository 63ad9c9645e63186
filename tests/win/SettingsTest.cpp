// The settings file, the start-up settings and the registry, against the
// system's own profile and registry functions.
#include "TestSupport.h"

#include "core/IniText.h"
#include "core/Registry.h"
#include "outlook/OutlookPath.h"
#include "core/Settings.h"
#include "core/basINI.h"

#include <gtest/gtest.h>

using test::ProgramFolder;

namespace {

struct Settings : testing::Test {
    ProgramFolder folder;
    void Write(const std::string& content) { test::WriteTextFile(folder.SettingsFile(), content); }
    std::string FileContent() const { return test::ReadTextFile(folder.SettingsFile()); }
};

}  // namespace

TEST_F(Settings, NoFileGivesTheDefaults)
{
    g_blnKeepOutlookLoaded = g_blnTrackReminders = g_blnTrackOverdueTasks = false;
    g_blnKeepWordLoaded = true;
    g_intStartOutlookIn = 9;
    ReadStartupSettings();
    EXPECT_TRUE(g_blnKeepOutlookLoaded);
    EXPECT_FALSE(g_blnKeepWordLoaded);
    EXPECT_EQ(g_intStartOutlookIn, 0);
    EXPECT_TRUE(g_blnTrackReminders);
    EXPECT_TRUE(g_blnTrackOverdueTasks);
    EXPECT_EQ(ReadIniSetting(L"LoadDelay"), L"");
    EXPECT_FALSE(test::FileExists(folder.SettingsFile()));  // reading creates nothing
}

TEST_F(Settings, ReadsEachKeyByItsRule)
{
    Write("[settings]\r\nDontKeepOlLoaded=-1\r\nKeepWordLoaded=0.3\r\nStartOutlookIn=  13  \r\n"
          "DontTrackReminders=1\r\nDontTrackOverdueTasks=-1.4\r\n");
    ReadStartupSettings();
    EXPECT_FALSE(g_blnKeepOutlookLoaded);
    EXPECT_TRUE(g_blnKeepWordLoaded);
    EXPECT_EQ(g_intStartOutlookIn, 13);            // the blanks are the system's to strip
    EXPECT_TRUE(g_blnTrackReminders);       // the complement of 1 is not 0
    EXPECT_FALSE(g_blnTrackOverdueTasks);   // -1.4 rounds to -1
}

TEST_F(Settings, FlagTextsAndNumbersAsWritten)
{
    struct Case {
        const char* stored;
        bool keepLoaded;
        std::int16_t startIn;
    };
    for (const Case& c : {Case{"-1", false, -1}, Case{"0", true, 0}, Case{"1", true, 1},
                          Case{"True", true, 0}, Case{"-0.5", true, 0}, Case{"-1.5", true, -2},
                          Case{"2.5", true, 2}, Case{"3.5", true, 4}, Case{"&H10", true, 16},
                          Case{"1e3", true, 1000}, Case{"1e300", true, 0}, Case{"&HFFFFFFFFFF", true, 0},
                          Case{"40000", true, 0}}) {
        Write(std::string("[settings]\r\nDontKeepOlLoaded=") + c.stored + "\r\nStartOutlookIn=" + c.stored + "\r\n");
        ReadStartupSettings();
        EXPECT_EQ(g_blnKeepOutlookLoaded, c.keepLoaded) << c.stored;
        EXPECT_EQ(g_intStartOutlookIn, c.startIn) << c.stored;
    }
}

TEST_F(Settings, LongValuesAreCutTo511Characters)
{
    Write("[settings]\r\nStartOutlookIn=" + std::string(600, '7') + "\r\n");
    std::wstring value = ReadIniSetting(L"StartOutlookIn");
    EXPECT_EQ(value, std::wstring(511, L'7'));
    ReadStartupSettings();
    EXPECT_EQ(g_intStartOutlookIn, 0);  // far beyond 16 bits: absent
}

TEST_F(Settings, DoublesAreWrittenWithAFullStopWhateverTheLocale)
{
    LCID previous = ::GetThreadLocale();
    ::SetThreadLocale(MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT));
    WriteIniSetting(L"LoadDelay", 500.0);
    WriteIniSetting(L"Other", 5000.0);
    WriteIniSetting(L"Third", 1234.5);
    ::SetThreadLocale(previous);
    EXPECT_EQ(ReadIniSetting(L"LoadDelay"), L"500");
    EXPECT_EQ(ReadIniSetting(L"Other"), L"5000");
    EXPECT_EQ(ReadIniSetting(L"Third"), L"1234.5");
}

TEST_F(Settings, ExplicitSectionFolderAndFile)
{
    test::TempFolder other;
    WriteIniSetting(L"count", L"2", IniPlace{L"settings", other.Path(), L"newlnks.ini"});
    IniPlace otherSection = SettingsPlace();
    otherSection.Section = L"other";
    WriteIniSetting(L"key", L"value", otherSection);
    EXPECT_EQ(test::ReadTextFile(other.Path() + L"newlnks.ini"), "[settings]\r\ncount=2\r\n");
    EXPECT_EQ(ReadIniSetting(L"key", otherSection), L"value");
    EXPECT_EQ(ReadIniSetting(L"key"), L"");  // another section
}

// The reader of UTF-8 files against the system's own, on the same lines
// saved as UTF-16 (which the system reads as Unicode).
TEST_F(Settings, TheUtf8ReaderGivesWhatTheProfileFunctionsGive)
{
    const std::wstring polish = L"Za\x17C\xF3\x142\x107 \x107ma";  // "Zażółć ćma"
    const std::wstring japanese = L"\x65B0\x3057\x3044";
    const std::wstring files[] = {
        L"[settings]\r\ncount=2\r\nnew1=" + polish + L"\r\nnewcmd1=\"C:\\" + japanese + L"\\a.exe\" /c\r\n",
        L"; " + polish + L"\r\n[Settings]\nCOUNT = 3 \nNew1 =  \"" + polish + L"\"  \nnewcmd1='" + japanese + L"'\n",
        L"  [settings]  \r\n\t count \t=\t 4 \t\x1A\r\nnew1=\"" + polish + L"\r\nnewcmd1=\"a\" \"" + japanese + L"\"\r\n",
        L"[settings] x\r\nnew1=" + polish + L"\r\nnew1=" + japanese + L"\r\nnewcmd1\r\nnewcmd1=x\r\n;count=5\r\n",
        L"count=4\r\n[settings\r\nnew1=" + polish + L"\r\n[other]\r\nnewcmd1=" + japanese + L"\r\n",
        L"[settings]\r\nnew1=" + japanese + L"\r\n[other]\r\n[SETTINGS]\r\ncount=9\r\nnew2=" + polish + L"\r\n",
        L"[settings]\r\nnew1=a=" + polish + L"=\r\nnew10=" + japanese + L"\r\ncount=\r\nnewcmd1=\"\r\n",
        L"[ settings ]\r\ncount=1\r\n[settings]\r\ncount=2\r\nnew1=\"" + polish + L"\" \r\n",
        L"[settings]\rcount=3\rnew1=" + polish + L"\r\r\nnewcmd1=" + japanese + L"\n\r",
    };
    const std::wstring unicode = folder.Path() + L"unicode.ini";
    for (const std::wstring& file : files) {
        std::string utf16("\xFF\xFE");
        for (wchar_t c : file) utf16 += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
        test::WriteTextFile(unicode, utf16);
        const std::string utf8 = wl::ToUtf8(file);
        for (const wchar_t* key : {L"count", L"new1", L"newcmd1", L"new2", L"missing"})
            EXPECT_EQ(wl::IniValueFromUtf8(utf8, L"settings", key),
                      ReadIniSetting(key, IniPlace{L"settings", folder.Path(), L"unicode.ini"}))
                << test::Narrow(key) << " in\n" << utf8;
    }

    // Read through ReadIniSetting, a long value is cut as the system cuts it.
    test::WriteTextFile(folder.Path() + L"long.ini", "[settings]\r\nnew1=" + wl::ToUtf8(std::wstring(600, L'\x17C')));
    EXPECT_EQ(ReadIniSetting(L"new1", IniPlace{L"settings", folder.Path(), L"long.ini", true}), std::wstring(511, L'\x17C'));
}

TEST_F(Settings, DefaultsAreTakenAtEachCall)
{
    WriteIniSetting(L"Where", L"first");
    test::TempFolder second;
    SetSettingsFolder(second.Path());
    EXPECT_EQ(ReadIniSetting(L"Where"), L"");
    WriteIniSetting(L"Where", L"second");
    EXPECT_TRUE(test::FileExists(second.Path() + SettingsFileName()));
    SetSettingsFolder(folder.Path());
    EXPECT_EQ(ReadIniSetting(L"Where"), L"first");
}

TEST_F(Settings, AWritableProgramFolderKeepsTheSettings)
{
    EXPECT_EQ(ChooseSettingsFolder(folder.Path()), folder.Path());  // a portable copy, as always
}

// A read-only settings file in a folder the user may write: the settings
// move to the profile, starting from the file's values. (Wine, running as
// root here, writes a read-only file; a file another program holds is
// refused there as on Windows, and is what the program meets instead.)
TEST_F(Settings, ASettingsFileThatCannotBeWrittenMovesTheSettingsToTheProfile)
{
    const std::string content = "[settings]\r\nDontKeepOlLoaded=-1\r\nLoadDelay=5000\r\n";
    const std::wstring file = folder.SettingsFile(), copy = PerUserFolder() + SettingsFileName();
    ::DeleteFileW(copy.c_str());
    Write(content);
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
    {
        wl::UniqueFile lock;
        if (FileIsWritable(file))
            lock = wl::UniqueFile(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
        EXPECT_FALSE(FileIsWritable(file));
        EXPECT_EQ(ChooseSettingsFolder(folder.Path()), PerUserFolder());
        EXPECT_EQ(test::ReadTextFile(copy), content);
        EXPECT_TRUE(FileIsWritable(copy));
        // The next start keeps the copy, which holds what the program saved since.
        test::WriteTextFile(copy, "[settings]\r\nDontKeepOlLoaded=0\r\n");
        EXPECT_EQ(ChooseSettingsFolder(folder.Path()), PerUserFolder());
        EXPECT_EQ(test::ReadTextFile(copy), "[settings]\r\nDontKeepOlLoaded=0\r\n");
    }
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(copy.c_str());
}

// Locked by another program (a sync tool) when the program ends.
TEST_F(Settings, SettingsThatCannotBeWrittenAtExitAreSavedInTheProfile)
{
    const std::wstring file = folder.SettingsFile(), copy = PerUserFolder() + SettingsFileName();
    ::DeleteFileW(copy.c_str());
    Write("[settings]\r\nLoadDelay=5000\r\nStartOutlookIn=9\r\n");
    g_intStartOutlookIn = 13;
    {
        wl::UniqueFile lock(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(lock);
        SaveStartupSettings();
    }
    EXPECT_EQ(SettingsFolder(), PerUserFolder());
    std::string saved = test::ReadTextFile(copy);
    EXPECT_NE(saved.find("StartOutlookIn=13"), std::string::npos) << saved;
    EXPECT_NE(saved.find("LoadDelay=5000"), std::string::npos) << saved;  // what the file held besides
    EXPECT_EQ(test::ReadTextFile(file), "[settings]\r\nLoadDelay=5000\r\nStartOutlookIn=9\r\n");
    ::DeleteFileW(copy.c_str());
}

// The example an update may replace; the user's own file, which it never touches.
TEST_F(Settings, TheUserGetsALinksFileOfTheirOwnMadeFromTheExample)
{
    const std::string example = "[settings]\r\ncount=1\r\nnew1=Example\r\n";
    test::WriteTextFile(folder.Path() + L"newlnks.example.ini", example);
    ::SetFileAttributesW((folder.Path() + L"newlnks.example.ini").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(LinksFile().FileName, L"newlnks.example.ini");  // before the first start

    // Settings beside the program: the copy is made there, once, and is the user's to edit.
    ProvideLinksFile();
    const std::wstring links = folder.Path() + L"newlnks.ini";
    EXPECT_EQ(test::ReadTextFile(links), example);
    EXPECT_FALSE(::GetFileAttributesW(links.c_str()) & FILE_ATTRIBUTE_READONLY);
    test::WriteTextFile(links, "[settings]\r\ncount=1\r\nnew1=Mine\r\n");
    ProvideLinksFile();
    EXPECT_EQ(ReadIniSetting(L"new1", LinksFile()), L"Mine");

    // Settings in the profile: a file beside the program (a copy made before) is still the user's.
    test::TempFolder profile;
    SetSettingsFolder(profile.Path());
    ProvideLinksFile();
    EXPECT_FALSE(test::FileExists(profile.Path() + L"newlnks.ini"));
    EXPECT_EQ(ReadIniSetting(L"new1", LinksFile()), L"Mine");
    // Without one, the copy goes to the profile, and wins from then on.
    ::DeleteFileW(links.c_str());
    ProvideLinksFile();
    EXPECT_EQ(test::ReadTextFile(profile.Path() + L"newlnks.ini"), example);
    EXPECT_EQ(LinksFile().Folder, profile.Path());
    // What the user made of it there is theirs: the next start keeps it.
    test::WriteTextFile(profile.Path() + L"newlnks.ini", "[settings]\r\ncount=1\r\nnew1=Mine again\r\n");
    ProvideLinksFile();
    EXPECT_EQ(ReadIniSetting(L"new1", LinksFile()), L"Mine again");

    // Nowhere to copy to: the example itself is read.
    SetSettingsFolder(profile.Path() + L"missing\\");
    ::DeleteFileW((profile.Path() + L"newlnks.ini").c_str());
    ProvideLinksFile();
    EXPECT_EQ(ReadIniSetting(L"new1", LinksFile()), L"Example");
    ::SetFileAttributesW((folder.Path() + L"newlnks.example.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
    SetSettingsFolder(folder.Path());
}

TEST(SettingsFile, IsNamedAfterTheExecutable)
{
    EXPECT_EQ(SettingsFileName(), L"wendlock_wintests.ini");
}

TEST(AppPath, OneBackslashAfterEveryFolder)
{
    EXPECT_EQ(AppPathOf(L"C:\\wendlock.exe"), L"C:\\");
    EXPECT_EQ(AppPathOf(L"C:\\Tools\\wendlock.exe"), L"C:\\Tools\\");
    EXPECT_EQ(AppPathOf(L"\\\\server\\share\\wendlock.exe"), L"\\\\server\\share\\");
}

TEST(AppPath, DriveRootSettingsLandInTheRoot)
{
    std::wstring previous = SettingsFolder();
    SetSettingsFolder(AppPathOf(L"C:\\wendlock.exe"));
    WriteIniSetting(L"Probe", L"1");
    std::wstring file = L"C:\\" + SettingsFileName();
    EXPECT_TRUE(test::FileExists(file));
    EXPECT_EQ(ReadIniSetting(L"Probe"), L"1");
    ::DeleteFileW(file.c_str());
    SetSettingsFolder(previous);
}

namespace {

// A key of the test's own, in its process's name.
const std::wstring kTestKey = L"Software\\WendlockTests\\" + std::to_wstring(::GetCurrentProcessId());

}  // namespace

TEST(Registry, ReadsADefaultValueExactly)
{
    test::ScopedRegistryValue value(HKEY_CURRENT_USER, kTestKey);
    const std::wstring path = L"C:\\Program Files\\Microsoft Office\\root\\Office16\\OUTLOOK.EXE";
    value.SetText(path);
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kTestKey, L""), path);
}

TEST(Registry, MissingKeyOrValueGivesEmptyText)
{
    test::ScopedRegistryValue named(HKEY_CURRENT_USER, kTestKey, L"Named");
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kTestKey, L""), L"");
    named.SetText(L"x");  // the key exists, without a default value
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kTestKey, L""), L"");
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kTestKey, L"Named"), L"x");
}

TEST(Registry, LeadingBlanksGoTrailingOnesStay)
{
    test::ScopedRegistryValue value(HKEY_CURRENT_USER, kTestKey);
    value.SetText(L"  C:\\Office\\OUTLOOK.EXE  ");
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kTestKey, L""), L"C:\\Office\\OUTLOOK.EXE  ");
    value.SetText(std::wstring(300, L'x'));  // longer than the buffer: not read
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kTestKey, L""), L"");
}

TEST(Registry, OutlooksPathIsAlsoFoundInThe32BitView)
{
    // A 32-bit Office registers OUTLOOK.EXE in the 32-bit view only.
    const wchar_t* kAppPath = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\OUTLOOK.EXE";
    std::wstring registered = ReadRegistryString(HKEY_LOCAL_MACHINE, kAppPath, L"", KEY_WOW64_64KEY);
    ASSERT_FALSE(registered.empty());
    std::wstring found;
    {
        test::ScopedRegistryValue app64(HKEY_LOCAL_MACHINE, kAppPath, {}, KEY_WOW64_64KEY),
            app32(HKEY_LOCAL_MACHINE, kAppPath, {}, KEY_WOW64_32KEY);
        app64.Delete();
        app32.SetText(L"\"C:\\Program Files (x86)\\Microsoft Office\\root\\Office16\\OUTLOOK.EXE\"");
        found = ReadOutlookPath();
    }
    EXPECT_EQ(found, L"C:\\Program Files (x86)\\Microsoft Office\\root\\Office16\\OUTLOOK.EXE");  // without quotes
    EXPECT_EQ(ReadOutlookPath(), registered);
}
