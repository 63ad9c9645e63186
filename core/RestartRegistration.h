// The program's registration with Windows for a restart after an installer
// closed it (Restart Manager).
#pragma once

#include "core/win32.h"

// Registers the program to be started again, as it was started (no
// arguments), once an installer that closed it is done. Not after a crash or
// a hang (WER would start a failing copy again and again, each reconnecting
// to Outlook), nor after a reboot.
void RegisterInstallerRestart() noexcept;

// Follows a coming end of the session (WM_QUERYENDSESSION's lParam): the
// registration stays only for an installer's close. Windows 10 1709 and later
// also start a registered program at the next sign-in after an ordinary
// shutdown, restart or logoff, whatever the user or the policy chose.
void FollowEndSession(LPARAM endSessionFlags) noexcept;

// The session end was called off (WM_ENDSESSION with FALSE): the program
// runs on, registered again for an installer's close.
void EndSessionCalledOff() noexcept;
