#include "JoinMeeting.h"

#include "core/MeetingLink.h"
#include "core/win32.h"

#include <shellapi.h>

#include <string>

namespace wl {

bool OpenJoinLink(std::wstring_view link)
{
    if (!IsMeetingLink(link)) return false;
    const std::wstring target(link);
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;  // as ShellExecute tells success
}

}  // namespace wl
