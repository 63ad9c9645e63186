// The main window's Outlook side: connecting, showing Outlook windows,
// reminders and the overdue task scan.
#include "frmMain.h"

#include "core/Conversions.h"
#include "core/OleDate.h"
#include "core/OutlookWork.h"
#include "core/Settings.h"

namespace {

double Now()
{
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    double date = 0;
    ::SystemTimeToVariantTime(&local, &date);
    return date;
}

}  // namespace

// Connection

void frmMain::LoadOutlook()
{
    try {
        m_connection.Open(g_blnKeepWordLoaded);
    } catch (const wl::ComError&) {
        if (m_connection.OutlookMissing()) ShowTrayConnected(false);  // the tip says why
        throw;
    }
    ShowTrayConnected(true);
}

std::wstring frmMain::ConnectFailedText(const wl::ComError& error) const
{
    if (OutlookConnection::IsNotInstalled(error.Code())) return wl::LoadStr(IDS_OUTLOOK_NOT_INSTALLED);
    // COM does not connect a program running as administrator to one that is not.
    if (error.Code() == CO_E_SERVER_EXEC_FAILURE) return wl::LoadStr(IDS_OUTLOOK_EXEC_FAILED);
    return wl::LoadStr(IDS_OUTLOOK_START_FAILED);
}

void frmMain::UnloadOutlook() noexcept
{
    OutlookWork work;
    UnloadRemindersWindow();
    UnloadOverdueTasksWindow();
    m_connection.Close();
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
    if (!OutlookLoaded()) LoadOutlook();  // a failure here is the caller's

    OutlookWork work;
    for (bool retried = false;; retried = true) {
        try {
            const wl::Dispatch& outlook = m_connection.Outlook();
            auto chooseFolder = [&](StartFolder folder) {
                wl::Value ns = outlook.Call(L"GetNamespace", L"MAPI");
                if (folder == StartFolder::OutlookToday)
                    return ns.Call(L"GetDefaultFolder", static_cast<int>(StartFolder::Inbox)).Call(L"Parent").Object();
                return ns.Call(L"GetDefaultFolder", static_cast<int>(folder)).Object();
            };

            outlook.AllowForeground();  // before Outlook shows or activates a window
            wl::Value active = outlook.Get(L"ActiveExplorer");
            if (active.IsEmpty()) {
                if (iStartOutlookIn == StartFolder::FrontWindow) iStartOutlookIn = configured;
                wl::Dispatch folder = chooseFolder(iStartOutlookIn);
                wl::Dispatch explorer = outlook.Get(L"Explorers").Call(L"Add", folder, 0).Object();
                (void)explorer.Call(L"Display");
            } else {
                wl::Dispatch explorer = active.Object();
                (void)explorer.Call(L"Activate");
                if (iStartOutlookIn != StartFolder::FrontWindow)
                    explorer.Put(L"CurrentFolder", chooseFolder(iStartOutlookIn));
            }

            if (!g_blnKeepOutlookLoaded && OutlookLoaded()) UnloadOutlook();
            return;
        } catch (const wl::ComError& error) {
            if (error.ServerGone() && !retried) {
                // Outlook ended or crashed since the program connected: connect
                // afresh, once. A failure to connect is the caller's, as above.
                UnloadOutlook();
                LoadOutlook();
                continue;
            }
            MessageBox(wl::LoadStr(IDS_EXPLORER_ERROR) + L"\r\n" + wl::IntegerText(error.Number()) + L" " +
                           error.Description(),
                       MB_OK | MB_ICONSTOP);
            return;
        }
    }
}

// Alert windows

std::shared_ptr<frmReminders> frmMain::NewAlertWindow(wl::AlertMode mode)
{
    auto window = frmReminders::Create();
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

void frmMain::m_objOutlook_Reminder(const wl::Dispatch& item)
{
    OutlookWork work;
    if (g_blnTrackReminders) {
        if (!m_frmReminders) m_frmReminders = NewAlertWindow(wl::ModeReminders);
        std::shared_ptr<frmReminders> window = m_frmReminders;
        window->AddReminder(item);
        window->RefreshList();
    }
    if (g_blnTrackOverdueTasks) (void)ScanForOverdueTasks();
}

void frmMain::m_frmReminders_RemindersClear() { UnloadRemindersWindow(); }

void frmMain::m_frmReminders_ShowOutlook() { DisplayOutlook(StartFolder::OutlookToday); }

// Overdue tasks

bool frmMain::ScanForOverdueTasks()
{
    OutlookWork work;
    const wl::Dispatch& outlook = m_connection.Outlook();
    wl::Dispatch items;
    try {
        if (!outlook) return false;
        items = outlook.Call(L"GetNamespace", L"MAPI")
                    .Call(L"GetDefaultFolder", static_cast<int>(StartFolder::Tasks))
                    .Call(L"Items")
                    .Object();
    } catch (const wl::ComError&) {
        return false;
    }

    // Outlook passes over completed tasks itself when it can; every task
    // then costs two reads instead of three.
    bool restricted = false;
    try {
        items = items.Call(L"Restrict", L"[Complete] = False").Object();
        restricted = true;
    } catch (const wl::ComError&) {
        // An Outlook without Restrict: every task is read, and the complete ones passed over here.
    }

    const double now = Now();
    bool found = false;
    try {
        items.ForEach([&](const wl::Value& value) {
            wl::Dispatch task;
            double due = 0;
            try {
                task = value.Object();
                if (!restricted && task.Get(L"Complete").Bool()) return true;
                due = task.Get(L"DueDate").Date();
            } catch (const wl::ComError&) {
                return true;  // a task that cannot be read is passed over
            }
            if (!wl::IsOverdue(due, now)) return true;
            if (!m_frmOverdueTasks) m_frmOverdueTasks = NewAlertWindow(wl::ModeOverdueTasks);
            m_frmOverdueTasks->AddReminder(task);
            found = true;
            return true;
        });
    } catch (const wl::ComError&) {
        // The folder went away midway: what was found stands.
    }

    if (found && m_frmOverdueTasks) {
        std::shared_ptr<frmReminders> window = m_frmOverdueTasks;
        window->RefreshList();
    }
    return found;
}

void frmMain::m_frmOverdueTasks_RefreshTimerFired() { (void)ScanForOverdueTasks(); }

void frmMain::m_frmOverdueTasks_RemindersClear() { UnloadOverdueTasksWindow(); }

void frmMain::m_frmOverdueTasks_ShowOutlook() { DisplayOutlook(StartFolder::Tasks); }
