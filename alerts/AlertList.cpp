#include "AlertList.h"

#include <map>

namespace wl {

std::optional<AlertList::Identity> AlertList::IdentityOf(const AlertItem& item)
{
    if (!item.folderName || item.entryId.empty()) return std::nullopt;
    return Identity{*item.folderName, item.entryId};
}

bool AlertList::Add(AlertItem item)
{
    auto identity = IdentityOf(item);
    if (identity && m_known.count(*identity)) return false;
    m_items.push_back(std::move(item));
    if (identity) m_known.insert(std::move(*identity));
    return true;
}

std::size_t AlertList::Replace(std::vector<AlertItem> items)
{
    std::map<Identity, std::size_t> given;  // the first given item of each identity
    std::vector<bool> dropped(items.size(), false);
    for (std::size_t i = 0; i < items.size(); ++i)
        if (auto identity = IdentityOf(items[i]))
            if (!given.emplace(std::move(*identity), i).second) dropped[i] = true;

    std::vector<AlertItem> kept;
    kept.reserve(items.size());
    std::vector<bool> placed(items.size(), false);
    for (const AlertItem& held : m_items) {
        auto identity = IdentityOf(held);
        if (!identity) continue;
        auto found = given.find(*identity);
        if (found == given.end() || placed[found->second]) continue;
        placed[found->second] = true;
        kept.push_back(items[found->second]);
    }
    std::size_t appended = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (placed[i] || dropped[i]) continue;
        kept.push_back(items[i]);
        ++appended;
    }
    std::set<Identity> known;
    for (auto& [identity, index] : given) known.insert(identity);

    m_items = std::move(kept);
    m_known = std::move(known);
    return appended;
}

void AlertList::Remove(std::size_t index)
{
    if (index >= m_items.size()) return;
    if (auto identity = IdentityOf(m_items[index])) m_known.erase(*identity);
    m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(index));
}

void AlertList::Clear()
{
    m_items.clear();
    m_known.clear();
}

void AlertList::Update(std::size_t index, AlertItem item)
{
    if (index >= m_items.size()) return;
    if (auto old = IdentityOf(m_items[index])) m_known.erase(*old);
    if (auto identity = IdentityOf(item)) m_known.insert(std::move(*identity));
    m_items[index] = std::move(item);
}

std::optional<std::wstring> AlertList::Line(const AlertItem& item, AlertMode mode, std::wstring_view unreadable,
                                            const DateFormatter& dateText)
{
    if (mode != ModeReminders && mode != ModeOverdueTasks) return std::nullopt;
    if (!item.subject) return std::wstring(unreadable);
    std::optional<std::wstring> date;
    if (item.date && dateText) date = dateText(*item.date);
    return date ? *item.subject + L" " + *date : *item.subject;
}

std::vector<std::wstring> AlertList::Lines(AlertMode mode, std::wstring_view unreadable,
                                           const DateFormatter& dateText, std::wstring_view storeLabel) const
{
    std::vector<std::wstring> lines;
    if (mode != ModeReminders && mode != ModeOverdueTasks) return lines;
    // A line names its store only where the list holds more than one.
    const std::wstring* firstStore = nullptr;
    bool severalStores = false;
    for (const AlertItem& item : m_items) {
        if (item.storeId.empty()) continue;
        if (!firstStore) firstStore = &item.storeId;
        else if (item.storeId != *firstStore) severalStores = true;
    }
    const std::size_t mark = storeLabel.find(L"%1");
    lines.reserve(m_items.size());
    for (const AlertItem& item : m_items) {
        std::wstring line = *Line(item, mode, unreadable, dateText);
        if (severalStores && mark != std::wstring_view::npos && !item.storeName.empty())
            line += std::wstring(storeLabel.substr(0, mark)) + ShortStoreName(item.storeName) +
                    std::wstring(storeLabel.substr(mark + 2));
        lines.push_back(std::move(line));
    }
    return lines;
}

std::wstring ShortStoreName(std::wstring_view name)
{
    if (name.size() <= kStoreNameChars) return std::wstring(name);
    std::size_t cut = kStoreNameChars - 1;
    // Not between the two halves of a surrogate pair.
    if (name[cut - 1] >= 0xD800 && name[cut - 1] <= 0xDBFF) --cut;
    return std::wstring(name.substr(0, cut)) + L"\u2026";
}

std::wstring BalloonText(const std::vector<std::wstring>& lines, std::wstring_view more, std::wstring_view details)
{
    constexpr std::size_t kMaxLines = 3;
    std::wstring text;
    std::size_t n = lines.size() > kMaxLines ? kMaxLines : lines.size();
    for (std::size_t i = 0; i < n; ++i) text += L"-" + lines[i] + L"\r\n";
    if (lines.size() > kMaxLines) text += more;
    text += L"\r\n";
    text += details;
    return text;
}

}  // namespace wl
