#include "OverdueScan.h"

#include "core/Clock.h"
#include "core/OleDate.h"

#include <algorithm>
#include <iterator>
#include <optional>

namespace wl {

namespace {

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
bool OutlookUnavailable(const ComError& error) noexcept
{
    return error.ServerGone() || IsBusyRejection(error.Code());
}

// The task of one row of the table when it is overdue. A row with a cell
// Outlook left empty (a property the task cannot give) is passed over, as is
// a task that cannot be read in the walk below; the subject alone may be
// missing, as the line can say so.
std::optional<TaskRow> OverdueRow(const ValueGrid& rows, std::size_t row, const std::wstring& folderName,
                                      double now)
{
    const Value& entryId = rows.At(row, kEntryIdColumn);
    const Value& due = rows.At(row, kDueDateColumn);
    if (entryId.IsEmpty() || due.IsEmpty()) return std::nullopt;
    try {
        // A due date is a day: a store that converts the table's local time
        // once more shifts it by the time zone's offset at that date.
        const double shown = due.Date();
        const double dueDate = DueDay(shown, LocalOffsetMinutesAt(shown));
        if (!IsOverdue(dueDate, now)) return std::nullopt;
        TaskRow task{folderName, entryId.Text(), std::nullopt, dueDate, {}, {}};
        if (const Value& subject = rows.At(row, kSubjectColumn); !subject.IsEmpty()) task.subject = subject.Text();
        return task;
    } catch (const ComError&) {
        return std::nullopt;  // a cell of another kind than the column's
    }
}

// The overdue tasks of the folder through a Table of its tasks that are not
// complete: some twenty calls into Outlook, and one per batch of rows,
// whatever the number of tasks. std::nullopt when this Outlook gives no such
// table (older or limited); a failure while reading the rows throws.
std::optional<std::vector<TaskRow>> OverdueTasksFromTable(const Dispatch& folder,
                                                              const std::wstring& folderName, double now)
{
    Dispatch table;
    long rowCount = 0;
    try {
        table = folder.Call(L"GetTable", kOpenTasks).Object();
        Dispatch columns = table.Get(L"Columns").Object();
        (void)columns.Call(L"RemoveAll");
        BoundMember add = columns.Bind(L"Add");
        for (const wchar_t* column : kTaskColumns) (void)add.Call(column);
        // Counted first, so no batch asks for more rows than the table has,
        // which Outlook 2007 refuses.
        rowCount = table.Call(L"GetRowCount").Long();
    } catch (const ComError& error) {
        if (OutlookUnavailable(error)) throw;
        return std::nullopt;
    }

    std::vector<TaskRow> overdue;
    if (rowCount <= 0) return overdue;
    BoundMember getArray = table.Bind(L"GetArray");
    // Which index of the array is the row is learnt from the first batch, of
    // one row: as many rows as columns could be read either way, and even a
    // batch asked not to be square can come back so when rows went meanwhile.
    GridOrder order = GridOrder::Unknown;
    for (long left = rowCount, batch = 1; left > 0; batch = kRowsPerBatch) {
        ValueGrid rows = getArray.Call(std::min(left, batch)).Grid(std::size(kTaskColumns), order);
        if (rows.Rows() == 0) break;  // tasks completed or deleted since they were counted
        for (std::size_t row = 0; row < rows.Rows(); ++row)
            if (auto task = OverdueRow(rows, row, folderName, now)) overdue.push_back(std::move(*task));
        left -= static_cast<long>(rows.Rows());
    }
    return overdue;
}

// The overdue tasks of the folder, item by item, for an Outlook without
// tables: the due date of every task, and more only of the overdue ones.
std::vector<TaskRow> OverdueTasksFromItems(const Dispatch& folder, const std::wstring& folderName, double now)
{
    Dispatch items = folder.Get(L"Items").Object();
    bool restricted = false;
    try {
        items = items.Call(L"Restrict", kOpenTasks).Object();
        restricted = true;
    } catch (const ComError& error) {
        // An Outlook without Restrict: every task is read, and the complete ones passed over here.
        if (OutlookUnavailable(error)) throw;
    }

    std::vector<TaskRow> overdue;
    items.ForEach([&](const Value& value) {
        try {
            Dispatch task = value.Object();
            const Value due = task.Get(L"DueDate");
            if (due.IsEmpty()) return true;  // as an empty cell of the table
            const double dueDate = due.Date();
            if (!IsOverdue(dueDate, now)) return true;
            if (!restricted && task.Get(L"Complete").Bool()) return true;
            TaskRow row{folderName, task.Get(L"EntryID").Text(), std::nullopt, dueDate, {}, {}};
            try {
                row.subject = task.Get(L"Subject").Text();
            } catch (const ComError& error) {
                if (OutlookUnavailable(error)) throw;
            }
            overdue.push_back(std::move(row));
        } catch (const ComError& error) {
            if (OutlookUnavailable(error)) throw;
            // A task that cannot be read is passed over.
        }
        return true;
    });
    return overdue;
}

// olFolderTasks, as Store.GetDefaultFolder takes it.
constexpr int kTasksFolder = 13;

}  // namespace

std::vector<TaskRow> ReadOverdueTasks(const Dispatch& tasksFolder, double now)
{
    const std::wstring folderName = tasksFolder.Get(L"Name").Text();  // of every task found, for the duplicate rule
    auto fromTable = OverdueTasksFromTable(tasksFolder, folderName, now);
    return fromTable ? std::move(*fromTable) : OverdueTasksFromItems(tasksFolder, folderName, now);
}

StoresScan ReadOverdueTasksOfStores(const Dispatch& nameSpace, double now, const std::vector<std::wstring>& skipped,
                                    bool defaultStoreOnly)
{
    StoresScan scan;
    Dispatch stores;
    try {
        if (!defaultStoreOnly) stores = nameSpace.Get(L"Stores").Object();
    } catch (const ComError& error) {
        if (OutlookUnavailable(error)) throw;
        // An Outlook older than Stores has one Tasks folder to read.
    }
    if (!stores) {
        const Dispatch folder = nameSpace.Call(L"GetDefaultFolder", kTasksFolder).Object();
        std::wstring storeId;
        try {
            storeId = folder.Get(L"StoreID").Text();
        } catch (const ComError& error) {
            if (OutlookUnavailable(error)) throw;  // else found by entry id alone, as in the default store
        }
        scan.tasks = ReadOverdueTasks(folder, now);
        for (TaskRow& task : scan.tasks) task.storeId = storeId;
        return scan;
    }

    // The stores are gathered first: a walk through the collection is not
    // held open while each store's folder is read.
    std::vector<Dispatch> all;
    stores.ForEach([&](const Value& store) {
        all.push_back(store.Object());
        return true;
    });
    for (const Dispatch& store : all) {
        std::wstring name, storeId;
        Dispatch folder;
        try {
            // A store that cannot give its Tasks folder costs these two calls.
            name = store.Get(L"DisplayName").Text();
            folder = store.Call(L"GetDefaultFolder", kTasksFolder).Object();
            storeId = store.Get(L"StoreID").Text();
        } catch (const ComError& error) {
            if (OutlookUnavailable(error)) throw;
            scan.storesNotRead.push_back(std::move(name));
            continue;
        }
        if (std::find(skipped.begin(), skipped.end(), storeId) != skipped.end()) continue;
        // A folder reached that fails while its rows are read fails the scan,
        // as with one store: the lists shown stay as they are.
        for (TaskRow& task : ReadOverdueTasks(folder, now)) {
            task.storeId = storeId;
            task.storeName = name;
            scan.tasks.push_back(std::move(task));
        }
    }
    return scan;
}

}  // namespace wl
