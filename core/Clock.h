// The local clock as Windows keeps it, and the signals after which what the
// program read may be stale: the machine woke, the user's session was
// unlocked or reconnected, the clock or the time zone changed.
#pragma once

#include "core/win32.h"

#include <string>

// The current local time as an automation date, as Outlook gives its dates.
double LocalNow() noexcept;
// Moves the clock LocalNow reads by that many days (0: the real one), so a
// test can set its meetings at a time of day of its choosing.
void SetLocalClockOffset(double days) noexcept;

// The time of day of a local automation date, to the minute, as the user's
// regional settings write a short time ("14:30", "2:30 PM").
std::wstring TimeOfDayText(double localDate);

// Local time less UTC, in minutes, in effect at a local automation date, by
// the time zone's rules for that year.
int LocalOffsetMinutesAt(double localDate) noexcept;

// Milliseconds until the next local midnight (at least one), daylight saving
// time included.
UINT MsToNextLocalMidnight() noexcept;
// The local date as a number (year, month, day), to tell that the day changed.
unsigned LocalDayNumber() noexcept;

// Whether the message says the machine woke, the session was unlocked or
// reconnected, or the clock was set.
bool SaysReadAgain(UINT message, WPARAM wParam) noexcept;

// The window hears of its session being locked, unlocked or reconnected
// (WM_WTSSESSION_CHANGE) while this lives.
class SessionNotifications {
public:
    SessionNotifications() = default;
    SessionNotifications(const SessionNotifications&) = delete;
    SessionNotifications& operator=(const SessionNotifications&) = delete;
    ~SessionNotifications() { Stop(); }

    // False when Windows could not yet: at logon, before its terminal
    // services run, the call fails and is to be made again later.
    bool Start(HWND window) noexcept;
    void Stop() noexcept;
    bool Started() const noexcept { return m_window != nullptr; }

private:
    HWND m_window = nullptr;
    HMODULE m_library = nullptr;
};
