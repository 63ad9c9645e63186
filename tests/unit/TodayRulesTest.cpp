#include "mainwindow/TodayRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace wl;

namespace {

// 9 December 2026 as an automation date; times of that day by hour and minute.
constexpr double kDay = 46365.0;
constexpr double At(int h, double m = 0) { return kDay + (h * 60.0 + m) / (24.0 * 60.0); }
constexpr double kMidnight = kDay + 1.0;

Meeting M(std::wstring id, double start, double end)
{
    Meeting m;
    m.entryId = id;
    m.subject = id;
    m.start = start;
    m.end = end;
    return m;
}

std::wstring Ids(const std::vector<Meeting>& meetings)
{
    std::wstring ids;
    for (const Meeting& m : meetings) ids += (ids.empty() ? L"" : L" ") + m.entryId;
    return ids;
}

// The calendar of the day the table reads: what Outlook gave, in its order.
std::vector<Meeting> Calendar()
{
    std::vector<Meeting> read;
    read.push_back(M(L"review", At(14, 30), At(15, 30)));
    read.push_back(M(L"standup", At(9), At(9, 15)));  // an occurrence of a daily series
    Meeting allDay = M(L"holiday", kDay, kMidnight);
    allDay.allDay = true;
    read.push_back(allDay);
    Meeting declined = M(L"declined", At(11), At(12));
    declined.responseStatus = kResponseDeclined;
    read.push_back(declined);
    Meeting cancelled = M(L"cancelled", At(12), At(13));
    cancelled.meetingStatus = kMeetingCanceled;
    read.push_back(cancelled);
    Meeting cancelledReceived = M(L"cancelled2", At(12), At(13));
    cancelledReceived.meetingStatus = kMeetingReceivedAndCanceled;
    read.push_back(cancelledReceived);
    Meeting tentative = M(L"tentative", At(16), At(16, 30));
    tentative.busyStatus = kBusyTentative;
    read.push_back(tentative);
    Meeting free = M(L"free", At(17), At(17, 30));
    free.busyStatus = kBusyFree;
    read.push_back(free);
    read.push_back(M(L"lunch", At(12, 30), At(13, 30)));
    read.push_back(M(L"tomorrow", kMidnight, kMidnight + 0.01));  // Restrict's bound, inclusive elsewhere
    return read;
}

}  // namespace

// One table: at each moment of the day, which meetings count, what the tip
// says and when it must next be brought up to date.
TEST(Today, WhatCountsWhatTheTipSaysAndWhenItNextChanges)
{
    using K = NextTip::Kind;
    struct Case {
        const char* what;
        double now;
        bool leaveOutFree;
        const wchar_t* counted;
        K kind;
        const wchar_t* next;  // the tip's meeting, empty for none
        long minutes;
        double nextChange;  // 0: none
    } cases[] = {
        {"morning: the series' occurrence first, all-day, declined and cancelled left out", At(7), false,
         L"standup lunch review tentative free", K::Later, L"standup", 0, At(8)},
        {"free and tentative left out when asked", At(7), true, L"standup lunch review", K::Later, L"standup",
         0, At(8)},
        {"exactly an hour ahead: the countdown starts at 60", At(8), false, L"standup lunch review tentative free",
         K::Within, L"standup", 60, At(8, 1)},
        {"25 min 30 s ahead: rounded up to 26, down to 25 at the whole minute", At(8, 34.5), false,
         L"standup lunch review tentative free", K::Within, L"standup", 26, At(8, 35)},
        {"30 s ahead: 1 min, the next change is the start", At(8, 59.5), false, L"standup lunch review tentative free",
         K::Within, L"standup", 1, At(9)},
        {"at the start it is no longer next; its end is the next change", At(9), false,
         L"standup lunch review tentative free", K::Later, L"lunch", 0, At(9, 15)},
        {"over: it leaves the list", At(9, 15), false, L"lunch review tentative free", K::Later, L"lunch", 0,
         At(11, 30)},
        {"a meeting over leaves, the next one counts down", At(14), false, L"review tentative free", K::Within,
         L"review", 30, At(14, 1)},
        {"the last meeting runs: no more today, its end changes the list", At(17, 10), false, L"free", K::NoMore,
         L"", 0, At(17, 30)},
        {"evening: nothing left, no timer", At(18), false, L"", K::NoMore, L"", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<Meeting> today = MeetingsThatCount(Calendar(), c.now, kMidnight, c.leaveOutFree);
        EXPECT_EQ(Ids(today), c.counted);
        const NextTip tip = TipOf(today, c.now);
        EXPECT_EQ(tip.kind, c.kind);
        EXPECT_EQ(tip.meeting ? tip.meeting->entryId : L"", c.next);
        EXPECT_EQ(tip.minutes, c.minutes);
        const std::optional<double> change = NextChange(today, c.now);
        if (c.nextChange == 0) {
            EXPECT_FALSE(change);
        } else {
            ASSERT_TRUE(change);
            EXPECT_NEAR(*change, c.nextChange, 0.5 / 86'400);
        }
    }
}

TEST(Today, TheTipKeepsWithinTheShellsLengthByCuttingTheSubject)
{
    const std::wstring pattern = L"Next: %1 %2 (in %3 min)";
    EXPECT_EQ(FillInFitting(pattern, L"Project review", {L"14:30", L"25"}, 63),
              L"Next: Project review 14:30 (in 25 min)");
    const std::wstring cut = FillInFitting(pattern, std::wstring(100, L'x'), {L"14:30", L"25"}, 63);
    EXPECT_EQ(cut.size(), 63u);
    EXPECT_EQ(cut.substr(cut.size() - 19), L"\u2026 14:30 (in 25 min)");
    EXPECT_EQ(FillIn(L"%1%% %2 %4", {L"a", L"b"}), L"a% b ");
}

TEST(Today, TheMenuShowsEightAtMostOfThoseNotOver)
{
    std::vector<Meeting> today;
    for (int i = 0; i < 10; ++i) today.push_back(M(std::to_wstring(i), At(9 + i), At(9 + i, 30)));
    TodayRows rows = TodayRowsOf(today, At(9, 40));  // the first is over
    ASSERT_EQ(rows.rows.size(), 8u);
    EXPECT_EQ(rows.rows.front()->entryId, L"1");
    EXPECT_TRUE(rows.more);
    rows = TodayRowsOf(today, At(11, 40));
    EXPECT_EQ(rows.rows.size(), 7u);
    EXPECT_FALSE(rows.more);
}

// One table: the program's own warning, for each kind of meeting, at each moment.
TEST(OwnWarning, ComesOnceAtItsTimeLeavesOutlooksOwnAtTheSameTimeAndComesBackAfterASnooze)
{
    Meeting plain = M(L"plain", At(10), At(11));
    Meeting sameReminder = M(L"same", At(10), At(11));
    sameReminder.reminderSet = true;
    sameReminder.reminderMinutes = 5;
    Meeting otherReminder = M(L"other", At(10), At(11));
    otherReminder.reminderSet = true;
    otherReminder.reminderMinutes = 15;
    const std::vector<Meeting> today{plain, sameReminder, otherReminder};

    struct Case {
        const char* what;
        double now;
        bool outlookOnCard;
        const wchar_t* due;
        double next;  // 0: none
    } cases[] = {
        {"too early", At(9, 50), true, L"", At(9, 55)},
        {"at its time: Outlook's reminder at the same time is left to Outlook", At(9, 55), true, L"plain other", 0},
        {"once only", At(9, 56), true, L"", 0},
    };
    OwnWarnings warnings;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Ids(TakeWarningsDue(today, c.now, 5, c.outlookOnCard, warnings)), c.due);
        const std::optional<double> next = NextWarning(today, c.now, 5, c.outlookOnCard, warnings);
        if (c.next == 0) {
            EXPECT_FALSE(next);
        } else {
            ASSERT_TRUE(next);
            EXPECT_NEAR(*next, c.next, 0.5 / 86'400);
        }
    }

    // Without Outlook's reminders on the card, the program warns of that one too.
    OwnWarnings alone;
    EXPECT_EQ(Ids(TakeWarningsDue(today, At(9, 55), 5, false, alone)), L"plain same other");

    // Snoozed for 2 minutes: back then, once.
    warnings.snoozedUntil[WarningKey(plain)] = At(9, 58);
    EXPECT_EQ(Ids(TakeWarningsDue(today, At(9, 57), 5, true, warnings)), L"");
    EXPECT_NEAR(*NextWarning(today, At(9, 57), 5, true, warnings), At(9, 58), 0.5 / 86'400);
    EXPECT_EQ(Ids(TakeWarningsDue(today, At(9, 58), 5, true, warnings)), L"plain");
    EXPECT_EQ(Ids(TakeWarningsDue(today, At(9, 59), 5, true, warnings)), L"");

    // Started late, within the minute after the start; later, no more. Off: never.
    OwnWarnings late;
    EXPECT_EQ(Ids(TakeWarningsDue(today, At(10, 2), 0, true, late)), L"");
    EXPECT_EQ(Ids(TakeWarningsDue(today, At(10, 0.5), 0, true, late)), L"plain same other");
    OwnWarnings off;
    EXPECT_EQ(Ids(TakeWarningsDue(today, At(9, 55), kWarnOff, true, off)), L"");
    EXPECT_FALSE(NextWarning(today, At(9, 0), kWarnOff, true, off));

    // A daily series' occurrence tomorrow is another meeting: warned of again.
    Meeting tomorrow = M(L"plain", At(10) + 1, At(11) + 1);
    EXPECT_NE(WarningKey(tomorrow), WarningKey(plain));
}

TEST(OwnWarning, TheSettingTakesOnlyTheOfferedChoices)
{
    EXPECT_EQ(WarnMinutesFromKey(L""), kWarnOff);
    EXPECT_EQ(WarnMinutesFromKey(L"0"), 0);
    EXPECT_EQ(WarnMinutesFromKey(L" 15 "), 15);
    EXPECT_EQ(WarnMinutesFromKey(L"3"), kWarnOff);
    EXPECT_EQ(WarnMinutesFromKey(L"-1"), kWarnOff);
    EXPECT_EQ(WarnMinutesFromKey(L"5x"), kWarnOff);
    EXPECT_EQ(WarnMinutesFromKey(L"00005"), kWarnOff);
}
