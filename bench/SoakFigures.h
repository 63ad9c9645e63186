// The soak build answers questions about its own process, which Wine answers
// only to the process itself (and some not at all). The soak runner sends
// kSoakFigureMessage with one of these in wParam to the soak build's window
// of class kSoakWindowClass; the result is the figure.
#pragma once

#include <windows.h>

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
