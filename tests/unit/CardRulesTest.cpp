#include "alerts/CardRules.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

using namespace wl;

namespace {

// 9 December 2026, 10:00, as an automation date; minutes and seconds from it.
constexpr double kTen = 46365.0 + 10.0 / 24.0;
constexpr double Min(double m) { return kTen + m / (24.0 * 60.0); }
using K = CardWhen::Kind;

}  // namespace

TEST(CardWhen, AheadIsRoundedUpStartedRoundedDownAndTheFirstMinuteIsNow)
{
    struct Case {
        double now;
        CardWhen when;
    } cases[] = {
        {Min(-5), {K::In, 0, 5}},
        {Min(-4.5), {K::In, 0, 5}},
        {Min(-0.5), {K::In, 0, 1}},
        {Min(-135), {K::In, 2, 15}},
        {Min(-60), {K::In, 1, 0}},
        {Min(0), {K::Now}},
        {Min(0.99), {K::Now}},
        {Min(1), {K::Started, 0, 1}},
        {Min(3.7), {K::Started, 0, 3}},
        {Min(61), {K::Started, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.now);
        EXPECT_EQ(WhenOf(kTen, false, c.now), c.when);
    }
    EXPECT_EQ(WhenOf(std::nullopt, false, kTen), CardWhen{});
    EXPECT_EQ(WhenOf(std::numeric_limits<double>::quiet_NaN(), false, kTen), CardWhen{});
    EXPECT_EQ(WhenOf(2958465.0, false, kTen), CardWhen{});  // "no date" of Outlook: 1 Jan 4501
}

TEST(CardWhen, ATaskIsDueTodayOnItsDayAndAfter)
{
    EXPECT_EQ(WhenOf(46365.0, true, kTen), CardWhen{K::DueToday});
    EXPECT_EQ(WhenOf(46360.0, true, kTen), CardWhen{K::DueToday});
    EXPECT_EQ(WhenOf(46366.0, true, kTen), CardWhen{});
}

TEST(CardSnooze, UntilTheStartAndBeforeItOnlyWhileAMinuteIsLeft)
{
    EXPECT_EQ(SnoozeMinutesBefore(kTen, 0, Min(-20)), 20);
    EXPECT_EQ(SnoozeMinutesBefore(kTen, 5, Min(-20)), 15);
    EXPECT_EQ(SnoozeMinutesBefore(kTen, 0, Min(-20.5)), 20);  // never late
    EXPECT_EQ(SnoozeMinutesBefore(kTen, 5, Min(-6)), 1);
    EXPECT_EQ(SnoozeMinutesBefore(kTen, 5, Min(-5.5)), std::nullopt);
    EXPECT_EQ(SnoozeMinutesBefore(kTen, 0, Min(-0.5)), std::nullopt);
    EXPECT_EQ(SnoozeMinutesBefore(kTen, 0, Min(2)), std::nullopt);
    EXPECT_EQ(SnoozeMinutesBefore(std::nullopt, 0, kTen), std::nullopt);
}

TEST(CardRows, TheNewestThreeThenHowManyMore)
{
    EXPECT_EQ(RowsOf(0).shown, 0u);
    EXPECT_EQ(RowsOf(2).shown, 2u);
    EXPECT_EQ(RowsOf(2).more, 0u);
    EXPECT_EQ(RowsOf(3).more, 0u);
    EXPECT_EQ(RowsOf(500).shown, 3u);
    EXPECT_EQ(RowsOf(500).more, 497u);
}

TEST(CardText, ALongSubjectEndsInAnEllipsisWithoutSplittingAPair)
{
    EXPECT_EQ(EllipsisText(L"Review", 6), L"Review");
    EXPECT_EQ(EllipsisText(L"Reviews", 6), L"Revie\u2026");
    EXPECT_EQ(EllipsisText(std::wstring(10000, L'x'), 100).size(), 100u);
    if constexpr (sizeof(wchar_t) == 2) {
        const std::wstring emoji = L"ab\U0001F600cd";  // a, b, high, low, c, d
        EXPECT_EQ(EllipsisText(emoji, 4), L"ab\u2026");
        EXPECT_EQ(EllipsisText(emoji, 5), L"ab\U0001F600\u2026");
    }
}
