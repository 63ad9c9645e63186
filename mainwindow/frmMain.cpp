// The main window: loading, unloading, the session end and message routing.
#include "frmMain.h"

#include "core/Conversions.h"
#include "core/OutlookWork.h"
#include "core/basINI.h"
#include "core/basMain.h"

#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#ifdef WENDLOCK_SOAK_MINUTE_MS
#include <cstdlib>
#include <fstream>
#endif

namespace {

constexpr UINT WM_APP_OUTLOOK_EVENT = WM_APP + 10;
constexpr UINT WM_APP_OUTLOOK_GONE = WM_APP + 11;
constexpr UINT WM_APP_END_SESSION = WM_APP + 12;
constexpr UINT_PTR kWatchTimer = 1;
constexpr UINT_PTR kReconnectTimer = 2;

std::shared_ptr<frmMain> g_programWindow;

// The window told when a call finds Outlook's process gone.
HWND g_watchWindow = nullptr;

void NotifyServerGone() noexcept
{
    if (g_watchWindow) ::PostMessageW(g_watchWindow, WM_APP_OUTLOOK_GONE, 0, 0);
}

#ifdef WENDLOCK_SOAK_MINUTE_MS
// The soak run asks for the process's own figures, which Wine reports only to
// the process itself, and some not at all: 0 handles, 1 GDI objects, 2 USER
// objects, 3 private KB, 4 windows of the process, 5 resident KB (Linux),
// 6 items held by the alert windows.
constexpr UINT WM_APP_SOAK_FIGURE = WM_APP + 50;

INT_PTR SoakFigure(WPARAM which)
{
    HANDLE self = ::GetCurrentProcess();
    switch (which) {
    case 0: {
        DWORD handles = 0;
        if (::GetProcessHandleCount(self, &handles) && handles) return handles;
        // Wine does not count them: probe the handle values.
        DWORD flags = 0;
        for (ULONG_PTR value = 4; value < 0x10000; value += 4)
            if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++handles;
        return handles;
    }
    case 1: return ::GetGuiResources(self, GR_GDIOBJECTS);
    case 2: return ::GetGuiResources(self, GR_USEROBJECTS);
    case 3: {
        PROCESS_MEMORY_COUNTERS_EX memory{};
        memory.cb = sizeof memory;
        ::GetProcessMemoryInfo(self, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
        return static_cast<INT_PTR>(memory.PrivateUsage / 1024);
    }
    case 5: {
        // Under Wine: the resident set of this (Linux) process.
        std::ifstream status(L"Z:\\proc\\self\\status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmRSS:", 0) == 0) return std::atoll(line.c_str() + 6);
        return 0;
    }
    case 4: {
        INT_PTR windows = 0;
        ::EnumWindows(
            [](HWND hwnd, LPARAM count) -> BOOL {
                DWORD pid = 0;
                ::GetWindowThreadProcessId(hwnd, &pid);
                if (pid == ::GetCurrentProcessId()) {
                    ++*reinterpret_cast<INT_PTR*>(count);
                    ::EnumChildWindows(
                        hwnd, [](HWND, LPARAM c) -> BOOL { return ++*reinterpret_cast<INT_PTR*>(c), TRUE; }, count);
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&windows));
        return windows;
    }
    default: return -1;
    }
}
#endif

}  // namespace

frmMain::frmMain() = default;

frmMain::~frmMain()
{
    // Whatever is still held goes quietly: an exit without Unload.
    m_frmReminders.reset();
    m_frmOverdueTasks.reset();
    m_objOutlook.Reset();
}

void frmMain::LoadMainWindow()
{
    g_programWindow = std::make_shared<frmMain>();
    g_programWindow->SetQuitOnUnload(true);
    g_programWindow->Load();
}

frmMain* frmMain::Program() noexcept { return g_programWindow.get(); }

const std::vector<std::int16_t>& frmMain::StartFolderNumbers()
{
    // Outlook Today, Calendar, Contacts, Drafts, Inbox, Journal, Notes, Outbox, Sent, Tasks
    static const std::vector<std::int16_t> numbers{0, 9, 10, 16, 6, 11, 12, 4, 5, 13};
    return numbers;
}

void frmMain::Load()
{
    if (Loaded()) return;
    CreateFromTemplate(IDD_MAIN);
    OpenTray();
    g_watchWindow = Hwnd();
    wl::SetServerGoneObserver(&NotifyServerGone);
    ::SetTimer(Hwnd(), kWatchTimer, m_probeMs, nullptr);
    Form_Load();
}

void frmMain::SetConnectionWatch(UINT probeMs, UINT firstPauseMs, UINT longestPauseMs)
{
    m_probeMs = probeMs;
    m_firstPauseMs = m_reconnectPauseMs = firstPauseMs;
    m_longestPauseMs = longestPauseMs;
    if (Loaded()) ::SetTimer(Hwnd(), kWatchTimer, m_probeMs, nullptr);
}

void frmMain::OnInitDialog()
{
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    SetIcons(IDI_WENDLOCK);

    // cmbStartIn: the ten start folders, each with its folder number as item data.
    HWND list = Control(IDC_CMBSTARTIN);
    const auto& numbers = StartFolderNumbers();
    for (size_t i = 0; i < numbers.size(); ++i) {
        std::wstring caption = wl::LoadStr(IDS_START_FOLDER_FIRST + static_cast<UINT>(i));
        auto at = ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(caption.c_str()));
        ::SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(numbers[i]));
    }
    ::SendMessageW(Control(IDC_TXTLOADDELAY), EM_SETLIMITTEXT, 32, 0);

    m_menu.reset(::LoadMenuW(instance, MAKEINTRESOURCEW(IDM_MAIN_TRAY)));
    m_tmnuFile = ::GetSubMenu(m_menu.get(), 0);
    m_viewCount = 1;
    m_linkCount = 1;
}

void frmMain::Form_Load()
{
    CentreOnScreen();
    BuildStartFolderMenu();
    BuildLinkMenu();

    try {
        if (wl::FlagFromKey(ReadIniSetting(L"DisplayOutlookAtStart")) != wl::kOff) {
            ::Sleep(static_cast<DWORD>(wl::LoadDelayFromKey(ReadIniSetting(L"LoadDelay"))));
            std::int16_t selector = -99, findDelay = 0;
            DisplayOutlook(selector, findDelay);
        } else if (g_blnKeepOutlookLoaded) {
            ::Sleep(static_cast<DWORD>(wl::LoadDelayFromKey(ReadIniSetting(L"LoadDelay"))));
            LoadOutlook();
        }
    } catch (const wl::ComError&) {
        // Outlook could not be started: say so once, and run on disconnected.
        // The tray icon, added below, shows the disconnected look.
        MessageBox(wl::LoadStr(IDS_OUTLOOK_START_FAILED), MB_OK | MB_ICONEXCLAMATION);
        m_objInbox.Reset();
        m_objOutlook.Reset();
        m_blnOutlookLoaded = false;
        ScheduleReconnect();
    }

    ShowTrayIcon(TrayBox(), g_strAppPath + (g_blnKeepOutlookLoaded && m_blnOutlookLoaded ? L"olico.ico" : L"olicod.ico"),
                 wl::LoadStr(IDS_TIP_OUTLOOK));

    if (g_blnTrackOverdueTasks) (void)ScanForOverdueTasks();
}

bool frmMain::Unload(std::int16_t unloadMode)
{
    if (m_unloaded) return true;
    HandlerScope scope(*this);
    std::int16_t cancel = 0;
    Form_QueryUnload(cancel, unloadMode);
    if (cancel) return false;
    m_unloaded = true;
    DestroyHwnd();
    if (m_quitOnUnload) ::PostQuitMessage(0);
    return true;
}

void frmMain::Form_QueryUnload(std::int16_t& cancel, std::int16_t unloadMode)
{
    if (unloadMode == vbFormControlMenu) {
        cancel = 1;
        ::ShowWindow(Hwnd(), SW_HIDE);
        m_modal = false;
        return;
    }
    SaveSettings();

    if (unloadMode == vbAppWindows) {
        // The session ends: with the settings safe, take the icons down and
        // answer Windows before calling Outlook or Word, which Windows does
        // not allow inside this message.
        RemoveAllTrayIcons();
        if (::InSendMessageEx(nullptr) & (ISMEX_SEND | ISMEX_REPLIED)) ::ReplyMessage(0);
    }

    UnloadRemindersWindow();
    UnloadOverdueTasksWindow();
    RemoveTrayIcon(TrayBox());
    DropConnection();  // UnloadOutlook; the references go even when a step fails
}

void frmMain::SaveSettings()
{
    WriteIniSetting(L"DontKeepOlLoaded", wl::InverseFlagText(g_blnKeepOutlookLoaded));
    WriteIniSetting(L"KeepWordLoaded", wl::FlagText(g_blnKeepWordLoaded));
    WriteIniSetting(L"StartOutlookIn", g_intStartOutlookIn);
    WriteIniSetting(L"DontTrackReminders", wl::InverseFlagText(g_blnTrackReminders));
    WriteIniSetting(L"DontTrackOverdueTasks", wl::InverseFlagText(g_blnTrackOverdueTasks));
}

void frmMain::OnEndSession()
{
    if (OutlookWork::InProgress()) {
        // The session ends while a call into Outlook waits for its answer
        // (COM delivers sent messages meanwhile). Unloading now would pull the
        // alert windows from under that call: make the settings and the tray
        // safe at once, and unload when the call is done.
        SaveSettings();
        RemoveAllTrayIcons();
        OutlookWork::Defer(Hwnd(), WM_APP_END_SESSION);
        return;
    }
    (void)Unload(vbAppWindows);
}

void frmMain::ShowModal()
{
    if (!Loaded() || m_modal) return;
    m_modal = true;
    // The alert windows wait while the dialog is up.
    std::vector<HWND> disabled;
    for (const auto* alert : {&m_frmReminders, &m_frmOverdueTasks})
        if (*alert && (*alert)->Loaded() && ::IsWindowEnabled((*alert)->Hwnd())) {
            ::EnableWindow((*alert)->Hwnd(), FALSE);
            disabled.push_back((*alert)->Hwnd());
        }

    ::ShowWindow(Hwnd(), SW_SHOW);
    ::SetForegroundWindow(Hwnd());
    ::SetFocus(Control(IDC_CMBSTARTIN));

    MSG msg{};
    while (m_modal && Loaded()) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));  // for the outer loop
            break;
        }
        if (got < 0) break;
        if (!IsDialogMessageForAny(msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    m_modal = false;
    for (HWND window : disabled)
        if (::IsWindow(window)) ::EnableWindow(window, TRUE);
    if (Loaded()) ::ShowWindow(Hwnd(), SW_HIDE);
}

int frmMain::MessageBox(const std::wstring& text, UINT flags)
{
    // Message boxes carry the program's title; the busy guards of the tray stay set meanwhile.
    HWND owner = Loaded() && ::IsWindowVisible(Hwnd()) ? Hwnd() : nullptr;
    return ::MessageBoxW(owner, text.c_str(), wl::LoadStr(IDS_APP_TITLE).c_str(), flags | MB_SETFOREGROUND);
}

// Outlook events are queued and handled from the message loop, never inside
// a call into Outlook that is still waiting for its answer.

void frmMain::OnOutlookReminder(const wl::Dispatch& item)
{
    m_pendingReminders.push_back(item);
    if (Loaded()) ::PostMessageW(Hwnd(), WM_APP_OUTLOOK_EVENT, 0, 0);
}

void frmMain::OnOutlookQuit()
{
    m_pendingQuit = true;
    m_quitGeneration = m_generation;
    if (Loaded()) ::PostMessageW(Hwnd(), WM_APP_OUTLOOK_EVENT, 0, 0);
}

void frmMain::ProcessOutlookEvents()
{
    if (OutlookWork::InProgress()) {
        OutlookWork::Defer(Hwnd(), WM_APP_OUTLOOK_EVENT);
        return;
    }
    bool quit = m_pendingQuit;
    m_pendingQuit = false;
    while (!m_pendingReminders.empty() && !m_unloaded) {
        wl::Dispatch item = std::move(m_pendingReminders.front());
        m_pendingReminders.pop_front();
        m_objOutlook_Reminder(item);
    }
    // Outlook ends (the user closed its last window, or it was shut down):
    // let go of it, unless the Quit came from an earlier connection or from
    // Clean Up, which quits Outlook on purpose.
    if (quit && m_quitGeneration == m_generation && m_blnOutlookLoaded && !m_blnCleaningUp && !m_unloaded)
        ConnectionLost();
}

void frmMain::CheckConnection()
{
    if (m_unloaded || m_blnCleaningUp || OutlookWork::InProgress()) return;  // the next tick looks again
    if (m_blnOutlookLoaded && m_objOutlook) {
        try {
            (void)m_objOutlook->Get(L"Name");
        } catch (const wl::ComError& error) {
            if (error.ServerGone()) ConnectionLost();
        }
    } else if (g_blnKeepOutlookLoaded && !m_reconnectPending) {
        ScheduleReconnect();  // an earlier attempt to connect failed
    }
}

void frmMain::ConnectionLost()
{
    DropConnection();
    ScheduleReconnect();
}

void frmMain::DropConnection() noexcept
{
    try {
        UnloadOutlook();
        return;
    } catch (...) {
    }
    m_objWord.Reset();
    m_objInbox.Reset();
    m_objOutlook.Reset();
    m_blnOutlookLoaded = false;
    try {
        ShowTrayIcon(TrayBox(), g_strAppPath + L"olicod.ico", wl::LoadStr(IDS_TIP_OUTLOOK), true);
    } catch (...) {
    }
}

void frmMain::ScheduleReconnect()
{
    if (!g_blnKeepOutlookLoaded || !Loaded() || m_unloaded) return;
    m_reconnectPending = ::SetTimer(Hwnd(), kReconnectTimer, m_reconnectPauseMs, nullptr) != 0;
}

void frmMain::OnReconnectTimer()
{
    ::KillTimer(Hwnd(), kReconnectTimer);
    m_reconnectPending = false;
    if (m_blnOutlookLoaded || !g_blnKeepOutlookLoaded) {
        m_reconnectPauseMs = m_firstPauseMs;
        return;
    }
    if (m_blnCleaningUp || OutlookWork::InProgress()) {
        ScheduleReconnect();
        return;
    }
    try {
        LoadOutlook();
    } catch (const wl::ComError&) {
        // Outlook cannot be started yet: wait longer each time.
        m_objInbox.Reset();
        m_objOutlook.Reset();
        m_blnOutlookLoaded = false;
        m_reconnectPauseMs = std::min(m_reconnectPauseMs * 2, m_longestPauseMs);
        ScheduleReconnect();
        return;
    }
    m_reconnectPauseMs = m_firstPauseMs;
    // The alert windows went with the old connection.
    if (g_blnTrackOverdueTasks) (void)ScanForOverdueTasks();
}

bool frmMain::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    (void)lParam;
    if (message == TaskbarCreatedMessage() && message != 0) {
        // Explorer restarted: every icon of the program comes back as it was.
        RestoreTrayIcons();
        return true;
    }
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        result = FALSE;  // focus is set when the dialog is shown
        return true;
    case WM_APP_TRAY:
        // A click while a call into Outlook waits is dropped, as while busy.
        if (OutlookWork::InProgress()) m_lngTrayMsg = static_cast<long>(wParam);
        else picTrayBox_MouseMove(static_cast<long>(wParam));
        return true;
    case WM_APP_END_SESSION:
        (void)Unload(vbAppWindows);
        return true;
    case WM_APP_OUTLOOK_EVENT:
        ProcessOutlookEvents();
        return true;
    case WM_APP_OUTLOOK_GONE:
        CheckConnection();
        return true;
#ifdef WENDLOCK_SOAK_MINUTE_MS
    case WM_APP_SOAK_FIGURE:
        if (wParam == 6) {  // the items the alert windows hold
            result = static_cast<INT_PTR>((m_frmReminders ? m_frmReminders->ItemCount() : 0) +
                                          (m_frmOverdueTasks ? m_frmOverdueTasks->ItemCount() : 0));
        } else {
            result = SoakFigure(wParam);
        }
        return true;
#endif
    case WM_TIMER:
        if (wParam == kWatchTimer) CheckConnection();
        else if (wParam == kReconnectTimer) OnReconnectTimer();
        return true;
    case WM_COMMAND:
        if (!OutlookWork::InProgress()) OnCommand(LOWORD(wParam), HIWORD(wParam));
        return true;
    case WM_CLOSE:
        (void)Unload(vbFormControlMenu);
        return true;
    case WM_QUERYENDSESSION:
        result = TRUE;
        return true;
    case WM_ENDSESSION:
        if (wParam) OnEndSession();
        result = 0;
        return true;
    case WM_DESTROY:
        if (g_watchWindow == Hwnd()) g_watchWindow = nullptr;
        return false;
    default:
        return false;
    }
}

void frmMain::OnCommand(int id, int notification)
{
    switch (id) {
    case IDOK: cmdOK_Click(); return;
    case IDCANCEL: cmdCancel_Click(); return;
    case IDC_CHKKEEPLOADED:
        if (notification == BN_CLICKED) chkKeepLoaded_Click();
        return;
    default: break;
    }
}

bool frmMain::Checked(int id) const
{
    return ::SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void frmMain::SetChecked(int id, bool checked)
{
    ::SendMessageW(Control(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::int16_t frmMain::StartFolderData(int listIndex) const
{
    return static_cast<std::int16_t>(
        ::SendMessageW(Control(IDC_CMBSTARTIN), CB_GETITEMDATA, static_cast<WPARAM>(listIndex), 0));
}
