#include "RestartRegistration.h"

#include "core/RestartRules.h"

static_assert(wl::kEndSessionCloseApp == ENDSESSION_CLOSEAPP);

void RegisterInstallerRestart() noexcept
{
    (void)::RegisterApplicationRestart(L"", RESTART_NO_CRASH | RESTART_NO_HANG | RESTART_NO_REBOOT);
}

void FollowEndSession(LPARAM endSessionFlags) noexcept
{
    if (wl::RestartWantedAfter(static_cast<std::uint32_t>(endSessionFlags))) RegisterInstallerRestart();
    else (void)::UnregisterApplicationRestart();
}

void EndSessionCalledOff() noexcept { RegisterInstallerRestart(); }
