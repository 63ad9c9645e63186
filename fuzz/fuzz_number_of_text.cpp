// The numbers of the settings file: NumberOfText, RoundToInt16/32, the
// settings readers built on them, and the texts written back for them.
#include "FuzzText.h"
#include "core/Conversions.h"
#include "core/SettingsRules.h"

#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>


using namespace wl;

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n'; }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// NumberOfText as its header describes it, read with strtod.
std::optional<double> ExpectedNumber(std::wstring_view text)
{
    std::wstring s;
    for (wchar_t c : text)
        if (!IsBlank(c)) s += c;

    if (s.size() >= 2 && s[0] == L'&') {
        int radix = 0;
        if (s[1] == L'H' || s[1] == L'h') radix = 16;
        if (s[1] == L'O' || s[1] == L'o') radix = 8;
        if (radix == 0) return 0.0;
        std::uint64_t value = 0;
        for (std::size_t i = 2; i < s.size(); ++i) {
            wchar_t c = s[i];
            int d = IsDigit(c) ? c - L'0' : (c >= L'a' && c <= L'f') ? c - L'a' + 10 : (c >= L'A' && c <= L'F') ? c - L'A' + 10 : 99;
            if (d >= radix) break;
            value = value * static_cast<unsigned>(radix) + static_cast<unsigned>(d);
            if (value > 0xFFFFFFFFull) return std::nullopt;
        }
        if (value <= 0xFFFF) return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }

    std::string ascii;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) ascii += static_cast<char>(s[i++]);
    bool digits = false;
    while (i < s.size() && IsDigit(s[i])) ascii += static_cast<char>(s[i++]), digits = true;
    if (i < s.size() && s[i] == L'.') {
        ascii += '.';
        ++i;
        while (i < s.size() && IsDigit(s[i])) ascii += static_cast<char>(s[i++]), digits = true;
    }
    if (!digits) return 0.0;
    if (i < s.size() && (s[i] == L'E' || s[i] == L'e' || s[i] == L'D' || s[i] == L'd')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == L'+' || s[j] == L'-')) exponent += static_cast<char>(s[j++]);
        bool any = false;
        while (j < s.size() && IsDigit(s[j])) exponent += static_cast<char>(s[j++]), any = true;
        if (any) ascii += exponent;
    }
    errno = 0;
    double value = std::strtod(ascii.c_str(), nullptr);
    if (std::isinf(value)) return std::nullopt;  // too large for a double
    return value;                                  // too small: the nearest double, maybe 0
}

template <class Int>
void CheckRounding(double x, std::optional<Int> rounded)
{
    // The default rounding mode rounds halves to even.
    CHECK(std::fegetround() == FE_TONEAREST);
    bool fits = false;
    double nearest = 0;
    if (std::isfinite(x)) {
        nearest = std::nearbyint(x);
        fits = nearest >= static_cast<double>(std::numeric_limits<Int>::min()) &&
               nearest <= static_cast<double>(std::numeric_limits<Int>::max());
    }
    CHECK(rounded.has_value() == fits);
    if (!rounded) return;
    CHECK(static_cast<double>(*rounded) == nearest);
    long double diff = std::fabs(static_cast<long double>(x) - static_cast<long double>(*rounded));
    CHECK(diff <= 0.5L);
    if (diff == 0.5L) CHECK(*rounded % 2 == 0);
}

void CheckDoubleText(double x)
{
    std::wstring text = DoubleText(x);
    fuzz::Show(3, "DoubleText", text);
    if (!std::isfinite(x)) return;
    for (wchar_t c : text) CHECK(IsDigit(c) || c == L'.' || c == L'-' || c == L'+' || c == L'e');
    bool scientific = text.find(L'e') != std::wstring::npos;
    if (std::trunc(x) == x && !scientific) CHECK(text.find(L'.') == std::wstring::npos);
    auto back = NumberOfText(text);
    CHECK(back.has_value());
    CHECK(*back == x);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::ClearShown();
    const std::wstring text = fuzz::DecodeText(data, size);
    fuzz::Show(0, "text", text);

    // Against the header's description.
    const std::optional<double> number = NumberOfText(text);
    const std::optional<double> expected = ExpectedNumber(text);
    if (number) fuzz::Show(1, "NumberOfText", DoubleText(*number));
    if (expected) fuzz::Show(2, "expected", DoubleText(*expected));
    CHECK(number.has_value() == expected.has_value());
    if (number) {
        CHECK(std::isfinite(*number));
        CHECK(*number == *expected);
    }

    // Blanks, tabs and line feeds count nowhere.
    std::wstring spread;
    for (std::size_t i = 0; i < text.size(); ++i) {
        spread += text[i];
        spread += L" \t\n"[i % 3];
    }
    auto spreadNumber = NumberOfText(spread);
    CHECK(spreadNumber.has_value() == number.has_value());
    if (number) CHECK(*spreadNumber == *number);

    // Rounding, of the number read and of a raw double from the input.
    std::optional<std::int16_t> r16 = number ? RoundToInt16(*number) : std::nullopt;
    std::optional<std::int32_t> r32 = number ? RoundToInt32(*number) : std::nullopt;
    if (number) {
        CheckRounding(*number, r16);
        CheckRounding(*number, r32);
    }
    double raw = 0;
    long long rawInteger = 0;
    if (size >= sizeof raw) {
        std::memcpy(&raw, data, sizeof raw);
        std::memcpy(&rawInteger, data, sizeof rawInteger);
        CheckRounding(raw, RoundToInt16(raw));
        CheckRounding(raw, RoundToInt32(raw));
        CheckDoubleText(raw);
        auto back = NumberOfText(IntegerText(rawInteger));
        CHECK(back && *back == static_cast<double>(rawInteger));
    }
    if (number) CheckDoubleText(*number);

    // The settings readers.
    const Flag inverse = FlagFromInverseKey(text);
    CHECK(inverse == ((r32 && *r32 == -1) ? kOff : kOn));
    CHECK(FlagFromInverseKey(InverseFlagText(inverse)) == inverse);

    const Flag flag = FlagFromKey(text);
    CHECK(flag == ((number && *number != 0.0) ? kOn : kOff));
    CHECK(FlagFromKey(FlagText(flag)) == flag);

    CHECK(StartFolderFromKey(text) == r16.value_or(0));

    const std::int32_t delay = LoadDelayFromKey(text);
    CHECK(delay >= 0 && delay <= kMaxLoadDelayMs);
    if (!r32 || *r32 < 0) CHECK(delay == 0);
    else CHECK(delay == (*r32 > kMaxLoadDelayMs ? kMaxLoadDelayMs : *r32));

    // The Options dialog shows the delay start-up uses; confirmed unchanged,
    // it is stored so that start-up reads the same delay again.
    std::wstring seconds = DelaySecondsText(delay);
    fuzz::Show(3, "DelaySecondsText", seconds);
    auto ms = DelayMsFromSecondsText(seconds);
    CHECK(ms.has_value());
    CHECK(LoadDelayFromKey(DoubleText(*ms)) == delay);
    return 0;
}
