#include "HangWatch.h"

#include "StandInClient.h"

#include <cstdio>

namespace standin {

namespace {

// Nothing here has a destructor: the watch thread may still run while the
// program's statics are torn down at its end.
SRWLOCK g_lock = SRWLOCK_INIT;
char g_test[512];
ULONGLONG g_deadline = 0;  // 0: disarmed
DWORD g_afterMs = 0;
HANDLE g_wake = nullptr;

class Hold {
public:
    Hold() { ::AcquireSRWLockExclusive(&g_lock); }
    ~Hold() { ::ReleaseSRWLockExclusive(&g_lock); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
};

BOOL CALLBACK ReportWindow(HWND window, LPARAM)
{
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid != ::GetCurrentProcessId()) return TRUE;
    wchar_t cls[128] = L"", title[256] = L"";
    ::GetClassNameW(window, cls, 128);
    // Read from the window itself: a hung thread would never answer WM_GETTEXT.
    ::InternalGetWindowText(window, title, 256);
    std::fprintf(stderr, "  window %p class=%ls title=\"%ls\" visible=%d enabled=%d\n", static_cast<void*>(window),
                 cls, title, ::IsWindowVisible(window) ? 1 : 0, ::IsWindowEnabled(window) ? 1 : 0);
    return TRUE;
}

void Report(const std::string& test, DWORD afterMs)
{
    std::fprintf(stderr, "\nHANG WATCH: %s still runs after %lu s\n", test.c_str(),
                 static_cast<unsigned long>(afterMs / 1000));
    ::EnumWindows(ReportWindow, 0);
    auto state = SendCommand("state", 500, 3000);
    if (!state) {
        std::fprintf(stderr, "  the stand-in does not answer on its control pipe\n");
    } else {
        std::fprintf(stderr, "  stand-in state:\n%s\n", state->c_str());
        std::string journalPath = ReplyValue(*state, "journal");
        HANDLE f = ::CreateFileA(journalPath.c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                 nullptr);
        if (f != INVALID_HANDLE_VALUE) {
            std::string text;
            char buf[65536];
            DWORD got = 0;
            while (::ReadFile(f, buf, sizeof buf, &got, nullptr) && got) text.append(buf, got);
            ::CloseHandle(f);
            const size_t keep = 4000;
            std::fprintf(stderr, "  stand-in journal (end):\n%s\n",
                         text.size() > keep ? text.substr(text.size() - keep).c_str() : text.c_str());
        }
    }
    std::fflush(stderr);
    std::fflush(stdout);
}

DWORD WINAPI Watch(void*)
{
    for (;;) {
        DWORD wait = INFINITE;
        std::string test;
        DWORD afterMs = 0;
        {
            Hold hold;
            if (g_deadline) {
                ULONGLONG now = ::GetTickCount64();
                if (now >= g_deadline) {
                    test = g_test;
                    afterMs = g_afterMs;
                } else {
                    wait = static_cast<DWORD>(g_deadline - now);
                }
            }
        }
        if (!test.empty()) {
            Report(test, afterMs);
            ::TerminateProcess(::GetCurrentProcess(), 3);
        }
        ::WaitForSingleObject(g_wake, wait);
    }
}

}  // namespace

void ArmHangWatch(const std::string& testName, DWORD afterMs)
{
    Hold hold;
    if (!g_wake) {
        g_wake = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (!g_wake) return;  // no watch rather than a thread that spins
        HANDLE thread = ::CreateThread(nullptr, 0, Watch, nullptr, 0, nullptr);
        if (thread) ::CloseHandle(thread);
    }
    ::lstrcpynA(g_test, testName.c_str(), static_cast<int>(sizeof g_test));
    g_afterMs = afterMs;
    g_deadline = ::GetTickCount64() + afterMs;
    ::SetEvent(g_wake);
}

void DisarmHangWatch()
{
    // The thread wakes at the old deadline and finds nothing to do; waking it
    // now would race with the program's end after its last test.
    Hold hold;
    g_deadline = 0;
}

}  // namespace standin
