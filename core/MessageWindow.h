// A message-only window (HWND_MESSAGE) for an object that shows nothing but
// has timers, posted messages and work to put off: it is never visible, takes
// no broadcast, and hands each message to its receiver. No exception leaves
// its window procedure.
#pragma once

#include "core/win32.h"

namespace wl {

class MessageWindow {
public:
    class Receiver {
    public:
        // Returns whether the message was handled.
        virtual bool OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    protected:
        ~Receiver() = default;
    };

    MessageWindow() = default;
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;
    ~MessageWindow() { Destroy(); }

    // Makes the window; false when Windows could not.
    bool Create(Receiver& receiver);
    // No message reaches the receiver after this.
    void Destroy() noexcept;

    HWND Hwnd() const noexcept { return m_window.get(); }
    explicit operator bool() const noexcept { return static_cast<bool>(m_window); }

private:
    static LRESULT CALLBACK Thunk(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    UniqueWindow m_window;
};

}  // namespace wl
