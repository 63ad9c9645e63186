#include "frmCard.h"

#include "alerts/AlertList.h"
#include "alerts/CardRules.h"
#include "alerts/JoinMeeting.h"
#include "core/MeetingLink.h"
#include "core/AppMessages.h"
#include "core/Clock.h"
#include "core/RemoteWork.h"
#include "resources/resource.h"

#include <commctrl.h>
#include <shellscalingapi.h>

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <set>
#include <utility>

namespace {

constexpr UINT kMinuteMs = 60 * 1000;
constexpr UINT kMenuPollMs = 200;
constexpr int kMarginAt96Dpi = 12;
constexpr std::size_t kSubjectChars = 255;
constexpr std::size_t kLocationChars = 200;
// Dialog units of the template: the rows start below the title, one every
// kRowHeight; "and N more" stands below the last row shown.
constexpr int kRowsTop = 14;
constexpr int kRowHeight = 40;
constexpr int kMoreHeight = 12;
// The snooze menu's items: a time of the list by its place plus one, or one
// of those computed from the start.
constexpr UINT kMenuUntilStart = 100;
constexpr UINT kMenuBeforeStart = 101;
constexpr long kBeforeStartMinutes = 5;

int ControlId(std::size_t row, int field) { return IDC_CARD_FIRST + static_cast<int>(row) * IDC_CARD_ROW_STEP + field; }

constexpr int kRowFields[] = {IDC_CARD_SUBJECT, IDC_CARD_DETAIL, IDC_CARD_JOIN,  IDC_CARD_SNOOZE,
                              IDC_CARD_SNOOZEMENU, IDC_CARD_DISMISS, IDC_CARD_OPEN};


// A text of the string table with numbers or texts put in; the format is ours.
template <class... Args>
std::wstring Format(UINT id, Args... args)
{
    const std::wstring format = wl::LoadStr(id);
    wchar_t buffer[1024];
    const int n = std::swprintf(buffer, std::size(buffer), format.c_str(), args...);
    return n < 0 ? format : std::wstring(buffer, static_cast<std::size_t>(n));
}

std::wstring WhenText(const wl::CardWhen& when)
{
    using Kind = wl::CardWhen::Kind;
    const int h = static_cast<int>(when.hours), m = static_cast<int>(when.minutes);
    switch (when.kind) {
    case Kind::In: return h > 0 ? Format(IDS_CARD_IN_HOURS, h, m) : Format(IDS_CARD_IN_MINUTES, m);
    case Kind::Now: return wl::LoadStr(IDS_CARD_NOW);
    case Kind::Started: return h > 0 ? Format(IDS_CARD_STARTED_HOURS, h, m) : Format(IDS_CARD_STARTED_MINUTES, m);
    case Kind::DueToday: return wl::LoadStr(IDS_CARD_DUE_TODAY);
    default: return {};
    }
}

std::wstring DetailText(const wl::Reminder& reminder, double now)
{
    const std::wstring when = WhenText(wl::WhenOf(reminder.start, reminder.task, now));
    const std::wstring location = wl::EllipsisText(reminder.location, kLocationChars);
    if (when.empty()) return location;
    if (location.empty()) return when;
    return Format(IDS_CARD_DETAIL, when.c_str(), location.c_str());
}

QUERY_USER_NOTIFICATION_STATE WindowsNotificationState()
{
    QUERY_USER_NOTIFICATION_STATE state = QUNS_ACCEPTS_NOTIFICATIONS;
    if (FAILED(::SHQueryUserNotificationState(&state))) return QUNS_ACCEPTS_NOTIFICATIONS;
    return state;
}

}  // namespace

frmCard::frmCard(OutlookSession& outlook) : m_outlook(outlook), m_notificationState(WindowsNotificationState) {}

// The tooltip is owned by the card's window and goes with it.
frmCard::~frmCard() = default;

// What Outlook tells

void frmCard::RemindersFired(const std::vector<wl::Reminder>& fired)
{
    if (fired.empty()) return;
    for (const wl::Reminder& reminder : fired) {
        auto held = std::find_if(m_items.begin(), m_items.end(),
                                 [&](const wl::Reminder& r) { return r.entryId == reminder.entryId; });
        // Fired again (after a snooze): it is the newest once more.
        if (held != m_items.end()) m_items.erase(held);
        m_items.push_back(reminder);
    }
    if (!Loaded()) {
        if (!CreateFromTemplate(IDD_CARD)) return;
        Form_Load();
    }
    DrawRows();
    ShowOrWait();
}

void frmCard::WarningsDue(const std::vector<wl::Reminder>& warnings)
{
    std::vector<wl::Reminder> fresh;
    for (const wl::Reminder& warning : warnings) {
        // Outlook's own reminder of the meeting is on the card already: one line.
        const bool held = std::any_of(m_items.begin(), m_items.end(),
                                      [&](const wl::Reminder& r) { return r.entryId == warning.entryId; });
        if (!held) fresh.push_back(warning);
    }
    RemindersFired(fresh);
}

void frmCard::KeepShown(const std::vector<wl::Reminder>& shown)
{
    std::vector<wl::Reminder> kept;
    for (const wl::Reminder& held : m_items) {
        if (held.ownWarning) {
            kept.push_back(held);  // not Outlook's to say
            continue;
        }
        auto now = std::find_if(shown.begin(), shown.end(), [&](const wl::Reminder& r) { return r.entryId == held.entryId; });
        if (now != shown.end()) kept.push_back(*now);  // its item may have changed
    }
    if (kept.size() == m_items.size() && kept == m_items) return;
    m_items = std::move(kept);
    if (m_items.empty()) {
        Clear();
        return;
    }
    if (Loaded()) DrawRows();
}

void frmCard::Repeat()
{
    if (!m_items.empty() && Loaded()) ShowOrWait();
}

void frmCard::Clear()
{
    m_items.clear();
    m_wanted = false;
    Hide();
}

// Showing

bool frmCard::MustNotDisturb() const
{
    switch (m_notificationState ? m_notificationState() : QUNS_ACCEPTS_NOTIFICATIONS) {
    case QUNS_BUSY:
    case QUNS_RUNNING_D3D_FULL_SCREEN:
    case QUNS_PRESENTATION_MODE:
    case QUNS_QUIET_TIME:
        return true;
    default:
        return false;
    }
}

void frmCard::ShowOrWait()
{
    m_wanted = true;
    if (::IsWindowVisible(Hwnd())) return;  // already up: drawn again, not shown again
    if (MustNotDisturb()) {
        // Asked again only while a card waits.
        if (!m_waiting) ::SetTimer(Hwnd(), wl::kCardWaitTimer, m_waitMs, nullptr);
        m_waiting = true;
        return;
    }
    ShowNoActivate();
}

void frmCard::ShowNoActivate()
{
    if (m_waiting) ::KillTimer(Hwnd(), wl::kCardWaitTimer);
    m_waiting = false;
    Place();
    ::ShowWindow(Hwnd(), SW_SHOWNOACTIVATE);
    ::SetWindowPos(Hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SetTimer(Hwnd(), wl::kCardMinuteTimer, kMinuteMs, nullptr);
}

void frmCard::Hide()
{
    if (!Loaded()) return;
    ::KillTimer(Hwnd(), wl::kCardMinuteTimer);
    ::KillTimer(Hwnd(), wl::kCardWaitTimer);
    m_waiting = false;
    ::ShowWindow(Hwnd(), SW_HIDE);
}

void frmCard::Place()
{
    HWND foreground = ::GetForegroundWindow();
    HMONITOR monitor = foreground ? ::MonitorFromWindow(foreground, MONITOR_DEFAULTTONEAREST)
                                  : ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!::GetMonitorInfoW(monitor, &info)) return;
    UINT dpiX = 96, dpiY = 96;
    if (FAILED(::GetDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &dpiX, &dpiY))) dpiX = 96;
    const int margin = ::MulDiv(kMarginAt96Dpi, static_cast<int>(dpiX), 96);
    RECT window{};
    ::GetWindowRect(Hwnd(), &window);
    const RECT& work = info.rcWork;
    const int width = window.right - window.left, height = window.bottom - window.top;
    const int x = std::max<int>(work.left, work.right - width - margin);
    const int y = std::max<int>(work.top, work.bottom - height - margin);
    ::SetWindowPos(Hwnd(), HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

// Drawing

const wl::Reminder* frmCard::ReminderOf(std::size_t row) const
{
    if (row >= wl::RowsOf(m_items.size()).shown) return nullptr;
    return &m_items[m_items.size() - 1 - row];
}

void frmCard::DrawRows()
{
    const double now = LocalNow();
    const wl::CardRows rows = wl::RowsOf(m_items.size());
    for (std::size_t row = 0; row < wl::kCardRows; ++row) {
        const wl::Reminder* reminder = ReminderOf(row);
        for (int field : kRowFields) {
            const bool shown = reminder && (field != IDC_CARD_JOIN || !reminder->joinLink.empty());
            ::ShowWindow(Control(ControlId(row, field)), shown ? SW_SHOWNA : SW_HIDE);
        }
        if (!reminder) continue;
        const std::wstring subject =
            reminder->subject && !reminder->subject->empty() ? wl::EllipsisText(*reminder->subject, kSubjectChars)
                                                              : wl::LoadStr(IDS_CARD_NO_SUBJECT);
        ::SetWindowTextW(Control(ControlId(row, IDC_CARD_SUBJECT)), subject.c_str());
        ::SetWindowTextW(Control(ControlId(row, IDC_CARD_DETAIL)), DetailText(*reminder, now).c_str());
        if (m_tooltip) {
            std::wstring tip = Format(IDS_CARD_JOIN_TIP, wl::MeetingLinkHost(reminder->joinLink).c_str());
            TTTOOLINFOW tool{};
            tool.cbSize = sizeof tool;
            tool.hwnd = Hwnd();
            tool.uFlags = TTF_IDISHWND;
            tool.uId = reinterpret_cast<UINT_PTR>(Control(ControlId(row, IDC_CARD_JOIN)));
            tool.lpszText = tip.data();
            ::SendMessageW(m_tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }
    // The card is as tall as the rows it shows, "and N more" below them.
    RECT box{0, 0, 0, kRowsTop + kRowHeight * static_cast<int>(rows.shown)};
    HWND more = Control(IDC_CARD_MORE);
    if (rows.more > 0) {
        RECT at{6, box.bottom, 216, box.bottom + kMoreHeight};
        ::MapDialogRect(Hwnd(), &at);
        ::SetWindowPos(more, nullptr, at.left, at.top, at.right - at.left, at.bottom - at.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        ::SetWindowTextW(more, Format(IDS_CARD_MORE, static_cast<int>(rows.more)).c_str());
        box.bottom += kMoreHeight;
    }
    ::ShowWindow(more, rows.more > 0 ? SW_SHOWNA : SW_HIDE);
    ::MapDialogRect(Hwnd(), &box);
    RECT client{}, window{};
    ::GetClientRect(Hwnd(), &client);
    ::GetWindowRect(Hwnd(), &window);
    const int frame = (window.bottom - window.top) - (client.bottom - client.top);
    ::SetWindowPos(Hwnd(), nullptr, 0, 0, window.right - window.left, box.bottom + frame,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (::IsWindowVisible(Hwnd())) Place();
}

// Handlers

void frmCard::Form_Load()
{
    // The Join buttons name the host they open.
    m_tooltip = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, TOOLTIPS_CLASSW, nullptr,
                                  WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, Hwnd(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!m_tooltip) return;
    for (std::size_t row = 0; row < wl::kCardRows; ++row) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = Hwnd();
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.uId = reinterpret_cast<UINT_PTR>(Control(ControlId(row, IDC_CARD_JOIN)));
        tool.lpszText = const_cast<wchar_t*>(L"");
        ::SendMessageW(m_tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void frmCard::lblJoin_Click(std::size_t row)
{
    const wl::Reminder* reminder = ReminderOf(row);
    if (!reminder) return;
    // Copied: the rows may change while the shell starts the handler.
    const std::wstring link = reminder->joinLink;
    (void)wl::OpenJoinLink(link);  // nothing to tell on the card when the shell refuses
}

void frmCard::lblSnooze_Click(std::size_t row) { Snooze(row, wl::kSnoozeMinutes[0]); }

void frmCard::lblSnoozeMenu_Click(std::size_t row)
{
    const wl::Reminder* reminder = ReminderOf(row);
    if (!reminder) return;
    const std::wstring entryId = reminder->entryId;
    const std::optional<double> start = reminder->task ? std::nullopt : reminder->start;
    HMENU menu = ::CreatePopupMenu();
    if (!menu) return;
    for (std::size_t i = 0; i < std::size(wl::kSnoozeMinutes); ++i)
        ::AppendMenuW(menu, MF_STRING, i + 1, wl::LoadStr(IDS_SNOOZE_FIRST + static_cast<UINT>(i)).c_str());
    // Computed at the click, offered only while the start is ahead.
    const double now = LocalNow();
    const std::optional<long> untilStart = wl::SnoozeMinutesBefore(start, 0, now);
    const std::optional<long> beforeStart = wl::SnoozeMinutesBefore(start, kBeforeStartMinutes, now);
    if (untilStart || beforeStart) ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    if (untilStart) ::AppendMenuW(menu, MF_STRING, kMenuUntilStart, wl::LoadStr(IDS_CARD_UNTIL_START).c_str());
    if (beforeStart) ::AppendMenuW(menu, MF_STRING, kMenuBeforeStart, wl::LoadStr(IDS_CARD_BEFORE_START).c_str());
    RECT at{};
    ::GetWindowRect(Control(ControlId(row, IDC_CARD_SNOOZEMENU)), &at);
    // The card never takes the foreground, not even for its menu; the menu
    // then misses a click elsewhere, which the poll below sees.
    // The menu opens while the button that clicked is still down: only a
    // press after it counts as a click elsewhere.
    m_menuButtonDown = true;
    ::SetTimer(Hwnd(), wl::kCardMenuTimer, kMenuPollMs, nullptr);
    const UINT chosen = static_cast<UINT>(::TrackPopupMenuEx(
        menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, at.left, at.top, Hwnd(), nullptr));
    ::KillTimer(Hwnd(), wl::kCardMenuTimer);
    ::DestroyMenu(menu);
    if (chosen == 0) return;
    // Found again: the rows may have changed while the menu was up.
    auto held = std::find_if(m_items.rbegin(), m_items.rend(), [&](const wl::Reminder& r) { return r.entryId == entryId; });
    if (held == m_items.rend()) return;
    const std::size_t heldRow = static_cast<std::size_t>(held - m_items.rbegin());
    std::optional<long> minutes;
    if (chosen == kMenuUntilStart) minutes = wl::SnoozeMinutesBefore(start, 0, LocalNow());
    else if (chosen == kMenuBeforeStart) minutes = wl::SnoozeMinutesBefore(start, kBeforeStartMinutes, LocalNow());
    else if (chosen <= std::size(wl::kSnoozeMinutes)) minutes = wl::kSnoozeMinutes[chosen - 1];
    if (minutes) Snooze(heldRow, *minutes);
}

void frmCard::Snooze(std::size_t row, long minutes)
{
    const wl::Reminder* reminder = ReminderOf(row);
    if (!reminder) return;
    const std::wstring entryId = reminder->entryId;
    if (reminder->ownWarning) {
        Remove(entryId);
        OwnWarningTold(entryId, minutes);
        return;
    }
    try {
        OutlookSession::Refusals refusals = m_outlook.SnoozeReminders({entryId}, minutes);
        if (!refusals.entryIds.count(entryId)) Remove(entryId);
    } catch (const wl::ComError&) {
        // Outlook busy or gone: the row stays, as the reminder does. No
        // message box here: it would take the keyboard the card leaves alone.
    }
}

void frmCard::lblDismiss_Click(std::size_t row)
{
    const wl::Reminder* reminder = ReminderOf(row);
    if (!reminder) return;
    const std::wstring entryId = reminder->entryId;
    if (reminder->ownWarning) {
        Remove(entryId);
        OwnWarningTold(entryId, std::nullopt);
        return;
    }
    try {
        OutlookSession::Refusals refusals = m_outlook.DismissReminders({entryId});
        if (!refusals.entryIds.count(entryId)) Remove(entryId);
    } catch (const wl::ComError&) {
        // As for a snooze: the row stays.
    }
}

void frmCard::lblOpen_Click(std::size_t row)
{
    const wl::Reminder* reminder = ReminderOf(row);
    if (!reminder) return;
    try {
        (void)m_outlook.DisplayItem(reminder->entryId, reminder->storeId);
    } catch (const wl::ComError&) {
        // Outlook could not open it; the reminders window says why on its Show.
    }
}

void frmCard::OwnWarningTold(const std::wstring& entryId, std::optional<long> snoozeMinutes)
{
    if (!OwnWarningDone) return;
    try {
        OwnWarningDone(entryId, snoozeMinutes);
    } catch (...) {
        // The owner's handler does not fail the card's.
    }
}

void frmCard::lblMore_Click()
{
    if (!ShowAllReminders) return;
    try {
        ShowAllReminders();
    } catch (...) {
        // The owner's handler does not fail the card's.
    }
}

void frmCard::lblClose_Click()
{
    // Only hidden: the reminders stay listed, and the repeat brings the card back.
    m_wanted = false;
    Hide();
}

void frmCard::Remove(const std::wstring& entryId)
{
    auto held = std::find_if(m_items.begin(), m_items.end(), [&](const wl::Reminder& r) { return r.entryId == entryId; });
    if (held == m_items.end()) return;
    m_items.erase(held);
    if (m_items.empty()) Clear();
    else DrawRows();
}

void frmCard::tmrMinute_Timer()
{
    // "in 5 min" becomes "in 4 min": drawn from the values held.
    if (::IsWindowVisible(Hwnd())) DrawRows();
    else ::KillTimer(Hwnd(), wl::kCardMinuteTimer);
}

void frmCard::tmrWait_Timer()
{
    if (MustNotDisturb()) return;
    ::KillTimer(Hwnd(), wl::kCardWaitTimer);
    m_waiting = false;
    if (m_wanted && !m_items.empty()) {
        DrawRows();
        ShowNoActivate();
    }
}

// Messages

bool frmCard::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result)
{
    switch (message) {
    case WM_INITDIALOG:
        result = FALSE;  // no control gets the focus: that would activate the card
        return true;
    case WM_MOUSEACTIVATE:
        result = MA_NOACTIVATE;  // a click on the card leaves the foreground where it is
        return true;
    case WM_COMMAND: {
        if (HIWORD(wParam) != STN_CLICKED) return false;
        const int id = LOWORD(wParam);
        if (id == IDC_CARD_CLOSE) lblClose_Click();
        else if (id == IDC_CARD_MORE) lblMore_Click();
        else if (id >= IDC_CARD_FIRST && id < IDC_CARD_FIRST + IDC_CARD_ROW_STEP * static_cast<int>(wl::kCardRows)) {
            const auto row = static_cast<std::size_t>((id - IDC_CARD_FIRST) / IDC_CARD_ROW_STEP);
            switch ((id - IDC_CARD_FIRST) % IDC_CARD_ROW_STEP) {
            case IDC_CARD_JOIN: lblJoin_Click(row); break;
            case IDC_CARD_SNOOZE: lblSnooze_Click(row); break;
            case IDC_CARD_SNOOZEMENU: lblSnoozeMenu_Click(row); break;
            case IDC_CARD_DISMISS: lblDismiss_Click(row); break;
            case IDC_CARD_OPEN: lblOpen_Click(row); break;
            default: return false;
            }
        } else {
            return false;
        }
        return true;
    }
    case WM_TIMER:
        if (wParam == wl::kCardMinuteTimer) tmrMinute_Timer();
        else if (wParam == wl::kCardWaitTimer) tmrWait_Timer();
        else if (wParam == wl::kCardMenuTimer) {
            // A click outside the menu closes it, as it would for a window in front.
            const bool down = (::GetAsyncKeyState(VK_LBUTTON) | ::GetAsyncKeyState(VK_RBUTTON)) & 0x8000;
            POINT cursor{};
            ::GetCursorPos(&cursor);
            wchar_t className[16] = {};
            ::GetClassNameW(::WindowFromPoint(cursor), className, static_cast<int>(std::size(className)));
            const bool pressed = down && !m_menuButtonDown;
            m_menuButtonDown = down;
            if (pressed && std::wstring_view(className) != L"#32768") ::EndMenu();
        } else {
            return false;
        }
        return true;
    case WM_DISPLAYCHANGE:
    case wl::kCardPlace:
        if (::IsWindowVisible(Hwnd())) Place();
        return message == wl::kCardPlace;
    case WM_SETTINGCHANGE:
        if (wParam == SPI_SETWORKAREA && ::IsWindowVisible(Hwnd())) Place();
        return false;
    case WM_DESTROY:
        m_tooltip = nullptr;  // destroyed with its owner
        return false;
    case WM_DPICHANGED:
        // The dialog scales itself; placed again once it has.
        ::PostMessageW(Hwnd(), wl::kCardPlace, 0, 0);
        return false;
    default:
        return false;
    }
}
