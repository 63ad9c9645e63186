// Keeps the test rig's Wine desktop alive between tests: Wine ends a virtual
// desktop (and its notification area) a moment after its last program ends.
// A hidden top-level window attaches this process to the desktop; it runs
// until the prefix is shut down.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.lpszClassName = L"WendlockRigKeeper";
    if (!RegisterClassW(&wc)) return 1;
    if (!CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                         nullptr, instance, nullptr))
        return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
