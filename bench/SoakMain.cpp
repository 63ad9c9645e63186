// The soak build: the program itself, whose timer minutes last 100 ms, plus a
// hidden window that reports the process's own figures to the soak runner.
#include "app/basMain.h"
#include "bench/SoakFigures.h"
#include "core/basTimer.h"
#include "core/win32.h"
#include "resources/resource.h"

#include <psapi.h>

namespace {

LRESULT CountWindows()
{
    LRESULT windows = 0;
    ::EnumWindows(
        [](HWND hwnd, LPARAM count) -> BOOL {
            DWORD pid = 0;
            ::GetWindowThreadProcessId(hwnd, &pid);
            if (pid == ::GetCurrentProcessId()) {
                ++*reinterpret_cast<LRESULT*>(count);
                ::EnumChildWindows(
                    hwnd, [](HWND, LPARAM c) -> BOOL { return ++*reinterpret_cast<LRESULT*>(c), TRUE; }, count);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// Every alert window shows one line per item it holds.
LRESULT CountAlertItems()
{
    LRESULT items = 0;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hwnd, LPARAM count) -> BOOL {
            if (HWND list = ::GetDlgItem(hwnd, IDC_LSTREMINDERS))
                *reinterpret_cast<LRESULT*>(count) += ::SendMessageW(list, LB_GETCOUNT, 0, 0);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&items));
    return items;
}

LRESULT Figure(SoakFigure which)
{
    HANDLE self = ::GetCurrentProcess();
    switch (which) {
    case SoakFigure::Handles: return CountOwnHandles();
    case SoakFigure::GdiObjects: return ::GetGuiResources(self, GR_GDIOBJECTS);
    case SoakFigure::UserObjects: return ::GetGuiResources(self, GR_USEROBJECTS);
    case SoakFigure::PrivateKb: {
        PROCESS_MEMORY_COUNTERS_EX memory{};
        memory.cb = sizeof memory;
        ::GetProcessMemoryInfo(self, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
        return static_cast<LRESULT>(memory.PrivateUsage / 1024);
    }
    case SoakFigure::Windows: return CountWindows();
    case SoakFigure::ResidentKb: return static_cast<LRESULT>(OwnWorkingSetKb());
    case SoakFigure::AlertItems: return CountAlertItems();
    }
    return -1;
}

LRESULT CALLBACK FigureWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kSoakFigureMessage) return Figure(static_cast<SoakFigure>(wParam));
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    SetTimerMinuteMs(100);

    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = &FigureWindowProc;
    cls.hInstance = instance;
    cls.lpszClassName = kSoakWindowClass;
    ::RegisterClassExW(&cls);
    wl::UniqueWindow figures(::CreateWindowExW(0, kSoakWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                               instance, nullptr));
    return RunProgram();
}
