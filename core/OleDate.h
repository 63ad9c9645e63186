// Automation dates (days since 30 December 1899, the time as the fraction)
// and the overdue rule of the task scan. No Windows functions here.
#pragma once

#include <cstdint>

namespace wl {

// The minute an automation date falls in, counted from the epoch; seconds are
// ignored. Before the epoch the fraction still counts forward from midnight
// (-1.25 is 29 December 1899, 06:00), as automation dates do.
std::int64_t MinuteNumber(double date);

// The number of minute boundaries from `from` to `to`: DateDiff in minutes.
std::int64_t MinutesBetween(double from, double to);

// A task is overdue when its due date lies at or before the current minute.
// A date of 1 January 4501 stands for none: it never passes.
bool IsOverdue(double dueDate, double now);

// The midnight nearest to the date (noon counts forward). A task's due date
// is a day, kept as local midnight; read from a table it may come shifted by
// the time zone's offset, which can move it up to 12 hours either way.
double NearestMidnight(double date);

// The day a task is due, from the due date a table gave: local midnight, or
// that midnight shifted by the time zone's offset (offsetMinutes, local time
// less UTC, in effect at that date), which is undone; any other time of day
// is taken to the nearest midnight. Whole days stay as they are.
double DueDay(double shown, int offsetMinutes);

// 1 January 4501 as an automation date.
inline constexpr double kNoDueDate = 949'998.0;

// An automation date from calendar parts (proleptic Gregorian, local time).
double MakeDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

}  // namespace wl
