#include "RestartRules.h"

namespace wl {

bool RestartWantedAfter(std::uint32_t endSessionFlags) noexcept
{
    // A shutdown or restart (no flag), a logoff, a critical end: none of them
    // is the installer's close, whatever else is set.
    return (endSessionFlags & kEndSessionCloseApp) != 0;
}

}  // namespace wl
