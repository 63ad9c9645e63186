#include "basMain.h"

#include "core/Registry.h"
#include "core/RestartRegistration.h"
#include "core/Settings.h"
#include "core/basINI.h"
#include "core/win32.h"
#include "mainwindow/frmMain.h"
#include "outlook/OutlookPath.h"

#include <commctrl.h>

namespace {

// Held for the whole run: its existence tells a second copy to end.
wl::UniqueHandle g_instanceMutex;
constexpr wchar_t kInstanceMutexName[] = L"Local\\Wendlock.SingleInstance.{6B1E0C52-3F7A-4D8E-9C41-2A5D7E90B318}";

bool AnotherInstanceRuns()
{
    g_instanceMutex.reset(::CreateMutexW(nullptr, FALSE, kInstanceMutexName));
    DWORD error = ::GetLastError();
    if (!g_instanceMutex) return error == ERROR_ACCESS_DENIED;  // held by a copy of another integrity level
    if (error == ERROR_ALREADY_EXISTS) {
        g_instanceMutex.reset();
        return true;
    }
    return false;
}

}  // namespace

std::shared_ptr<frmMain> Main()
{
    // A second copy ends here, before it reads, shows or touches anything.
    if (AnotherInstanceRuns()) return nullptr;

    // An installer that must replace the running exe asks Restart Manager to
    // close it (WM_QUERYENDSESSION/WM_ENDSESSION with ENDSESSION_CLOSEAPP,
    // handled as a logoff) and to start it again afterwards. Any other end of
    // the session takes the registration away (start at logon is the user's
    // own choice).
    RegisterInstallerRestart();

    g_strAppPath = AppPathOf(wl::ExecutablePath());
    SetSettingsFolder(ChooseSettingsFolder(g_strAppPath));
    ProvideLinksFile();
    g_strOutlookPath = ReadOutlookPath();
    ReadStartupSettings();
    // A policy that says whether the program starts at logon holds for this copy.
    HoldStartAtLogonPolicy(g_policy.startAtLogon, wl::ExecutablePath());

    auto window = std::make_shared<frmMain>();
    window->SetQuitOnUnload(true);
    window->Load();
    return window;
}

int RunProgram()
{
    // First of all: never load a DLL planted beside the executable.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    ::SetDllDirectoryW(L"");

    wl::ComApartment com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (FAILED(com.result())) return 1;

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    std::shared_ptr<frmMain> mainWindow;
    try {
        mainWindow = Main();
    } catch (...) {
        return 1;
    }
    if (!mainWindow) return 0;  // another copy runs

    MSG msg{};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageForAny(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }

    // The main window holds the alert windows, their Outlook items and the
    // connection: all of it goes here, while COM is still initialised.
    mainWindow.reset();
    return static_cast<int>(msg.wParam);
}
