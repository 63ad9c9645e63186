// The main window's Outlook side: connecting, showing Outlook windows, and
// what the session tells of reminders and the connection, as values.
#include "frmMain.h"

#include "core/Conversions.h"
#include "core/RemoteWork.h"
#include "core/Settings.h"

#include <optional>
#include <utility>
#include <vector>

// Connection

void frmMain::LoadOutlook() { m_outlook.Open(g_blnKeepWordLoaded); }

void frmMain::UnloadOutlook() noexcept { m_outlook.Close(); }

std::wstring frmMain::ConnectFailedText(const wl::ComError& error)
{
    switch (OutlookSession::FailureOf(error)) {
    case OutlookSession::ConnectFailure::NotInstalled: return wl::LoadStr(IDS_OUTLOOK_NOT_INSTALLED);
    case OutlookSession::ConnectFailure::Elevated: return wl::LoadStr(IDS_OUTLOOK_EXEC_FAILED);
    default: return wl::LoadStr(IDS_OUTLOOK_START_FAILED);
    }
}

void frmMain::OutlookConnected(bool reconnected)
{
    ShowTrayConnected(true);
    // The alert windows went with the old connection.
    if (reconnected && g_blnTrackOverdueTasks) (void)ScanForOverdueTasks();
    // A connection made only to show Outlook goes right after: nothing to keep up to date.
    if (g_blnKeepOutlookLoaded) ReadToday();
}

void frmMain::OutlookDisconnected()
{
    UnloadRemindersWindow();
    UnloadOverdueTasksWindow();
    m_card.Clear();
    ForgetToday();
    ShowTrayConnected(false);
}

namespace {

// The reference goes first: the window's unload may reach its owner.
void UnloadAlertWindow(std::shared_ptr<frmReminders>& held) noexcept
{
    if (std::shared_ptr<frmReminders> window = std::exchange(held, nullptr)) (void)window->Unload();
}

}  // namespace

void frmMain::UnloadRemindersWindow() noexcept { UnloadAlertWindow(m_frmReminders); }

void frmMain::UnloadOverdueTasksWindow() noexcept { UnloadAlertWindow(m_frmOverdueTasks); }

// Showing Outlook

void frmMain::DisplayOutlook(StartFolder iStartOutlookIn)
{
    const auto configured = static_cast<StartFolder>(g_intStartOutlookIn);
    if (iStartOutlookIn == StartFolder::Configured) iStartOutlookIn = configured;
    m_outlook.KeepWord(g_blnKeepWordLoaded);
    // A failure to connect is the caller's; one to show is told here, once
    // the work is done: events and clicks are not held back while the box
    // waits for the user.
    std::optional<wl::ComError> failure = m_outlook.ShowFolder(iStartOutlookIn, configured, g_blnKeepOutlookLoaded);
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
        // The 30-minute repeat brings back a card its close box hid.
        window->RefreshTimerFired = [this] { m_card.Repeat(); };
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

void frmMain::OutlookRemindersFired(const std::vector<wl::Reminder>& fired) { m_objOutlook_Reminder(fired); }

void frmMain::OutlookRemindersShown(const std::vector<wl::Reminder>& shown) { m_objReminders_Change(shown); }

void frmMain::m_objOutlook_Reminder(const std::vector<wl::Reminder>& items)
{
    // The reminders that came due together: listed, then one alert and one rescan.
    if (m_unloaded) return;
    if (g_blnTrackReminders) {
        if (!m_frmReminders) m_frmReminders = NewAlertWindow(wl::ModeReminders);
        std::shared_ptr<frmReminders> window = m_frmReminders;
        for (const wl::Reminder& item : items) window->AddReminder(item);
        window->RefreshList();
        ShowReminderCard(items);
    }
    if (g_blnTrackOverdueTasks) (void)ScanForOverdueTasks();
}

void frmMain::m_objReminders_Change(const std::vector<wl::Reminder>& shown)
{
    // Dismissed, snoozed or changed in Outlook: the lines follow, without a new alert.
    if (std::shared_ptr<frmReminders> window = m_frmReminders) window->KeepShown(shown);  // may unload it
    m_card.KeepShown(shown);
}

void frmMain::ShowReminderCard(const std::vector<wl::Reminder>& items)
{
    if (!g_blnShowReminderCard) return;
    if (!m_card.ShowAllReminders) m_card.ShowAllReminders = [this] { m_frmCard_ShowAllReminders(); };
    m_card.RemindersFired(items);
}

void frmMain::m_frmCard_ShowAllReminders()
{
    if (std::shared_ptr<frmReminders> window = m_frmReminders) window->ShowWindowModeless();
}

void frmMain::m_frmReminders_RemindersClear() { UnloadRemindersWindow(); }

void frmMain::m_frmReminders_ShowOutlook() { DisplayOutlook(StartFolder::OutlookToday); }

// Overdue tasks

bool frmMain::ScanForOverdueTasks()
{
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

void frmMain::OutlookStoresChanged()
{
    // A store's tasks come with it and go with it.
    if (g_blnTrackOverdueTasks) (void)ScanForOverdueTasks();
}

void frmMain::m_frmOverdueTasks_RefreshTimerFired() { (void)ScanForOverdueTasks(); }

void frmMain::m_frmOverdueTasks_RemindersClear() { UnloadOverdueTasksWindow(); }

void frmMain::m_frmOverdueTasks_ShowOutlook() { DisplayOutlook(StartFolder::Tasks); }
