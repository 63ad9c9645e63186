// The item list of an alert window: the items, read from Outlook once where
// they entered, held in the order they were added, without duplicates, and
// the lines and balloon text shown for them. No Windows functions here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wl {

// The snooze times the alert windows offer, in their order (captions
// IDS_SNOOZE_FIRST...).
inline constexpr long kSnoozeMinutes[] = {5, 10, 15, 30, 60, 120, 240, 1440};

// Which kind of item an alert window holds.
enum AlertMode : std::int16_t { ModeReminders = 0, ModeOverdueTasks = 1 };

// One listed item: what its line shows and how Outlook finds it again.
struct AlertItem {
    std::optional<std::wstring> folderName;  // of the folder holding it; none when Outlook could not say
    std::wstring entryId;
    std::wstring storeId;  // empty when not known
    std::optional<std::wstring> subject;
    // The reminder time (reminders) or due date (overdue tasks): an
    // automation date, local time.
    std::optional<double> date;
    std::wstring storeName;  // the display name of its store; empty when not known
    // A meeting reminder's online-meeting link, as found when the reminder
    // was read; empty when none.
    std::wstring joinLink;

    bool operator==(const AlertItem&) const = default;
};

// The text of an automation date in the user's locale; none when it has none.
using DateFormatter = std::function<std::optional<std::wstring>(double date)>;

class AlertList {
public:
    // Appends the item unless an item with the same folder name and entry id
    // (exact, case-sensitive) is held. An item without a folder name or an
    // entry id matches nothing.
    bool Add(AlertItem item);

    // Makes the list exactly the given items (a scan's findings): a held item
    // whose folder name and entry id are among them keeps its place and takes
    // the given item's data, the other held items go, and the given ones not
    // held yet are appended in their order. Duplicates follow Add: the first
    // of equal items counts. Returns how many were appended; on failure (out
    // of memory) the list is as it was.
    std::size_t Replace(std::vector<AlertItem> items);

    // Removes the item at a 0-based index; out of range does nothing.
    void Remove(std::size_t index);
    void Clear();

    std::size_t Count() const noexcept { return m_items.size(); }
    const AlertItem& At(std::size_t index) const { return m_items.at(index); }
    // Gives the item at the index new data (same identity); out of range does nothing.
    void Update(std::size_t index, AlertItem item);

    // The line of an item: subject, a space, the date; the subject alone when
    // there is no date; `unreadable` when there is no subject either. Other
    // modes: none.
    static std::optional<std::wstring> Line(const AlertItem& item, AlertMode mode, std::wstring_view unreadable,
                                            const DateFormatter& dateText);
    // One line per item in order, so line i always belongs to item i. When
    // the items come from more than one store, each line ends in storeLabel
    // with "%1" replaced by its store's name, shortened (ShortStoreName).
    std::vector<std::wstring> Lines(AlertMode mode, std::wstring_view unreadable, const DateFormatter& dateText,
                                    std::wstring_view storeLabel = {}) const;

private:
    using Identity = std::pair<std::wstring, std::wstring>;
    static std::optional<Identity> IdentityOf(const AlertItem& item);

    std::vector<AlertItem> m_items;
    std::set<Identity> m_known;  // the identities of the held items
};

// A store's display name as a line shows it: at most kStoreNameChars
// characters, a longer one cut and ended with an ellipsis.
inline constexpr std::size_t kStoreNameChars = 24;
std::wstring ShortStoreName(std::wstring_view name);

// The balloon of an alert: "-" and each of the first three lines, then
// "(more)" when there are more, then "Click here for details".
std::wstring BalloonText(const std::vector<std::wstring>& lines, std::wstring_view more, std::wstring_view details);

}  // namespace wl
