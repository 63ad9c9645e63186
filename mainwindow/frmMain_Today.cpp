// The main window's view of the day's meetings: the tip of its tray icon,
// the Today section of its popup, and the program's own warning before
// every meeting. Outlook is asked only when the calendar may have changed
// (its items' events, the day's change, a wake, an unlock, a change of the
// clock); between those the clock alone moves the tip, from the values held,
// on one timer set for the next moment something changes.
#include "frmMain.h"

#include "alerts/CardRules.h"
#include "alerts/JoinMeeting.h"
#include "core/AppMessages.h"
#include "core/Clock.h"
#include "core/Settings.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr double kMsPerDay = 86'400'000.0;
// A tip keeps to 63 characters; a menu row's subject to this.
constexpr std::size_t kTipChars = 63;
constexpr std::size_t kRowSubjectChars = 60;
// The timer is set this much past the moment, so the clock has reached it when it fires.
constexpr double kTimerSlackMs = 200;

double DayEndOf(double now) { return std::floor(now) + 1.0; }

// A menu takes "&" as the mark of a mnemonic.
std::wstring MenuText(std::wstring text)
{
    for (std::size_t at = text.find(L'&'); at != std::wstring::npos; at = text.find(L'&', at + 2))
        text.insert(at, 1, L'&');
    return text;
}

}  // namespace

void frmMain::OutlookCalendarChanged() { ReadToday(); }

void frmMain::ReadToday()
{
    if (m_unloaded) return;
    const double now = LocalNow();
    // Outlook's own reminders are read only while the warning wants them.
    std::optional<std::vector<wl::Meeting>> read =
        m_outlook.ReadToday(now, DayEndOf(now), g_intWarnMinutesBefore != wl::kWarnOff);
    m_todayReadFailed = !read;
    if (read) {
        m_todayRead = std::move(*read);
        m_todayDayEnd = DayEndOf(now);
        m_todayKnown = true;
        // Warnings of meetings no longer listed are forgotten.
        std::set<std::wstring> keys;
        for (const wl::Meeting& meeting : m_todayRead) keys.insert(wl::WarningKey(meeting));
        std::erase_if(m_ownWarnings.given, [&](const std::wstring& key) { return !keys.count(key); });
        std::erase_if(m_ownWarnings.snoozedUntil, [&](const auto& entry) { return !keys.count(entry.first); });
    }
    UpdateToday();
}

void frmMain::ForgetToday() noexcept
{
    m_todayRead.clear();
    m_todayKnown = false;
    if (Hwnd()) ::KillTimer(Hwnd(), wl::kTodayTimer);
    m_todayTimerAt = 0;
}

void frmMain::UpdateToday()
{
    if (m_unloaded || !Hwnd()) return;
    ::KillTimer(Hwnd(), wl::kTodayTimer);
    m_todayTimerAt = 0;
    if (!m_todayKnown) return;
    const double now = LocalNow();
    // Read for another day: the midnight read brings today's.
    const std::vector<wl::Meeting> today =
        wl::MeetingsThatCount(m_todayRead, now, m_todayDayEnd, g_blnLeaveOutFreeMeetings);
    ShowTrayConnected(m_outlook.Loaded());

    const bool outlookOnCard = g_blnTrackReminders && g_blnShowReminderCard;
    // The warning is a card: where the user or a policy turned cards off, none.
    const int warnMinutes = g_blnShowReminderCard ? g_intWarnMinutesBefore : wl::kWarnOff;
    std::vector<wl::Meeting> due = wl::TakeWarningsDue(today, now, warnMinutes, outlookOnCard, m_ownWarnings);
    if (!due.empty()) {
        std::vector<wl::Reminder> warnings;
        for (const wl::Meeting& meeting : due) {
            wl::Reminder warning;
            warning.entryId = meeting.entryId;
            warning.storeId = meeting.storeId;
            warning.subject = meeting.subject;
            warning.start = meeting.start;
            warning.reminderTime = meeting.start - warnMinutes / (24.0 * 60);
            warning.location = meeting.location;
            warning.joinLink = meeting.joinLink;
            warning.ownWarning = true;
            warnings.push_back(std::move(warning));
        }
        if (!m_card.OwnWarningDone)
            m_card.OwnWarningDone = [this](const std::wstring& entryId, std::optional<long> minutes) {
                OwnWarningDone(entryId, minutes);
            };
        m_card.WarningsDue(warnings);
    }

    std::optional<double> next = wl::NextChange(today, now);
    if (std::optional<double> warning =
            wl::NextWarning(today, now, warnMinutes, outlookOnCard, m_ownWarnings))
        next = next ? std::min(*next, *warning) : *warning;
    if (!next || *next >= m_todayDayEnd) return;  // the midnight read takes over
    const double ms = std::ceil((*next - now) * kMsPerDay + kTimerSlackMs);
    if (::SetTimer(Hwnd(), wl::kTodayTimer, static_cast<UINT>(std::clamp(ms, 1.0, kMsPerDay)), nullptr))
        m_todayTimerAt = *next;
}

void frmMain::OnTodayTimer() { UpdateToday(); }

std::wstring frmMain::TodayTip() const
{
    const double now = LocalNow();
    const std::vector<wl::Meeting> today =
        wl::MeetingsThatCount(m_todayRead, now, m_todayDayEnd, g_blnLeaveOutFreeMeetings);
    const wl::NextTip tip = wl::TipOf(today, now);
    switch (tip.kind) {
    case wl::NextTip::Kind::Within:
        return wl::FillInFitting(wl::LoadStr(IDS_TIP_NEXT_WITHIN), tip.meeting->subject,
                                 {TimeOfDayText(tip.meeting->start), std::to_wstring(tip.minutes)}, kTipChars);
    case wl::NextTip::Kind::Later:
        return wl::FillInFitting(wl::LoadStr(IDS_TIP_NEXT_LATER), tip.meeting->subject, {TimeOfDayText(tip.meeting->start)}, kTipChars);
    default: return wl::LoadStr(IDS_TIP_NO_MORE);
    }
}

void frmMain::OwnWarningDone(const std::wstring& entryId, std::optional<long> snoozeMinutes)
{
    if (!snoozeMinutes) return;  // dismissed: given once, and so it stays
    const double now = LocalNow();
    for (const wl::Meeting& meeting : m_todayRead)
        if (meeting.entryId == entryId && m_ownWarnings.given.count(wl::WarningKey(meeting))) {
            m_ownWarnings.snoozedUntil[wl::WarningKey(meeting)] = now + *snoozeMinutes / (24.0 * 60);
            break;
        }
    UpdateToday();
}

// The Today section, at the top of the popup: made as the popup opens.

void frmMain::BuildTodayMenu()
{
    HMENU popup = TrayPopup();
    if (!popup) return;
    for (UINT id = IDM_TODAY_HEADER; id <= IDM_TODAY_LAST; ++id) (void)::DeleteMenu(popup, id, MF_BYCOMMAND);
    m_todayMenu.clear();
    if (!m_todayKnown || !m_outlook.Loaded()) return;
    const double now = LocalNow();
    const std::vector<wl::Meeting> today =
        wl::MeetingsThatCount(m_todayRead, now, m_todayDayEnd, g_blnLeaveOutFreeMeetings);
    const wl::TodayRows rows = wl::TodayRowsOf(today, now);
    for (const wl::Meeting* row : rows.rows) m_todayMenu.push_back(*row);

    // Each goes in before the first start folder, so the section keeps its order.
    auto add = [&](UINT flags, UINT id, const std::wstring& text) {
        (void)::InsertMenuW(popup, IDM_VIEW_FIRST, MF_BYCOMMAND | flags, id, text.c_str());
    };
    add(MF_STRING | MF_DISABLED, IDM_TODAY_HEADER, wl::LoadStr(IDS_TODAY));
    if (m_todayMenu.empty()) add(MF_STRING | MF_GRAYED, IDM_TODAY_NONE, wl::LoadStr(IDS_TIP_NO_MORE));
    for (std::size_t i = 0; i < m_todayMenu.size(); ++i) {
        const wl::Meeting& meeting = m_todayMenu[i];
        const UINT id = IDM_TODAY_FIRST + static_cast<UINT>(2 * i);
        add(MF_STRING, id,
            MenuText(wl::FillIn(wl::LoadStr(IDS_TODAY_ROW),
                                {TimeOfDayText(meeting.start), wl::EllipsisText(meeting.subject, kRowSubjectChars)})));
        if (!meeting.joinLink.empty()) add(MF_STRING, id + 1, wl::LoadStr(IDS_TODAY_JOIN));
    }
    if (rows.more) add(MF_STRING, IDM_TODAY_MORE, wl::LoadStr(IDS_TODAY_MORE));
    add(MF_SEPARATOR, IDM_TODAY_SEPARATOR, L"");
}

void frmMain::mnuToday_Click(UINT command)
{
    if (command == IDM_TODAY_MORE) {
        try {
            DisplayOutlook(StartFolder::Calendar);
        } catch (const wl::ComError& error) {
            MessageBox(ConnectFailedText(error), MB_OK | MB_ICONEXCLAMATION);
        }
        return;
    }
    if (command < IDM_TODAY_FIRST) return;
    const std::size_t row = (command - IDM_TODAY_FIRST) / 2;
    if (row >= m_todayMenu.size()) return;
    const wl::Meeting meeting = m_todayMenu[row];
    if ((command - IDM_TODAY_FIRST) % 2 == 1) {
        (void)wl::OpenJoinLink(meeting.joinLink);
        return;
    }
    try {
        if (!m_outlook.DisplayItem(meeting.entryId, meeting.storeId))
            MessageBox(wl::LoadStr(IDS_DISPLAY_FAILED), MB_OK);
    } catch (const wl::ComError&) {
        MessageBox(wl::LoadStr(IDS_DISPLAY_FAILED), MB_OK | MB_ICONEXCLAMATION);
    }
}
