#include "Settings.h"

#include "core/SettingsRules.h"
#include "core/basINI.h"
#include "core/win32.h"

#include <shlobj.h>

#include <utility>

std::wstring g_strAppPath;
std::wstring g_strOutlookPath;
bool g_blnKeepOutlookLoaded = true;
bool g_blnKeepWordLoaded = false;
std::int16_t g_intStartOutlookIn = 0;
bool g_blnTrackReminders = true;
bool g_blnTrackOverdueTasks = true;
bool g_blnShowReminderCard = true;
int g_intWarnMinutesBefore = wl::kWarnOff;
bool g_blnLeaveOutFreeMeetings = false;
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

namespace {

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A copy the user may edit: never over an existing file, and without the
// read-only mark the original may carry.
bool CopyAsUsersOwn(const std::wstring& from, const std::wstring& to)
{
    if (!::CopyFileW(from.c_str(), to.c_str(), TRUE)) return false;
    DWORD attributes = ::GetFileAttributesW(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        (void)::SetFileAttributesW(to.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    return true;
}

}  // namespace

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

bool FileIsWritable(const std::wstring& path)
{
    wl::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file || ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

namespace {

// The per-user folder, made when missing, with the user's own copy of the
// settings file that could not be written: its values are where the copy
// starts, rather than the defaults. Empty when there is no such folder.
std::wstring MoveToPerUserFolder(const std::wstring& folder)
{
    std::wstring perUser = PerUserFolder();
    if (perUser.empty()) return perUser;
    (void)::CreateDirectoryW(perUser.c_str(), nullptr);  // exists already, or is made now
    // A copy made before stays: it holds what the program last saved.
    (void)CopyAsUsersOwn(folder + SettingsFileName(), perUser + SettingsFileName());
    return perUser;
}

}  // namespace

std::wstring ChooseSettingsFolder(const std::wstring& programFolder)
{
    if (FolderIsWritable(programFolder) && FileIsWritable(programFolder + SettingsFileName())) return programFolder;
    std::wstring perUser = MoveToPerUserFolder(programFolder);
    return perUser.empty() ? programFolder : perUser;  // no profile folder: the program folder is all there is
}

void ProvideLinksFile()
{
    if (Exists(g_strAppPath + kLinksFileName)) return;  // a copy of the program that has its own
    // Fails, and changes nothing, when the user has one already.
    (void)CopyAsUsersOwn(g_strAppPath + kLinksExampleName, SettingsFolder() + kLinksFileName);
}

IniPlace LinksFile()
{
    for (const std::wstring& folder : {SettingsFolder(), g_strAppPath})
        if (Exists(folder + kLinksFileName)) return IniPlace{L"settings", folder, kLinksFileName, true};
    return IniPlace{L"settings", g_strAppPath, kLinksExampleName, true};
}

void ReadStartupSettings()
{
    g_blnKeepOutlookLoaded = wl::FlagFromInverseKey(ReadIniSetting(L"DontKeepOlLoaded"));
    g_blnKeepWordLoaded = wl::FlagFromKey(ReadIniSetting(L"KeepWordLoaded"));
    g_intStartOutlookIn = wl::StartFolderFromKey(ReadIniSetting(L"StartOutlookIn"));
    g_blnTrackReminders = wl::FlagFromInverseKey(ReadIniSetting(L"DontTrackReminders"));
    g_blnTrackOverdueTasks = wl::FlagFromInverseKey(ReadIniSetting(L"DontTrackOverdueTasks"));
    g_blnShowReminderCard = wl::FlagFromInverseKey(ReadIniSetting(L"DontShowReminderCard"));
    g_intWarnMinutesBefore = wl::WarnMinutesFromKey(ReadIniSetting(L"WarnMinutesBefore"));
    g_blnLeaveOutFreeMeetings = wl::FlagFromKey(ReadIniSetting(L"LeaveOutFreeMeetings"));

    g_policy = ReadSettingsPolicy();
    g_blnKeepOutlookLoaded = g_policy.keepOutlookLoaded.value_or(g_blnKeepOutlookLoaded);
    g_blnKeepWordLoaded = g_policy.keepWordLoaded.value_or(g_blnKeepWordLoaded);
    g_intStartOutlookIn = g_policy.startOutlookIn.value_or(g_intStartOutlookIn);
    g_blnTrackReminders = g_policy.trackReminders.value_or(g_blnTrackReminders);
    g_blnTrackOverdueTasks = g_policy.trackOverdueTasks.value_or(g_blnTrackOverdueTasks);
    g_blnShowReminderCard = g_policy.showReminderCard.value_or(g_blnShowReminderCard);
    g_intWarnMinutesBefore = g_policy.warnMinutesBefore.value_or(g_intWarnMinutesBefore);
}

namespace {

// The warning's minutes as the settings file holds them: none when off.
bool WriteWarnMinutes(int minutes)
{
    return WriteIniSetting(L"WarnMinutesBefore", minutes == wl::kWarnOff ? std::wstring() : std::to_wstring(minutes));
}

// One of the settings as its policy changed: the user's own value is
// kept in the file before a policy takes the setting over, and read back
// from it when the policy goes.
template <class T, class Write, class Read>
void FollowPolicy(const std::optional<T>& before, const std::optional<T>& now, T& setting, Write writeUsers,
                  Read readUsers)
{
    if (now) {
        if (!before) (void)writeUsers(setting);
        setting = *now;
    } else if (before) {
        setting = readUsers();
    }
}

}  // namespace

bool RereadSettingsPolicy()
{
    SettingsPolicy now = ReadSettingsPolicy();
    if (now == g_policy) return false;
    const SettingsPolicy before = std::exchange(g_policy, now);
    FollowPolicy(
        before.keepOutlookLoaded, now.keepOutlookLoaded, g_blnKeepOutlookLoaded,
        [](bool v) { return WriteIniSetting(L"DontKeepOlLoaded", wl::InverseFlagText(v)); },
        [] { return wl::FlagFromInverseKey(ReadIniSetting(L"DontKeepOlLoaded")); });
    FollowPolicy(
        before.keepWordLoaded, now.keepWordLoaded, g_blnKeepWordLoaded,
        [](bool v) { return WriteIniSetting(L"KeepWordLoaded", wl::FlagText(v)); },
        [] { return wl::FlagFromKey(ReadIniSetting(L"KeepWordLoaded")); });
    FollowPolicy(
        before.startOutlookIn, now.startOutlookIn, g_intStartOutlookIn,
        [](std::int16_t v) { return WriteIniSetting(L"StartOutlookIn", v); },
        [] { return wl::StartFolderFromKey(ReadIniSetting(L"StartOutlookIn")); });
    FollowPolicy(
        before.trackReminders, now.trackReminders, g_blnTrackReminders,
        [](bool v) { return WriteIniSetting(L"DontTrackReminders", wl::InverseFlagText(v)); },
        [] { return wl::FlagFromInverseKey(ReadIniSetting(L"DontTrackReminders")); });
    FollowPolicy(
        before.trackOverdueTasks, now.trackOverdueTasks, g_blnTrackOverdueTasks,
        [](bool v) { return WriteIniSetting(L"DontTrackOverdueTasks", wl::InverseFlagText(v)); },
        [] { return wl::FlagFromInverseKey(ReadIniSetting(L"DontTrackOverdueTasks")); });
    FollowPolicy(
        before.showReminderCard, now.showReminderCard, g_blnShowReminderCard,
        [](bool v) { return WriteIniSetting(L"DontShowReminderCard", wl::InverseFlagText(v)); },
        [] { return wl::FlagFromInverseKey(ReadIniSetting(L"DontShowReminderCard")); });
    FollowPolicy(
        before.warnMinutesBefore, now.warnMinutesBefore, g_intWarnMinutesBefore, WriteWarnMinutes,
        [] { return wl::WarnMinutesFromKey(ReadIniSetting(L"WarnMinutesBefore")); });
    return true;
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

namespace {

// What a policy sets is not written: the file keeps the user's own choice.
bool WriteStartupSettings()
{
    bool written = true;
    if (!g_policy.keepOutlookLoaded)
        written = WriteIniSetting(L"DontKeepOlLoaded", wl::InverseFlagText(g_blnKeepOutlookLoaded)) && written;
    if (!g_policy.keepWordLoaded) written = WriteIniSetting(L"KeepWordLoaded", wl::FlagText(g_blnKeepWordLoaded)) && written;
    if (!g_policy.startOutlookIn) written = WriteIniSetting(L"StartOutlookIn", g_intStartOutlookIn) && written;
    if (!g_policy.trackReminders)
        written = WriteIniSetting(L"DontTrackReminders", wl::InverseFlagText(g_blnTrackReminders)) && written;
    if (!g_policy.trackOverdueTasks)
        written = WriteIniSetting(L"DontTrackOverdueTasks", wl::InverseFlagText(g_blnTrackOverdueTasks)) && written;
    if (!g_policy.showReminderCard)
        written = WriteIniSetting(L"DontShowReminderCard", wl::InverseFlagText(g_blnShowReminderCard)) && written;
    // Written only when they changed: a file that never had them stays as the user wrote it.
    if (!g_policy.warnMinutesBefore &&
        wl::WarnMinutesFromKey(ReadIniSetting(L"WarnMinutesBefore")) != g_intWarnMinutesBefore)
        written = WriteWarnMinutes(g_intWarnMinutesBefore) && written;
    if (wl::FlagFromKey(ReadIniSetting(L"LeaveOutFreeMeetings")) != g_blnLeaveOutFreeMeetings)
        written = WriteIniSetting(L"LeaveOutFreeMeetings", wl::FlagText(g_blnLeaveOutFreeMeetings)) && written;
    return written;
}

}  // namespace

void SaveStartupSettings()
{
    if (WriteStartupSettings()) return;
    // The file was made read-only or locked while the program ran: the
    // settings go to the user's profile rather than being lost.
    if (SettingsFolder() == PerUserFolder()) return;
    std::wstring perUser = MoveToPerUserFolder(SettingsFolder());
    if (perUser.empty()) return;
    SetSettingsFolder(perUser);
    (void)WriteStartupSettings();
}
