// The main window's Outlook side: connecting, showing Outlook windows,
// reminders and the overdue task scan.
#include "frmMain.h"

#include "core/Conversions.h"
#include "core/OleDate.h"
#include "core/OutlookWork.h"
#include "core/Settings.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <vector>

namespace {

double Now()
{
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    double date = 0;
    ::SystemTimeToVariantTime(&local, &date);
    return date;
}

// The tasks the scan looks at: Outlook leaves out the complete ones itself.
constexpr wchar_t kOpenTasks[] = L"[Complete] = False";

// The Table's columns the scan reads, by their built-in names (so dates come
// in local time and the entry id as the text Item.EntryID gives), in order.
constexpr const wchar_t* kTaskColumns[] = {L"EntryID", L"Subject", L"DueDate"};
enum TaskColumn : std::size_t { kEntryIdColumn, kSubjectColumn, kDueDateColumn };

// Rows come this many at a time, one call into Outlook each: the whole folder
// in a few calls, none of which keeps Outlook's own thread long.
constexpr long kRowsPerBatch = 500;

// Outlook cannot answer at all (gone, or busy beyond the wait): the scan stops
// instead of trying another way or passing a task over.
bool OutlookUnavailable(const wl::ComError& error) noexcept
{
    return error.ServerGone() || wl::IsBusyRejection(error.Code());
}

// The task of one row of the table when it is overdue. A row with a cell
// Outlook left empty (a property the task cannot give) is passed over, as is
// a task that cannot be read in the walk below; the subject alone may be
// missing, as the line can say so.
std::optional<wl::TaskRow> OverdueRow(const wl::ValueGrid& rows, std::size_t row, const std::wstring& folderName,
                                      double now)
{
    const wl::Value& entryId = rows.At(row, kEntryIdColumn);
    const wl::Value& due = rows.At(row, kDueDateColumn);
    if (entryId.IsEmpty() || due.IsEmpty()) return std::nullopt;
    try {
        const double dueDate = due.Date();
        if (!wl::IsOverdue(dueDate, now)) return std::nullopt;
        wl::TaskRow task{folderName, entryId.Text(), std::nullopt, dueDate};
        if (const wl::Value& subject = rows.At(row, kSubjectColumn); !subject.IsEmpty()) task.subject = subject.Text();
        return task;
    } catch (const wl::ComError&) {
        return std::nullopt;  // a cell of another kind than the column's
    }
}

// The overdue tasks of the folder through a Table of its tasks that are not
// complete: some twenty calls into Outlook, and one per batch of rows,
// whatever the number of tasks. std::nullopt when this Outlook gives no such
// table (older or limited); a failure while reading the rows throws.
std::optional<std::vector<wl::TaskRow>> OverdueTasksFromTable(const wl::Dispatch& folder,
                                                              const std::wstring& folderName, double now)
{
    wl::Dispatch table;
    long rowCount = 0;
    try {
        table = folder.Call(L"GetTable", kOpenTasks).Object();
        wl::Dispatch columns = table.Get(L"Columns").Object();
        (void)columns.Call(L"RemoveAll");
        wl::BoundMember add = columns.Bind(L"Add");
        for (const wchar_t* column : kTaskColumns) (void)add.Call(column);
        // Counted first, so no batch asks for more rows than the table has,
        // which Outlook 2007 refuses.
        rowCount = table.Call(L"GetRowCount").Long();
    } catch (const wl::ComError& error) {
        if (OutlookUnavailable(error)) throw;
        return std::nullopt;
    }

    std::vector<wl::TaskRow> overdue;
    if (rowCount <= 0) return overdue;
    wl::BoundMember getArray = table.Bind(L"GetArray");
    for (long left = rowCount; left > 0;) {
        wl::ValueGrid rows = getArray.Call(std::min(left, kRowsPerBatch)).Grid(std::size(kTaskColumns));
        if (rows.Rows() == 0) break;  // tasks completed or deleted since they were counted
        for (std::size_t row = 0; row < rows.Rows(); ++row)
            if (auto task = OverdueRow(rows, row, folderName, now)) overdue.push_back(std::move(*task));
        left -= static_cast<long>(rows.Rows());
    }
    return overdue;
}

// The overdue tasks of the folder, item by item, for an Outlook without
// tables: the due date of every task, and more only of the overdue ones.
std::vector<wl::TaskRow> OverdueTasksFromItems(const wl::Dispatch& folder, const std::wstring& folderName, double now)
{
    wl::Dispatch items = folder.Get(L"Items").Object();
    bool restricted = false;
    try {
        items = items.Call(L"Restrict", kOpenTasks).Object();
        restricted = true;
    } catch (const wl::ComError& error) {
        // An Outlook without Restrict: every task is read, and the complete ones passed over here.
        if (OutlookUnavailable(error)) throw;
    }

    std::vector<wl::TaskRow> overdue;
    items.ForEach([&](const wl::Value& value) {
        try {
            wl::Dispatch task = value.Object();
            const wl::Value due = task.Get(L"DueDate");
            if (due.IsEmpty()) return true;  // as an empty cell of the table
            const double dueDate = due.Date();
            if (!wl::IsOverdue(dueDate, now)) return true;
            if (!restricted && task.Get(L"Complete").Bool()) return true;
            wl::TaskRow row{folderName, task.Get(L"EntryID").Text(), std::nullopt, dueDate};
            try {
                row.subject = task.Get(L"Subject").Text();
            } catch (const wl::ComError& error) {
                if (OutlookUnavailable(error)) throw;
            }
            overdue.push_back(std::move(row));
        } catch (const wl::ComError& error) {
            if (OutlookUnavailable(error)) throw;
            // A task that cannot be read is passed over.
        }
        return true;
    });
    return overdue;
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
        window->Session = [this] { return m_connection.Outlook().Call(L"GetNamespace", L"MAPI").Object(); };
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
    // Everything is read before the window is touched: while a call waits,
    // COM delivers messages, and nothing the list holds is in use meanwhile.
    OutlookWork work;
    std::vector<wl::TaskRow> overdue;
    try {
        wl::Dispatch outlook = m_connection.Outlook();
        if (!outlook) return false;
        wl::Dispatch folder = outlook.Call(L"GetNamespace", L"MAPI")
                                  .Call(L"GetDefaultFolder", static_cast<int>(StartFolder::Tasks))
                                  .Object();
        const double now = Now();
        const std::wstring folderName = folder.Get(L"Name").Text();  // of every task found, for the duplicate rule
        auto fromTable = OverdueTasksFromTable(folder, folderName, now);
        overdue = fromTable ? std::move(*fromTable) : OverdueTasksFromItems(folder, folderName, now);
    } catch (const wl::ComError&) {
        // Outlook busy, gone or failing midway: the list, its icon and its
        // repeat stay as they were.
        return false;
    }

    const bool found = !overdue.empty();
    std::shared_ptr<frmReminders> window = m_frmOverdueTasks;
    if (!window) {
        if (!found) return false;
        window = m_frmOverdueTasks = NewAlertWindow(wl::ModeOverdueTasks);
    }
    window->ReplaceTasks(std::move(overdue));  // may unload the window: none left
    return found;
}

void frmMain::m_frmOverdueTasks_RefreshTimerFired() { (void)ScanForOverdueTasks(); }

void frmMain::m_frmOverdueTasks_RemindersClear() { UnloadOverdueTasksWindow(); }

void frmMain::m_frmOverdueTasks_ShowOutlook() { DisplayOutlook(StartFolder::Tasks); }
