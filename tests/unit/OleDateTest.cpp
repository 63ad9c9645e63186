#include "core/OleDate.h"

#include <gtest/gtest.h>

using namespace wl;

TEST(OleDate, MakesTheDatesAutomationUses)
{
    EXPECT_EQ(MakeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(MakeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(MakeDate(4501, 1, 1), kNoDueDate);
    EXPECT_DOUBLE_EQ(MakeDate(1899, 12, 29, 6, 0), -1.25);
    EXPECT_DOUBLE_EQ(MakeDate(2026, 12, 8, 12, 0), 46364.5);
}

TEST(Overdue, MinuteBoundariesNotSeconds)
{
    double now = MakeDate(2026, 12, 8, 10, 30, 20);
    EXPECT_TRUE(IsOverdue(MakeDate(2026, 12, 8, 10, 30, 59), now));  // same minute
    EXPECT_TRUE(IsOverdue(MakeDate(2026, 12, 8, 10, 29, 0), now));   // a minute ago
    EXPECT_FALSE(IsOverdue(MakeDate(2026, 12, 8, 10, 31, 0), now));  // next minute
    EXPECT_EQ(MinutesBetween(MakeDate(2026, 12, 8, 10, 29, 59), MakeDate(2026, 12, 8, 10, 30, 0)), 1);
}

TEST(Overdue, DueTodayCountsAllDayAndTomorrowDoesNot)
{
    double today = MakeDate(2026, 12, 8);
    EXPECT_TRUE(IsOverdue(today, MakeDate(2026, 12, 8, 0, 0, 0)));
    EXPECT_TRUE(IsOverdue(today, MakeDate(2026, 12, 8, 23, 59, 59)));
    EXPECT_FALSE(IsOverdue(MakeDate(2026, 12, 9), MakeDate(2026, 12, 8, 23, 59, 59)));
    EXPECT_FALSE(IsOverdue(kNoDueDate, MakeDate(2026, 12, 8, 12, 0)));
    EXPECT_FALSE(IsOverdue(kNoDueDate, MakeDate(4500, 12, 31, 23, 59)));
}

TEST(Overdue, FloatingPointNoiseDoesNotMoveAMinute)
{
    // 12:00 built by adding minutes one by one carries rounding error.
    double noon = MakeDate(2026, 1, 1);
    for (int i = 0; i < 720; ++i) noon += 1.0 / 1440.0;
    EXPECT_EQ(MinuteNumber(noon), MinuteNumber(MakeDate(2026, 1, 1, 12, 0)));
}

TEST(Overdue, DatesBeforeTheEpochCountForwardFromMidnight)
{
    EXPECT_EQ(MinuteNumber(-1.25), -1440 + 360);
    EXPECT_TRUE(IsOverdue(-1.25, 0.0));
    EXPECT_EQ(MinutesBetween(-1.25, -1.5), 360);
}

TEST(Overdue, ADueDateShiftedByATimeZoneStaysOnItsDay)
{
    const double tomorrow = MakeDate(2026, 12, 9);
    // Due tomorrow, converted once more in UTC-5: 19:00 today, which would be overdue now.
    const double shifted = MakeDate(2026, 12, 8, 19, 0);
    const double now = MakeDate(2026, 12, 8, 20, 0);
    ASSERT_TRUE(IsOverdue(shifted, now));
    EXPECT_EQ(NearestMidnight(shifted), tomorrow);
    EXPECT_FALSE(IsOverdue(NearestMidnight(shifted), now));
    // Up to 12 hours either way, noon counting forward.
    EXPECT_EQ(NearestMidnight(MakeDate(2026, 12, 9, 11, 59)), tomorrow);
    EXPECT_EQ(NearestMidnight(MakeDate(2026, 12, 8, 12, 0)), tomorrow);
    EXPECT_EQ(NearestMidnight(tomorrow), tomorrow);
    EXPECT_EQ(NearestMidnight(kNoDueDate), kNoDueDate);
    // Before the epoch the fraction counts forward from the day's midnight.
    EXPECT_EQ(NearestMidnight(-1.25), -1.0);
    EXPECT_EQ(NearestMidnight(-1.75), 0.0);
    EXPECT_EQ(NearestMidnight(-2.75), -1.0);
}

TEST(DueDay, TheZonesShiftIsUndoneInEveryZoneOnEveryKindOfDay)
{
    // Outlook keeps a due day as midnight; a table that converts it once more
    // gives it shifted by the zone's offset in effect that day. Offsets from
    // UTC-12 to UTC+14, the half and three-quarter hours included, on an
    // ordinary day and on the days daylight saving time starts and ends
    // (the offset in effect at that midnight is the one passed).
    const double days[] = {MakeDate(2026, 12, 9), MakeDate(2026, 3, 29), MakeDate(2026, 10, 25),
                           MakeDate(2026, 4, 5), MakeDate(2026, 9, 27), MakeDate(2024, 2, 29)};
    for (double day : days) {
        for (int offset = -12 * 60; offset <= 14 * 60; offset += 15) {
            const double shifted = day + offset / 1440.0;
            EXPECT_EQ(DueDay(shifted, offset), day) << "day " << day << ", offset " << offset;
            EXPECT_EQ(DueDay(day, offset), day) << "unshifted, offset " << offset;
        }
    }
    // UTC+13: due on D, shown at 13:00 on D. Taken to the nearest midnight it was D+1.
    const double d = MakeDate(2026, 12, 9);
    EXPECT_EQ(DueDay(d + 13.0 / 24, 13 * 60), d);
    EXPECT_EQ(NearestMidnight(d + 13.0 / 24), d + 1);
}

TEST(DueDay, AnyOtherTimeOfDayGoesToTheNearestMidnightAndNoDateStays)
{
    const double d = MakeDate(2026, 12, 9);
    EXPECT_EQ(DueDay(d + 10.0 / 24, 60), d);           // 10:00 with UTC+1: no shift of that zone
    EXPECT_EQ(DueDay(d + 17.0 / 24, -5 * 60), d + 1);  // 17:00 with UTC-5
    EXPECT_EQ(DueDay(kNoDueDate, 13 * 60), kNoDueDate);
    EXPECT_EQ(DueDay(-1.25, 0), -1.0);
}
