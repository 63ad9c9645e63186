// The links file: the item count and the command a link starts.
// The input's first line is the command, the rest the Outlook path (a path
// with blanks when there is no second line).
#include "FuzzText.h"
#include "core/Conversions.h"
#include "mainwindow/LinkCommand.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>


using namespace wl;

namespace {

constexpr std::wstring_view kPlaceholder = L"%OUTLOOK%";
constexpr std::wstring_view kBlanks = L" \t";

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
bool HasBlank(std::wstring_view s) { return s.find_first_of(kBlanks) != std::wstring_view::npos; }
std::size_t CountOf(std::wstring_view s, wchar_t c) { return static_cast<std::size_t>(std::count(s.begin(), s.end(), c)); }

void CheckSplit(std::wstring_view line)
{
    const ProgramAndArguments split = SplitCommandLine(line);
    std::size_t start = line.find_first_not_of(kBlanks);
    if (start == std::wstring_view::npos) {
        CHECK(split.program.empty() && split.arguments.empty() && !split.quoted);
        CHECK(!IsUnambiguousProgram(split));
        return;
    }
    // The line is: blanks, the program (in quotes or not), blanks, the arguments.
    CHECK(split.quoted == (line[start] == L'"'));
    std::size_t end;
    if (split.quoted) {
        CHECK(split.program.find(L'"') == std::wstring::npos);
        CHECK(line.substr(start + 1, split.program.size()) == split.program);
        end = start + 1 + split.program.size();
        if (end < line.size()) {
            CHECK(line[end] == L'"');
            ++end;
        }
    } else {
        CHECK(!split.program.empty());
        CHECK(!HasBlank(split.program));
        CHECK(line.substr(start, split.program.size()) == split.program);
        end = start + split.program.size();
        CHECK(end == line.size() || IsBlank(line[end]));
    }
    CHECK(end <= line.size());
    std::wstring_view between = line.substr(end, line.size() - end - split.arguments.size());
    CHECK(between.find_first_not_of(kBlanks) == std::wstring_view::npos);
    CHECK(line.substr(line.size() - split.arguments.size()) == split.arguments);
    CHECK(split.arguments.empty() || !IsBlank(split.arguments.front()));

    // Unquoted: a path needs an extension; a bare name is looked up. Quoted: named exactly.
    const bool unambiguous = IsUnambiguousProgram(split);
    if (split.program.empty()) {
        CHECK(!unambiguous);
    } else if (split.quoted) {
        CHECK(unambiguous);
    } else {
        const std::wstring& p = split.program;
        auto slash = p.find_last_of(L"\\/");
        std::wstring_view name = slash == std::wstring::npos ? std::wstring_view(p) : std::wstring_view(p).substr(slash + 1);
        bool isPath = p.find_first_of(L"\\/:") != std::wstring::npos;
        if (isPath) CHECK(unambiguous == (name.find(L'.') != std::wstring_view::npos));
        else CHECK(unambiguous);
    }
}

void CheckExpand(std::wstring_view command, std::wstring_view path)
{
    const std::wstring expanded = ExpandLinkCommand(command, path);
    fuzz::Show(3, "expanded", expanded);

    std::size_t placeholders = 0;
    for (std::size_t at = command.find(kPlaceholder); at != std::wstring_view::npos;
         at = command.find(kPlaceholder, at + kPlaceholder.size()))
        ++placeholders;
    if (placeholders == 0) {
        CHECK(expanded == command);
        return;
    }

    // Every placeholder becomes the path, perhaps in quotes; nothing else changes.
    const std::size_t unchanged = command.size() - placeholders * kPlaceholder.size();
    CHECK(expanded.size() >= unchanged + placeholders * path.size());
    const std::size_t added = expanded.size() - unchanged - placeholders * path.size();
    CHECK(added % 2 == 0 && added / 2 <= placeholders);
    const std::size_t quotedPaths = added / 2;
    if (!HasBlank(path)) CHECK(quotedPaths == 0);
    if (path.find(L'"') == std::wstring_view::npos)
        CHECK(CountOf(expanded, L'"') == CountOf(command, L'"') + 2 * quotedPaths);
    // The path is put in as it is, not expanded again.
    if (path.find(L'%') == std::wstring_view::npos)
        CHECK(CountOf(expanded, L'%') == CountOf(command, L'%') - 2 * placeholders);

    // Where the placeholder names the program, the program is the path,
    // whatever blanks it holds.
    if (path.empty() || path.find(L'"') != std::wstring_view::npos) return;
    std::size_t start = command.find_first_not_of(kBlanks);
    bool inQuotes = command[start] == L'"';
    if (inQuotes) ++start;
    if (command.substr(start, kPlaceholder.size()) != kPlaceholder) return;
    std::size_t after = start + kPlaceholder.size();
    if (inQuotes) {
        if (after >= command.size() || command[after] != L'"') return;
    } else if (after < command.size() && !IsBlank(command[after]) && !HasBlank(path)) {
        return;  // the program name goes on past the path
    }
    const ProgramAndArguments split = SplitCommandLine(expanded);
    CHECK(split.program == path);
    CHECK(split.quoted == (inQuotes || HasBlank(path)));
    if (HasBlank(path)) CHECK(IsUnambiguousProgram(split));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::ClearShown();
    const std::wstring text = fuzz::DecodeText(data, size);
    fuzz::Show(0, "text", text);

    // "count": rounded halves to even, 0 when absent or negative, at most kMaxLinks.
    const std::int16_t count = LinkCount(text);
    CHECK(count >= 0 && count <= kMaxLinks);
    auto number = NumberOfText(text);
    if (!number || *number < 0) {
        CHECK(count == 0);
    } else if (*number >= kMaxLinks) {
        CHECK(count == kMaxLinks);
    } else {
        auto rounded = RoundToInt16(*number);
        CHECK(rounded && count == *rounded);
    }

    std::wstring_view command = text;
    std::wstring_view path = L"C:\\Program Files\\Microsoft Office\\OUTLOOK.EXE";
    if (auto nl = command.find(L'\n'); nl != std::wstring_view::npos) {
        path = command.substr(nl + 1);
        command = command.substr(0, nl);
    }
    fuzz::Show(1, "command", command);
    fuzz::Show(2, "path", path);

    CheckSplit(command);
    CheckExpand(command, path);
    CheckSplit(ExpandLinkCommand(command, path));
    return 0;
}
