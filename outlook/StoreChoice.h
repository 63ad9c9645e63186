// Which stores the overdue scan leaves out, as the settings file keeps them:
// their store ids, so a store renamed in Outlook stays left out. No Windows
// functions here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wl {

// The settings file's text: the ids separated by ";"; blanks around an id and
// empty entries are passed over, and an id given twice is kept once.
std::vector<std::wstring> StoreIdsFromText(std::wstring_view text);
std::wstring StoreIdsText(const std::vector<std::wstring>& storeIds);

// The stores left out after the user's choice in Options: those listed there
// and not checked, and those left out before that were not listed (a store
// offline now keeps its choice).
std::vector<std::wstring> StoresLeftOut(const std::vector<std::wstring>& before,
                                        const std::vector<std::wstring>& listed,
                                        const std::vector<std::wstring>& unchecked);

}  // namespace wl
