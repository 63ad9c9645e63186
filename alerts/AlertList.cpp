#include "AlertList.h"

#include <map>

namespace wl {

std::optional<AlertList::Identity> AlertList::ReadIdentity(AlertItem& item)
{
    // Both are read even when the first fails, as an item may answer one only.
    auto folder = item.FolderName();
    auto entryId = item.EntryID();
    if (!folder || !entryId) return std::nullopt;
    return Identity{std::move(*folder), std::move(*entryId)};
}

bool AlertList::Add(std::shared_ptr<AlertItem> item)
{
    if (!item) return false;
    if (!m_entries.empty()) {
        for (Entry& entry : m_entries) {
            if (entry.identityRead) continue;
            entry.identityRead = true;
            if (auto identity = ReadIdentity(*entry.item)) m_known.insert(std::move(*identity));
        }
        auto identity = ReadIdentity(*item);
        if (identity && m_known.count(*identity)) return false;
        m_entries.push_back({std::move(item), true});
        if (identity) m_known.insert(std::move(*identity));
        return true;
    }
    // The first item is stored without reading anything of it.
    m_entries.push_back({std::move(item), false});
    return true;
}

std::size_t AlertList::Replace(std::vector<std::shared_ptr<AlertItem>> items)
{
    std::map<Identity, std::size_t> given;  // the first given item of each identity
    std::vector<bool> dropped(items.size(), false);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!items[i]) {
            dropped[i] = true;
            continue;
        }
        if (auto identity = ReadIdentity(*items[i]))
            if (!given.emplace(std::move(*identity), i).second) dropped[i] = true;
    }

    std::vector<Entry> kept;
    kept.reserve(items.size());
    std::vector<bool> placed(items.size(), false);
    for (Entry& entry : m_entries) {
        auto identity = ReadIdentity(*entry.item);
        if (!identity) continue;
        auto found = given.find(*identity);
        if (found == given.end() || placed[found->second]) continue;
        placed[found->second] = true;
        kept.push_back({items[found->second], false});
    }
    std::size_t appended = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (placed[i] || dropped[i]) continue;
        kept.push_back({items[i], false});
        ++appended;
    }

    m_entries = std::move(kept);
    ForgetIdentities();
    return appended;
}

void AlertList::Remove(std::size_t index)
{
    if (index >= m_entries.size()) return;
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(index));
    ForgetIdentities();
}

void AlertList::Clear()
{
    m_entries.clear();
    ForgetIdentities();
}

void AlertList::ForgetIdentities() noexcept
{
    m_known.clear();
    for (Entry& entry : m_entries) entry.identityRead = false;
}

std::vector<std::wstring> AlertList::Lines(AlertMode mode, std::wstring_view unreadable)
{
    ForgetIdentities();
    std::vector<std::wstring> lines;
    if (mode != ModeReminders && mode != ModeOverdueTasks) return lines;
    lines.reserve(m_entries.size());
    for (Entry& entry : m_entries) {
        auto subject = entry.item->Subject();
        if (!subject) {
            lines.emplace_back(unreadable);
            continue;
        }
        auto date = entry.item->DateText(mode);
        lines.push_back(date ? *subject + L" " + *date : *subject);
    }
    return lines;
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
