// The day's meetings as the tray shows them, and the program's own warning
// before each, as rules of plain values: which meetings count, what the tip
// says, when it next changes, and which warnings are due. No Windows
// functions here.
#pragma once

#include "core/SettingsRules.h"
#include "outlook/Meeting.h"

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace wl {

// The meetings that count from now to dayEnd (the next local midnight), in
// the order they start: those not over yet and starting before dayEnd,
// leaving out all-day events, meetings the user declined, cancelled ones
// and, when asked, those shown as free or tentative.
std::vector<Meeting> MeetingsThatCount(const std::vector<Meeting>& read, double now, double dayEnd,
                                       bool leaveOutFreeAndTentative);

// What the tip says of the next meeting (the first that starts after now):
// none left today; one more than an hour away (no countdown, which nothing
// would keep up to date); one within the hour, in whole minutes rounded up.
struct NextTip {
    enum class Kind { NoMore, Later, Within } kind = Kind::NoMore;
    const Meeting* meeting = nullptr;
    long minutes = 0;   // Within: the minutes left, 1 to 60
};
NextTip TipOf(const std::vector<Meeting>& today, double now);

// The text of a pattern with %1 ... %9 filled in ("%%" is a percent sign).
std::wstring FillIn(std::wstring_view pattern, const std::vector<std::wstring>& values);
// The pattern filled in with the subject as %1 (the other values after it),
// the subject cut with an ellipsis so that the text keeps within maxLen.
std::wstring FillInFitting(std::wstring_view pattern, std::wstring_view subject, std::vector<std::wstring> others,
                           std::size_t maxLen);

// The next moment after now at which the tip or the list changes: a
// meeting's start or end, the moment the next one comes within the hour,
// and within the hour each minute the countdown goes down. None when
// nothing is left today.
std::optional<double> NextChange(const std::vector<Meeting>& today, double now);

// The program's own warning before every meeting. warnMinutes: how long
// before the start, or kWarnOff (core/SettingsRules.h). A meeting whose own Outlook reminder comes
// at the same time is left to that reminder when the card shows Outlook's
// reminders. Each meeting (an occurrence by its start) is warned of once;
// a snoozed warning comes back at its time.

struct OwnWarnings {
    std::set<std::wstring> given;               // by WarningKey
    std::map<std::wstring, double> snoozedUntil;  // by WarningKey: when it comes back
};
std::wstring WarningKey(const Meeting& meeting);
// The warnings due now (from warnMinutes before the start until a minute
// after it), marked as given.
std::vector<Meeting> TakeWarningsDue(const std::vector<Meeting>& today, double now, int warnMinutes,
                                     bool outlookRemindersOnCard, OwnWarnings& warnings);
// When the next warning falls due, if one is still to come today.
std::optional<double> NextWarning(const std::vector<Meeting>& today, double now, int warnMinutes,
                                  bool outlookRemindersOnCard, const OwnWarnings& warnings);

// The Today section of the tray menu: the meetings not over yet, at most
// kTodayRows; more says that others follow.
inline constexpr std::size_t kTodayRows = 8;
struct TodayRows {
    std::vector<const Meeting*> rows;
    bool more = false;
};
TodayRows TodayRowsOf(const std::vector<Meeting>& today, double now);

}  // namespace wl
