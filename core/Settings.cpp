#include "Settings.h"

#include "core/SettingsRules.h"
#include "core/basINI.h"
#include "core/win32.h"

#include <shlobj.h>

std::wstring g_strAppPath;
std::wstring g_strOutlookPath;
bool g_blnKeepOutlookLoaded = true;
bool g_blnKeepWordLoaded = false;
std::int16_t g_intStartOutlookIn = 0;
bool g_blnTrackReminders = true;
bool g_blnTrackOverdueTasks = true;
SettingsPolicy g_policy;

std::wstring AppPathOf(std::wstring_view exePath)
{
    auto slash = exePath.find_last_of(L'\\');
    std::wstring folder(slash == std::wstring_view::npos ? std::wstring_view() : exePath.substr(0, slash));
    // The system reports a drive root as "C:\", any other folder without a backslash.
    if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
    if (folder.size() > 3) folder += L'\\';
    return folder;
}

bool FolderIsWritable(const std::wstring& folder)
{
    std::wstring probe = folder + L"wendlock-" + std::to_wstring(::GetCurrentProcessId()) + L".tmp";
    wl::UniqueFile file(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return static_cast<bool>(file);
}

std::wstring PerUserFolder()
{
    PWSTR roaming = nullptr;
    std::wstring folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &roaming)))
        folder = std::wstring(roaming) + L"\\Wendlock\\";
    ::CoTaskMemFree(roaming);
    return folder;
}

std::wstring ChooseSettingsFolder(const std::wstring& programFolder)
{
    if (FolderIsWritable(programFolder)) return programFolder;
    std::wstring perUser = PerUserFolder();
    if (perUser.empty()) return programFolder;  // no profile folder: the program folder is all there is
    (void)::CreateDirectoryW(perUser.c_str(), nullptr);  // exists already, or is made now
    return perUser;
}

std::wstring LinksFolder()
{
    const std::wstring& settings = SettingsFolder();
    if (settings != g_strAppPath && ::GetFileAttributesW((settings + L"newlnks.ini").c_str()) != INVALID_FILE_ATTRIBUTES)
        return settings;
    return g_strAppPath;
}

void ReadStartupSettings()
{
    g_blnKeepOutlookLoaded = wl::FlagFromInverseKey(ReadIniSetting(L"DontKeepOlLoaded"));
    g_blnKeepWordLoaded = wl::FlagFromKey(ReadIniSetting(L"KeepWordLoaded"));
    g_intStartOutlookIn = wl::StartFolderFromKey(ReadIniSetting(L"StartOutlookIn"));
    g_blnTrackReminders = wl::FlagFromInverseKey(ReadIniSetting(L"DontTrackReminders"));
    g_blnTrackOverdueTasks = wl::FlagFromInverseKey(ReadIniSetting(L"DontTrackOverdueTasks"));

    g_policy = ReadSettingsPolicy();
    g_blnKeepOutlookLoaded = g_policy.keepOutlookLoaded.value_or(g_blnKeepOutlookLoaded);
    g_blnKeepWordLoaded = g_policy.keepWordLoaded.value_or(g_blnKeepWordLoaded);
    g_intStartOutlookIn = g_policy.startOutlookIn.value_or(g_intStartOutlookIn);
    g_blnTrackReminders = g_policy.trackReminders.value_or(g_blnTrackReminders);
    g_blnTrackOverdueTasks = g_policy.trackOverdueTasks.value_or(g_blnTrackOverdueTasks);
}

bool DisplayOutlookAtStart()
{
    return g_policy.displayOutlookAtStart.value_or(wl::FlagFromKey(ReadIniSetting(L"DisplayOutlookAtStart")));
}

std::int32_t LoadDelayMs()
{
    if (g_policy.loadDelayMs) return *g_policy.loadDelayMs;
    return wl::LoadDelayFromKey(ReadIniSetting(L"LoadDelay"));
}

void SaveStartupSettings()
{
    if (!g_policy.keepOutlookLoaded) WriteIniSetting(L"DontKeepOlLoaded", wl::InverseFlagText(g_blnKeepOutlookLoaded));
    if (!g_policy.keepWordLoaded) WriteIniSetting(L"KeepWordLoaded", wl::FlagText(g_blnKeepWordLoaded));
    if (!g_policy.startOutlookIn) WriteIniSetting(L"StartOutlookIn", g_intStartOutlookIn);
    if (!g_policy.trackReminders) WriteIniSetting(L"DontTrackReminders", wl::InverseFlagText(g_blnTrackReminders));
    if (!g_policy.trackOverdueTasks)
        WriteIniSetting(L"DontTrackOverdueTasks", wl::InverseFlagText(g_blnTrackOverdueTasks));
}
