#include "core/MeetingLink.h"

#include <algorithm>
#include <array>
#include <initializer_list>

namespace wl {

namespace {

constexpr std::wstring_view kHttps = L"https://";
constexpr std::wstring_view kSafeLinksDomain = L".safelinks.protection.outlook.com";

wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix)
{
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (Lower(text[i]) != Lower(prefix[i])) return false;
    return true;
}

bool EndsWith(std::wstring_view text, std::wstring_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// The characters a link handed to the shell may hold: letters, digits and
// the URL punctuation, already percent-encoded where needed. No blank, quote,
// backslash, angle or curly bracket: these end a link in a text, and a quote
// would end the argument the shell's handler gets.
bool IsLinkChar(wchar_t c)
{
    if (IsAsciiLetter(c) || IsDigit(c)) return true;
    switch (c) {
    case L'-': case L'.': case L'_': case L'~': case L':': case L'/': case L'?': case L'#':
    case L'@': case L'!': case L'$': case L'&': case L'\'': case L'(': case L')': case L'*':
    case L'+': case L',': case L';': case L'=': case L'%':
        return true;
    default:
        return false;
    }
}

// One DNS label: letters, digits and inner hyphens.
bool IsLabel(std::wstring_view label)
{
    if (label.empty() || label.size() > 63 || label.front() == L'-' || label.back() == L'-') return false;
    for (wchar_t c : label)
        if (!IsAsciiLetter(c) && !IsDigit(c) && c != L'-') return false;
    return true;
}

// "<one label><domain>", the host of an account or site of a service.
bool IsOneLabelBelow(std::wstring_view host, std::wstring_view domain)
{
    return EndsWith(host, domain) && IsLabel(host.substr(0, host.size() - domain.size()));
}

struct Parts {
    std::wstring host;       // lower case
    std::wstring_view path;  // from the first '/' after the host, up to '?' or '#'
    std::wstring_view query; // after '?', up to '#'
};

// Splits an https link of plain link characters; none for anything else.
std::optional<Parts> Split(std::wstring_view link)
{
    if (link.empty() || link.size() > kMaxMeetingLinkLength) return std::nullopt;
    for (wchar_t c : link)
        if (!IsLinkChar(c)) return std::nullopt;
    if (!StartsWithNoCase(link, kHttps)) return std::nullopt;
    std::wstring_view rest = link.substr(kHttps.size());
    const std::size_t hostEnd = std::min(rest.find_first_of(L"/?#"), rest.size());
    std::wstring_view host = rest.substr(0, hostEnd);
    // A user name or a port is no part of a join link; a host that is not
    // dotted labels (an address, an encoded name) is no service's.
    if (host.empty() || host.find_first_of(L"@:%") != std::wstring_view::npos) return std::nullopt;
    Parts parts;
    for (wchar_t c : host) parts.host += Lower(c);
    std::wstring_view labels = parts.host;
    for (;;) {
        const std::size_t dot = labels.find(L'.');
        if (!IsLabel(labels.substr(0, dot))) return std::nullopt;
        if (dot == std::wstring_view::npos) break;
        labels.remove_prefix(dot + 1);
    }
    rest.remove_prefix(hostEnd);
    const std::size_t fragment = std::min(rest.find(L'#'), rest.size());
    std::wstring_view beforeFragment = rest.substr(0, fragment);
    const std::size_t question = std::min(beforeFragment.find(L'?'), beforeFragment.size());
    parts.path = beforeFragment.substr(0, question);
    if (question < beforeFragment.size()) parts.query = beforeFragment.substr(question + 1);
    return parts;
}

// The path starts with one of the prefixes and goes on past it.
bool PathUnder(std::wstring_view path, std::initializer_list<std::wstring_view> prefixes)
{
    for (std::wstring_view prefix : prefixes)
        if (path.size() > prefix.size() && StartsWithNoCase(path, prefix)) return true;
    return false;
}

// A Google Meet code: /abc-defg-hij.
bool IsMeetCode(std::wstring_view path)
{
    if (path.size() != 13 || path[0] != L'/' || path[4] != L'-' || path[9] != L'-') return false;
    for (std::size_t i : std::array<std::size_t, 10>{1, 2, 3, 5, 6, 7, 8, 10, 11, 12})
        if (!IsAsciiLetter(path[i])) return false;
    return true;
}

// A Webex scheduled meeting: /j.php or /<site>/j.php.
bool IsWebexMeetingPage(std::wstring_view path)
{
    if (StartsWithNoCase(path, L"/j.php") && path.size() == 6) return true;
    const std::size_t slash = path.find(L'/', 1);
    return slash != std::wstring_view::npos && slash > 1 && path.size() == slash + 6 &&
           StartsWithNoCase(path.substr(slash), L"/j.php");
}

bool IsServiceLink(const Parts& p)
{
    const std::wstring_view host = p.host;
    if (host == L"teams.microsoft.com") return PathUnder(p.path, {L"/l/meetup-join/", L"/meet/"});
    if (host == L"teams.live.com") return PathUnder(p.path, {L"/meet/"});
    if (host == L"zoom.us" || IsOneLabelBelow(host, L".zoom.us")) return PathUnder(p.path, {L"/j/", L"/my/", L"/w/"});
    if (host == L"meet.google.com") return IsMeetCode(p.path);
    if (host == L"meet.goto.com") return PathUnder(p.path, {L"/"});
    if (IsOneLabelBelow(host, L".webex.com"))
        return PathUnder(p.path, {L"/meet/", L"/join/", L"/wbxmjs/joinservice/"}) || IsWebexMeetingPage(p.path);
    return false;
}

int HexValue(wchar_t c)
{
    if (IsDigit(c)) return c - L'0';
    const wchar_t l = Lower(c);
    if (l >= L'a' && l <= L'f') return l - L'a' + 10;
    return -1;
}

// Percent-decodes once; none when an escape is malformed or gives anything
// but ASCII (a join link is ASCII; the check after it refuses the rest).
std::optional<std::wstring> PercentDecode(std::wstring_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = HexValue(text[i + 1]);
        const int low = HexValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        const int value = high * 16 + low;
        if (value >= 0x80) return std::nullopt;
        out += static_cast<wchar_t>(value);
        i += 2;
    }
    return out;
}

// The link a Safe Links link wraps, decoded once, when it is a join link.
std::optional<std::wstring> UnwrapSafeLink(const Parts& p)
{
    std::wstring_view query = p.query;
    while (!query.empty()) {
        const std::size_t amp = std::min(query.find(L'&'), query.size());
        std::wstring_view param = query.substr(0, amp);
        if (StartsWithNoCase(param, L"url=")) {
            auto inner = PercentDecode(param.substr(4));
            if (inner && IsMeetingLink(*inner)) return inner;
            return std::nullopt;
        }
        query.remove_prefix(std::min(amp + 1, query.size()));
    }
    return std::nullopt;
}

bool IsSafeLink(const Parts& p)
{
    return IsOneLabelBelow(p.host, kSafeLinksDomain) && (p.path.empty() || p.path == L"/");
}

// The join link a link in a text stands for, if any.
std::optional<std::wstring> JoinLinkOf(std::wstring_view candidate)
{
    auto parts = Split(candidate);
    if (!parts) return std::nullopt;
    if (IsSafeLink(*parts)) return UnwrapSafeLink(*parts);
    if (IsServiceLink(*parts)) return std::wstring(candidate);
    return std::nullopt;
}

}  // namespace

bool IsMeetingLink(std::wstring_view link)
{
    auto parts = Split(link);
    return parts && IsServiceLink(*parts);
}

std::wstring MeetingLinkHost(std::wstring_view link)
{
    auto parts = Split(link);
    if (!parts || !IsServiceLink(*parts)) return {};
    return parts->host;
}

std::optional<std::wstring> FindMeetingLink(std::wstring_view text)
{
    std::size_t i = 0;
    while (i + kHttps.size() <= text.size()) {
        if (Lower(text[i]) != L'h' || !StartsWithNoCase(text.substr(i), kHttps)) {
            ++i;
            continue;
        }
        // The link runs to the first character a link cannot hold (a blank,
        // a quote, an angle bracket, the end of a line).
        std::size_t end = i;
        while (end < text.size() && IsLinkChar(text[end])) ++end;
        std::wstring_view candidate = text.substr(i, end - i);
        // Punctuation of the sentence the link stands in.
        while (!candidate.empty() && std::wstring_view(L".,;:!?')").find(candidate.back()) != std::wstring_view::npos)
            candidate.remove_suffix(1);
        if (auto link = JoinLinkOf(candidate)) return link;
        i = end;
    }
    return std::nullopt;
}

}  // namespace wl
