// A call into another process (a server) waits for that process, and
// meanwhile COM keeps this thread's messages flowing. Events, timer ticks and
// clicks that arrive during the wait must not start a second piece of work
// inside the first: they are put off until the work in progress is done.
// The late-binding helper holds a scope around every call it makes, so none
// can be forgotten; a piece of work holds one around all of its calls.
#pragma once

#include "core/win32.h"

namespace wl {

class RemoteWork {
public:
    RemoteWork() noexcept;
    RemoteWork(const RemoteWork&) = delete;
    RemoteWork& operator=(const RemoteWork&) = delete;
    ~RemoteWork();

    static bool InProgress() noexcept;
    // How long the piece of work in progress has run: the busy retry's
    // budget is one per piece of work, not one per call.
    static ULONGLONG ElapsedMs() noexcept;
    // Posts the message to the window once the work in progress is done.
    static void Defer(HWND window, UINT message) noexcept;
};

}  // namespace wl
