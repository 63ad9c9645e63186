// The main window's Outlook side: connecting, showing Outlook windows,
// reminders and the overdue task scan, as the session does them.
#include "frmMain.h"

#include "core/Conversions.h"
#include "core/RemoteWork.h"
#include "core/Settings.h"

#include <optional>
#include <set>
#include <vector>

// Connection

void frmMain::LoadOutlook()
{
    try {
        m_outlook.Open(g_blnKeepWordLoaded);
    } catch (const wl::ComError&) {
        if (m_outlook.OutlookMissing()) ShowTrayConnected(false);  // the tip says why
        throw;
    }
    ShowTrayConnected(true);
}

std::wstring frmMain::ConnectFailedText(const wl::ComError& error) const
{
    if (OutlookSession::IsNotInstalled(error.Code())) return wl::LoadStr(IDS_OUTLOOK_NOT_INSTALLED);
    // COM does not connect a program running as administrator to one that is not.
    if (error.Code() == CO_E_SERVER_EXEC_FAILURE) return wl::LoadStr(IDS_OUTLOOK_EXEC_FAILED);
    return wl::LoadStr(IDS_OUTLOOK_START_FAILED);
}

void frmMain::UnloadOutlook() noexcept
{
    wl::RemoteWork work;
    UnloadRemindersWindow();
    UnloadOverdueTasksWindow();
    m_outlook.Close();
    try {
        ShowTrayConnected(false);
    } catch (...) {
        // Out of memory for the tip: the icon keeps its look, the connection is gone all the same.
    }
}

void frmMain::UnloadRemindersWindow() noexcept
{
    if (auto window = std::move(m_frmReminders)) {
        m_frmReminders.reset();
        (void)window->Unload();
    }
}

void frmMain::UnloadOverdueTasksWindow() noexcept
{
    if (auto window = std::move(m_frmOverdueTasks)) {
        m_frmOverdueTasks.reset();
        (void)window->Unload();
    }
}

// Showing Outlook

void frmMain::DisplayOutlook(StartFolder iStartOutlookIn)
{
    const auto configured = static_cast<StartFolder>(g_intStartOutlookIn);
    if (iStartOutlookIn == StartFolder::Configured) iStartOutlookIn = configured;
    if (!m_outlook.Loaded()) LoadOutlook();  // a failure here is the caller's

    std::optional<wl::ComError> failure;
    {
        wl::RemoteWork work;
        try {
            m_outlook.ShowFolder(iStartOutlookIn, configured);
        } catch (const wl::ComError& error) {
            failure = error;
        }
        if (failure && failure->ServerGone()) {
            // Outlook ended or crashed since the program connected: connect
            // afresh, once. A failure to connect is the caller's, as above.
            UnloadOutlook();
            LoadOutlook();
            failure.reset();
            try {
                m_outlook.ShowFolder(iStartOutlookIn, configured);
            } catch (const wl::ComError& error) {
                failure = error;
            }
        }
        if (!failure && !g_blnKeepOutlookLoaded && m_outlook.Loaded()) UnloadOutlook();
    }
    // Told once the work is done: events and clicks are not held back while
    // the box waits for the user.
    if (failure)
        MessageBox(wl::LoadStr(IDS_EXPLORER_ERROR) + L"\r\n" + wl::IntegerText(failure->Number()) + L" " +
                       failure->Description(),
                   MB_OK | MB_ICONSTOP);
}

// Alert windows

std::shared_ptr<frmReminders> frmMain::NewAlertWindow(wl::AlertMode mode)
{
    auto window = frmReminders::Create(m_outlook);
    if (mode == wl::ModeReminders) {
        window->RemindersClear = [this] { m_frmReminders_RemindersClear(); };
        window->ShowOutlook = [this] { m_frmReminders_ShowOutlook(); };
    } else {
        window->RemindersClear = [this] { m_frmOverdueTasks_RemindersClear(); };
        window->ShowOutlook = [this] { m_frmOverdueTasks_ShowOutlook(); };
        window->RefreshTimerFired = [this] { m_frmOverdueTasks_RefreshTimerFired(); };
    }
    window->Load();
    window->Mode(mode);
    return window;
}

// Reminders

void frmMain::m_objOutlook_Reminder(const wl::OutlookItem& item) { RemindersArrived({item}); }

void frmMain::RemindersArrived(const std::vector<wl::OutlookItem>& items)
{
    wl::RemoteWork work;
    if (g_blnTrackReminders) {
        if (!m_frmReminders) m_frmReminders = NewAlertWindow(wl::ModeReminders);
        std::shared_ptr<frmReminders> window = m_frmReminders;
        for (const wl::OutlookItem& item : items) window->AddReminder(item);
        window->RefreshList();
    }
    if (g_blnTrackOverdueTasks) (void)ScanForOverdueTasks();
}

void frmMain::m_objReminders_Change()
{
    // Dismissed or snoozed in Outlook: the line goes, without a new alert.
    std::shared_ptr<frmReminders> window = m_frmReminders;
    if (!window) return;
    std::optional<std::set<std::wstring>> shown = m_outlook.VisibleReminders();
    if (shown) window->KeepShown(*shown);  // may unload the window: none left
}

void frmMain::m_frmReminders_RemindersClear() { UnloadRemindersWindow(); }

void frmMain::m_frmReminders_ShowOutlook() { DisplayOutlook(StartFolder::OutlookToday); }

// Overdue tasks

bool frmMain::ScanForOverdueTasks()
{
    // Everything is read before the window is touched: while a call waits,
    // COM delivers messages, and nothing the list holds is in use meanwhile.
    std::optional<std::vector<wl::TaskRow>> overdue = m_outlook.ScanOverdueTasks();
    if (!overdue) return false;  // the list, its icon and its repeat stay as they were

    const bool found = !overdue->empty();
    std::shared_ptr<frmReminders> window = m_frmOverdueTasks;
    if (!window) {
        if (!found) return false;
        window = m_frmOverdueTasks = NewAlertWindow(wl::ModeOverdueTasks);
    }
    window->ReplaceTasks(std::move(*overdue));  // may unload the window: none left
    return found;
}

void frmMain::m_frmOverdueTasks_RefreshTimerFired() { (void)ScanForOverdueTasks(); }

void frmMain::m_frmOverdueTasks_RemindersClear() { UnloadOverdueTasksWindow(); }

void frmMain::m_frmOverdueTasks_ShowOutlook() { DisplayOutlook(StartFolder::Tasks); }
