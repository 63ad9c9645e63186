#include "basMain.h"

#include "core/Conversions.h"
#include "core/basINI.h"
#include "mainwindow/frmMain.h"

std::wstring g_strAppPath;
std::wstring g_strOutlookPath;
wl::Flag g_blnKeepOutlookLoaded = wl::kOn;
wl::Flag g_blnKeepWordLoaded = wl::kOff;
std::int16_t g_intStartOutlookIn = 0;
wl::Flag g_blnTrackReminders = wl::kOn;
wl::Flag g_blnTrackOverdueTasks = wl::kOn;

namespace {

// Held for the whole run: its existence tells a second copy to end.
wl::UniqueHandle g_instanceMutex;
constexpr wchar_t kInstanceMutexName[] = L"Local\\Wendlock.SingleInstance.{6B1E0C52-3F7A-4D8E-9C41-2A5D7E90B318}";

bool AnotherInstanceRuns()
{
    g_instanceMutex.reset(::CreateMutexW(nullptr, FALSE, kInstanceMutexName));
    DWORD error = ::GetLastError();
    if (!g_instanceMutex) return error == ERROR_ACCESS_DENIED;  // held by a copy of another integrity level
    if (error == ERROR_ALREADY_EXISTS) {
        g_instanceMutex.reset();
        return true;
    }
    return false;
}

}  // namespace

std::wstring AppPathOf(std::wstring_view exePath)
{
    auto slash = exePath.find_last_of(L'\\');
    std::wstring folder(slash == std::wstring_view::npos ? std::wstring_view() : exePath.substr(0, slash));
    // The system reports a drive root as "C:\", any other folder without a backslash.
    if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
    if (folder.size() > 3) folder += L'\\';
    return folder;
}

void ReadStartupSettings()
{
    g_blnKeepOutlookLoaded = wl::FlagFromInverseKey(ReadIniSetting(L"DontKeepOlLoaded"));
    g_blnKeepWordLoaded = wl::FlagFromKey(ReadIniSetting(L"KeepWordLoaded"));
    g_intStartOutlookIn = wl::StartFolderFromKey(ReadIniSetting(L"StartOutlookIn"));
    g_blnTrackReminders = wl::FlagFromInverseKey(ReadIniSetting(L"DontTrackReminders"));
    g_blnTrackOverdueTasks = wl::FlagFromInverseKey(ReadIniSetting(L"DontTrackOverdueTasks"));
}

bool Main()
{
    // A second copy ends here, before it reads, shows or touches anything.
    if (AnotherInstanceRuns()) return false;

    g_strAppPath = AppPathOf(wl::ExecutablePath());
    g_strOutlookPath = ReadRegistryString(HKEY_LOCAL_MACHINE,
                                          L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\OUTLOOK.EXE", L"");
    ReadStartupSettings();

    frmMain::LoadMainWindow();
    return true;
}

std::wstring ReadRegistryString(HKEY root, std::wstring_view keyPath, std::wstring_view valueName)
{
    wl::UniqueHkey key;
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(root, std::wstring(keyPath).c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return {};
    key.reset(opened);

    // 255 characters of spaces: a value that is not found leaves them all.
    std::wstring buffer(255, L' ');
    DWORD type = REG_SZ;
    DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    (void)::RegQueryValueExW(key.get(), std::wstring(valueName).c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(buffer.data()), &bytes);
    return wl::TrimAtNull(wl::TrimSpaces(buffer));
}

UINT TaskbarCreatedMessage()
{
    static const UINT message = ::RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}
