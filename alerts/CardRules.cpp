#include "alerts/CardRules.h"

#include "core/Conversions.h"

#include <cmath>

namespace wl {

namespace {

constexpr double kMinutesPerDay = 24.0 * 60.0;
// Automation dates carry rounding of a few microseconds: a whole minute must
// not turn into the one before or after it.
constexpr double kSlackMinutes = 1e-6;

CardWhen Split(CardWhen::Kind kind, long minutes)
{
    return {kind, minutes / 60, minutes % 60};
}

}  // namespace

CardWhen WhenOf(std::optional<double> start, bool task, double now)
{
    if (!start || !std::isfinite(*start) || !std::isfinite(now)) return {};
    if (task) {
        // Dates only: the day of the due date against today's.
        if (std::floor(*start) <= std::floor(now)) return {CardWhen::Kind::DueToday};
        return {};
    }
    const double ahead = (*start - now) * kMinutesPerDay;
    // Far beyond any reminder: nothing to say rather than an overflow.
    if (std::fabs(ahead) > 1e7) return {};
    if (ahead > kSlackMinutes) return Split(CardWhen::Kind::In, static_cast<long>(std::ceil(ahead - kSlackMinutes)));
    const long ago = static_cast<long>(std::floor(-ahead + kSlackMinutes));
    if (ago < 1) return {CardWhen::Kind::Now};
    return Split(CardWhen::Kind::Started, ago);
}

std::optional<long> SnoozeMinutesBefore(std::optional<double> start, long before, double now)
{
    if (!start || !std::isfinite(*start) || !std::isfinite(now)) return std::nullopt;
    const double ahead = (*start - now) * kMinutesPerDay - static_cast<double>(before);
    if (ahead + kSlackMinutes < 1 || ahead > 1e7) return std::nullopt;
    return static_cast<long>(std::floor(ahead + kSlackMinutes));
}

CardRows RowsOf(std::size_t count) noexcept
{
    const std::size_t shown = count < kCardRows ? count : kCardRows;
    return {shown, count - shown};
}

std::wstring EllipsisText(std::wstring_view text, std::size_t maxLen)
{
    if (text.size() <= maxLen) return std::wstring(text);
    if (maxLen == 0) return {};
    std::wstring cut = CutText(text, maxLen - 1);
    cut += L'\u2026';
    return cut;
}

}  // namespace wl
