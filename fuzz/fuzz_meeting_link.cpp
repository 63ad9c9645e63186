// The join link of a meeting (FindMeetingLink, IsMeetingLink,
// MeetingLinkHost): whatever the text, only a whole https link of a known
// service comes out, and it is the text's own or what a Safe Links link wraps.
#include "FuzzText.h"
#include "core/MeetingLink.h"

#include <cstdint>
#include <string>
#include <string_view>

using namespace wl;

namespace {

bool StartsWithHttps(std::wstring_view link)
{
    constexpr std::wstring_view kHttps = L"https://";
    if (link.size() < kHttps.size()) return false;
    for (std::size_t i = 0; i < kHttps.size(); ++i) {
        wchar_t c = link[i];
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != kHttps[i]) return false;
    }
    return true;
}

bool IsKnownHost(std::wstring_view host)
{
    auto below = [&](std::wstring_view domain) {
        return host.size() > domain.size() && host.substr(host.size() - domain.size()) == domain &&
               host.substr(0, host.size() - domain.size()).find(L'.') == std::wstring_view::npos;
    };
    return host == L"teams.microsoft.com" || host == L"teams.live.com" || host == L"meet.google.com" ||
           host == L"meet.goto.com" || host == L"zoom.us" || below(L".zoom.us") || below(L".webex.com");
}

// What the shell may be given: printable ASCII without blank, quote, backslash or brackets.
bool IsPlain(std::wstring_view link)
{
    for (wchar_t c : link)
        if (c <= L' ' || c >= 0x7F || std::wstring_view(L"\"\\<>{}|^`[]").find(c) != std::wstring_view::npos)
            return false;
    return true;
}

void CheckLink(std::wstring_view link)
{
    CHECK(IsMeetingLink(link));
    CHECK(StartsWithHttps(link));
    CHECK(link.size() <= kMaxMeetingLinkLength);
    CHECK(IsPlain(link));
    const std::wstring host = MeetingLinkHost(link);
    fuzz::Show(2, "host", host);
    CHECK(IsKnownHost(host));
    CHECK(link.find(L'@') == std::wstring_view::npos || link.find(L'@') > 8 + host.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::ClearShown();
    const std::wstring text = fuzz::DecodeText(data, size);
    fuzz::Show(0, "text", text);

    const auto found = FindMeetingLink(text);
    if (found) {
        fuzz::Show(1, "found", *found);
        CheckLink(*found);
        // Either the text's own link or one a Safe Links link in the text wrapped.
        if (text.find(*found) == std::wstring::npos) {
            std::wstring lower = text;
            for (wchar_t& c : lower)
                if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
            CHECK(lower.find(L".safelinks.protection.outlook.com/") != std::wstring::npos ||
                  lower.find(L".safelinks.protection.outlook.com?") != std::wstring::npos);
        }
    }

    if (IsMeetingLink(text)) {
        CheckLink(text);
        // A whole join link is found as itself, unless it ends like a sentence.
        if (std::wstring_view(L".,;:!?')").find(text.back()) == std::wstring_view::npos)
            CHECK(found && *found == text);
    } else {
        CHECK(MeetingLinkHost(text).empty());
    }
    return 0;
}
