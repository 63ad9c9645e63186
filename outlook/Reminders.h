// Outlook's reminders (Application.Reminders): their events, the one pass over
// the collection that finds what Outlook shows, and the reading of a
// reminder's item into a value.
#pragma once

#include "core/Dispatch.h"
#include "outlook/Reminder.h"

#include <functional>

namespace wl {

// Outlook's application events, and the members handled of them.
inline constexpr IID DIID_ApplicationEvents_11 = {
    0x0006302C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID DIID_ApplicationEvents = {
    0x0006304E, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr DISPID kDispidReminder = 0xF004;
inline constexpr DISPID kDispidQuit = 0xF007;

// The reminders collection's events. Add, Change, Fire and Snooze name their
// reminder; Remove names none.
inline constexpr IID DIID_ReminderCollectionEvents = {
    0x000630B2, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr DISPID kDispidReminderAdd = 64148;
inline constexpr DISPID kDispidReminderChange = 64149;
inline constexpr DISPID kDispidReminderFire = 64150;
inline constexpr DISPID kDispidReminderRemove = 64151;
inline constexpr DISPID kDispidReminderSnooze = 64152;

// One pass over the reminders: Reminder's members are looked up on the first
// and called by id on the others. visit gets each reminder, whether Outlook
// shows it, and a reader of its item (a call, made only when asked); it
// returns false to stop. A reminder that cannot be read (its item deleted)
// counts as not shown; a busy or vanished Outlook throws ComError.
using ReminderVisit =
    std::function<bool(const Dispatch& reminder, bool shown, const std::function<Dispatch()>& item)>;
void WalkReminders(const Dispatch& reminders, const ReminderVisit& visit);

// Whether a failed call says that Outlook itself cannot answer now (busy, or
// gone), rather than that the object asked is not there any more.
bool OutlookUnavailable(const ComError& error) noexcept;

// Reads what an alert shows of a reminder's item, whose entry id the caller
// read already. A member the item does not have, or cannot give, is left
// out; an Outlook that cannot answer throws ComError.
Reminder ReadReminderItem(const Dispatch& item, std::wstring entryId, bool readBody);

}  // namespace wl
