#include "OleDate.h"

#include <cmath>
#include <optional>

namespace wl {

namespace {

// Days from 1 January of year 1 for a civil date (Howard Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;  // days since 1970-01-01
}

}  // namespace

std::int64_t MinuteNumber(double date)
{
    double whole = std::trunc(date);
    double fraction = std::fabs(date - whole);
    // Whole seconds first, so 12:00:59.9999 does not slip into the next minute by rounding error.
    auto seconds = static_cast<std::int64_t>(std::llround(fraction * 86400.0));
    if (seconds >= 86400) seconds = 86399;
    return static_cast<std::int64_t>(whole) * 1440 + seconds / 60;
}

std::int64_t MinutesBetween(double from, double to) { return MinuteNumber(to) - MinuteNumber(from); }

bool IsOverdue(double dueDate, double now) { return MinutesBetween(dueDate, now) >= 0; }

double NearestMidnight(double date)
{
    // Before the epoch the fraction counts forward from the midnight of trunc(date) too.
    const double whole = std::trunc(date);
    const double fraction = std::fabs(date - whole);
    if (fraction < 0.5) return whole;
    return whole + 1.0;  // -1.75 (29 December, 18:00) is 30 December
}

double DueDay(double shown, int offsetMinutes)
{
    if (shown < 0 || shown >= kNoDueDate) return NearestMidnight(shown);
    // In whole minutes, which automation dates hold exactly enough.
    auto midnightOf = [](double date) -> std::optional<double> {
        const auto minutes = static_cast<std::int64_t>(std::llround(date * 1440.0));
        if (minutes % 1440 != 0) return std::nullopt;
        return static_cast<double>(minutes / 1440);
    };
    if (auto day = midnightOf(shown)) return *day;
    if (auto day = midnightOf(shown - offsetMinutes / 1440.0)) return *day;
    return NearestMidnight(shown);
}

double MakeDate(int year, int month, int day, int hour, int minute, int second)
{
    const std::int64_t epoch = DaysFromCivil(1899, 12, 30);
    double days = static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - epoch);
    double fraction = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    return days >= 0 ? days + fraction : days - fraction;
}

}  // namespace wl
