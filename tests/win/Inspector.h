// The tests' one view inside the program's windows, the Outlook session and
// the tray service, for state no user or Outlook can see. Every class it
// reads names it as a friend; nothing else does.
#pragma once

#include "alerts/AlertList.h"
#include "alerts/frmReminders.h"
#include "core/TrayIcons.h"
#include "mainwindow/frmMain.h"

#include <commctrl.h>

#include <functional>
#include <iterator>

#include <memory>
#include <string>
#include <vector>

struct Inspector {
    // The main window and its session
    static bool OutlookLoaded(const frmMain& w) { return w.m_outlook.Loaded(); }
    static bool OutlookEventsConnected(const frmMain& w) { return w.m_outlook.m_objOutlook.m_events.Connected(); }
    static bool WordLoaded(const frmMain& w) { return static_cast<bool>(w.m_outlook.m_objWord); }
    static const std::shared_ptr<frmReminders>& RemindersWindow(const frmMain& w) { return w.m_frmReminders; }
    static const std::shared_ptr<frmReminders>& OverdueTasksWindow(const frmMain& w) { return w.m_frmOverdueTasks; }
    static TrayIcon TrayBox(const frmMain& w) { return w.TrayBox(); }
    static bool ModalShowing(const frmMain& w) { return w.m_modal; }
    static bool StartUpPending(const frmMain& w) { return w.m_startUpPending; }
    static bool CleaningUp(const frmMain& w) { return w.m_outlook.Restarting(); }
    // A reconnect is on its way: after a pause, or once the Outlook that went away has ended.
    static bool ReconnectPending(const frmMain& w)
    {
        return w.m_outlook.m_reconnectPending || w.m_outlook.m_waitingForEnd;
    }
    static UINT ReconnectPauseMs(const frmMain& w) { return w.m_outlook.m_reconnectPauseMs; }
    // How often a connected Outlook whose process is unknown is asked whether
    // it is still there, and the pauses before connecting again.
    static void SetConnectionWatch(frmMain& w, UINT probeMs, UINT firstPauseMs, UINT longestPauseMs)
    {
        w.m_outlook.SetWatch(probeMs, firstPauseMs, longestPauseMs);
    }
    static bool WatchingServerProcess(const frmMain& w) { return static_cast<bool>(w.m_outlook.m_process); }
    static bool Probing(const frmMain& w) { return w.m_outlook.m_probing; }
    static std::wstring AboutText(const frmMain& w) { return w.AboutText(); }
    // The main window's handlers and procedures, as its own messages run them.
    static void tmnuFile_Click(frmMain& w) { w.tmnuFile_Click(); }
    static void mnuFile_Click(frmMain& w, frmMain::FileMenu index) { w.mnuFile_Click(index); }
    static void mnuView_Click(frmMain& w, std::int16_t index) { w.mnuView_Click(index); }
    static void mnuNewLink_Click(frmMain& w, std::int16_t index) { w.mnuNewLink_Click(index); }
    static void UpdateSettingsView(frmMain& w) { w.UpdateSettingsView(); }
    static void LoadOutlook(frmMain& w) { w.LoadOutlook(); }
    static void UnloadOutlook(frmMain& w) { w.UnloadOutlook(); }
    static void UnloadOverdueTasksWindow(frmMain& w) { w.UnloadOverdueTasksWindow(); }
    static void DisplayOutlook(frmMain& w, StartFolder folder) { w.DisplayOutlook(folder); }
    static bool ScanForOverdueTasks(frmMain& w) { return w.ScanForOverdueTasks(); }

    // The reminder card: Windows' "may the user be disturbed?" answered by
    // the test, and how often a waiting card asks again.
    static frmCard& Card(frmMain& w) { return w.m_card; }
    static void SetCardNotificationState(frmMain& w, std::function<QUERY_USER_NOTIFICATION_STATE()> state, UINT waitMs)
    {
        w.m_card.m_notificationState = std::move(state);
        w.m_card.m_waitMs = waitMs;
    }
    static bool CardWaiting(const frmCard& c) { return c.m_waiting; }
    static std::vector<wl::Reminder> CardItems(const frmCard& c) { return c.m_items; }
    // When the main window's clock next changes the tip, the Today section or a warning (0: never today).
    static double TodayTimerAt(const frmMain& w) { return w.m_todayTimerAt; }
    // The tooltip of a row's Join button.
    static std::wstring CardJoinTip(const frmCard& c, int row)
    {
        wchar_t text[256] = {};
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = c.Hwnd();
        tool.uId = reinterpret_cast<UINT_PTR>(c.Control(IDC_CARD_FIRST + row * IDC_CARD_ROW_STEP + IDC_CARD_JOIN));
        tool.lpszText = text;
        ::SendMessageW(c.m_tooltip, TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&tool));
        return text;
    }

    // Either kind of tray window
    static HMENU TrayMenu(const TrayWindow& w) { return w.m_tmnuFile; }
    static bool InTrayEvent(const TrayWindow& w) { return w.m_blnInTrayEvent; }

    // An alert window
    static TrayIcon TrayBox(const frmReminders& w) { return w.TrayBox(); }
    static std::size_t ItemCount(const frmReminders& w) { return w.m_colItems.Count(); }
    static std::int32_t CurrentTimerID(const frmReminders& w) { return w.m_lngTimerID; }
    static unsigned AlertsRaised(const frmReminders& w) { return w.m_alertsRaised; }
    // The lines as the list box shows them.
    static std::vector<std::wstring> Lines(const frmReminders& w)
    {
        HWND list = w.Control(IDC_LSTREMINDERS);
        std::vector<std::wstring> lines;
        auto count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            std::wstring text(static_cast<size_t>(::SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0)),
                              L'\0');
            ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
            lines.push_back(std::move(text));
        }
        return lines;
    }
    // The balloon text the window's lines make, as its alert hands it to
    // the shell (which keeps it to itself; so does the program).
    static std::wstring BalloonText(const frmReminders& w)
    {
        return wl::BalloonText(Lines(w), wl::LoadStr(IDS_BALLOON_MORE), wl::LoadStr(IDS_BALLOON_DETAILS));
    }

    // The tray service: whether the program shows the icon, with which file and tip.
    static bool TrayIconShown(TrayIcon icon, std::wstring* iconFile = nullptr, std::wstring* tip = nullptr)
    {
        TrayIconRecord record;
        if (!TrayRecords::Find(icon, record)) return false;
        if (iconFile) *iconFile = record.iconFile;
        if (tip) *tip = record.tip;
        return record.shown;
    }
    // The width of the image the program handed to the shell for the icon.
    static int TrayImageSize(TrayIcon icon)
    {
        TrayIconRecord record;
        return TrayRecords::Find(icon, record) ? record.imageSize : 0;
    }
};
