#include "core/Conversions.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace wl;

namespace {

double Num(const wchar_t* text)
{
    auto n = NumberOfText(text);
    EXPECT_TRUE(n.has_value()) << "no number for text";
    return n.value_or(NAN);
}

}  // namespace

TEST(NumberOfText, ReadsTheLeadingDecimalNumber)
{
    EXPECT_EQ(Num(L"6"), 6.0);
    EXPECT_EQ(Num(L"-1"), -1.0);
    EXPECT_EQ(Num(L"+7"), 7.0);
    EXPECT_EQ(Num(L"2.5"), 2.5);
    EXPECT_EQ(Num(L".5"), 0.5);
    EXPECT_EQ(Num(L"-.5"), -0.5);
    EXPECT_EQ(Num(L"5."), 5.0);
    EXPECT_EQ(Num(L"1.2.3"), 1.2);
    EXPECT_EQ(Num(L"5 seconds"), 5.0);
    EXPECT_EQ(Num(L"1,5"), 1.0);  // a comma is never a decimal point
}

TEST(NumberOfText, TextWithoutANumberIsZero)
{
    EXPECT_EQ(Num(L""), 0.0);
    EXPECT_EQ(Num(L"True"), 0.0);
    EXPECT_EQ(Num(L"abc"), 0.0);
    EXPECT_EQ(Num(L"-"), 0.0);
    EXPECT_EQ(Num(L"--1"), 0.0);
    EXPECT_EQ(Num(L"."), 0.0);
    EXPECT_EQ(Num(L"&"), 0.0);
    EXPECT_EQ(Num(L"&H"), 0.0);
    EXPECT_EQ(Num(L"&X12"), 0.0);
    EXPECT_FALSE(std::signbit(Num(L"-0")));
}

TEST(NumberOfText, IgnoresBlanksTabsAndLineFeedsAnywhere)
{
    EXPECT_EQ(Num(L"  12"), 12.0);
    EXPECT_EQ(Num(L"1 2"), 12.0);
    EXPECT_EQ(Num(L"\t-\n3"), -3.0);
    EXPECT_EQ(Num(L"\r5"), 0.0);  // a carriage return is not a blank
    EXPECT_EQ(Num(L"& H 1 0"), 16.0);
}

TEST(NumberOfText, ReadsExponents)
{
    EXPECT_EQ(Num(L"1e3"), 1000.0);
    EXPECT_EQ(Num(L"1E+3"), 1000.0);
    EXPECT_EQ(Num(L"25e-1"), 2.5);
    EXPECT_EQ(Num(L"1D2"), 100.0);
    EXPECT_EQ(Num(L"1e"), 1.0);
    EXPECT_EQ(Num(L"1e+"), 1.0);
    EXPECT_EQ(Num(L"2ex"), 2.0);
}

TEST(NumberOfText, LongExponentsAndHugeMantissasKeepTheirValue)
{
    // Leading zeros of an exponent change nothing, however many.
    EXPECT_EQ(Num(L"1e000000000001"), 10.0);
    EXPECT_EQ(Num(L"1e-000000000001"), 0.1);
    EXPECT_EQ(Num(L"-1e000000000000"), -1.0);
    EXPECT_EQ(Num(L"0D5852323726585232372"), 0.0);  // zero stays zero
    EXPECT_EQ(NumberOfText(L"1e99999999999999"), std::nullopt);
    EXPECT_EQ(Num(L"1e-99999999999999"), 0.0);
    // Out of a double's range, the number's own size decides, not the exponent's sign.
    EXPECT_EQ(NumberOfText(L"0." + std::wstring(400, L'0') + L"1"), 0.0);
    EXPECT_EQ(NumberOfText(L"1" + std::wstring(400, L'0') + L"e-1"), std::nullopt);
    EXPECT_EQ(NumberOfText(L"-1e400"), std::nullopt);
}

TEST(NumberOfText, HexAndOctalFollowTheirWidth)
{
    EXPECT_EQ(Num(L"&H10"), 16.0);
    EXPECT_EQ(Num(L"&h1f"), 31.0);
    EXPECT_EQ(Num(L"&HFFFF"), -1.0);  // 16-bit
    EXPECT_EQ(Num(L"&H8000"), -32768.0);
    EXPECT_EQ(Num(L"&H10000"), 65536.0);
    EXPECT_EQ(Num(L"&HFFFFFFFF"), -1.0);  // 32-bit
    EXPECT_EQ(Num(L"&H7FFFFFFF"), 2147483647.0);
    EXPECT_EQ(Num(L"&O17"), 15.0);
    EXPECT_EQ(Num(L"&O177777"), -1.0);
    EXPECT_EQ(Num(L"&O18"), 1.0);  // stops at the first digit that does not fit
    EXPECT_EQ(Num(L"&H000000000000000001"), 1.0);
}

TEST(NumberOfText, ValuesBeyondEveryWidthDoNotFit)
{
    EXPECT_FALSE(NumberOfText(L"&HFFFFFFFFFF").has_value());
    EXPECT_FALSE(NumberOfText(L"&O77777777777777").has_value());
    EXPECT_FALSE(NumberOfText(L"1e400").has_value());
    EXPECT_FALSE(NumberOfText(L"-1e400").has_value());
    EXPECT_FALSE(NumberOfText(L"1e99999999999999999999").has_value());
    EXPECT_FALSE(NumberOfText(std::wstring(400, L'9')).has_value());
    EXPECT_EQ(Num(L"1e300"), 1e300);
    EXPECT_EQ(Num(L"-1e300"), -1e300);
    EXPECT_EQ(Num(L"1e-400"), 0.0);  // too small rounds to zero
    EXPECT_EQ(Num(L"1e-99999999999999999999"), 0.0);
}

TEST(Rounding, HalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(RoundToInt16(2.5), 2);
    EXPECT_EQ(RoundToInt16(3.5), 4);
    EXPECT_EQ(RoundToInt32(-0.5), 0);
    EXPECT_EQ(RoundToInt32(-1.5), -2);
    EXPECT_EQ(RoundToInt32(-1.4), -1);
    EXPECT_EQ(RoundToInt32(-2.5), -2);
    EXPECT_EQ(RoundToInt32(0.49999999999999994), 0);
    EXPECT_EQ(RoundToInt32(2.5000000001), 3);
}

TEST(Rounding, DetectsOverflowAtEachWidth)
{
    EXPECT_EQ(RoundToInt16(32767.4), 32767);
    EXPECT_EQ(RoundToInt16(32767.5), std::nullopt);  // rounds to 32768
    EXPECT_EQ(RoundToInt16(-32768.5), -32768);       // even: stays
    EXPECT_EQ(RoundToInt16(-32769), std::nullopt);
    EXPECT_EQ(RoundToInt32(2147483647.0), 2147483647);
    EXPECT_EQ(RoundToInt32(2147483647.5), std::nullopt);
    EXPECT_EQ(RoundToInt32(-2147483648.0), -2147483647 - 1);
    EXPECT_EQ(RoundToInt32(1e300), std::nullopt);
    EXPECT_EQ(RoundToInt32(INFINITY), std::nullopt);
    EXPECT_EQ(RoundToInt32(NAN), std::nullopt);
}

TEST(NumberText, IntegersAndDoublesReadBackTheSame)
{
    EXPECT_EQ(IntegerText(-1), L"-1");
    EXPECT_EQ(IntegerText(0), L"0");
    EXPECT_EQ(IntegerText(6), L"6");
    EXPECT_EQ(DoubleText(5000.0), L"5000");
    EXPECT_EQ(DoubleText(500.0), L"500");
    EXPECT_EQ(DoubleText(0.5), L"0.5");
    EXPECT_EQ(DoubleText(-0.0), L"0");
    EXPECT_EQ(DoubleText(1234.5678), L"1234.5678");
    EXPECT_EQ(DoubleText(600000.0), L"600000");  // not the shorter 6e+05
    EXPECT_EQ(DoubleText(-3000000.0), L"-3000000");
    for (double value : {0.1, 1e20, 123456789.125, 1e-7, 600000.0})
        EXPECT_EQ(NumberOfText(DoubleText(value)), value) << "value " << value;
}

TEST(TrimAtNull, CutsAtTheFirstNul)
{
    EXPECT_EQ(TrimAtNull(std::wstring(L"abc\0def", 7)), L"abc");
    EXPECT_EQ(TrimAtNull(std::wstring(L"\0abc", 4)), L"");
    EXPECT_EQ(TrimAtNull(L"abc"), L"abc");
    EXPECT_EQ(TrimAtNull(L""), L"");
}

TEST(CutText, NeverSplitsASurrogatePair)
{
    if (sizeof(wchar_t) != 2) GTEST_SKIP() << "UTF-16 only where wchar_t is 16 bits";
    // 62 letters and an emoji (two UTF-16 units) do not fit 63 units whole.
    std::wstring text = std::wstring(62, L'a') + L"\xD83D\xDE00";
    EXPECT_EQ(CutText(text, 63), std::wstring(62, L'a'));
    EXPECT_EQ(CutText(text, 64), text);
}

TEST(TrimSpaces, OnlySpacesGo)
{
    EXPECT_EQ(TrimSpaces(L"  a b  "), L"a b");
    EXPECT_EQ(TrimSpaces(L"\ta\t"), L"\ta\t");
    EXPECT_EQ(TrimSpaces(L"    "), L"");
}
