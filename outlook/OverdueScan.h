// The overdue tasks of Outlook's default Tasks folder, read in as few calls
// into Outlook as the folder allows.
#pragma once

#include "core/Dispatch.h"
#include "outlook/TaskRow.h"

#include <vector>

namespace wl {

// Reads the tasks of the folder that are not complete and due at or before
// `now` (an automation date, local time), through a Table of the folder, or,
// where this Outlook gives none, through its Items. Throws ComError when
// Outlook is gone, busy beyond the wait, or fails midway.
std::vector<TaskRow> ReadOverdueTasks(const Dispatch& tasksFolder, double now);

}  // namespace wl
