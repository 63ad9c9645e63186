// The yardstick of the launch-to-icon benchmark: the least a tray program
// does before its icon shows (a hidden window and NIM_ADD), built with the
// same compiler and run-time as wendlock.exe. Ends on WM_CLOSE.
#include <windows.h>
#include <shellapi.h>

namespace {

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        NOTIFYICONDATAW data{};
        data.cbSize = NOTIFYICONDATAW_V1_SIZE;
        data.hWnd = hwnd;
        data.uID = 1;
        ::Shell_NotifyIconW(NIM_DELETE, &data);
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &Proc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"MinimalTray";
    ::RegisterClassW(&windowClass);
    HWND hwnd = ::CreateWindowExW(0, L"MinimalTray", L"MinimalTray", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  instance, nullptr);
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = hwnd;
    data.uID = 1;
    data.uFlags = NIF_ICON | NIF_TIP;
    data.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
    ::lstrcpyW(data.szTip, L"MinimalTray");
    ::Shell_NotifyIconW(NIM_ADD, &data);
    MSG msg{};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
    return 0;
}
