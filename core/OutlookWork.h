// Calls into Outlook cross to its process, and while one waits for its answer
// COM keeps this thread's messages flowing. Outlook events and timer ticks
// that arrive meanwhile must not start a second scan inside the first, so
// they are put off until the work in progress is done.
#pragma once

#include "core/win32.h"

class OutlookWork {
public:
    OutlookWork() noexcept;
    OutlookWork(const OutlookWork&) = delete;
    OutlookWork& operator=(const OutlookWork&) = delete;
    ~OutlookWork();

    static bool InProgress() noexcept;
    // Posts the message to the window once the work in progress is done.
    static void Defer(HWND window, UINT message) noexcept;
};
