// Thread timers counted in minutes, whose ticks reach the window that owns them.
#pragma once

#include "core/IFormWithTimer.h"
#include "core/win32.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>

// The interval of a timer of that many minutes, or std::nullopt when it does
// not fit a 32-bit signed count of milliseconds (35791 minutes fit, 35792 do not).
std::optional<std::int32_t> TimerIntervalMs(std::int32_t minutes);

// Creates a periodic thread timer; returns the system's identifier, 0 on
// failure. Throws std::overflow_error, creating nothing, when the interval
// does not fit.
std::int32_t StartTimer(std::int32_t minutes);
void StopTimer(std::int32_t timerId);

// How long a timer's minute lasts: 60,000 ms. A soak run makes the minutes
// short, so hours of repeats pass in minutes.
void SetTimerMinuteMs(UINT milliseconds);

// The wall clock the timers' owners compare with, in milliseconds: a timer's
// ticks stop while the machine sleeps, the wall clock does not. A test moves
// it on (skewMs) to stand for a sleep.
ULONGLONG WallClockMs() noexcept;
void SetWallClockSkewMs(LONGLONG skewMs) noexcept;
// How long a timer's minute lasts, as set.
UINT TimerMinuteMs() noexcept;

// The system's timer callback: routes the tick to the one loaded window that
// reports the identifier.
void CALLBACK TimerProc(HWND window, UINT message, UINT_PTR idEvent, DWORD systemTime);

// The windows that take part, in the order they were loaded. A window joins
// when it loads and leaves when it unloads; the registry holds no ownership.
void RegisterTimerOwner(const std::shared_ptr<IFormWithTimer>& window);
void UnregisterTimerOwner(const IFormWithTimer* window);
