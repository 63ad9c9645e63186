// The overdue tasks of Outlook's Tasks folders, one of each store of the
// profile, read in as few calls into Outlook as each folder allows.
#pragma once

#include "core/Dispatch.h"
#include "outlook/TaskRow.h"

#include <string>
#include <vector>

namespace wl {

// Reads the tasks of the folder that are not complete and due at or before
// `now` (an automation date, local time), through a Table of the folder, or,
// where this Outlook gives none, through its Items. Throws ComError when
// Outlook is gone, busy beyond the wait, or fails midway.
std::vector<TaskRow> ReadOverdueTasks(const Dispatch& tasksFolder, double now);

// The stores collection's events: a store added to the profile, and one
// about to leave it (the store, and Cancel by reference).
inline constexpr IID DIID_StoresEvents_12 = {
    0x000630F8, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr DISPID kDispidStoreAdd = 61441;
inline constexpr DISPID kDispidBeforeStoreRemove = 64433;

// What one scan of every store found.
struct StoresScan {
    std::vector<TaskRow> tasks;  // each with its store's id and display name
    std::vector<std::wstring> storesNotRead;  // the display names of the stores that raised
};

// Reads the overdue tasks of the Tasks folder of every store in the profile
// (NameSpace.Stores), leaving out the stores whose id is in `skipped`. A store
// that raises (no Tasks folder, offline, a data file missing or locked) is
// passed over and named in storesNotRead, after at most two calls into
// Outlook; the others are read all the same. An Outlook without Stores gives
// its default Tasks folder. Throws ComError when Outlook is gone or busy
// beyond the wait, or fails while the rows of a folder it gave are read.
// With defaultStoreOnly, only the default store's Tasks folder is read.
StoresScan ReadOverdueTasksOfStores(const Dispatch& nameSpace, double now,
                                    const std::vector<std::wstring>& skipped = {}, bool defaultStoreOnly = false);

}  // namespace wl
