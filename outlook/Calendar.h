// The default calendar: reading the day's meetings into values, and the
// events of its items, after which it is read again.
#pragma once

#include "core/Dispatch.h"
#include "outlook/Meeting.h"

#include <string>
#include <vector>

namespace wl {

// The events of a folder's items (ItemsEvents), and the members handled.
inline constexpr IID DIID_ItemsEvents = {
    0x00063077, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr DISPID kDispidItemAdd = 0xF001;
inline constexpr DISPID kDispidItemChange = 0xF002;
inline constexpr DISPID kDispidItemRemove = 0xF003;

// A date as Outlook's filters take it: the user's short date and time
// format, without seconds (with seconds a filter does not work as meant).
std::wstring FilterDateText(double date);

// The meetings of the calendar folder that run at some time from now to
// dayEnd, occurrences of recurring meetings included, in the order they
// start: its items sorted by start, recurrences included, then restricted
// to that window, as Outlook's reference has it (in that order, or the
// occurrences are missed), and walked with GetFirst and GetNext (with
// recurrences the count means nothing). Members are looked up once. What is
// left out anyway (all day, cancelled, declined) is not read further. No
// Body, which Outlook's object model guard may protect: the join link comes
// from the location alone. withReminders: Outlook's own reminder is read as
// well. A busy or vanished Outlook throws ComError.
std::vector<Meeting> ReadMeetings(const Dispatch& calendar, const std::wstring& storeId, double now, double dayEnd,
                                  bool withReminders);

}  // namespace wl
