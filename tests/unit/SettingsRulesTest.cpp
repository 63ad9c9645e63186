#include "core/SettingsRules.h"

#include <gtest/gtest.h>

using namespace wl;

TEST(InverseFlagKeys, OffOnlyWhenTheNumberRoundsToMinusOne)
{
    EXPECT_EQ(FlagFromInverseKey(L"-1"), false);
    EXPECT_EQ(FlagFromInverseKey(L"-1.4"), false);
    EXPECT_EQ(FlagFromInverseKey(L"&HFFFF"), false);
    EXPECT_EQ(FlagFromInverseKey(L" -1 "), false);
    for (const wchar_t* on : {L"", L"0", L"1", L"5", L"True", L"-0.5", L"-1.5", L"abc", L"-2"})
        EXPECT_EQ(FlagFromInverseKey(on), true) << "text: " << testing::PrintToString(std::wstring(on));
}

TEST(InverseFlagKeys, NumbersOutOfRangeReadAsAbsent)
{
    for (const wchar_t* text : {L"1e300", L"-1e300", L"&HFFFFFFFFFF", L"1e400", L"4294967295"})
        EXPECT_EQ(FlagFromInverseKey(text), true);
}

TEST(FlagKeys, OnWhenTheNumberIsNotZero)
{
    EXPECT_EQ(FlagFromKey(L"-1"), true);
    EXPECT_EQ(FlagFromKey(L"2"), true);
    EXPECT_EQ(FlagFromKey(L"0.3"), true);
    EXPECT_EQ(FlagFromKey(L"1e300"), true);
    EXPECT_EQ(FlagFromKey(L"0"), false);
    EXPECT_EQ(FlagFromKey(L""), false);
    EXPECT_EQ(FlagFromKey(L"No"), false);
    EXPECT_EQ(FlagFromKey(L"1e400"), false);  // does not fit: absent
}

TEST(StartFolderKey, RoundsTo16BitsAndFallsBackToZero)
{
    EXPECT_EQ(StartFolderFromKey(L"6"), 6);
    EXPECT_EQ(StartFolderFromKey(L"2.5"), 2);
    EXPECT_EQ(StartFolderFromKey(L"3.5"), 4);
    EXPECT_EQ(StartFolderFromKey(L""), 0);
    EXPECT_EQ(StartFolderFromKey(L"-32768"), -32768);
    EXPECT_EQ(StartFolderFromKey(L"32768"), 0);
    EXPECT_EQ(StartFolderFromKey(L"1e300"), 0);
    EXPECT_EQ(StartFolderFromKey(L"&HFFFFFFFFFF"), 0);
}

TEST(LoadDelayKey, IsBoundedToTenMinutes)
{
    EXPECT_EQ(LoadDelayFromKey(L""), 0);
    EXPECT_EQ(LoadDelayFromKey(L"5000"), 5000);
    EXPECT_EQ(LoadDelayFromKey(L"500.5"), 500);
    EXPECT_EQ(LoadDelayFromKey(L"-1"), 0);
    EXPECT_EQ(LoadDelayFromKey(L"-1e300"), 0);
    EXPECT_EQ(LoadDelayFromKey(L"600000"), 600000);
    EXPECT_EQ(LoadDelayFromKey(L"600001"), kMaxLoadDelayMs);
    EXPECT_EQ(LoadDelayFromKey(L"2147483647"), kMaxLoadDelayMs);
    EXPECT_EQ(LoadDelayFromKey(L"1e300"), 0);  // does not fit 32 bits: absent
    EXPECT_EQ(LoadDelayFromKey(L"&HFFFFFFFF"), 0);  // -1
}

TEST(DelayBox, ShowsSecondsAndReadsThemBack)
{
    EXPECT_EQ(DelaySecondsText(30000), L"30");
    EXPECT_EQ(DelaySecondsText(500), L"0.5");
    EXPECT_EQ(DelaySecondsText(0), L"0");
    EXPECT_EQ(DelaySecondsText(1234), L"1.234");
    // OK without touching the box stores what it showed.
    for (std::int32_t ms : {0, 1, 500, 1234, 30000, 599999, 600000})
        EXPECT_EQ(DelayMsFromSecondsText(DelaySecondsText(ms)), static_cast<double>(ms)) << ms;
}

TEST(DelayBox, RefusesWhatStartUpWouldNotWait)
{
    EXPECT_EQ(DelayMsFromSecondsText(L""), 0.0);
    EXPECT_EQ(DelayMsFromSecondsText(L"abc"), 0.0);
    EXPECT_EQ(DelayMsFromSecondsText(L"5 seconds"), 5000.0);
    EXPECT_EQ(DelayMsFromSecondsText(L"1,5"), 1000.0);
    EXPECT_EQ(DelayMsFromSecondsText(L"600"), 600000.0);
    EXPECT_FALSE(DelayMsFromSecondsText(L"600.001").has_value());
    EXPECT_FALSE(DelayMsFromSecondsText(L"-1").has_value());
    EXPECT_FALSE(DelayMsFromSecondsText(L"1e300").has_value());
    EXPECT_FALSE(DelayMsFromSecondsText(L"1e400").has_value());
}

TEST(FlagTexts, WriteWhatTheReadersExpect)
{
    EXPECT_EQ(FlagText(true), L"-1");
    EXPECT_EQ(FlagText(false), L"0");
    EXPECT_EQ(InverseFlagText(true), L"0");
    EXPECT_EQ(InverseFlagText(false), L"-1");
    EXPECT_EQ(FlagFromInverseKey(InverseFlagText(true)), true);
    EXPECT_EQ(FlagFromInverseKey(InverseFlagText(false)), false);
}
