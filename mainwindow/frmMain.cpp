// The main window: loading, unloading, the session end and message routing.
#include "frmMain.h"

#include "core/AppMessages.h"
#include "core/RemoteWork.h"
#include "core/RestartRegistration.h"
#include "core/Settings.h"
#include "core/basINI.h"
#include "outlook/StoreChoice.h"

#include <commctrl.h>

#include <iterator>
#include <vector>

namespace {

// Windows may send several of the signals after which Outlook is read again
// within a few seconds (a wake, then the unlock); they give one read.
constexpr UINT kReadAgainSettleMs = 2000;

}  // namespace

frmMain::frmMain() = default;

frmMain::~frmMain()
{
    // Whatever is still held goes quietly: an exit without Unload.
    m_frmReminders.reset();
    m_frmOverdueTasks.reset();
}

void frmMain::Load()
{
    if (Loaded()) return;
    // The icon comes first, disconnected: the user sees the program at once.
    // It belongs to the tray box, so it does not wait for the Options dialog,
    // whose controls take longer to make than all the start-up before them.
    // The icon's clicks are handled after Form_Load: they wait for the message
    // loop, and one the shell delivers inside its own calls is dropped until
    // the window exists.
    OpenTray();
    LoadTrayBox();
    (void)ShowTrayIcon(TrayBox(), g_strAppPath + L"olicod.ico", wl::LoadStr(IDS_TIP_OUTLOOK));
    CreateFromTemplate(IDD_MAIN);
    m_outlook.Start(g_strOutlookPath);
    m_outlook.KeepLoaded(g_blnKeepOutlookLoaded);
    m_outlook.KeepWord(g_blnKeepWordLoaded);
    m_outlook.TrackReminders(g_blnTrackReminders);
    m_outlook.ReadMeetingBodies(g_blnShowReminderCard);
    m_outlook.LeaveOutStores(wl::StoreIdsFromText(ReadIniSetting(L"StoresLeftOut")));
    Form_Load();
}

void frmMain::OnInitDialog()
{
    SetIcons(IDI_WENDLOCK);
    // Run as administrator, the window would not hear that Explorer restarted
    // (a message from a process of lower integrity) and the icons would stay away.
    (void)::ChangeWindowMessageFilterEx(Hwnd(), TaskbarCreatedMessage(), MSGFLT_ALLOW, nullptr);

    // cmbStartIn: the ten start folders, in the order of kStartFolders.
    HWND list = Control(IDC_CMBSTARTIN);
    for (std::size_t i = 0; i < std::size(kStartFolders); ++i) {
        std::wstring text = wl::LoadStr(StartFolderCaption(i));
        ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    ::SendMessageW(Control(IDC_TXTLOADDELAY), EM_SETLIMITTEXT, 32, 0);
    // The stores: one column, a check box each.
    HWND stores = Control(IDC_LSTSTORES);
    ListView_SetExtendedListViewStyle(stores, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    RECT area{};
    ::GetClientRect(stores, &area);
    column.cx = area.right - area.left - ::GetSystemMetrics(SM_CXVSCROLL);
    ListView_InsertColumn(stores, 0, &column);
    // At logon Windows may not take this yet: asked again until it does.
    if (!m_sessionSignals.Start(Hwnd())) ::SetTimer(Hwnd(), wl::kSessionSignalsTimer, 10'000, nullptr);

    LoadTrayMenu(IDM_MAIN_TRAY);
}

void frmMain::Form_Load()
{
    // The icon is up (Load), and the delay runs on a timer: the program
    // answers Windows meanwhile. The menus (the links file read line by
    // line) are built before any message of the icon can arrive: still
    // within this handler.
    CentreOnScreen();
    BuildStartFolderMenu();
    (void)m_links.Refresh();
    BuildLinkMenu();

    m_displayAtStart = DisplayOutlookAtStart();
    UINT delayMs = 0;
    if (m_displayAtStart || g_blnKeepOutlookLoaded) delayMs = static_cast<UINT>(LoadDelayMs());
    m_startUpPending = true;
    ::SetTimer(Hwnd(), wl::kStartUpTimer, delayMs, nullptr);
}

void frmMain::OnStartUpTimer()
{
    ::KillTimer(Hwnd(), wl::kStartUpTimer);
    if (!m_startUpPending) return;
    if (wl::RemoteWork::InProgress()) {
        ::SetTimer(Hwnd(), wl::kStartUpTimer, USER_TIMER_MINIMUM, nullptr);  // after the call in progress
        return;
    }
    m_startUpPending = false;
    try {
        if (m_displayAtStart) DisplayOutlook(StartFolder::Configured);
        else if (g_blnKeepOutlookLoaded && !m_outlook.Loaded()) LoadOutlook();
    } catch (const wl::ComError& error) {
        // Outlook could not be started: say so once, and run on disconnected;
        // the session tries again by itself when keeping Outlook loaded.
        m_outlook.Reset();
        MessageBox(ConnectFailedText(error), MB_OK | MB_ICONEXCLAMATION);
    }
    if (m_unloaded) return;  // the session ended meanwhile
    m_outlook.Watch();
    if (g_blnTrackOverdueTasks) (void)ScanForOverdueTasks();
    ArmMidnightTimer();
}

void frmMain::OnReadAgainTimer()
{
    ::KillTimer(Hwnd(), wl::kReadAgainTimer);
    if (m_startUpPending) return;  // start-up reads all of it anyway
    if (wl::RemoteWork::InProgress()) {
        ::SetTimer(Hwnd(), wl::kReadAgainTimer, USER_TIMER_MINIMUM, nullptr);  // after the call in progress
        return;
    }
    if (m_outlook.Refresh() && g_blnTrackOverdueTasks) (void)ScanForOverdueTasks();
    ReadToday();
    // A repeat that fell due during a sleep comes once, now.
    for (std::shared_ptr<frmReminders> window : {m_frmReminders, m_frmOverdueTasks})
        if (window) window->CatchUp();
    ArmMidnightTimer();
}

void frmMain::OnMidnightTimer()
{
    if (LocalDayNumber() != m_midnightArmedOn && !m_startUpPending) {
        if (g_blnTrackOverdueTasks) (void)ScanForOverdueTasks();
        ReadToday();
    } else if (m_todayReadFailed && !m_startUpPending) {
        // Outlook was busy (a dialog open, a long sync) when the day was read:
        // without this the tip would say there is nothing until an event comes.
        ReadToday();
    }
    ArmMidnightTimer();
}

void frmMain::ArmMidnightTimer()
{
    // A second past midnight, so the scan's day is the new one; an hour at
    // most, as a sleep or a change of zone that nothing announced moves midnight.
    constexpr UINT kHourMs = 3'600'000;
    const UINT untilMidnight = MsToNextLocalMidnight() + 1000;
    m_midnightArmedOn = LocalDayNumber();
    ::SetTimer(Hwnd(), wl::kMidnightTimer, untilMidnight < kHourMs ? untilMidnight : kHourMs, nullptr);
}

bool frmMain::Unload(UnloadMode unloadMode)
{
    // A session end can arrive while the unload tells the shell or Outlook something.
    if (m_unloaded || m_unloading) return true;
    HandlerScope scope(*this);
    bool cancel = false;
    {
        FlagScope unloading(m_unloading);
        cancel = Form_QueryUnload(unloadMode);
    }
    if (cancel) return false;
    m_unloaded = true;
    m_outlook.Stop();
    m_card.DestroyHwnd();
    DestroyHwnd();
    if (m_quitOnUnload) ::PostQuitMessage(0);
    return true;
}

bool frmMain::Form_QueryUnload(UnloadMode unloadMode)
{
    if (unloadMode == UnloadMode::FormControlMenu) {
        ::ShowWindow(Hwnd(), SW_HIDE);
        m_modal = false;
        return true;
    }
    SaveStartupSettings();

    if (unloadMode == UnloadMode::AppWindows) {
        // The session ends: with the settings safe, take the icons down and
        // answer Windows before calling Outlook or Word, which Windows does
        // not allow inside this message.
        RemoveAllTrayIcons();
        if (::InSendMessageEx(nullptr) & (ISMEX_SEND | ISMEX_REPLIED)) ::ReplyMessage(0);
    }

    UnloadRemindersWindow();
    UnloadOverdueTasksWindow();
    RemoveTrayIcon(TrayBox());
    UnloadOutlook();
    return false;
}

void frmMain::OnEndSession()
{
    if (wl::RemoteWork::InProgress()) {
        // The session ends while a call into Outlook waits for its answer
        // (COM delivers sent messages meanwhile). Unloading now would pull the
        // alert windows from under that call: make the settings and the tray
        // safe at once, and unload when the call is done.
        SaveStartupSettings();
        RemoveAllTrayIcons();
        wl::RemoteWork::Defer(Hwnd(), wl::kEndSessionDeferred);
        return;
    }
    (void)Unload(UnloadMode::AppWindows);
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

    RunModalLoop(m_modal);
    m_modal = false;
    for (HWND window : disabled)
        if (::IsWindow(window)) ::EnableWindow(window, TRUE);
    if (Loaded()) ::ShowWindow(Hwnd(), SW_HIDE);
}

TrayIcon frmMain::TrayBox() const noexcept { return TrayWindow::TrayBox(wl::kMainIconId); }

void frmMain::ShowTrayConnected(bool connected)
{
    UINT tip = !connected && m_outlook.OutlookMissing() ? IDS_TIP_NO_OUTLOOK : IDS_TIP_OUTLOOK;
    const std::wstring text = connected && m_todayKnown ? TodayTip() : wl::LoadStr(tip);
    (void)ShowTrayIcon(TrayBox(), g_strAppPath + (connected ? L"olico.ico" : L"olicod.ico"), text, true);
}

void frmMain::KeepOutlookLoaded(bool keep)
{
    g_blnKeepOutlookLoaded = keep;
    m_outlook.KeepLoaded(keep);
}

// Messages

bool frmMain::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
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
    case wl::kEndSessionDeferred:
        OnEndSession();  // put off again if another call into Outlook has begun meanwhile
        return true;
    case WM_SETTINGCHANGE:
        // Group Policy was refreshed. Handled after this sent message, in
        // which no call into Outlook may be made.
        if (lParam && ::lstrcmpW(reinterpret_cast<LPCWSTR>(lParam), L"Policy") == 0)
            ::PostMessageW(Hwnd(), wl::kPolicyChanged, 0, 0);
        return false;
    case wl::kPolicyChanged:
        OnPolicyChanged();
        return true;
    case WM_TIMER:
        if (wParam == wl::kStartUpTimer) OnStartUpTimer();
        else if (wParam == wl::kReadAgainTimer) OnReadAgainTimer();
        else if (wParam == wl::kMidnightTimer) OnMidnightTimer();
        else if (wParam == wl::kTodayTimer) OnTodayTimer();
        else if (wParam == wl::kSessionSignalsTimer && m_sessionSignals.Start(Hwnd()))
            ::KillTimer(Hwnd(), wl::kSessionSignalsTimer);
        return true;
    case WM_POWERBROADCAST:
    case WM_WTSSESSION_CHANGE:
    case WM_TIMECHANGE:
        if (SaysReadAgain(message, wParam)) ::SetTimer(Hwnd(), wl::kReadAgainTimer, kReadAgainSettleMs, nullptr);
        result = message == WM_POWERBROADCAST ? TRUE : 0;
        return true;
    case WM_QUERYENDSESSION:
        FollowEndSession(lParam);
        result = TRUE;
        return true;
    case WM_ENDSESSION:
        // A logoff, or Restart Manager closing the program for an installer
        // (ENDSESSION_CLOSEAPP): either way the settings are saved, the icons
        // go and the program ends, which Restart Manager waits for.
        if (wParam) OnEndSession();
        else EndSessionCalledOff();
        result = 0;
        return true;
    case WM_DESTROY:
        m_sessionSignals.Stop();
        m_outlook.Stop();
        return false;
    default:
        return false;
    }
}

void frmMain::OnCommand(int id, int notification)
{
    const auto command = static_cast<UINT>(id);
    if (command >= IDM_VIEW_FIRST && command < IDM_VIEW_FIRST + std::size(kStartFolders)) {
        mnuView_Click(static_cast<std::int16_t>(command - IDM_VIEW_FIRST));
        return;
    }
    if (command >= IDM_TODAY_HEADER && command <= IDM_TODAY_LAST) {
        mnuToday_Click(command);
        return;
    }
    if (command >= IDM_LINK_FIRST && command < IDM_LINK_FIRST + static_cast<UINT>(m_linkCount)) {
        mnuNewLink_Click(static_cast<std::int16_t>(command - IDM_LINK_FIRST));
        return;
    }
    switch (id) {
    case IDM_FILE_SHOWOUTLOOK:
    case IDM_FILE_KEEPLOADED:
    case IDM_FILE_CLEANUP:
    case IDM_FILE_OPTIONS:
    case IDM_FILE_ABOUT:
    case IDM_FILE_EXIT:
        mnuFile_Click(static_cast<FileMenu>(id - IDM_FILE_FIRST));
        return;
    case IDOK: cmdOK_Click(); return;
    case IDCANCEL: cmdCancel_Click(); return;
    case IDC_CHKKEEPLOADED:
        if (notification == BN_CLICKED) chkKeepLoaded_Click();
        return;
    default: break;
    }
}
