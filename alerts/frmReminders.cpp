#include "frmReminders.h"

#include "core/OutlookWork.h"
#include "core/Settings.h"
#include "core/basTimer.h"

#include <windowsx.h>

#include <utility>

namespace {

constexpr UINT WM_APP_TIMER_RETRY = WM_APP + 20;
constexpr std::int32_t kRepeatMinutes = 30;
constexpr UINT kBalloonTimeoutMs = 10000;
constexpr long kTrayBalloonClick = WM_USER + 5;  // NIN_BALLOONUSERCLICK
constexpr UINT kRemindersIconId = 2;             // the main icon is 1

// MAPI_E_NOT_FOUND: Outlook has no item of that entry id (any more).
constexpr HRESULT kItemNotFound = static_cast<HRESULT>(0x8004010FL);

// An item of the list as the window opens it.
class ListedItem : public wl::AlertItem {
public:
    // Opens the item in Outlook; false when Outlook no longer has it. Other
    // failures throw wl::ComError.
    virtual bool Display(const std::function<wl::Dispatch()>& session) const = 0;

protected:
    template <class F>
    static std::optional<std::wstring> Read(F read)
    {
        try {
            return read();
        } catch (const wl::ComError&) {
            return std::nullopt;
        }
    }
    static void Display(const wl::Dispatch& item)
    {
        item.AllowForeground();
        (void)item.Call(L"Display");
    }
};

// An Outlook item of the list, read by member name; a failed read is std::nullopt.
class OutlookAlertItem final : public ListedItem {
public:
    explicit OutlookAlertItem(wl::Dispatch item) : m_item(std::move(item)) {}

    std::optional<std::wstring> FolderName() override
    {
        return Read([&] { return m_item.Get(L"Parent").Object().Get(L"Name").Text(); });
    }
    std::optional<std::wstring> EntryID() override { return Read([&] { return m_item.Get(L"EntryID").Text(); }); }
    std::optional<std::wstring> Subject() override { return Read([&] { return m_item.Get(L"Subject").Text(); }); }
    std::optional<std::wstring> DateText(wl::AlertMode mode) override
    {
        const wchar_t* member = mode == wl::ModeOverdueTasks ? L"DueDate" : L"ReminderTime";
        return Read([&] { return wl::DateText(m_item.Get(member).Date()); });
    }
    bool Display(const std::function<wl::Dispatch()>&) const override
    {
        ListedItem::Display(m_item);
        return true;
    }

private:
    wl::Dispatch m_item;
};

// A task as the scan read it: it answers from what was read, and Outlook is
// asked for the item only when the user opens it.
class TaskRowItem final : public ListedItem {
public:
    explicit TaskRowItem(wl::TaskRow row) : m_row(std::move(row)) {}

    std::optional<std::wstring> FolderName() override { return m_row.folderName; }
    std::optional<std::wstring> EntryID() override { return m_row.entryId; }
    std::optional<std::wstring> Subject() override { return m_row.subject; }
    std::optional<std::wstring> DateText(wl::AlertMode) override
    {
        return Read([&] { return wl::DateText(m_row.dueDate); });
    }
    bool Display(const std::function<wl::Dispatch()>& session) const override
    {
        if (!session) throw wl::ComError(E_POINTER, L"Object variable not set");
        wl::Dispatch item;
        try {
            item = session().Call(L"GetItemFromID", m_row.entryId).Object();
        } catch (const wl::ComError& error) {
            if (error.Code() == kItemNotFound) return false;
            throw;
        }
        ListedItem::Display(item);
        return true;
    }

private:
    wl::TaskRow m_row;
};

}  // namespace

std::shared_ptr<frmReminders> frmReminders::Create()
{
    return std::shared_ptr<frmReminders>(new frmReminders());
}

frmReminders::~frmReminders() { UnregisterTimerOwner(this); }

void frmReminders::Load()
{
    if (Loaded()) return;
    CreateFromTemplate(IDD_REMINDERS);
    Form_Load();
    RegisterTimerOwner(shared_from_this());
}

bool frmReminders::Unload(UnloadMode unloadMode)
{
    HandlerScope scope(*this);
    if (Form_QueryUnload(unloadMode)) return false;
    UnregisterTimerOwner(this);
    // Outlook's items are released with the window, unless a handler of the
    // window is still at work on them (they then go with the object).
    if (HandlersRunning() <= 1) m_colItems.Clear();
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
    if (m_lngTimerID != 0) {
        StopTimer(m_lngTimerID);
        m_lngTimerID = 0;
    }
    RemoveTrayIcon(TrayBox());
    return false;
}

TrayIcon frmReminders::TrayBox() const noexcept
{
    return {Hwnd(), m_intMode == wl::ModeOverdueTasks ? kRemindersIconId + 1 : kRemindersIconId};
}

// The list model

void frmReminders::AddReminder(const wl::Dispatch& oItem)
{
    HandlerScope scope(*this);
    OutlookWork work;
    try {
        (void)m_colItems.Add(std::make_shared<OutlookAlertItem>(oItem));
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
        std::vector<std::shared_ptr<wl::AlertItem>> items;
        items.reserve(tasks.size());
        for (wl::TaskRow& task : tasks) items.push_back(std::make_shared<TaskRowItem>(std::move(task)));
        added = m_colItems.Replace(std::move(items));
    } catch (...) {
        return;  // out of memory: the list stays as it was
    }
    ShowItems(added > 0);
}

void frmReminders::ShowItems(bool alert)
{
    HandlerScope scope(*this);
    OutlookWork work;
    HWND list = Control(IDC_LSTREMINDERS);
    ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
    std::vector<std::wstring> lines;
    try {
        lines = m_colItems.Lines(m_intMode, wl::LoadStr(IDS_ITEM_UNREADABLE));
    } catch (...) {
    }

    // Long lines scroll sideways rather than being cut.
    int widest = 0;
    HDC dc = ::GetDC(list);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(list, WM_GETFONT, 0, 0)));
    for (const std::wstring& line : lines) {
        ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        SIZE size{};
        ::GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size);
        if (size.cx > widest) widest = size.cx;
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(list, dc);
    ::SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 8), 0);

    const bool empty = ::SendMessageW(list, LB_GETCOUNT, 0, 0) <= 0;
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

void frmReminders::Mode(wl::AlertMode iNewValue)
{
    m_intMode = iNewValue;
    if (iNewValue != wl::ModeOverdueTasks) return;
    ::SetWindowTextW(Hwnd(), wl::LoadStr(IDS_CAPTION_TASKS).c_str());
    ::ShowWindow(Control(IDC_CMDCLEAR), SW_HIDE);
    ::SetWindowTextW(Control(IDC_CMDCLEARALL), wl::LoadStr(IDS_BUTTON_REFRESH).c_str());
    if (m_tmnuFile) {
        std::wstring show = wl::LoadStr(IDS_MENU_SHOW_TASKS);
        std::wstring refresh = wl::LoadStr(IDS_MENU_REFRESH);
        ::ModifyMenuW(m_tmnuFile, IDM_ALERT_SHOW, MF_BYCOMMAND | MF_STRING, IDM_ALERT_SHOW, show.c_str());
        ::ModifyMenuW(m_tmnuFile, IDM_ALERT_CLEAR, MF_BYCOMMAND | MF_STRING, IDM_ALERT_CLEAR, refresh.c_str());
    }
}

std::vector<std::wstring> frmReminders::Lines() const
{
    HWND list = Control(IDC_LSTREMINDERS);
    std::vector<std::wstring> lines;
    auto count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring text(static_cast<size_t>(::SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0)), L'\0');
        ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        lines.push_back(std::move(text));
    }
    return lines;
}

// The alert

std::wstring frmReminders::Title() const
{
    if (m_intMode == wl::ModeReminders) return wl::LoadStr(IDS_TIP_REMINDERS);
    if (m_intMode == wl::ModeOverdueTasks) return wl::LoadStr(IDS_TIP_OVERDUE);
    return {};
}

std::wstring frmReminders::IconFile() const
{
    if (m_intMode == wl::ModeReminders) return L"bell.ico";
    if (m_intMode == wl::ModeOverdueTasks) return L"task.ico";
    return {};
}

void frmReminders::UpdateTrayAlert()
{
    std::vector<std::wstring> lines = Lines();
    if (lines.empty()) {
        if (m_lngTimerID != 0) {
            StopTimer(m_lngTimerID);
            m_lngTimerID = 0;
        }
        RemoveTrayIcon(TrayBox());
        return;
    }
    std::wstring title = Title();
    std::wstring text = wl::BalloonText(lines, wl::LoadStr(IDS_BALLOON_MORE), wl::LoadStr(IDS_BALLOON_DETAILS));
    ShowTrayIcon(TrayBox(), g_strAppPath + IconFile(), title);
    if (m_lngTimerID != 0) {
        StopTimer(m_lngTimerID);
        m_lngTimerID = 0;
    }
    m_lngTimerID = StartTimer(kRepeatMinutes);
    ++m_alertsRaised;
    m_lastBalloon = text;
    ShowTrayBalloon(TrayBox(), text, title, kBalloonTimeoutMs);
}

// Buttons, list and menu

void frmReminders::cmdDisplay_Click()
{
    auto selected = ::SendMessageW(Control(IDC_LSTREMINDERS), LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR || static_cast<std::size_t>(selected) >= m_colItems.Count()) return;
    const auto index = static_cast<std::size_t>(selected);
    std::shared_ptr<wl::AlertItem> item = m_colItems.At(index);
    bool shown = true;
    try {
        OutlookWork work;
        shown = static_cast<const ListedItem&>(*item).Display(Session);
    } catch (const wl::ComError&) {
        // Deleted or moved in Outlook since it was listed: say so, and stay usable.
        ::MessageBoxW(Hwnd(), wl::LoadStr(IDS_DISPLAY_FAILED).c_str(), wl::LoadStr(IDS_APP_TITLE).c_str(),
                      MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (shown) return;
    // A task gone from Outlook since the scan: its line goes, without a word,
    // as the next scan would drop it.
    if (index < m_colItems.Count() && m_colItems.At(index) == item) {
        m_colItems.Remove(index);
        ShowItems(false);
    }
}

void frmReminders::lstReminders_DblClick() { cmdDisplay_Click(); }

void frmReminders::cmdClear_Click()
{
    auto selected = ::SendMessageW(Control(IDC_LSTREMINDERS), LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR) return;
    m_colItems.Remove(static_cast<std::size_t>(selected));
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

void frmReminders::picTrayBox_MouseMove(long trayMessage)
{
    m_lngTrayMsg = trayMessage;
    if (m_blnInTrayEvent) return;
    FlagScope busy(m_blnInTrayEvent);
    switch (m_lngTrayMsg) {
    case WM_LBUTTONUP:
        UpdateTrayAlert();
        break;
    case WM_RBUTTONUP: {
        UINT chosen = TrackTrayPopup(Hwnd(), m_tmnuFile, IDM_ALERT_SHOW);
        if (chosen == IDM_ALERT_SHOW || chosen == IDM_ALERT_CLEAR)
            mnuFile_Click(static_cast<FileMenu>(chosen - IDM_ALERT_FILE_FIRST));
        break;
    }
    case kTrayBalloonClick:
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
    if (OutlookWork::InProgress()) {
        // A tick during a call into Outlook waits until the call is done.
        OutlookWork::Defer(Hwnd(), WM_APP_TIMER_RETRY);
        return;
    }
    // The overdue tasks are scanned afresh first (the reminders window has no
    // such handler), then the alert is repeated, unless the rescan has just
    // raised it for a new task or found none left.
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

bool frmReminders::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    switch (message) {
    case WM_INITDIALOG: {
        HINSTANCE instance = ::GetModuleHandleW(nullptr);
        SetIcons(IDI_REMINDERS);
        m_menu.reset(::LoadMenuW(instance, MAKEINTRESOURCEW(IDM_REMINDERS_TRAY)));
        m_tmnuFile = ::GetSubMenu(m_menu.get(), 0);
        result = TRUE;
        return true;
    }
    case kTrayCallbackMessage:
        // A click while a call into Outlook waits is dropped, as while busy.
        if (OutlookWork::InProgress()) m_lngTrayMsg = static_cast<long>(LOWORD(lParam));
        else picTrayBox_MouseMove(static_cast<long>(LOWORD(lParam)));
        return true;
    case WM_APP_TIMER_RETRY:
        TimerFired(m_lngTimerID);
        return true;
    case WM_COMMAND:
        if (!OutlookWork::InProgress()) OnCommand(LOWORD(wParam), HIWORD(wParam));
        return true;
    case WM_CLOSE:
        (void)Unload(UnloadMode::FormControlMenu);
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
    case IDCANCEL: cmdClose_Click(); break;  // Esc
    case IDC_LSTREMINDERS:
        if (notification == LBN_DBLCLK) lstReminders_DblClick();
        break;
    default: break;
    }
}
