// Prints "x y width height" of the first visible top-level window whose title
// or class is the argument, for scripts/screenshots.sh to crop its pictures
// with (in Wine's virtual desktop, Windows coordinates are the X display's).
// Exit code 1 when there is none.
#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fputs("usage: window-rect TITLE-OR-CLASS\n", stderr);
        return 2;
    }
    struct Search {
        std::wstring name;
        HWND found = nullptr;
    } search{argv[1]};
    ::EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t title[256] = {}, cls[256] = {};
            ::GetWindowTextW(hwnd, title, 256);
            ::GetClassNameW(hwnd, cls, 256);
            if (!::IsWindowVisible(hwnd) || (s->name != title && s->name != cls)) return TRUE;
            s->found = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    RECT r{};
    if (!search.found || !::GetWindowRect(search.found, &r)) return 1;
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
}
