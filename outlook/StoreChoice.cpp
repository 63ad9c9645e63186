#include "StoreChoice.h"

#include <algorithm>

namespace wl {

namespace {

bool Holds(const std::vector<std::wstring>& ids, const std::wstring& id)
{
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

}  // namespace

std::vector<std::wstring> StoreIdsFromText(std::wstring_view text)
{
    std::vector<std::wstring> ids;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(L';'), text.size());
        std::wstring_view id = text.substr(0, end);
        while (!id.empty() && (id.front() == L' ' || id.front() == L'\t')) id.remove_prefix(1);
        while (!id.empty() && (id.back() == L' ' || id.back() == L'\t')) id.remove_suffix(1);
        if (!id.empty() && !Holds(ids, std::wstring(id))) ids.emplace_back(id);
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return ids;
}

std::wstring StoreIdsText(const std::vector<std::wstring>& storeIds)
{
    std::wstring text;
    for (const std::wstring& id : storeIds) text += (text.empty() ? L"" : L";") + id;
    return text;
}

std::vector<std::wstring> StoresLeftOut(const std::vector<std::wstring>& before,
                                        const std::vector<std::wstring>& listed,
                                        const std::vector<std::wstring>& unchecked)
{
    std::vector<std::wstring> out;
    for (const std::wstring& id : before)
        if (!Holds(listed, id) && !Holds(out, id)) out.push_back(id);
    for (const std::wstring& id : unchecked)
        if (!Holds(out, id)) out.push_back(id);
    return out;
}

}  // namespace wl
