#include "Conversions.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace wl {

namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

bool IsHighSurrogate(wchar_t c) { return sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return sizeof(wchar_t) == 2 && c >= 0xDC00 && c <= 0xDFFF; }

// &H / &O literal; text starts after the prefix letter.
std::optional<double> RadixNumber(std::wstring_view digits, int radix)
{
    std::uint64_t value = 0;
    for (wchar_t c : digits) {
        int d = HexValue(c);
        if (d < 0 || d >= radix) break;
        value = value * static_cast<unsigned>(radix) + static_cast<unsigned>(d);
        if (value > 0xFFFFFFFFull) return std::nullopt;  // wider than 32 bits
    }
    if (value <= 0xFFFFu) return static_cast<double>(static_cast<std::int16_t>(value));
    return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
}

std::optional<double> DecimalNumber(std::wstring_view s)
{
    // Collect the longest prefix that forms a number, as plain ASCII.
    std::string text;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) {
        if (s[i] == L'-') text += '-';
        ++i;
    }
    // The decimal magnitude of the first significant digit, to tell a number
    // too large for a double from one too small.
    long long magnitude = 0;
    bool significant = false, anyDigit = false;
    long long intDigits = 0;
    while (i < s.size() && IsDigit(s[i])) {
        if (s[i] != L'0' && !significant) {
            significant = true;
            magnitude = -intDigits;  // completed below, when the integer part's length is known
        }
        text += static_cast<char>(s[i++]);
        ++intDigits;
        anyDigit = true;
    }
    if (significant) magnitude += intDigits - 1;
    if (i < s.size() && s[i] == L'.') {
        std::string fraction = ".";
        ++i;
        while (i < s.size() && IsDigit(s[i])) {
            if (s[i] != L'0' && !significant) {
                significant = true;
                magnitude = -static_cast<long long>(fraction.size());
            }
            fraction += static_cast<char>(s[i++]);
            anyDigit = true;
        }
        if (fraction.size() > 1) text += fraction;
    }
    if (!anyDigit) return 0.0;

    if (i < s.size() && (s[i] == L'e' || s[i] == L'E' || s[i] == L'd' || s[i] == L'D')) {
        std::size_t j = i + 1;
        bool negative = false;
        if (j < s.size() && (s[j] == L'+' || s[j] == L'-')) negative = s[j++] == L'-';
        if (j < s.size() && IsDigit(s[j])) {
            // Leading zeros change nothing; past nine digits the exponent
            // outweighs any mantissa, so it is held at a billion.
            long long exponent = 0;
            for (; j < s.size() && IsDigit(s[j]); ++j) {
                exponent = exponent * 10 + (s[j] - L'0');
                if (exponent > 1'000'000'000) exponent = 1'000'000'000;
            }
            if (negative) exponent = -exponent;
            magnitude += exponent;
            text += 'e' + std::to_string(exponent);
        }
    }
    if (!significant) return 0.0;

    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        // Too small rounds to zero; too large does not fit.
        if (magnitude < 0) return 0.0;
        return std::nullopt;
    }
    if (ec != std::errc()) return 0.0;
    if (!std::isfinite(value)) return std::nullopt;
    return value == 0.0 ? 0.0 : value;  // no negative zero
}

template <class Int>
std::optional<Int> RoundTo(double value)
{
    if (!std::isfinite(value)) return std::nullopt;
    // Halves to even, whatever rounding mode the process is in.
    double floor = std::floor(value);
    double diff = value - floor;
    double rounded = floor;
    if (diff > 0.5) rounded = floor + 1;
    else if (diff == 0.5) rounded = std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1;
    if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Int>::max()))
        return std::nullopt;
    return static_cast<Int>(rounded);
}

}  // namespace

std::optional<double> NumberOfText(std::wstring_view text)
{
    std::wstring s;
    s.reserve(text.size());
    for (wchar_t c : text)
        if (c != L' ' && c != L'\t' && c != L'\n') s += c;

    if (s.size() >= 2 && s[0] == L'&') {
        if (s[1] == L'H' || s[1] == L'h') return RadixNumber(std::wstring_view(s).substr(2), 16);
        if (s[1] == L'O' || s[1] == L'o') return RadixNumber(std::wstring_view(s).substr(2), 8);
        return 0.0;
    }
    return DecimalNumber(s);
}

std::optional<std::int16_t> RoundToInt16(double value) { return RoundTo<std::int16_t>(value); }
std::optional<std::int32_t> RoundToInt32(double value) { return RoundTo<std::int32_t>(value); }

std::wstring IntegerText(long long value)
{
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    (void)ec;
    return std::wstring(buffer, end);
}

std::wstring DoubleText(double value)
{
    if (value == 0.0) return L"0";
    char buffer[64];
    // Whole numbers keep their digits (600000, not the shorter 6e+05), as
    // long as a double holds every digit exactly.
    const bool whole = std::abs(value) < 1e15 && value == std::trunc(value);
    auto [end, ec] = whole ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed)
                           : std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc()) return L"0";
    return std::wstring(buffer, end);
}

std::wstring TrimAtNull(std::wstring_view text)
{
    auto at = text.find(L'\0');
    return std::wstring(at == std::wstring_view::npos ? text : text.substr(0, at));
}

std::wstring TrimSpaces(std::wstring_view text)
{
    auto first = text.find_first_not_of(L' ');
    if (first == std::wstring_view::npos) return {};
    auto last = text.find_last_not_of(L' ');
    return std::wstring(text.substr(first, last - first + 1));
}

std::wstring CutText(std::wstring_view text, std::size_t maxLen)
{
    if (text.size() <= maxLen) return std::wstring(text);
    std::size_t n = maxLen;
    if (n > 0 && IsHighSurrogate(text[n - 1]) && IsLowSurrogate(text[n])) --n;
    return std::wstring(text.substr(0, n));
}

}  // namespace wl
