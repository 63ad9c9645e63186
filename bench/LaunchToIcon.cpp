// Launch to first tray icon: starts each program N times, interleaved (A, B,
// A, B...), and measures from CreateProcess until the shell answers a
// modify of the program's icon (id 1 of one of its top-level windows), then
// closes the program (a logoff's messages to each of its top-level windows,
// then WM_CLOSE, for wendlock.exe keeps its windows on WM_CLOSE) and waits
// for its end. Prints each time and the median per program, and the ratio of
// the medians to the first.
//   LaunchToIcon.exe <runs> <exe> [<exe>...]
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Search {
    DWORD pid;
    HWND found = nullptr;
};

BOOL CALLBACK ByProcess(HWND hwnd, LPARAM context)
{
    auto* search = reinterpret_cast<Search*>(context);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != search->pid) return TRUE;
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = hwnd;
    data.uID = 1;
    if (!::Shell_NotifyIconW(NIM_MODIFY, &data)) return TRUE;  // no icon (yet)
    search->found = hwnd;
    return FALSE;
}

// Ends the program as a logoff does: every top-level window of the process
// is asked, then told; then WM_CLOSE, which ends the minimal program.
BOOL CALLBACK EndSession(HWND hwnd, LPARAM pid)
{
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hwnd, &owner);
    if (owner != static_cast<DWORD>(pid)) return TRUE;
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &ignored);
    ::SendMessageTimeoutW(hwnd, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &ignored);
    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    return TRUE;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Seconds from launch to icon; negative when no icon came within 30 s.
double LaunchOnce(const std::wstring& exe)
{
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + exe + L"\"";
    LARGE_INTEGER start, now;
    ::QueryPerformanceCounter(&start);
    if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return -1;
    Search search{process.dwProcessId};
    double elapsed = -1;
    for (;;) {
        ::EnumWindows(&ByProcess, reinterpret_cast<LPARAM>(&search));
        ::QueryPerformanceCounter(&now);
        if (search.found) {
            elapsed = Seconds(start, now);
            break;
        }
        if (Seconds(start, now) > 30) break;
        ::Sleep(1);
    }
    if (search.found) {
        // The icon may come before the program's other windows: end it once it is up.
        ::WaitForInputIdle(process.hProcess, 10'000);
        ::EnumWindows(&EndSession, static_cast<LPARAM>(process.dwProcessId));
    }
    if (::WaitForSingleObject(process.hProcess, 10'000) != WAIT_OBJECT_0) ::TerminateProcess(process.hProcess, 1);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return elapsed;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: LaunchToIcon <runs> <exe> [<exe>...]\n");
        return 2;
    }
    const int runs = _wtoi(argv[1]);
    std::vector<std::wstring> exes(argv + 2, argv + argc);
    std::vector<std::vector<double>> times(exes.size());
    for (int run = 0; run < runs; ++run)
        for (std::size_t i = 0; i < exes.size(); ++i) {
            double t = LaunchOnce(exes[i]);
            std::wprintf(L"run %d %ls %.3f s\n", run + 1, exes[i].c_str(), t);
            std::fflush(stdout);
            times[i].push_back(t);
            ::Sleep(500);  // the previous one's icon gone from the shell
        }
    std::vector<double> medians;
    for (std::size_t i = 0; i < exes.size(); ++i) {
        std::vector<double> t = times[i];
        std::sort(t.begin(), t.end());
        double median = t.size() % 2 ? t[t.size() / 2] : (t[t.size() / 2 - 1] + t[t.size() / 2]) / 2;
        medians.push_back(median);
        std::wprintf(L"median %ls %.3f s, %.2f times the first\n", exes[i].c_str(), median, median / medians[0]);
    }
    return 0;
}
