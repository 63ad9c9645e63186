#include "TodayRules.h"

#include "alerts/CardRules.h"
#include "core/OleDate.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace wl {

namespace {

constexpr double kSecondsPerDay = 86'400.0;
constexpr std::int64_t kHourSeconds = 3'600;

// Dates compared to the second: an automation date's fraction is rarely exact.
std::int64_t Seconds(double date) { return std::llround(date * kSecondsPerDay); }
double DateOf(std::int64_t seconds) { return static_cast<double>(seconds) / kSecondsPerDay; }

bool Counts(const Meeting& m, bool leaveOutFreeAndTentative)
{
    if (m.allDay || m.responseStatus == kResponseDeclined) return false;
    if (m.meetingStatus == kMeetingCanceled || m.meetingStatus == kMeetingReceivedAndCanceled) return false;
    if (leaveOutFreeAndTentative && (m.busyStatus == kBusyFree || m.busyStatus == kBusyTentative)) return false;
    return true;
}

// The first meeting that starts after now.
const Meeting* NextOf(const std::vector<Meeting>& today, double now)
{
    for (const Meeting& m : today)
        if (Seconds(m.start) > Seconds(now)) return &m;
    return nullptr;
}

bool LeftToOutlook(const Meeting& m, int warnMinutes, bool outlookRemindersOnCard)
{
    return outlookRemindersOnCard && m.reminderSet && m.reminderMinutes == warnMinutes;
}

}  // namespace

std::vector<Meeting> MeetingsThatCount(const std::vector<Meeting>& read, double now, double dayEnd,
                                       bool leaveOutFreeAndTentative)
{
    std::vector<Meeting> today;
    for (const Meeting& m : read)
        if (Counts(m, leaveOutFreeAndTentative) && Seconds(m.end) > Seconds(now) && Seconds(m.start) < Seconds(dayEnd))
            today.push_back(m);
    std::stable_sort(today.begin(), today.end(),
                     [](const Meeting& a, const Meeting& b) { return Seconds(a.start) < Seconds(b.start); });
    return today;
}

NextTip TipOf(const std::vector<Meeting>& today, double now)
{
    NextTip tip;
    tip.meeting = NextOf(today, now);
    if (!tip.meeting) return tip;
    const std::int64_t left = Seconds(tip.meeting->start) - Seconds(now);
    if (left > kHourSeconds) {
        tip.kind = NextTip::Kind::Later;
        return tip;
    }
    tip.kind = NextTip::Kind::Within;
    tip.minutes = static_cast<long>((left + 59) / 60);
    return tip;
}

std::wstring FillIn(std::wstring_view pattern, const std::vector<std::wstring>& values)
{
    std::wstring text;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != L'%' || i + 1 == pattern.size()) {
            text += pattern[i];
            continue;
        }
        const wchar_t next = pattern[i + 1];
        if (next == L'%') {
            text += L'%';
            ++i;
        } else if (next >= L'1' && next <= L'9') {
            const auto index = static_cast<std::size_t>(next - L'1');
            if (index < values.size()) text += values[index];
            ++i;
        } else {
            text += L'%';
        }
    }
    return text;
}

std::wstring FillInFitting(std::wstring_view pattern, std::wstring_view subject, std::vector<std::wstring> others,
                           std::size_t maxLen)
{
    std::vector<std::wstring> values{std::wstring()};
    values.insert(values.end(), others.begin(), others.end());
    const std::size_t rest = FillIn(pattern, values).size();
    values[0] = EllipsisText(subject, rest < maxLen ? maxLen - rest : 0);
    std::wstring text = FillIn(pattern, values);
    if (text.size() > maxLen) text = EllipsisText(text, maxLen);  // the pattern alone is too long
    return text;
}

std::optional<double> NextChange(const std::vector<Meeting>& today, double now)
{
    const std::int64_t at = Seconds(now);
    std::optional<std::int64_t> next;
    auto consider = [&](std::int64_t moment) {
        if (moment > at && (!next || moment < *next)) next = moment;
    };
    for (const Meeting& m : today) {
        consider(Seconds(m.start));
        consider(Seconds(m.end));
    }
    if (const Meeting* coming = NextOf(today, now)) {
        const std::int64_t start = Seconds(coming->start), left = start - at;
        if (left > kHourSeconds) {
            consider(start - kHourSeconds);
        } else {
            // The countdown shows the minutes rounded up: it goes down when
            // a whole number of minutes is left.
            const std::int64_t minutes = (left + 59) / 60;
            consider(start - (minutes - 1) * 60);
        }
    }
    if (!next) return std::nullopt;
    return DateOf(*next);
}

std::wstring WarningKey(const Meeting& meeting)
{
    return meeting.entryId + L"@" + std::to_wstring(MinuteNumber(meeting.start));
}

std::vector<Meeting> TakeWarningsDue(const std::vector<Meeting>& today, double now, int warnMinutes,
                                     bool outlookRemindersOnCard, OwnWarnings& warnings)
{
    std::vector<Meeting> due;
    if (warnMinutes == kWarnOff) return due;
    const std::int64_t at = Seconds(now);
    for (const Meeting& m : today) {
        const std::wstring key = WarningKey(m);
        const std::int64_t start = Seconds(m.start);
        if (auto snoozed = warnings.snoozedUntil.find(key); snoozed != warnings.snoozedUntil.end()) {
            if (Seconds(snoozed->second) > at) continue;
            warnings.snoozedUntil.erase(snoozed);
            due.push_back(m);
            continue;
        }
        if (warnings.given.count(key) || LeftToOutlook(m, warnMinutes, outlookRemindersOnCard)) continue;
        // From the warning's time until the minute after the start: a
        // program started (or woken) late still warns of a meeting just begun.
        if (at >= start - warnMinutes * 60 && at < start + 60) {
            warnings.given.insert(key);
            due.push_back(m);
        }
    }
    return due;
}

std::optional<double> NextWarning(const std::vector<Meeting>& today, double now, int warnMinutes,
                                  bool outlookRemindersOnCard, const OwnWarnings& warnings)
{
    if (warnMinutes == kWarnOff) return std::nullopt;
    const std::int64_t at = Seconds(now);
    std::optional<std::int64_t> next;
    auto consider = [&](std::int64_t moment) {
        if (moment > at && (!next || moment < *next)) next = moment;
    };
    for (const Meeting& m : today) {
        const std::wstring key = WarningKey(m);
        if (auto snoozed = warnings.snoozedUntil.find(key); snoozed != warnings.snoozedUntil.end()) {
            consider(Seconds(snoozed->second));
            continue;
        }
        if (warnings.given.count(key) || LeftToOutlook(m, warnMinutes, outlookRemindersOnCard)) continue;
        consider(Seconds(m.start) - warnMinutes * 60);
    }
    if (!next) return std::nullopt;
    return DateOf(*next);
}

TodayRows TodayRowsOf(const std::vector<Meeting>& today, double now)
{
    TodayRows rows;
    for (const Meeting& m : today) {
        if (Seconds(m.end) <= Seconds(now)) continue;
        if (rows.rows.size() == kTodayRows) {
            rows.more = true;
            break;
        }
        rows.rows.push_back(&m);
    }
    return rows;
}

}  // namespace wl
