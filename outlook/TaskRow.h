// An overdue task as the scan read it from Outlook: what its line shows and
// how Outlook finds it again, with no Outlook object held. No Windows
// functions here: the alert list's rules use it natively too.
#pragma once

#include <optional>
#include <string>

namespace wl {

struct TaskRow {
    std::wstring folderName;  // of the folder it was found in
    std::wstring entryId;
    std::optional<std::wstring> subject;  // none when Outlook could not give it
    double dueDate = 0;                   // an automation date, local time
    std::wstring storeId;    // of the store holding it; empty when not known
    std::wstring storeName;  // that store's display name
};

}  // namespace wl
