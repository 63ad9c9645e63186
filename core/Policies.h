// Settings an administrator sets by Group Policy, under
// Software\Policies\Wendlock in HKLM (the computer) and HKCU (the user), as
// policies/Wendlock.admx defines them. A policy wins over the settings file,
// which keeps the user's own choice for when the policy goes.
#pragma once

#include <cstdint>
#include <optional>

struct SettingsPolicy {
    std::optional<std::int16_t> startOutlookIn;
    std::optional<bool> keepOutlookLoaded;
    std::optional<std::int32_t> loadDelayMs;
    std::optional<bool> keepWordLoaded;
    std::optional<bool> displayOutlookAtStart;
    std::optional<bool> trackReminders;
    std::optional<bool> trackOverdueTasks;
    std::optional<bool> showReminderCard;
    std::optional<int> warnMinutesBefore;  // kWarnOff: no warning
    std::optional<bool> startAtLogon;
    // On: the overdue tasks are read from the default store's Tasks folder only.
    std::optional<bool> overdueTasksDefaultStoreOnly;

    // Whether any setting is managed.
    bool Any() const noexcept;
    bool operator==(const SettingsPolicy&) const = default;
};

// Reads the policies as they stand now.
SettingsPolicy ReadSettingsPolicy();
