// Text helpers of the stand-in: UTF-8 <-> UTF-16, command-line style tokens
// (name=value pairs, double-quoted values), dates in the scenario notation and
// in the journal notation.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

std::string Utf8(std::wstring_view text);
std::wstring Wide(std::string_view utf8);

std::wstring Lower(std::wstring_view text);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
std::wstring Trim(std::wstring_view text);

// Splits a directive into words. A word may be name=value; a value (or a whole
// word) in double quotes may hold blanks; inside quotes \" is a quote and \\ a
// backslash.
std::vector<std::wstring> Tokenize(std::wstring_view line);

// Splits name=value; the name comes back in lower case. No '=': value empty, hasValue false.
struct Field {
    std::wstring name;
    std::wstring value;
    bool hasValue = false;
};
Field SplitField(const std::wstring& word);

// The date Outlook gives for "none": 1 January 4501, midnight.
constexpr double kNoDate = 949998.0;

// Dates as the scenario writes them: none, YYYY-MM-DD, YYYY-MM-DD HH:MM[:SS],
// today, tomorrow, yesterday, now, and today/now followed by +N or -N with d, h or m.
// Local time; today is midnight. nullopt for text that is not a date.
std::optional<double> ParseDate(std::wstring_view text);

// The local time now as an automation DATE.
double NowDate();

// #YYYY-MM-DD HH:MM:SS#
std::wstring JournalDate(double date);
// YYYY-MM-DD or YYYY-MM-DD HH:MM (for windows and replies); "none" for kNoDate.
std::wstring ShortDate(double date);

// "0x80070057"
std::wstring HexResult(HRESULT hr);
// 0x80070057 or decimal; nullopt when not a number.
std::optional<HRESULT> ParseResult(std::wstring_view text);

// A duration in milliseconds: decimal digits only; nullopt otherwise.
std::optional<DWORD> ParseMilliseconds(std::wstring_view text);

// Quotes a string the journal way: double quotes, a quote inside doubled.
std::wstring Quoted(std::wstring_view text);

// A Windows path for a scenario path: a Unix path (/tmp/x) becomes the path
// Wine shows for it; a relative path is taken beside baseDir.
std::wstring WindowsPath(const std::wstring& path, const std::wstring& baseDir);

// The folder of the running exe, with a trailing backslash.
std::wstring ExeFolder();

}  // namespace standin
