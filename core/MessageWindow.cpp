#include "MessageWindow.h"

namespace wl {

namespace {

constexpr wchar_t kClassName[] = L"WendlockMessageWindow";

}  // namespace

bool MessageWindow::Create(Receiver& receiver)
{
    Destroy();
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    RegisterPlainWindowClass(kClassName, &Thunk);
    m_window.reset(::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr));
    if (!m_window) return false;
    ::SetWindowLongPtrW(m_window.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&receiver));
    return true;
}

void MessageWindow::Destroy() noexcept
{
    if (!m_window) return;
    ::SetWindowLongPtrW(m_window.get(), GWLP_USERDATA, 0);
    m_window.reset();
}

LRESULT CALLBACK MessageWindow::Thunk(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (auto* receiver = reinterpret_cast<Receiver*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA))) {
        try {
            if (receiver->OnWindowMessage(message, wParam, lParam)) return 0;
        } catch (...) {
            // Nothing may unwind into the system.
            return 0;
        }
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace wl
