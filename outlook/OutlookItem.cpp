#include "OutlookItem.h"

namespace wl {

namespace {

template <class F>
const std::optional<std::wstring>& Read(std::optional<std::wstring>& last, F read)
{
    try {
        last = read();
    } catch (const ComError& error) {
        // A busy Outlook leaves the line as it was; any other failure says
        // the item cannot be read (deleted, moved, Outlook gone).
        if (!IsBusyRejection(error.Code())) last.reset();
    }
    return last;
}

}  // namespace

std::optional<std::wstring> OutlookItem::FolderName() const
{
    return Read(m_folderName, [&] { return m_item.Get(L"Parent").Object().Get(L"Name").Text(); });
}

std::optional<std::wstring> OutlookItem::EntryID() const
{
    // An item keeps its entry id while it stays in its store: read once.
    if (m_entryId) return m_entryId;
    return Read(m_entryId, [&] { return m_item.Get(L"EntryID").Text(); });
}

std::optional<std::wstring> OutlookItem::Subject() const
{
    return Read(m_subject, [&] { return m_item.Get(L"Subject").Text(); });
}

std::optional<std::wstring> OutlookItem::ReminderTimeText() const
{
    return Read(m_reminderTime, [&] { return DateText(m_item.Get(L"ReminderTime").Date()); });
}

std::optional<std::wstring> OutlookItem::DueDateText() const
{
    return Read(m_dueDate, [&] { return DateText(m_item.Get(L"DueDate").Date()); });
}

void OutlookItem::Display() const { DisplayItem(m_item); }

void DisplayItem(const Dispatch& item)
{
    item.AllowForeground();
    (void)item.Call(L"Display");
}

}  // namespace wl
