// Text and number conversions shared by the settings reader, the links reader,
// the Options dialog and the tray service. No Windows functions here, so the
// rules build and are tested natively as well.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wl {

// The leading number of a text, as the settings and links readers take it:
// blanks, tabs and line feeds are dropped wherever they stand; then an optional
// sign, digits with a full stop as decimal point, an optional exponent (E or D);
// or &H / &O followed by hexadecimal / octal digits. Reading stops at the first
// character that does not fit. A text without a leading number gives 0.
// Hexadecimal and octal values up to FFFF read as 16-bit signed, up to FFFFFFFF
// as 32-bit signed. std::nullopt when the number does not fit a double or a
// hexadecimal value exceeds 32 bits: callers treat that like an absent value.
std::optional<double> NumberOfText(std::wstring_view text);

// Rounds to the nearest integer, halves to the even neighbour (2.5 -> 2,
// 3.5 -> 4, -1.5 -> -2). std::nullopt when the result does not fit the width.
std::optional<std::int16_t> RoundToInt16(double value);
std::optional<std::int32_t> RoundToInt32(double value);

// The standard text of a value: an integer as its decimal digits (-1, 0, 6);
// a double as its shortest round-trip text with a full stop, whatever the
// locale, and without a decimal point when whole (5000, 0.5, 1e+20).
std::wstring IntegerText(long long value);
std::wstring DoubleText(double value);

// The part of a text before its first NUL, or the whole text.
std::wstring TrimAtNull(std::wstring_view text);

// Removes leading and trailing spaces (only the space character).
std::wstring TrimSpaces(std::wstring_view text);

// Cut to at most maxLen characters without splitting a surrogate pair.
std::wstring CutText(std::wstring_view text, std::size_t maxLen);

}  // namespace wl
