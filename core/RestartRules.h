// When Windows may start the program again by itself. No Windows functions here.
#pragma once

#include <cstdint>

namespace wl {

// The flag of WM_QUERYENDSESSION's lParam that says an installer closes the
// program (Restart Manager) rather than that the session ends.
inline constexpr std::uint32_t kEndSessionCloseApp = 0x00000001;

// Whether the program stays registered for a restart by Windows once it is
// told of a coming end with these flags (WM_QUERYENDSESSION's lParam). Only
// an installer's close: Windows 10 1709 and later also start a registered
// program at the next sign-in after an ordinary shutdown, restart or logoff,
// which would start it whatever the user or the policy chose for logon.
bool RestartWantedAfter(std::uint32_t endSessionFlags) noexcept;

}  // namespace wl
