// A reminder Outlook shows, as the session read it when it learnt of it: what
// its line and its alert show and how Outlook finds its item again, with no
// Outlook object held. No Windows functions here.
#pragma once

#include <optional>
#include <string>

namespace wl {

struct Reminder {
    std::wstring entryId;                    // of its item
    std::wstring storeId;                    // of the item's store; empty when Outlook gave none
    std::optional<std::wstring> folderName;  // of the folder holding the item
    std::optional<std::wstring> subject;
    std::optional<double> reminderTime;  // automation dates, local time
    std::optional<double> start;         // an appointment's start, or a task's due date
    std::wstring location;               // an appointment's
    bool task = false;                   // a task's reminder: start is its due date
    // An appointment's online-meeting link (the finder's, https of a known
    // service), from its location or else its body; empty when none.
    std::wstring joinLink;
    // Not Outlook's reminder but the program's own warning before a meeting:
    // Snooze and Dismiss act on that warning only.
    bool ownWarning = false;

    bool operator==(const Reminder&) const = default;
};

}  // namespace wl
