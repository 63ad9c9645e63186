// The join link of an online meeting, found in the texts of a meeting (its
// location, its body). Only https links of the known meeting services are
// ever given out, whatever the text holds: the link is opened with the
// shell's handler, so anything else (file:, a UNC path, script, another
// host) must never get through. No Windows functions here.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace wl {

// Longest link handed to the shell; a longer one is not a join link.
constexpr std::size_t kMaxMeetingLinkLength = 2048;

// The first join link in a text, in the order they stand. A link wrapped by
// Outlook's Safe Links is unwrapped once (its url parameter, percent-decoded
// once) and counts only when what it wraps is a join link itself.
std::optional<std::wstring> FindMeetingLink(std::wstring_view text);

// Whether the whole text is a join link of a known service: https, no user
// name, no port, a host of the service, the service's join path, and only
// the characters a link may hold (printable ASCII, no quotes, blanks or
// backslashes). The one check before a link is opened.
bool IsMeetingLink(std::wstring_view link);

// The host of a join link, in lower case (what the Join button names);
// empty when it is not a join link.
std::wstring MeetingLinkHost(std::wstring_view link);

}  // namespace wl
