#include "Settings.h"

#include "core/SettingsRules.h"
#include "core/basINI.h"

std::wstring g_strAppPath;
std::wstring g_strOutlookPath;
bool g_blnKeepOutlookLoaded = true;
bool g_blnKeepWordLoaded = false;
std::int16_t g_intStartOutlookIn = 0;
bool g_blnTrackReminders = true;
bool g_blnTrackOverdueTasks = true;

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

void SaveStartupSettings()
{
    WriteIniSetting(L"DontKeepOlLoaded", wl::InverseFlagText(g_blnKeepOutlookLoaded));
    WriteIniSetting(L"KeepWordLoaded", wl::FlagText(g_blnKeepWordLoaded));
    WriteIniSetting(L"StartOutlookIn", g_intStartOutlookIn);
    WriteIniSetting(L"DontTrackReminders", wl::InverseFlagText(g_blnTrackReminders));
    WriteIniSetting(L"DontTrackOverdueTasks", wl::InverseFlagText(g_blnTrackOverdueTasks));
}
