#include "TrayWindow.h"

#include "core/AppMessages.h"
#include "core/RemoteWork.h"
#include "resources/resource.h"

TrayWindow::~TrayWindow() { DestroyTrayBox(); }

void TrayWindow::LoadTrayBox()
{
    if (m_picTrayBox) return;
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    wl::RegisterPlainWindowClass(wl::kTrayBoxClass, &TrayBoxThunk);
    // Top-level, as the shell's broadcasts and Restart Manager reach only
    // such windows; a tool window, never in Alt+Tab; never shown.
    m_picTrayBox.reset(::CreateWindowExW(WS_EX_TOOLWINDOW, wl::kTrayBoxClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                         instance, nullptr));
    if (m_picTrayBox) ::SetWindowLongPtrW(m_picTrayBox.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void TrayWindow::DestroyTrayBox() noexcept
{
    if (!m_picTrayBox) return;
    // No message of its end may reach this object, which may be half destroyed.
    ::SetWindowLongPtrW(m_picTrayBox.get(), GWLP_USERDATA, 0);
    m_picTrayBox.reset();
}

LRESULT CALLBACK TrayWindow::TrayBoxThunk(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case wl::kTrayCallback:
        if (auto* self = reinterpret_cast<TrayWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA))) {
            try {
                HandlerScope scope(*self);
                // A click while a call into another process waits is dropped,
                // as while busy; so is one before the window is made (a call
                // to the shell during start-up may deliver it).
                if (self->Loaded() && !wl::RemoteWork::InProgress())
                    self->picTrayBox_MouseMove(static_cast<long>(LOWORD(lParam)));
            } catch (...) {
                // Nothing may unwind into the system; the icon goes on.
            }
        }
        return 0;
    case WM_CLOSE:
        return 0;  // the box goes with its window, never by itself
    case WM_DPICHANGED:
    case WM_DISPLAYCHANGE:
        // The box stays on the primary monitor, where the notification area
        // is: a change of its scale, or of the displays, reaches the box even
        // when the window was moved to another monitor.
        try {
            RefreshTrayImages();
        } catch (...) {
            // Out of memory: the images keep their size until the next change.
        }
        return message == WM_DPICHANGED ? 0 : ::DefWindowProcW(hwnd, message, wParam, lParam);
    default:
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void TrayWindow::picTrayBox_MouseMove(long trayMessage)
{
    if (m_blnInTrayEvent || TrayClicksHeld()) return;
    FlagScope busy(m_blnInTrayEvent);
    OnTrayMessage(trayMessage);
}

int TrayWindow::MessageBox(const std::wstring& text, UINT flags) const
{
    HWND owner = Loaded() && ::IsWindowVisible(Hwnd()) ? Hwnd() : nullptr;
    return ::MessageBoxW(owner, text.c_str(), wl::LoadStr(IDS_APP_TITLE).c_str(), flags | MB_SETFOREGROUND);
}

void TrayWindow::LoadTrayMenu(UINT menuId)
{
    m_menu.reset(::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(menuId)));
    m_tmnuFile = ::GetSubMenu(m_menu.get(), 0);
}

void TrayWindow::ShowTrayPopup(UINT defaultCommand)
{
    if (UINT chosen = TrackTrayPopup(Hwnd(), m_tmnuFile, defaultCommand)) OnCommand(static_cast<int>(chosen), 0);
}

bool TrayWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    switch (message) {
    case WM_COMMAND:
        // A button pressed while such a call waits is dropped too: it would
        // start its work inside the call.
        if (!wl::RemoteWork::InProgress()) OnCommand(LOWORD(wParam), HIWORD(wParam));
        return true;
    case WM_CLOSE:
        (void)Unload(UnloadMode::FormControlMenu);
        return true;
    case WM_DPICHANGED:
        // The scale changed: the tray images take the new size; the dialog's
        // own handling follows.
        RefreshTrayImages();
        return OnWindowMessage(message, wParam, lParam, result);
    case WM_DESTROY:
        DestroyTrayBox();
        return OnWindowMessage(message, wParam, lParam, result);
    default:
        return OnWindowMessage(message, wParam, lParam, result);
    }
}
