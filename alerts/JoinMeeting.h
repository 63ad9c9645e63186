// Opening a meeting's join link: the one way the alert windows hand a link
// to the shell.
#pragma once

#include <string_view>

namespace wl {

// Opens the link with the shell's handler for https (the browser, or the
// meeting app registered for it) after checking it once more: whatever a
// value holds, only a join link of a known service ever reaches the shell.
// Returns whether the shell took it.
bool OpenJoinLink(std::wstring_view link);

}  // namespace wl
