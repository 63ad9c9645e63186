#include "LinkCommand.h"

#include "core/Conversions.h"

#include <cmath>

namespace wl {

namespace {
constexpr std::wstring_view kPlaceholder = L"%OUTLOOK%";
}

std::int16_t LinkCount(std::wstring_view stored)
{
    auto number = NumberOfText(stored);
    if (!number || std::isnan(*number) || *number < 0) return 0;
    // Any larger number, even one beyond 16 bits, is a damaged file: cap it.
    if (*number > kMaxLinks) return kMaxLinks;
    return RoundToInt16(*number).value_or(0);
}

bool UsesOutlookPath(std::wstring_view command) { return command.find(kPlaceholder) != std::wstring_view::npos; }

std::wstring ExpandLinkCommand(std::wstring_view command, std::wstring_view outlookPath)
{
    const bool needsQuotes = outlookPath.find_first_of(L" \t") != std::wstring_view::npos &&
                             !(outlookPath.size() >= 2 && outlookPath.front() == L'"' && outlookPath.back() == L'"');
    std::wstring result;
    result.reserve(command.size() + outlookPath.size());
    bool insideQuotes = false;
    std::size_t i = 0;
    while (i < command.size()) {
        if (command.compare(i, kPlaceholder.size(), kPlaceholder) == 0) {
            if (needsQuotes && !insideQuotes) {
                result += L'"';
                result += outlookPath;
                result += L'"';
            } else {
                result += outlookPath;
            }
            i += kPlaceholder.size();
            continue;
        }
        if (command[i] == L'"') insideQuotes = !insideQuotes;
        result += command[i++];
    }
    return result;
}

ProgramAndArguments SplitCommandLine(std::wstring_view line)
{
    ProgramAndArguments split;
    std::size_t i = line.find_first_not_of(L" \t");
    if (i == std::wstring_view::npos) return split;
    std::size_t end;
    if (line[i] == L'"') {
        split.quoted = true;
        std::size_t close = line.find(L'"', i + 1);
        split.program = std::wstring(line.substr(i + 1, close == std::wstring_view::npos ? std::wstring_view::npos
                                                                                        : close - i - 1));
        end = close == std::wstring_view::npos ? line.size() : close + 1;
    } else {
        end = line.find_first_of(L" \t", i);
        if (end == std::wstring_view::npos) end = line.size();
        split.program = std::wstring(line.substr(i, end - i));
    }
    std::size_t rest = line.find_first_not_of(L" \t", end);
    if (rest != std::wstring_view::npos) split.arguments = std::wstring(line.substr(rest));
    return split;
}

bool IsUnambiguousProgram(const ProgramAndArguments& split)
{
    if (split.program.empty()) return false;
    if (split.quoted) return true;
    const std::wstring& p = split.program;
    bool isPath = p.find_first_of(L"\\/:") != std::wstring::npos;
    if (!isPath) return true;  // a bare name is looked up on the search path
    // An unquoted path ending before its extension is the start of a longer path with blanks.
    auto slash = p.find_last_of(L"\\/");
    auto dot = p.find_last_of(L'.');
    bool hasExtension = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash);
    return hasExtension;
}

}  // namespace wl
