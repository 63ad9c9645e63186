// Outlook's reminders (Application.Reminders): the collection held with its
// events connected, and the one pass over it that finds what Outlook shows.
#pragma once

#include "core/Dispatch.h"
#include "core/EventSink.h"

#include <functional>
#include <string>

// The receiver of the reminders' events. Both arrive inside a call from
// Outlook: the receiver puts the work off.
class IReminderEventHandler {
public:
    // ReminderFire: a reminder came due.
    virtual void OnReminderFired(const wl::Dispatch& reminder) = 0;
    // ReminderAdd, ReminderChange, ReminderRemove, Snooze: which reminders
    // Outlook shows may have changed. None of them says which.
    virtual void OnRemindersChanged() = 0;

protected:
    ~IReminderEventHandler() = default;
};

inline constexpr IID DIID_ReminderCollectionEvents = {
    0x000630B2, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr DISPID kDispidReminderAdd = 64148;
inline constexpr DISPID kDispidReminderChange = 64149;
inline constexpr DISPID kDispidReminderFire = 64150;
inline constexpr DISPID kDispidReminderRemove = 64151;
inline constexpr DISPID kDispidReminderSnooze = 64152;

class RemindersWithEvents {
public:
    RemindersWithEvents();
    RemindersWithEvents(const RemindersWithEvents&) = delete;
    RemindersWithEvents& operator=(const RemindersWithEvents&) = delete;
    ~RemindersWithEvents();

    // Holds the collection and connects its events to the handler; the
    // previous one, if any, is disconnected and released first.
    void Set(wl::Dispatch reminders, IReminderEventHandler* handler);
    // Disconnects the events, then releases the collection.
    void Reset() noexcept;

    const wl::Dispatch& Get() const noexcept { return m_reminders; }
    explicit operator bool() const noexcept { return static_cast<bool>(m_reminders); }

private:
    wl::Dispatch m_reminders;
    wl::EventConnection m_events;
};

namespace wl {

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

// The item of a reminder. Throws ComError.
Dispatch ReminderItem(const Dispatch& reminder);

}  // namespace wl
