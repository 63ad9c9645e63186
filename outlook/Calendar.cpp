#include "Calendar.h"

#include "core/AppMessages.h"
#include "core/MeetingLink.h"
#include "core/RemoteWork.h"
#include "outlook/OutlookSession.h"
#include "outlook/Reminders.h"
#include "outlook/StartFolder.h"

#include <iterator>
#include <optional>
#include <utility>

namespace wl {

namespace {

// A series without an end gives occurrences without end: the walk stops
// here, far beyond a day's meetings.
constexpr int kMostItems = 500;

// Outlook's item events of one change come one after another, and a sync
// brings many: the calendar is read once they have stopped for this long,
// or, while they keep coming, this long after the first.
constexpr UINT kCalendarSettleMs = 1500;
constexpr ULONGLONG kCalendarLongestWaitMs = 10'000;

std::wstring LocaleText(const SYSTEMTIME& at, bool date)
{
    wchar_t text[128] = {};
    const int n = date ? ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &at, nullptr, text,
                                           static_cast<int>(std::size(text)), nullptr)
                       : ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, TIME_NOSECONDS, &at, nullptr, text,
                                           static_cast<int>(std::size(text)));
    return n > 0 ? std::wstring(text) : std::wstring();
}

}  // namespace

std::wstring FilterDateText(double date)
{
    SYSTEMTIME at{};
    if (!::VariantTimeToSystemTime(date, &at)) throw ComError(E_INVALIDARG);
    at.wSecond = 0;
    at.wMilliseconds = 0;
    return LocaleText(at, true) + L" " + LocaleText(at, false);
}

std::vector<Meeting> ReadMeetings(const Dispatch& calendar, const std::wstring& storeId, double now, double dayEnd,
                                  bool withReminders)
{
    Dispatch items = calendar.Get(L"Items").Object();
    (void)items.Call(L"Sort", L"[Start]");
    items.Put(L"IncludeRecurrences", true);
    const std::wstring filter =
        L"[Start] < '" + FilterDateText(dayEnd) + L"' AND [End] > '" + FilterDateText(now) + L"'";
    Dispatch today = items.Call(L"Restrict", filter).Object();

    std::vector<Meeting> meetings;
    std::optional<BoundMember> getNext;
    // The members of an appointment, looked up on the first one.
    struct Members {
        BoundMember allDay, meetingStatus, response, start, end, subject, entryId, location, busy, reminderSet,
            reminderMinutes;
    };
    std::optional<Members> bound;
    Value next = today.Call(L"GetFirst");
    for (int read = 0; read < kMostItems && next.IsObject(); ++read) {
        Dispatch item = next.Object();
        if (!item) break;
        try {
            if (!bound)
                bound = Members{item.Bind(L"AllDayEvent"), item.Bind(L"MeetingStatus"),
                                item.Bind(L"ResponseStatus"), item.Bind(L"Start"),
                                item.Bind(L"End"), item.Bind(L"Subject"),
                                item.Bind(L"EntryID"), item.Bind(L"Location"),
                                item.Bind(L"BusyStatus"), item.Bind(L"ReminderSet"),
                                item.Bind(L"ReminderMinutesBeforeStart")};
            const Members& m = *bound;
            Meeting meeting;
            meeting.storeId = storeId;
            meeting.allDay = m.allDay.On(item).Call().Bool();
            if (!meeting.allDay) {
                meeting.meetingStatus = m.meetingStatus.On(item).Call().Long();
                meeting.responseStatus = m.response.On(item).Call().Long();
            }
            // Left out in any case: nothing more is read of it.
            const bool leftOut = meeting.allDay || meeting.responseStatus == kResponseDeclined ||
                                 meeting.meetingStatus == kMeetingCanceled ||
                                 meeting.meetingStatus == kMeetingReceivedAndCanceled;
            if (!leftOut) {
                meeting.start = m.start.On(item).Call().Date();
                // Sorted by start: the rest begin tomorrow.
                if (meeting.start >= dayEnd) break;
                meeting.end = m.end.On(item).Call().Date();
                meeting.subject = m.subject.On(item).Call().Text();
                meeting.entryId = m.entryId.On(item).Call().Text();
                meeting.location = m.location.On(item).Call().Text();
                meeting.joinLink = FindMeetingLink(meeting.location).value_or(L"");
                meeting.busyStatus = m.busy.On(item).Call().Long();
                if (withReminders) {
                    meeting.reminderSet = m.reminderSet.On(item).Call().Bool();
                    if (meeting.reminderSet) meeting.reminderMinutes = m.reminderMinutes.On(item).Call().Long();
                }
                meetings.push_back(std::move(meeting));
            }
        } catch (const ComError& error) {
            // An item deleted meanwhile, or one that is no appointment: passed over.
            if (OutlookUnavailable(error)) throw;
        }
        if (!getNext) getNext = today.Bind(L"GetNext");
        next = getNext->Call();
    }
    return meetings;
}

}  // namespace wl

// The session's calendar

void OutlookSession::OpenCalendar()
{
    m_calendarEventsPending = false;
    try {
        m_calendar = m_objOutlook->Call(L"GetNamespace", L"MAPI")
                         .Call(L"GetDefaultFolder", static_cast<int>(StartFolder::Calendar))
                         .Object();
        m_calendarStoreId = m_calendar.Get(L"StoreID").Text();
        // Outlook tells only while this very collection is held.
        m_calendarItems.Set(m_calendar.Get(L"Items").Object(), {wl::DIID_ItemsEvents},
                            [this](DISPID id, const DISPPARAMS&) { OnCalendarEvent(id); });
    } catch (const wl::ComError&) {
        // No calendar (or too busy to say): no meetings are shown.
        m_calendarItems.Reset();
        m_calendar.Reset();
    }
}

void OutlookSession::OnCalendarEvent(DISPID id)
{
    if (id != wl::kDispidItemAdd && id != wl::kDispidItemChange && id != wl::kDispidItemRemove) return;
    if (!m_window) return;
    const ULONGLONG now = ::GetTickCount64();
    if (!std::exchange(m_calendarEventsPending, true)) m_calendarEventsSince = now;
    if (now - m_calendarEventsSince < wl::kCalendarLongestWaitMs)
        ::SetTimer(m_window.Hwnd(), wl::kCalendarQuietTimer, wl::kCalendarSettleMs, nullptr);
}

void OutlookSession::HandleCalendarEvents()
{
    ::KillTimer(m_window.Hwnd(), wl::kCalendarQuietTimer);
    if (wl::RemoteWork::InProgress()) {
        ::SetTimer(m_window.Hwnd(), wl::kCalendarQuietTimer, USER_TIMER_MINIMUM, nullptr);  // after the call
        return;
    }
    m_calendarEventsPending = false;
    if (m_blnOutlookLoaded) m_owner.OutlookCalendarChanged();
}

std::optional<std::vector<wl::Meeting>> OutlookSession::ReadToday(double now, double dayEnd,
                                                                  bool withReminders) noexcept
{
    wl::RemoteWork work;
    try {
        if (!m_blnOutlookLoaded || !m_calendar) return std::nullopt;
        return wl::ReadMeetings(m_calendar, m_calendarStoreId, now, dayEnd, withReminders);
    } catch (...) {
        // Outlook busy, gone or failing midway: what was read before stays.
        return std::nullopt;
    }
}
