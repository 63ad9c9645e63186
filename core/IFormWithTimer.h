// The face a window shows the timer service when it owns timers.
#pragma once

#include <cstdint>

class IFormWithTimer {
public:
    virtual ~IFormWithTimer() = default;
    // The number of timers the window owns now.
    virtual std::int16_t TimersCount() = 0;
    // The identifier of the window's timer at a 1-based index.
    virtual std::int32_t TimerID(std::int16_t index) = 0;
    // One of the window's timers elapsed.
    virtual void TimerFired(std::int32_t timerId) = 0;
};
