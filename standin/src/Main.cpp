// outlook-standin.exe: stands in for Outlook (and Word) as an out-of-process
// automation server, for the program's tests and demo.
//
//   outlook-standin.exe /regserver | /unregserver
//   outlook-standin.exe -Embedding [-scenario <file>]   (as COM starts it, or a test)
//   outlook-standin.exe [-scenario <file>]              (by hand: stays, shows Inbox)
//   outlook-standin.exe /ctl <command...>               (one control command, reply on stdout)
#include "Control.h"
#include "MessageFilter.h"
#include "Objects.h"
#include "Registration.h"
#include "Server.h"
#include "Text.h"
#include "Ui.h"
#include "client/StandInClient.h"

#include <shellapi.h>

#include <string>
#include <vector>

namespace standin {
namespace {

constexpr UINT_PTR kTimerUnused = 3;
constexpr UINT kUnusedMs = 60000;  // started for COM but nobody came

enum QuitReason : WPARAM { kReasonQuit = 0, kReasonExit = 1 };

LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Server& s = TheServer();
    try {
        switch (message) {
        case kMsgCommand:
            HandleCommand(*reinterpret_cast<ControlRequest*>(lParam));
            return 0;
        case kMsgQuit:
            if (wParam == kReasonExit) s.Shutdown(L"exit");
            else s.EndAfterQuit();
            return 0;
        case WM_TIMER:
            ::KillTimer(window, wParam);
            if (wParam == kTimerIdle && s.objectsAlive == 0 && s.serverLocks <= 0) s.Shutdown(L"last reference released");
            if (wParam == kTimerRefused) s.Shutdown(L"refused");
            if (wParam == kTimerQuitDelay) s.Shutdown(L"quit");
            if (wParam == kTimerStoreRemoval) s.RemovePendingStores();
            if (wParam == kTimerUnused && !s.everUsed && !s.linger) s.Shutdown(L"never used");
            return 0;
        }
    } catch (...) {
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

std::wstring ReadTextFile(const std::wstring& path, bool& ok)
{
    wl::UniqueFile f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ok = static_cast<bool>(f);
    std::string bytes;
    char buf[65536];
    DWORD got = 0;
    while (f && ::ReadFile(f.get(), buf, sizeof buf, &got, nullptr) && got) bytes.append(buf, got);
    return Wide(bytes);
}

bool IsSwitch(const std::wstring& arg, const wchar_t* name)
{
    return arg.size() > 1 && (arg[0] == L'/' || arg[0] == L'-') && EqualsNoCase(arg.substr(1), name);
}

int Serve(const std::vector<std::wstring>& args)
{
    const ULONGLONG started = ::GetTickCount64();
    Server& s = TheServer();
    std::wstring scenarioPath;
    for (size_t i = 1; i < args.size(); ++i) {
        if (IsSwitch(args[i], L"Embedding") || IsSwitch(args[i], L"Automation")) s.embedding = true;
        else if (IsSwitch(args[i], L"scenario") && i + 1 < args.size()) scenarioPath = args[++i];
    }

    std::wstring problem;
    if (!scenarioPath.empty()) {
        scenarioPath = WindowsPath(scenarioPath, L"");
        bool ok = false;
        std::wstring text = ReadTextFile(scenarioPath, ok);
        if (!ok) problem = L"cannot read scenario " + scenarioPath;
        else if (!s.model.LoadScenario(text, s.options, problem)) problem = scenarioPath + L": " + problem;
    } else {
        s.model.LoadDemo();
    }
    s.linger = s.options.linger || !s.embedding;
    // Like Outlook starting up: busy from the start of the process.
    if (s.options.busyMs) s.busyUntil = started + s.options.busyMs;

    std::wstring journalPath = s.options.journalPath.empty() ? ExeFolder() + L"outlook-standin.journal"
                                                             : WindowsPath(s.options.journalPath, ExeFolder());
    s.journal.Open(journalPath);
    if (!problem.empty()) {
        s.journal.Write(L"Scenario error: " + problem);
        return 2;
    }

    wl::ComApartment apartment;
    if (FAILED(apartment.result())) return 3;
    MessageFilterRegistration filter;

    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ControlProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"OutlookStandInControl";
    ::RegisterClassExW(&wc);
    wl::UniqueWindow control(
        ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr));
    if (!control) return 4;
    s.controlWindow = control.get();

    s.journal.Write(L"Server start");
    if (FAILED(filter.result())) s.journal.Write(L"CoRegisterMessageFilter -> !" + HexResult(filter.result()));
    s.pipeOwned = StartControlPipe();
    if (!s.pipeOwned) s.journal.Write(L"Control pipe owned by another stand-in");

    HRESULT hr = ::CoRegisterClassObject(kClsidOutlook, OutlookFactory(), CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                         &s.registrationOutlook);
    if (SUCCEEDED(hr))
        hr = ::CoRegisterClassObject(kClsidWord, WordFactory(), CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                     &s.registrationWord);
    if (FAILED(hr)) {
        s.journal.Write(L"CoRegisterClassObject -> !" + HexResult(hr));
        s.Revoke();
        return 5;
    }

    if (!s.embedding) {
        // Started by hand, like Outlook from its icon: a main window on the Inbox.
        auto explorer = s.model.AddExplorer(s.model.FolderByNumber(6));
        explorer->displayed = true;
        s.model.BringToFront(explorer);
        ui::ShowExplorer(*explorer);
    } else if (!s.linger) {
        ::SetTimer(s.controlWindow, kTimerUnused, kUnusedMs, nullptr);
    }

    MSG msg;
    int code = 0;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    if (msg.message == WM_QUIT) code = static_cast<int>(msg.wParam);
    s.Revoke();
    s.controlWindow = nullptr;
    return code;
}

}  // namespace
}  // namespace standin

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    using namespace standin;
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::vector<std::wstring> args(argv, argv + argc);
    ::LocalFree(argv);

    if (args.size() > 1 && IsSwitch(args[1], L"regserver")) return FAILED(RegisterServer()) ? 1 : 0;
    if (args.size() > 1 && IsSwitch(args[1], L"unregserver")) return FAILED(UnregisterServer()) ? 1 : 0;
    if (args.size() > 1 && IsSwitch(args[1], L"ctl"))
        return RunControlClient(std::vector<std::wstring>(args.begin() + 2, args.end()));
    int code = Serve(args);
    // The pipe thread may still wait on its pipe: end without waiting for it.
    ::ExitProcess(static_cast<UINT>(code));
}
