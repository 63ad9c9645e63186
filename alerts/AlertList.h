// The item list of an alert window: Outlook items (or, for overdue tasks,
// what a scan read of them) held in the order they were added, without
// duplicates, and the lines and balloon text shown for them. No Windows
// functions here; the window supplies the items' readers.
#pragma once

#include "outlook/TaskRow.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wl {

// Which kind of item an alert window holds.
enum AlertMode : std::int16_t { ModeReminders = 0, ModeOverdueTasks = 1 };

// One Outlook item as the list reads it. Every read may fail: std::nullopt.
class AlertItem {
public:
    virtual ~AlertItem() = default;
    virtual std::optional<std::wstring> FolderName() = 0;  // the name of the folder holding it
    virtual std::optional<std::wstring> EntryID() = 0;
    virtual std::optional<std::wstring> Subject() = 0;
    // The reminder time (reminders) or due date (overdue tasks), as text in
    // the user's locale.
    virtual std::optional<std::wstring> DateText(AlertMode mode) = 0;
};

class AlertList {
public:
    // Appends the item unless an item with the same folder name and entry id
    // (exact, case-sensitive) is held. A held item that cannot be read matches
    // nothing. Each held item's identity is read at most once between two
    // calls of Lines, so a scan that adds n items costs O(n) reads.
    bool Add(std::shared_ptr<AlertItem> item);

    // Makes the list exactly the given items (a scan's findings): a held item
    // whose folder name and entry id are among them keeps its place and takes
    // the given item's data, the other held items go, and the given ones not
    // held yet are appended in their order. Duplicates and identities follow
    // Add: the first of equal items counts, an unreadable one matches nothing.
    // Each identity is read once. Returns how many were appended; on failure
    // (out of memory) the list is as it was.
    std::size_t Replace(std::vector<std::shared_ptr<AlertItem>> items);

    // Removes the item at a 0-based index; out of range does nothing.
    void Remove(std::size_t index);
    void Clear();

    std::size_t Count() const noexcept { return m_entries.size(); }
    const std::shared_ptr<AlertItem>& At(std::size_t index) const { return m_entries.at(index).item; }

    // One line per item in order: subject, a space, the date; the subject
    // alone when the date cannot be read; `unreadable` when not even the
    // subject can, so line i always belongs to item i. Other modes: no lines.
    // Ends the batch: identities are read afresh by the next Add.
    std::vector<std::wstring> Lines(AlertMode mode, std::wstring_view unreadable);

private:
    using Identity = std::pair<std::wstring, std::wstring>;
    struct Entry {
        std::shared_ptr<AlertItem> item;
        bool identityRead = false;
    };

    static std::optional<Identity> ReadIdentity(AlertItem& item);
    void ForgetIdentities() noexcept;

    std::vector<Entry> m_entries;
    std::set<Identity> m_known;  // identities of the entries read in this batch
};

// The balloon of an alert: "-" and each of the first three lines, then
// "(more)" when there are more, then "Click here for details".
std::wstring BalloonText(const std::vector<std::wstring>& lines, std::wstring_view more, std::wstring_view details);

}  // namespace wl
