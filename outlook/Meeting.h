// A meeting of the day, as the session read it from the calendar: what the
// tray shows of it, how Outlook finds it again and what decides whether it
// counts, with no Outlook object held. No Windows functions here.
#pragma once

#include <string>

namespace wl {

// Outlook's values of the members read (OlBusyStatus, OlResponseStatus, OlMeetingStatus).
inline constexpr long kBusyFree = 0;
inline constexpr long kBusyTentative = 1;
inline constexpr long kBusyBusy = 2;
inline constexpr long kResponseDeclined = 4;
inline constexpr long kMeetingCanceled = 5;
inline constexpr long kMeetingReceivedAndCanceled = 7;

struct Meeting {
    std::wstring entryId;  // of its item (an occurrence: its series')
    std::wstring storeId;  // of the calendar's store
    std::wstring subject;
    double start = 0;  // automation dates, local time
    double end = 0;
    std::wstring location;
    // The online-meeting link of its location (the finder's); empty when none.
    std::wstring joinLink;
    long busyStatus = kBusyBusy;
    long responseStatus = 0;
    long meetingStatus = 0;
    bool allDay = false;
    // Outlook's own reminder: set, and how long before the start.
    bool reminderSet = false;
    long reminderMinutes = 0;

    bool operator==(const Meeting&) const = default;
};

}  // namespace wl
