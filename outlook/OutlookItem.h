// An Outlook item the program holds: the item of a reminder Outlook raised.
// It is read by member name each time its line is drawn, so the line follows
// the item; a read Outlook fails gives std::nullopt, and one a busy Outlook
// rejects gives what the last read found.
#pragma once

#include "core/Dispatch.h"

#include <optional>
#include <string>

namespace wl {

class OutlookItem {
public:
    OutlookItem() = default;
    explicit OutlookItem(Dispatch item) : m_item(std::move(item)) {}

    std::optional<std::wstring> FolderName() const;  // the name of the folder holding it
    std::optional<std::wstring> EntryID() const;
    std::optional<std::wstring> Subject() const;
    // The reminder time, or a task's due date, as text in the user's locale.
    std::optional<std::wstring> ReminderTimeText() const;
    std::optional<std::wstring> DueDateText() const;

    // Opens the item's own Outlook window. Throws ComError.
    void Display() const;

    explicit operator bool() const noexcept { return static_cast<bool>(m_item); }

private:
    Dispatch m_item;
    // What each reader last found, for a read a busy Outlook rejects.
    mutable std::optional<std::wstring> m_folderName, m_entryId, m_subject, m_reminderTime, m_dueDate;
};

// Opens an Outlook item's window, letting Outlook take the foreground first
// (a window it opens after a click elsewhere would otherwise only flash in
// the taskbar). Throws ComError.
void DisplayItem(const Dispatch& item);

}  // namespace wl
