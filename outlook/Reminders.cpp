#include "Reminders.h"

#include <optional>
#include <utility>

RemindersWithEvents::RemindersWithEvents() = default;

RemindersWithEvents::~RemindersWithEvents() { Reset(); }

void RemindersWithEvents::Set(wl::Dispatch reminders, IReminderEventHandler* handler)
{
    Reset();
    m_reminders = std::move(reminders);
    if (!m_reminders || !handler) return;
    // Without events the list still works; it only follows Outlook less closely.
    (void)m_events.Connect(m_reminders, {DIID_ReminderCollectionEvents}, [handler](DISPID id, const DISPPARAMS& params) {
        switch (id) {
        case kDispidReminderFire:
            if (wl::Dispatch reminder = wl::EventObjectArg(params, 0)) handler->OnReminderFired(reminder);
            break;
        case kDispidReminderAdd:
        case kDispidReminderChange:
        case kDispidReminderRemove:
        case kDispidReminderSnooze:
            handler->OnRemindersChanged();
            break;
        default:
            break;
        }
    });
}

void RemindersWithEvents::Reset() noexcept
{
    m_events.Disconnect();
    m_reminders.Reset();
}

namespace wl {

bool OutlookUnavailable(const ComError& error) noexcept
{
    return error.ServerGone() || IsBusyRejection(error.Code());
}

void WalkReminders(const Dispatch& reminders, const ReminderVisit& visit)
{
    std::optional<BoundMember> isVisible, item;
    reminders.ForEach([&](const Value& value) {
        Dispatch reminder = value.Object();
        bool shown = false;
        try {
            if (!isVisible) isVisible = reminder.Bind(L"IsVisible");
            shown = isVisible->On(reminder).Call().Bool();
        } catch (const ComError& error) {
            if (OutlookUnavailable(error)) throw;
            // The reminder of an item deleted meanwhile: Outlook shows it no more.
        }
        auto readItem = [&] {
            if (!item) item = reminder.Bind(L"Item");
            return item->On(reminder).Call().Object();
        };
        return visit(reminder, shown, readItem);
    });
}

}  // namespace wl
