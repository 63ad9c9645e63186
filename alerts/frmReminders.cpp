#include "frmReminders.h"

#include "alerts/JoinMeeting.h"
#include "core/AppMessages.h"
#include "core/RemoteWork.h"
#include "core/Settings.h"
#include "core/basTimer.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <utility>

namespace {

constexpr std::int32_t kRepeatMinutes = 30;
constexpr UINT kBalloonTimeoutMs = 10000;

// The text of a date, in the user's locale.
std::optional<std::wstring> DateTextOf(double date)
{
    try {
        return wl::DateText(date);
    } catch (const wl::ComError&) {
        return std::nullopt;  // no date automation can show
    }
}

wl::AlertItem ItemOf(const wl::Reminder& reminder)
{
    return {reminder.folderName, reminder.entryId, reminder.storeId, reminder.subject, reminder.reminderTime, {},
            reminder.joinLink};
}

wl::AlertItem ItemOf(wl::TaskRow task)
{
    return {std::move(task.folderName), std::move(task.entryId), std::move(task.storeId), std::move(task.subject),
            task.dueDate, std::move(task.storeName), {}};
}

}  // namespace

std::shared_ptr<frmReminders> frmReminders::Create(OutlookSession& outlook)
{
    return std::shared_ptr<frmReminders>(new frmReminders(outlook));
}

frmReminders::~frmReminders() { UnregisterTimerOwner(this); }

void frmReminders::Load()
{
    if (Loaded()) return;
    LoadTrayBox();
    CreateFromTemplate(IDD_REMINDERS);
    Form_Load();
    RegisterTimerOwner(shared_from_this());
}

bool frmReminders::Unload(UnloadMode unloadMode)
{
    HandlerScope scope(*this);
    if (Form_QueryUnload(unloadMode)) return false;
    UnregisterTimerOwner(this);
    DestroyHwnd();
    return true;
}

void frmReminders::Form_Load()
{
    m_lngTimerID = 0;
    m_colItems.Clear();
    CentreOnScreen();
}

bool frmReminders::Form_QueryUnload(UnloadMode unloadMode)
{
    if (unloadMode == UnloadMode::FormControlMenu) {
        // The close box only hides: the list, the icon and the timer stay.
        ::ShowWindow(Hwnd(), SW_HIDE);
        return true;
    }
    StopRepeat();
    RemoveTrayIcon(TrayBox());
    return false;
}

TrayIcon frmReminders::TrayBox() const noexcept
{
    return TrayWindow::TrayBox(m_intMode == wl::ModeOverdueTasks ? wl::kOverdueTasksIconId : wl::kRemindersIconId);
}

// The list model

void frmReminders::AddReminder(const wl::Reminder& oItem)
{
    try {
        (void)m_colItems.Add(ItemOf(oItem));
    } catch (...) {
        // Adding never fails its caller.
    }
}

void frmReminders::RefreshList() { ShowItems(true); }

void frmReminders::ReplaceTasks(std::vector<wl::TaskRow> tasks)
{
    HandlerScope scope(*this);
    std::size_t added = 0;
    try {
        std::vector<wl::AlertItem> items;
        items.reserve(tasks.size());
        for (wl::TaskRow& task : tasks) items.push_back(ItemOf(std::move(task)));
        added = m_colItems.Replace(std::move(items));
    } catch (...) {
        return;  // out of memory: the list stays as it was
    }
    ShowItems(added > 0);
}

void frmReminders::ShowItems(bool alert)
{
    HandlerScope scope(*this);
    // The selection stays on its item, wherever the item's line is now.
    const auto selected = ::SendMessageW(Control(IDC_LSTREMINDERS), LB_GETCURSEL, 0, 0);
    std::wstring selectedId;
    if (selected >= 0 && static_cast<std::size_t>(selected) < m_lineIds.size()) selectedId = m_lineIds[selected];
    std::vector<std::wstring>& lines = m_lines;
    try {
        lines = m_colItems.Lines(m_intMode, wl::LoadStr(IDS_ITEM_UNREADABLE), &DateTextOf, wl::LoadStr(IDS_LINE_STORE));
        m_lineIds.clear();
        for (std::size_t i = 0; i < lines.size(); ++i) m_lineIds.push_back(m_colItems.At(i).entryId);
    } catch (...) {
        lines.clear();  // out of memory: an empty list rather than one that belongs to other items
        m_lineIds.clear();
    }
    FillList(IDC_LSTREMINDERS, lines);
    for (std::size_t i = 0; !selectedId.empty() && i < m_lineIds.size(); ++i)
        if (m_lineIds[i] == selectedId) ::SendMessageW(Control(IDC_LSTREMINDERS), LB_SETCURSEL, i, 0);
    EnableJoin();

    const bool empty = lines.empty();
    if (alert || empty) {
        try {
            UpdateTrayAlert();  // with no lines: the icon and the repeat go
        } catch (...) {
            // The alert is best effort here; the list is what matters.
        }
    }
    if (empty) Raise(RemindersClear);
    // The owner may have unloaded this window: nothing more happens here.
}

void frmReminders::ClearReminders() { m_colItems.Clear(); }

void frmReminders::KeepShown(const std::vector<wl::Reminder>& shown)
{
    bool changed = false;
    for (std::size_t i = m_colItems.Count(); i-- > 0;) {
        const std::wstring& entryId = m_colItems.At(i).entryId;
        if (entryId.empty()) continue;  // not read when it came due: nothing to follow it by
        auto now = std::find_if(shown.begin(), shown.end(),
                                [&](const wl::Reminder& reminder) { return reminder.entryId == entryId; });
        wl::AlertItem item = now == shown.end() ? wl::AlertItem{} : ItemOf(*now);
        if (now != shown.end() && item == m_colItems.At(i)) continue;
        if (now == shown.end()) m_colItems.Remove(i);
        else m_colItems.Update(i, std::move(item));
        changed = true;
    }
    if (changed) ShowItems(false);  // may unload the window: none left
}

void frmReminders::Mode(wl::AlertMode iNewValue)
{
    m_intMode = iNewValue;
    if (iNewValue != wl::ModeOverdueTasks) return;
    ::SetWindowTextW(Hwnd(), wl::LoadStr(IDS_CAPTION_TASKS).c_str());
    ::ShowWindow(Control(IDC_CMDCLEAR), SW_HIDE);
    ::SetWindowTextW(Control(IDC_CMDCLEARALL), wl::LoadStr(IDS_BUTTON_REFRESH).c_str());
    ::ShowWindow(Control(IDC_CMDMARKCOMPLETE), SW_SHOW);
    ::ShowWindow(Control(IDC_CMDJOIN), SW_HIDE);
    // The window closes up over the reminders' row, once.
    if (::GetWindowLongW(Control(IDC_CMBSNOOZE), GWL_STYLE) & WS_VISIBLE)
        HideRow({IDC_CMDSNOOZE, IDC_CMBSNOOZE, IDC_CMDDISMISS, IDC_CMDDISMISSALL}, IDC_CMDDISPLAY,
                {IDC_LINEDIV, IDC_CMDCLOSE});
    if (HMENU popup = TrayPopup()) {
        std::wstring show = wl::LoadStr(IDS_MENU_SHOW_TASKS);
        std::wstring refresh = wl::LoadStr(IDS_MENU_REFRESH);
        ::ModifyMenuW(popup, IDM_ALERT_SHOW, MF_BYCOMMAND | MF_STRING, IDM_ALERT_SHOW, show.c_str());
        ::ModifyMenuW(popup, IDM_ALERT_CLEAR, MF_BYCOMMAND | MF_STRING, IDM_ALERT_CLEAR, refresh.c_str());
    }
}

// The alert

void frmReminders::UpdateTrayAlert()
{
    const std::vector<std::wstring>& lines = m_lines;
    if (lines.empty()) {
        StopRepeat();
        RemoveTrayIcon(TrayBox());
        return;
    }
    if (m_intMode != wl::ModeReminders && m_intMode != wl::ModeOverdueTasks) return;
    const bool tasks = m_intMode == wl::ModeOverdueTasks;
    std::wstring title = wl::LoadStr(tasks ? IDS_TIP_OVERDUE : IDS_TIP_REMINDERS);
    std::wstring text = wl::BalloonText(lines, wl::LoadStr(IDS_BALLOON_MORE), wl::LoadStr(IDS_BALLOON_DETAILS));
    (void)ShowTrayIcon(TrayBox(), g_strAppPath + (tasks ? L"task.ico" : L"bell.ico"), title);
    StopRepeat();
    m_lngTimerID = StartTimer(kRepeatMinutes);
    m_repeatDueMs = WallClockMs() + static_cast<ULONGLONG>(kRepeatMinutes) * TimerMinuteMs();
    ++m_alertsRaised;
    (void)ShowTrayBalloon(TrayBox(), text, title, kBalloonTimeoutMs);
}

// Buttons, list and menu

void frmReminders::CatchUp()
{
    HandlerScope scope(*this);
    if (m_lngTimerID != 0 && WallClockMs() >= m_repeatDueMs) UpdateTrayAlert();
}

void frmReminders::StopRepeat() noexcept
{
    if (m_lngTimerID == 0) return;
    StopTimer(m_lngTimerID);
    m_lngTimerID = 0;
}

void frmReminders::cmdDisplay_Click()
{
    std::optional<std::size_t> line = SelectedLine();
    if (!line) return;
    const wl::AlertItem item = m_colItems.At(*line);
    bool shown = true;
    try {
        shown = m_outlook.DisplayItem(item.entryId, item.storeId);
    } catch (const wl::ComError&) {
        // Outlook could not open it: say so, and stay usable.
        MessageBox(wl::LoadStr(IDS_DISPLAY_FAILED), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (shown) return;
    // An item gone from Outlook since it was listed: its line goes, without
    // a word, as the next scan would drop it.
    if (*line < m_colItems.Count() && m_colItems.At(*line) == item) {
        m_colItems.Remove(*line);
        ShowItems(false);
    }
}

void frmReminders::lstReminders_DblClick() { cmdDisplay_Click(); }

void frmReminders::lstReminders_Click() { EnableJoin(); }

void frmReminders::EnableJoin()
{
    const std::optional<std::size_t> line = SelectedLine();
    const bool link = m_intMode == wl::ModeReminders && line && !m_colItems.At(*line).joinLink.empty();
    HWND join = Control(IDC_CMDJOIN);
    // A disabled button that keeps the focus leaves the keyboard nowhere.
    if (!link && ::GetFocus() == join)
        ::SendMessageW(Hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Control(IDC_LSTREMINDERS)), TRUE);
    ::EnableWindow(join, link);
}

void frmReminders::cmdJoin_Click()
{
    const std::optional<std::size_t> line = SelectedLine();
    if (!line || m_intMode != wl::ModeReminders) return;
    // Copied: the list may change while the shell starts the handler.
    const std::wstring link = m_colItems.At(*line).joinLink;
    if (link.empty()) return;
    // Windows itself offers to choose a program when none opens https links.
    (void)wl::OpenJoinLink(link);
}

void frmReminders::lstReminders_KeyDown(UINT key)
{
    if (key == VK_DELETE && m_intMode == wl::ModeReminders) cmdDismiss_Click();
}

std::optional<std::size_t> frmReminders::SelectedLine() const
{
    auto selected = ::SendMessageW(Control(IDC_LSTREMINDERS), LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR || static_cast<std::size_t>(selected) >= m_colItems.Count()) return std::nullopt;
    return static_cast<std::size_t>(selected);
}

void frmReminders::ActOnLines(const std::vector<std::size_t>& lines, const LinesAction& act, UINT failedText)
{
    HandlerScope scope(*this);
    std::set<std::wstring> entryIds;
    for (std::size_t line : lines)
        if (line < m_colItems.Count()) entryIds.insert(m_colItems.At(line).entryId);
    std::set<std::wstring> refused;
    std::optional<wl::ComError> failure;
    bool told = true;
    try {
        OutlookSession::Refusals refusals = act(entryIds);
        refused = std::move(refusals.entryIds);
        failure = std::move(refusals.first);
    } catch (const wl::ComError& error) {
        failure = error;  // Outlook busy or gone: nothing is known done
        told = false;
    }
    // Found again by entry id: the list may have changed during the calls.
    bool removed = false;
    if (told)
        for (std::size_t i = m_colItems.Count(); i-- > 0;) {
            const std::wstring& entryId = m_colItems.At(i).entryId;
            if (!entryIds.count(entryId) || refused.count(entryId)) continue;
            m_colItems.Remove(i);
            removed = true;
        }
    // Told after the work, once for all lines: events are not held back meanwhile.
    if (failure) MessageBox(wl::LoadStr(failedText) + L"\r\n\r\n" + failure->Description(), MB_OK | MB_ICONEXCLAMATION);
    if (removed && Loaded()) ShowItems(false);  // may unload the window: none left
}

void frmReminders::cmdSnooze_Click()
{
    std::optional<std::size_t> line = SelectedLine();
    if (!line) return;
    auto choice = ::SendMessageW(Control(IDC_CMBSNOOZE), CB_GETCURSEL, 0, 0);
    if (choice < 0 || static_cast<std::size_t>(choice) >= std::size(wl::kSnoozeMinutes)) choice = 0;
    const long minutes = wl::kSnoozeMinutes[choice];
    ActOnLines({*line}, [&](const std::set<std::wstring>& ids) { return m_outlook.SnoozeReminders(ids, minutes); },
               IDS_REMINDER_ACTION_FAILED);
}

void frmReminders::cmdDismiss_Click()
{
    std::optional<std::size_t> line = SelectedLine();
    if (!line) return;
    ActOnLines({*line}, [&](const std::set<std::wstring>& ids) { return m_outlook.DismissReminders(ids); },
               IDS_REMINDER_ACTION_FAILED);
}

void frmReminders::cmdDismissAll_Click()
{
    std::vector<std::size_t> lines(m_colItems.Count());
    for (std::size_t i = 0; i < lines.size(); ++i) lines[i] = i;
    // One pass over Outlook's reminders for all the lines, not one per line.
    ActOnLines(lines, [&](const std::set<std::wstring>& ids) { return m_outlook.DismissReminders(ids); },
               IDS_REMINDER_ACTION_FAILED);
}

void frmReminders::cmdMarkComplete_Click()
{
    std::optional<std::size_t> line = SelectedLine();
    if (!line) return;
    ActOnLines(
        {*line},
        [&](const std::set<std::wstring>& ids) {
            // Each task through its own store.
            std::map<std::wstring, std::wstring> tasks;
            for (std::size_t i = 0; i < m_colItems.Count(); ++i)
                if (ids.count(m_colItems.At(i).entryId)) tasks.emplace(m_colItems.At(i).entryId, m_colItems.At(i).storeId);
            return m_outlook.MarkTasksComplete(tasks);
        },
        IDS_TASK_ACTION_FAILED);
}

void frmReminders::cmdClear_Click()
{
    std::optional<std::size_t> line = SelectedLine();
    if (!line) return;
    m_colItems.Remove(*line);
    RefreshList();
}

void frmReminders::cmdClearAll_Click()
{
    if (m_intMode == wl::ModeReminders) {
        ClearReminders();
        RefreshList();
    } else if (m_intMode == wl::ModeOverdueTasks) {
        // Refresh: a rescan that makes the list what is overdue now. One that
        // fails leaves the list, the icon and the repeat as they are.
        Raise(RefreshTimerFired);
    }
}

void frmReminders::cmdOutlook_Click()
{
    Raise(ShowOutlook);
    if (Loaded()) ::ShowWindow(Hwnd(), SW_HIDE);
}

void frmReminders::cmdClose_Click() { ::ShowWindow(Hwnd(), SW_HIDE); }

void frmReminders::ShowWindowModeless()
{
    ::ShowWindow(Hwnd(), SW_SHOW);
    ::SetForegroundWindow(Hwnd());
}

void frmReminders::mnuFile_Click(FileMenu index)
{
    if (index == FileMenu::ShowWindow) ShowWindowModeless();
    else if (index == FileMenu::ClearAll) cmdClearAll_Click();
}

void frmReminders::OnTrayMessage(long trayMessage)
{
    switch (trayMessage) {
    case WM_LBUTTONUP:
        UpdateTrayAlert();
        break;
    case WM_RBUTTONUP:
        ShowTrayPopup(IDM_ALERT_SHOW);
        break;
    case NIN_BALLOONUSERCLICK:
        if (m_intMode == wl::ModeReminders) ShowWindowModeless();
        else if (m_intMode == wl::ModeOverdueTasks) cmdOutlook_Click();
        break;
    default:
        break;
    }
}

// Timer

std::int16_t frmReminders::TimersCount() { return 1; }

std::int32_t frmReminders::TimerID(std::int16_t) { return m_lngTimerID; }

void frmReminders::TimerFired(std::int32_t)
{
    HandlerScope scope(*this);
    if (wl::RemoteWork::InProgress()) {
        // A tick during a call into Outlook waits until the call is done.
        wl::RemoteWork::Defer(Hwnd(), wl::kAlertTimerRetry);
        return;
    }
    // The overdue tasks are scanned afresh first (for the reminders window
    // the owner brings its card back), then the alert is repeated, unless the
    // rescan has just raised it for a new task or found none left.
    const unsigned alerts = m_alertsRaised;
    Raise(RefreshTimerFired);
    if (Loaded() && m_alertsRaised == alerts) UpdateTrayAlert();
}

void frmReminders::Raise(const std::function<void()>& event)
{
    if (!event) return;
    try {
        event();
    } catch (...) {
        // The owner's handler does not fail this window's handler.
    }
}

// Messages

bool frmReminders::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    switch (message) {
    case WM_INITDIALOG: {
        SetIcons(IDI_REMINDERS);
        LoadTrayMenu(IDM_REMINDERS_TRAY);
        HWND snooze = Control(IDC_CMBSNOOZE);
        for (std::size_t i = 0; i < std::size(wl::kSnoozeMinutes); ++i)
            ::SendMessageW(snooze, CB_ADDSTRING, 0,
                           reinterpret_cast<LPARAM>(wl::LoadStr(IDS_SNOOZE_FIRST + static_cast<UINT>(i)).c_str()));
        ::SendMessageW(snooze, CB_SETCURSEL, 0, 0);
        result = TRUE;
        return true;
    }
    case WM_VKEYTOITEM:
        // The list's keys: Delete dismisses the selected line.
        if (reinterpret_cast<HWND>(lParam) != Control(IDC_LSTREMINDERS)) return false;
        lstReminders_KeyDown(LOWORD(wParam));
        result = LOWORD(wParam) == VK_DELETE ? -2 : -1;  // -1: the list box's own handling
        return true;
    case wl::kAlertTimerRetry:
        TimerFired(m_lngTimerID);
        return true;
    default:
        return false;
    }
}

void frmReminders::OnCommand(int id, int notification)
{
    switch (id) {
    case IDC_CMDDISPLAY: cmdDisplay_Click(); break;
    case IDC_CMDCLEAR: cmdClear_Click(); break;
    case IDC_CMDCLEARALL: cmdClearAll_Click(); break;
    case IDC_CMDOUTLOOK: cmdOutlook_Click(); break;
    case IDC_CMDCLOSE: cmdClose_Click(); break;
    case IDC_CMDSNOOZE: cmdSnooze_Click(); break;
    case IDC_CMDDISMISS: cmdDismiss_Click(); break;
    case IDC_CMDDISMISSALL: cmdDismissAll_Click(); break;
    case IDC_CMDMARKCOMPLETE: cmdMarkComplete_Click(); break;
    case IDC_CMDJOIN: cmdJoin_Click(); break;
    case IDCANCEL: cmdClose_Click(); break;  // Esc
    case IDM_ALERT_SHOW: mnuFile_Click(FileMenu::ShowWindow); break;
    case IDM_ALERT_CLEAR: mnuFile_Click(FileMenu::ClearAll); break;
    case IDC_LSTREMINDERS:
        if (notification == LBN_DBLCLK) lstReminders_DblClick();
        else if (notification == LBN_SELCHANGE) lstReminders_Click();
        break;
    default: break;
    }
}
