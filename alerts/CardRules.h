// What the reminder card shows and offers, as rules of plain values: when a
// reminder's meeting is, which reminders get a row, and the snooze times
// that depend on the meeting's start. No Windows functions here.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace wl {

// When a reminder's meeting or task is, against now, in whole minutes.
struct CardWhen {
    enum class Kind { Unknown, In, Now, Started, DueToday } kind = Kind::Unknown;
    long hours = 0;    // In, Started: whole hours
    long minutes = 0;  // In, Started: the minutes past the hours (0..59)

    bool operator==(const CardWhen&) const = default;
};

// start: an automation date (local time), the meeting's start or the task's
// due date; now likewise. A meeting ahead is "in" the minutes left, rounded
// up (a meeting 30 seconds away is in 1 minute); from its start and for the
// minute after it is "now"; later it "started" the whole minutes ago. A task
// due today (or earlier) is due today; one due later tells nothing.
CardWhen WhenOf(std::optional<double> start, bool task, double now);

// The snooze that brings the reminder back `before` minutes ahead of the
// start, in whole minutes rounded down so it never comes late; none unless
// that is at least a minute away.
std::optional<long> SnoozeMinutesBefore(std::optional<double> start, long before, double now);

// The rows of a card holding `count` reminders, newest first: at most
// kCardRows; `more` counts the others.
inline constexpr std::size_t kCardRows = 3;
struct CardRows {
    std::size_t shown = 0;
    std::size_t more = 0;
};
CardRows RowsOf(std::size_t count) noexcept;

// A text cut to at most maxLen characters with an ellipsis at the end when
// it was longer, never splitting a surrogate pair.
std::wstring EllipsisText(std::wstring_view text, std::size_t maxLen);

}  // namespace wl
