#include "Reminders.h"

#include "core/MeetingLink.h"

#include <optional>
#include <utility>

namespace wl {

namespace {

// Outlook's item classes (OlObjectClass) whose items have more to show.
constexpr long kAppointmentClass = 26;
constexpr long kTaskClass = 48;

// One member of an item, left out when the item cannot give it; an Outlook
// that cannot answer at all fails the whole read.
template <class F>
auto Optional(F read) -> std::optional<decltype(read())>
{
    try {
        return read();
    } catch (const ComError& error) {
        if (OutlookUnavailable(error)) throw;
        return std::nullopt;
    }
}

}  // namespace

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

Reminder ReadReminderItem(const Dispatch& item, std::wstring entryId, bool readBody)
{
    Reminder reminder;
    reminder.entryId = std::move(entryId);
    reminder.subject = Optional([&] { return item.Get(L"Subject").Text(); });
    reminder.reminderTime = Optional([&] { return item.Get(L"ReminderTime").Date(); });
    if (auto folder = Optional([&] { return item.Get(L"Parent").Object(); })) {
        reminder.folderName = Optional([&] { return folder->Get(L"Name").Text(); });
        reminder.storeId = Optional([&] { return folder->Get(L"StoreID").Text(); }).value_or(L"");
    }
    const long kind = Optional([&] { return item.Get(L"Class").Long(); }).value_or(0);
    if (kind == kAppointmentClass) {
        reminder.start = Optional([&] { return item.Get(L"Start").Date(); });
        reminder.location = Optional([&] { return item.Get(L"Location").Text(); }).value_or(L"");
        if (auto link = FindMeetingLink(reminder.location)) {
            reminder.joinLink = std::move(*link);
        } else if (readBody) {
            // Most invitations carry the link only in the body. Body is one of
            // the members Outlook's object model guard protects: where Outlook
            // does not trust programs of their own (no up-to-date antivirus,
            // or a policy that always warns) reading it makes Outlook ask the
            // user first. It is read once, for appointments only, only when
            // the location holds no link and only while the card that offers
            // Join is wanted; a refusal leaves the link out.
            auto body = Optional([&] { return item.Get(L"Body").Text(); });
            if (body) reminder.joinLink = FindMeetingLink(*body).value_or(L"");
        }
    } else if (kind == kTaskClass) {
        reminder.task = true;
        reminder.start = Optional([&] { return item.Get(L"DueDate").Date(); });
    }
    return reminder;
}

}  // namespace wl
