// The main window's Outlook side: the connection, showing Outlook windows,
// reminders and the overdue task scan.
#include "frmMain.h"

#include "core/Conversions.h"
#include "core/OleDate.h"
#include "core/OutlookWork.h"
#include "core/basMain.h"

namespace {

constexpr int kInbox = 6;
constexpr int kTasks = 13;
constexpr std::int16_t kStartFolder = -99;   // the configured start folder
constexpr std::int16_t kFrontWindow = -100;  // the open window as it is, else the start folder
constexpr std::int16_t kOutlookToday = 0;

double Now()
{
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    double date = 0;
    ::SystemTimeToVariantTime(&local, &date);
    return date;
}

// Word is only ever told to quit on the way out: one that is already gone
// must not keep Outlook from being connected or released.
void QuitWord(wl::Dispatch word) noexcept
{
    try {
        (void)word.Call(L"Quit");
    } catch (const wl::ComError&) {
    }
}

}  // namespace

// Connection

void frmMain::LoadOutlook()
{
    OutlookWork work;
    if (g_blnKeepWordLoaded) {
        if (!m_objWord) m_objWord = wl::Dispatch::Create(L"Word.Application");
    } else if (m_objWord) {
        QuitWord(std::move(m_objWord));
        m_objWord.Reset();
    }

    wl::Dispatch application = wl::Dispatch::Create(L"Outlook.Application");
    ++m_generation;  // events of the previous object are stale from here on
    m_objOutlook.Set(std::move(application), this);
    m_objInbox = m_objOutlook->Call(L"GetNamespace", L"MAPI").Call(L"GetDefaultFolder", kInbox).Object();
    m_blnOutlookLoaded = true;
    ShowTrayIcon(TrayBox(), g_strAppPath + L"olico.ico", wl::LoadStr(IDS_TIP_OUTLOOK), true);
}

void frmMain::UnloadOutlook()
{
    OutlookWork work;
    UnloadRemindersWindow();
    UnloadOverdueTasksWindow();
    if (m_objWord) QuitWord(std::move(m_objWord));
    m_objWord.Reset();
    m_objInbox.Reset();
    m_objOutlook.Reset();  // disconnects the events, then releases Outlook without telling it to quit
    m_blnOutlookLoaded = false;
    ShowTrayIcon(TrayBox(), g_strAppPath + L"olicod.ico", wl::LoadStr(IDS_TIP_OUTLOOK), true);
}

void frmMain::UnloadRemindersWindow()
{
    if (auto window = std::move(m_frmReminders)) {
        m_frmReminders.reset();
        (void)window->Unload();
    }
}

void frmMain::UnloadOverdueTasksWindow()
{
    if (auto window = std::move(m_frmOverdueTasks)) {
        m_frmOverdueTasks.reset();
        (void)window->Unload();
    }
}

// Showing Outlook

void frmMain::DisplayOutlook(std::int16_t& iStartOutlookIn, std::int16_t& bFindDelay)
{
    (void)bFindDelay;
    if (iStartOutlookIn == kStartFolder) iStartOutlookIn = g_intStartOutlookIn;
    if (!m_blnOutlookLoaded) LoadOutlook();  // a failure here is the caller's

    OutlookWork work;
    for (bool retried = false;; retried = true) {
        try {
            auto chooseFolder = [&](std::int16_t selector) {
                wl::Value ns = m_objOutlook->Call(L"GetNamespace", L"MAPI");
                if (selector == kOutlookToday)
                    return ns.Call(L"GetDefaultFolder", kInbox).Call(L"Parent").Object();
                return ns.Call(L"GetDefaultFolder", static_cast<int>(selector)).Object();
            };

            wl::Value active = m_objOutlook->Get(L"ActiveExplorer");
            if (active.IsEmpty()) {
                if (iStartOutlookIn == kFrontWindow) iStartOutlookIn = g_intStartOutlookIn;
                wl::Dispatch folder = chooseFolder(iStartOutlookIn);
                wl::Dispatch explorer = m_objOutlook->Get(L"Explorers").Call(L"Add", folder, 0).Object();
                (void)explorer.Call(L"Display");
            } else {
                wl::Dispatch explorer = active.Object();
                (void)explorer.Call(L"Activate");
                if (iStartOutlookIn != kFrontWindow) explorer.Put(L"CurrentFolder", chooseFolder(iStartOutlookIn));
            }

            if (!g_blnKeepOutlookLoaded && m_blnOutlookLoaded) UnloadOutlook();
            return;
        } catch (const wl::ComError& error) {
            if (error.ServerGone() && !retried) {
                // Outlook ended or crashed since the program connected: connect
                // afresh, once. A failure to connect is the caller's, as above.
                DropConnection();
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

void frmMain::m_frmReminders_ShowOutlook()
{
    std::int16_t selector = kOutlookToday, findDelay = 0;
    DisplayOutlook(selector, findDelay);
}

// Overdue tasks

bool frmMain::ScanForOverdueTasks()
{
    OutlookWork work;
    wl::Dispatch items;
    try {
        if (!m_objOutlook) return false;
        items = m_objOutlook->Call(L"GetNamespace", L"MAPI").Call(L"GetDefaultFolder", kTasks).Call(L"Items").Object();
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
            try {
                if (!m_frmOverdueTasks) m_frmOverdueTasks = NewAlertWindow(wl::ModeOverdueTasks);
                m_frmOverdueTasks->AddReminder(task);
            } catch (...) {
            }
            found = true;
            return true;
        });
    } catch (const wl::ComError&) {
        // The folder went away midway: what was found stands.
    }

    if (found && m_frmOverdueTasks) {
        try {
            std::shared_ptr<frmReminders> window = m_frmOverdueTasks;
            window->RefreshList();
        } catch (...) {
        }
    }
    return found;
}

void frmMain::m_frmOverdueTasks_RefreshTimerFired() { (void)ScanForOverdueTasks(); }

void frmMain::m_frmOverdueTasks_RemindersClear() { UnloadOverdueTasksWindow(); }

void frmMain::m_frmOverdueTasks_ShowOutlook()
{
    std::int16_t selector = kTasks, findDelay = 0;
    DisplayOutlook(selector, findDelay);
}
