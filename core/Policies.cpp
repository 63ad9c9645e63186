#include "Policies.h"

#include "core/PolicyRules.h"
#include "core/win32.h"

namespace {

constexpr wchar_t kPolicyKey[] = L"Software\\Policies\\Wendlock";

// A DWORD value of the policy key; none when absent or of another type.
wl::PolicyDword ReadDword(HKEY root, const wchar_t* name)
{
    DWORD value = 0;
    DWORD bytes = sizeof value;
    DWORD type = 0;
    if (::RegGetValueW(root, kPolicyKey, name, RRF_RT_ANY, &type, &value, &bytes) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

struct Both {
    wl::PolicyDword machine, user;
};

Both Read(const wchar_t* name) { return {ReadDword(HKEY_LOCAL_MACHINE, name), ReadDword(HKEY_CURRENT_USER, name)}; }

std::optional<bool> Flag(const wchar_t* name)
{
    Both v = Read(name);
    return wl::PolicyFlag(v.machine, v.user);
}

}  // namespace

bool SettingsPolicy::Any() const noexcept
{
    return startOutlookIn || keepOutlookLoaded || loadDelayMs || keepWordLoaded || displayOutlookAtStart ||
           trackReminders || trackOverdueTasks || showReminderCard || warnMinutesBefore || startAtLogon || overdueTasksDefaultStoreOnly;
}

SettingsPolicy ReadSettingsPolicy()
{
    SettingsPolicy policy;
    Both folder = Read(L"StartOutlookIn");
    policy.startOutlookIn = wl::PolicyStartFolder(folder.machine, folder.user);
    policy.keepOutlookLoaded = Flag(L"KeepOutlookLoaded");
    Both delay = Read(L"LoadDelaySeconds");
    policy.loadDelayMs = wl::PolicyLoadDelayMs(delay.machine, delay.user);
    policy.keepWordLoaded = Flag(L"KeepWordLoaded");
    policy.displayOutlookAtStart = Flag(L"DisplayOutlookAtStart");
    policy.trackReminders = Flag(L"TrackReminders");
    policy.trackOverdueTasks = Flag(L"TrackOverdueTasks");
    policy.showReminderCard = Flag(L"ShowReminderCard");
    Both warn = Read(L"WarnMinutesBefore");
    policy.warnMinutesBefore = wl::PolicyWarnMinutes(warn.machine, warn.user);
    policy.startAtLogon = Flag(L"StartAtLogon");
    policy.overdueTasksDefaultStoreOnly = Flag(L"OverdueTasksDefaultStoreOnly");
    return policy;
}
