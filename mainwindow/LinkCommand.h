// The new-item links: how many menu items the links file asks for, and the
// command line a link starts. No Windows functions here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wl {

// "count" of the links file: its number rounded halves to even; absent or
// negative gives 0, and a damaged file cannot ask for more than kMaxLinks
// items, whatever its number.
inline constexpr std::int16_t kMaxLinks = 100;
std::int16_t LinkCount(std::wstring_view stored);

// Whether the command names Outlook's path through "%OUTLOOK%" (case-sensitive).
bool UsesOutlookPath(std::wstring_view command);

// Replaces every "%OUTLOOK%" (case-sensitive) by the Outlook path. A path
// with blanks that would stand unquoted is put in quotes, so the system
// never has to guess where the program's name ends; inside quotes it goes
// in verbatim.
std::wstring ExpandLinkCommand(std::wstring_view command, std::wstring_view outlookPath);

// A command line split into the program to start and the rest.
struct ProgramAndArguments {
    std::wstring program;    // without quotes
    std::wstring arguments;  // what follows, without the separating blanks
    bool quoted = false;
};
ProgramAndArguments SplitCommandLine(std::wstring_view commandLine);

// Whether a program named without quotes is unambiguous: a path with blanks
// is not (Windows would try "C:\Program.exe" for "C:\Program Files\x.exe"),
// nor a path without an extension, to which the system would add ".exe".
bool IsUnambiguousProgram(const ProgramAndArguments& split);

}  // namespace wl
