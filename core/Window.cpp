#include "Window.h"

#include <string_view>
#include <utility>

DialogWindow::~DialogWindow()
{
    if (HWND hwnd = std::exchange(m_hwnd, nullptr)) {
        // The derived part is gone: no message may reach it any more.
        ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        ::DestroyWindow(hwnd);
    }
}

void DialogWindow::DestroyHwnd() noexcept
{
    if (m_hwnd) ::DestroyWindow(m_hwnd);  // WM_NCDESTROY clears m_hwnd
}

bool DialogWindow::CreateFromTemplate(UINT templateId, HWND parent)
{
    HWND hwnd = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), parent, &Thunk,
                                     reinterpret_cast<LPARAM>(this));
    return hwnd != nullptr;
}

INT_PTR CALLBACK DialogWindow::Thunk(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    DialogWindow* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<DialogWindow*>(lParam);
        self->m_hwnd = hwnd;
        ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    } else {
        self = reinterpret_cast<DialogWindow*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (!self) return FALSE;

    // Held to the end of this function: a handler may drop the window's owner reference.
    HandlerScope scope(*self);
    INT_PTR result = FALSE;
    bool handled = false;
    try {
        handled = self->OnMessage(message, wParam, lParam, result);
    } catch (...) {
        // Nothing may unwind into the system; the window goes on.
        handled = false;
    }

    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        self->m_hwnd = nullptr;
    }
    if (!handled) return message == WM_INITDIALOG ? TRUE : FALSE;
    // These few answer through the dialog procedure's own return value.
    if (message == WM_INITDIALOG || message == WM_VKEYTOITEM || message == WM_CHARTOITEM) return result;
    ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

bool DialogWindow::Checked(int id) const { return ::SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void DialogWindow::SetChecked(int id, bool checked)
{
    ::SendMessageW(Control(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void DialogWindow::FillList(int id, const std::vector<std::wstring>& lines)
{
    HWND list = Control(id);
    ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
    int widest = 0;
    HDC dc = ::GetDC(list);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(list, WM_GETFONT, 0, 0)));
    for (const std::wstring& line : lines) {
        ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        SIZE size{};
        ::GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size);
        if (size.cx > widest) widest = size.cx;
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(list, dc);
    ::SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 8), 0);
}

void DialogWindow::HideRow(std::initializer_list<int> row, int above, std::initializer_list<int> below)
{
    if (row.size() == 0) return;
    for (int id : row) ::ShowWindow(Control(id), SW_HIDE);
    RECT upper{}, lower{};
    ::GetWindowRect(Control(above), &upper);
    ::GetWindowRect(Control(*row.begin()), &lower);
    const int rise = lower.top - upper.top;
    for (int id : below) {
        HWND control = Control(id);
        RECT r{};
        ::GetWindowRect(control, &r);
        ::MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&r), 2);
        ::SetWindowPos(control, nullptr, r.left, r.top - rise, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RECT window{};
    ::GetWindowRect(m_hwnd, &window);
    ::SetWindowPos(m_hwnd, nullptr, window.left, window.top + rise / 2, window.right - window.left,
                   window.bottom - window.top - rise, SWP_NOZORDER | SWP_NOACTIVATE);
}

void DialogWindow::RunModalLoop(const bool& running)
{
    MSG msg{};
    while (running && Loaded()) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (got < 0) return;
        if (!IsDialogMessageForAny(msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

void DialogWindow::CentreOnScreen() noexcept
{
    RECT window{};
    ::GetWindowRect(m_hwnd, &window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(m_hwnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& screen = monitor.rcMonitor;
    int width = window.right - window.left;
    int height = window.bottom - window.top;
    int left = screen.left + (screen.right - screen.left) / 2 - width / 2;
    int top = screen.top + (screen.bottom - screen.top) / 2 - height / 2;
    ::SetWindowPos(m_hwnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool IsDialogMessageForAny(MSG& message)
{
    if (!message.hwnd) return false;
    HWND root = ::GetAncestor(message.hwnd, GA_ROOT);
    if (!root || ::GetWindowThreadProcessId(root, nullptr) != ::GetCurrentThreadId()) return false;
    wchar_t cls[16] = {};
    ::GetClassNameW(root, cls, 16);
    if (std::wstring_view(cls) != L"#32770") return false;
    return ::IsDialogMessageW(root, &message) != FALSE;
}

void DialogWindow::SetIcons(UINT iconId) noexcept
{
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    auto load = [&](int cx, int cy) {
        return static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                               ::GetSystemMetrics(cx), ::GetSystemMetrics(cy), 0));
    };
    m_bigIcon.reset(load(SM_CXICON, SM_CYICON));
    m_smallIcon.reset(load(SM_CXSMICON, SM_CYSMICON));
    ::SendMessageW(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_bigIcon.get()));
    ::SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon.get()));
}
