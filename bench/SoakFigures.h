// The soak build answers questions about its own process, which Wine answers
// only to the process itself (and some not at all). The soak runner sends
// kSoakFigureMessage with one of these in wParam to the soak build's window
// of class kSoakWindowClass; the result is the figure.
#pragma once

#include <windows.h>
#include <psapi.h>

inline constexpr UINT kSoakFigureMessage = WM_APP + 50;
inline constexpr wchar_t kSoakWindowClass[] = L"WendlockSoakFigures";

enum class SoakFigure : WPARAM {
    Handles = 0,
    GdiObjects = 1,
    UserObjects = 2,
    PrivateKb = 3,
    Windows = 4,    // windows of the process, children included
    ResidentKb = 5,  // under Wine: the resident set of the Linux process
    AlertItems = 6,  // the lines of the alert windows, one per Outlook item held
};

// The handles of the calling process. Wine does not count them: there the
// handle values are probed.
inline DWORD CountOwnHandles()
{
    DWORD handles = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &handles) && handles) return handles;
    DWORD flags = 0;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4)
        if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++handles;
    return handles;
}

// The working set of the calling process in KB: under Wine, the resident set
// of its Linux process.
inline long long OwnWorkingSetKb()
{
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (!::K32GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof memory)) return 0;
    return static_cast<long long>(memory.WorkingSetSize / 1024);
}
