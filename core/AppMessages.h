// The program's own window messages, timer ids and tray icon ids. Each number
// that two files must agree on is named here once.
#pragma once

#include "core/win32.h"

namespace wl {

// Messages, all in the application's range: never one of the input range,
// which COM's wait loop and the menu loop may hold back or drop.
// The tray icons' mouse messages reach their owner as kTrayCallback: wParam
// the icon id, lParam the mouse message (WM_RBUTTONUP, NIN_BALLOONUSERCLICK...).
inline constexpr UINT kTrayCallback = WM_APP + 1;
// Work put off until the call into another process in progress is done.
// The Outlook session's own window:
inline constexpr UINT kOutlookQuit = WM_APP + 11;             // Outlook raised Quit
inline constexpr UINT kOutlookCallFoundItGone = WM_APP + 12;  // a call found Outlook's process gone
inline constexpr UINT kOutlookProcessEnded = WM_APP + 14;     // wParam: the connection it belonged to
inline constexpr UINT kOutlookRemindersEvent = WM_APP + 15;   // Outlook's reminder events wait
inline constexpr UINT kOutlookStoresEvent = WM_APP + 25;      // a store was added to the profile or is leaving it
// The windows:
inline constexpr UINT kEndSessionDeferred = WM_APP + 13;  // main window: unload for the session end
inline constexpr UINT kPolicyChanged = WM_APP + 16;       // main window: Group Policy was refreshed
inline constexpr UINT kAlertTimerRetry = WM_APP + 20;     // alert window: the repeat tick put off
inline constexpr UINT kCardPlace = WM_APP + 21;           // reminder card: place it again, after a DPI change

// Window timers (the alert windows' repeat runs on the timer service).
// The Outlook session's window:
inline constexpr UINT_PTR kProbeTimer = 1;      // is a connected Outlook still there?
inline constexpr UINT_PTR kReconnectTimer = 2;  // connect again after a pause
inline constexpr UINT_PTR kQuitWaitTimer = 5;   // Outlook quit: wait for its end, then connect
inline constexpr UINT_PTR kRemindersQuietTimer = 6;  // Outlook's reminder events have all come
inline constexpr UINT_PTR kCalendarQuietTimer = 20;  // the calendar's item events have all come
// The main window:
inline constexpr UINT_PTR kStartUpTimer = 3;    // the start-up delay
inline constexpr UINT_PTR kReadAgainTimer = 7;  // woken, unlocked or the clock changed: read Outlook again
inline constexpr UINT_PTR kMidnightTimer = 8;   // the day changes: tasks due yesterday are overdue
inline constexpr UINT_PTR kSessionSignalsTimer = 9;  // ask again to hear of the session's unlocks
inline constexpr UINT_PTR kTodayTimer = 21;  // the tip, the Today list or a warning before a meeting changes
// The reminder card:
inline constexpr UINT_PTR kCardMinuteTimer = 10;  // its texts follow the clock
inline constexpr UINT_PTR kCardWaitTimer = 11;    // asks again whether the user may be disturbed
inline constexpr UINT_PTR kCardMenuTimer = 12;    // closes the snooze menu on a click elsewhere

// Tray icons: one id per icon, whichever window owns it.
inline constexpr UINT kMainIconId = 1;
inline constexpr UINT kRemindersIconId = 2;
inline constexpr UINT kOverdueTasksIconId = 3;

}  // namespace wl
