// The reminder card: seen over another program's window without taking its
// foreground or keyboard, acting on Outlook's reminders, opening the join
// link through the shell, and held back while the user must not be disturbed.
#include "MainWindowFixture.h"
#include "Inspector.h"

#include "core/AppMessages.h"
#include "core/basTimer.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using standin::CountLines;
using standin::HasLine;

namespace {

// Two meetings: one whose link stands only in its body, one with a link in
// its location (and another in its body, which must not be read).
const char kMeetings[] =
    "item folder=Calendar subject=Sync entryid=A1 reminder=now+2h start=now+10m location=\"Room 4\" "
    "body=\"Join: <https://meet.google.com/abc-defg-hij>\"\n"
    "item folder=Calendar subject=Review entryid=A2 reminder=now+2h start=now+20m "
    "location=\"https://acme.zoom.us/j/123 Room 5\" body=\"https://meet.google.com/zzz-zzzz-zzz\"\n"
    "item folder=Calendar subject=Trap entryid=A3 reminder=now+2h start=now+20m "
    "location=\"file:///C:/windows/notepad.exe\" body=\"https://eur01.safelinks.protection.outlook.com/"
    "?url=javascript%3Aalert(1) https://example.com/j/1\"\n";

// A meeting whose location holds its Teams link, and no body.
#define kTeamsLink "https://teams.microsoft.com/l/meetup-join/19%3ameeting_NjQ4%40thread.v2/0?context=%7b%7d"
const char kTeamsMeeting[] =
    "item folder=Calendar subject=Standup entryid=T1 reminder=now+2h start=now+15m "
    "location=\"Microsoft Teams Meeting " kTeamsLink "\"\n";

// The prefix's handler for https while the object lives: a program that
// records how it was started. Wine reads it from the machine's classes only.
class HttpsRecorder {
public:
    HttpsRecorder() : m_command(HKEY_LOCAL_MACHINE, L"Software\\Classes\\https\\shell\\open\\command")
    {
        const std::wstring recorder = m_folder.Path() + L"record-args.exe";
        m_ready = ::CopyFileW((test::BinFolder() + L"record-args.exe").c_str(), recorder.c_str(), FALSE);
        m_command.SetText(L"\"" + recorder + L"\" \"%1\"");
    }
    bool Ready() const { return m_ready; }
    bool Started() const { return test::FileExists(StartedFile()); }
    // The command lines it was started with, one a line.
    std::string Starts() const { return test::ReadTextFile(StartedFile()); }

private:
    std::wstring StartedFile() const { return m_folder.Path() + L"started.txt"; }

    test::TempFolder m_folder;                // removed last, after the handler is put back
    test::ScopedRegistryValue m_command;
    bool m_ready = false;
};

// A window of another program, in front, with the keyboard.
class OtherProgram {
public:
    OtherProgram()
    {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring command = L"notepad.exe";
        if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &m_process))
            return;
        (void)test::PumpUntil([&] {
            m_window = FindTopLevel(m_process.dwProcessId);
            return m_window != nullptr;
        });
        if (m_window) m_edit = ::FindWindowExW(m_window, nullptr, L"Edit", nullptr);
    }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;
    ~OtherProgram()
    {
        if (!m_process.hProcess) return;
        ::TerminateProcess(m_process.hProcess, 0);
        ::WaitForSingleObject(m_process.hProcess, 5000);
        ::CloseHandle(m_process.hProcess);
        ::CloseHandle(m_process.hThread);
    }
    HWND Window() const { return m_window; }
    std::wstring Text() const
    {
        wchar_t text[256] = {};
        ::SendMessageW(m_edit, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text));
        return text;
    }
    // Brought to the front with a click into its text, as a user would.
    bool TakeForeground() const
    {
        RECT box{};
        ::GetWindowRect(m_edit, &box);
        ::SetForegroundWindow(m_window);
        Click(POINT{box.left + 20, box.top + 20});
        return test::PumpUntil([&] { return ::GetForegroundWindow() == m_window; });
    }

    // A move to the point and a click there, in one piece of input.
    static void Click(POINT at)
    {
        const int left = ::GetSystemMetrics(SM_XVIRTUALSCREEN), top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
        const int width = ::GetSystemMetrics(SM_CXVIRTUALSCREEN), height = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
        INPUT input[3] = {};
        for (INPUT& one : input) {
            one.type = INPUT_MOUSE;
            one.mi.dx = ::MulDiv(at.x - left, 65535, width - 1);
            one.mi.dy = ::MulDiv(at.y - top, 65535, height - 1);
            one.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
        }
        input[0].mi.dwFlags |= MOUSEEVENTF_MOVE;
        input[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
        input[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
        ::SendInput(3, input, sizeof(INPUT));
    }
    static void Type(const std::wstring& text)
    {
        for (wchar_t c : text) {
            INPUT input[2] = {};
            input[0].type = input[1].type = INPUT_KEYBOARD;
            input[0].ki.wScan = input[1].ki.wScan = c;
            input[0].ki.dwFlags = KEYEVENTF_UNICODE;
            input[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
            ::SendInput(2, input, sizeof(INPUT));
        }
    }

private:
    static HWND FindTopLevel(DWORD processId)
    {
        struct Search {
            DWORD processId;
            HWND found;
        } search{processId, nullptr};
        ::EnumWindows(
            [](HWND hwnd, LPARAM lParam) -> BOOL {
                auto* s = reinterpret_cast<Search*>(lParam);
                DWORD owner = 0;
                ::GetWindowThreadProcessId(hwnd, &owner);
                if (owner != s->processId || !::IsWindowVisible(hwnd) || ::GetWindow(hwnd, GW_OWNER)) return TRUE;
                s->found = hwnd;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    PROCESS_INFORMATION m_process{};
    HWND m_window = nullptr;
    HWND m_edit = nullptr;
};

// The windows of this thread a mouse button went down on, as the thread's
// messages show them.
std::vector<HWND> g_pressed;
LRESULT CALLBACK NotePresses(int code, WPARAM removal, LPARAM lParam)
{
    const MSG& msg = *reinterpret_cast<const MSG*>(lParam);
    if (code >= 0 && removal == PM_REMOVE && (msg.message == WM_LBUTTONDOWN || msg.message == WM_LBUTTONDBLCLK))
        g_pressed.push_back(msg.hwnd);
    return ::CallNextHookEx(nullptr, code, removal, lParam);
}

struct Card : test::MainWindowFixture {
    void SetUp() override
    {
        g_pressed.clear();
        m_hook = ::SetWindowsHookExW(WH_GETMESSAGE, NotePresses, nullptr, ::GetCurrentThreadId());
    }
    void TearDown() override
    {
        if (m_hook) ::UnhookWindowsHookEx(m_hook);
        test::MainWindowFixture::TearDown();
    }
    HHOOK m_hook = nullptr;

    void Start()
    {
        WriteSettings("[settings]\r\nDontTrackOverdueTasks=-1\r\n");
        StartStandIn(kMeetings);
        LoadWindow();
    }
    HWND CardWindow() { return Inspector::Card(*window).Hwnd(); }
    bool CardShown() { return CardWindow() && ::IsWindowVisible(CardWindow()); }
    HWND RowControl(int row, int field) { return ::GetDlgItem(CardWindow(), IDC_CARD_FIRST + row * IDC_CARD_ROW_STEP + field); }
    std::wstring Text(HWND control)
    {
        wchar_t text[512] = {};
        ::GetWindowTextW(control, text, static_cast<int>(std::size(text)));
        return text;
    }
    std::wstring RowText(int row, int field) { return Text(RowControl(row, field)); }
    bool Shown(HWND control) { return ::IsWindowVisible(control) != FALSE; }
    // A real click in the middle of a control of the card, once nothing
    // covers it there (the balloon near the notification area may, until
    // it times out). Under Wine a click sent right after the card moved now
    // and then lands on no window of this thread: it is sent again until the
    // control has had its button press, never twice to it.
    void ClickOn(HWND control)
    {
        RECT box{};
        ::GetWindowRect(control, &box);
        const POINT middle{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
        EXPECT_TRUE(test::PumpUntil([&] { return ::WindowFromPoint(middle) == control; }, 20s));
        auto pressed = [&] { return std::find(g_pressed.begin(), g_pressed.end(), control) != g_pressed.end(); };
        for (int attempt = 0; attempt < 5 && !pressed(); ++attempt) {
            OtherProgram::Click(middle);
            (void)test::PumpUntil(pressed, 2s);
        }
        EXPECT_TRUE(pressed());
        g_pressed.clear();
    }
    void Fire(const std::string& entryId)
    {
        ASSERT_TRUE(standin::ReplyOk(standin.Command("fire-reminder " + entryId)));
    }
};

}  // namespace

TEST_F(Card, ShowsOverAnotherProgramWithoutTakingItsKeyboardAndActsOnOutlook)
{
    Start();
    OtherProgram other;
    ASSERT_TRUE(other.Window()) << "notepad did not start";
    ASSERT_TRUE(other.TakeForeground());
    OtherProgram::Type(L"ab");
    ASSERT_TRUE(test::PumpUntil([&] { return other.Text() == L"ab"; }));

    Fire("A1");
    ASSERT_TRUE(test::PumpUntil([&] { return CardShown(); }));
    // Topmost, inside the work area of the monitor of the window in front,
    // and that window keeps the foreground and the keys typed after.
    EXPECT_TRUE(::GetWindowLongW(CardWindow(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(other.Window(), MONITOR_DEFAULTTONEAREST), &monitor));
    RECT card{}, inside{};
    ::GetWindowRect(CardWindow(), &card);
    ASSERT_TRUE(::IntersectRect(&inside, &card, &monitor.rcWork));
    EXPECT_TRUE(::EqualRect(&inside, &card)) << card.left << "," << card.top << " " << card.right << "," << card.bottom;
    EXPECT_EQ(::GetForegroundWindow(), other.Window());
    OtherProgram::Type(L"cd");
    EXPECT_TRUE(test::PumpUntil([&] { return other.Text() == L"abcd"; })) << other.Text();

    // Left off-screen (a monitor unplugged): the display change brings it back.
    ::SetWindowPos(CardWindow(), nullptr, -5000, -5000, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(CardWindow(), WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768));
    ::GetWindowRect(CardWindow(), &card);
    ASSERT_TRUE(::IntersectRect(&inside, &card, &monitor.rcWork));
    EXPECT_TRUE(::EqualRect(&inside, &card)) << card.left << "," << card.top;
    EXPECT_EQ(::GetForegroundWindow(), other.Window());

    // What the card says, and the join link found in the body as the location had none.
    EXPECT_EQ(RowText(0, IDC_CARD_SUBJECT), L"Sync");
    const std::wstring detail = RowText(0, IDC_CARD_DETAIL);
    EXPECT_TRUE(detail == L"in 10 min, Room 4" || detail == L"in 9 min, Room 4") << detail;
    EXPECT_TRUE(Shown(RowControl(0, IDC_CARD_JOIN)));
    EXPECT_EQ(Inspector::CardJoinTip(Inspector::Card(*window), 0), L"Opens meet.google.com");

    // The newest first; its link from the location, its body never read.
    Fire("A2");
    ASSERT_TRUE(test::PumpUntil([&] { return RowText(0, IDC_CARD_SUBJECT) == L"Review"; }));
    EXPECT_EQ(RowText(1, IDC_CARD_SUBJECT), L"Sync");
    EXPECT_EQ(Inspector::CardJoinTip(Inspector::Card(*window), 0), L"Opens acme.zoom.us");
    EXPECT_EQ(CountLines(standin.Journal(), "Item:A2.Body"), 0u);
    EXPECT_EQ(CountLines(standin.Journal(), "Item:A1.Body"), 1u);

    // A meeting whose texts hold only links that must never open has no Join.
    Fire("A3");
    ASSERT_TRUE(test::PumpUntil([&] { return RowText(0, IDC_CARD_SUBJECT) == L"Trap"; }));
    EXPECT_FALSE(Shown(RowControl(0, IDC_CARD_JOIN)));

    // Clicks on the card act in Outlook and leave the foreground where it was.
    ClickOn(RowControl(0, IDC_CARD_DISMISS));
    ASSERT_TRUE(test::PumpUntil([&] { return HasLine(standin.Journal(), "Reminder:A3.Dismiss() -> Empty"); }));
    ASSERT_TRUE(test::PumpUntil([&] { return RowText(0, IDC_CARD_SUBJECT) == L"Review"; }));
    ClickOn(RowControl(0, IDC_CARD_SNOOZE));
    ASSERT_TRUE(test::PumpUntil([&] { return HasLine(standin.Journal(), "Reminder:A2.Snooze(5) -> Empty"); }));
    ASSERT_TRUE(test::PumpUntil([&] { return RowText(0, IDC_CARD_SUBJECT) == L"Sync"; }));
    EXPECT_EQ(::GetForegroundWindow(), other.Window());
    // The key reaches it (where in its text depends on a click of the card's
    // that Wine may have handed to it: see ClickOn).
    OtherProgram::Type(L"e");
    EXPECT_TRUE(test::PumpUntil([&] {
        std::wstring text = other.Text();
        std::sort(text.begin(), text.end());
        return text == L"abcde";
    })) << other.Text();

    // A minute on, still there, its text drawn again from the values held.
    const std::size_t calls = CountLines(standin.Journal(), " -> ");
    ::SendMessageW(CardWindow(), WM_TIMER, wl::kCardMinuteTimer, 0);
    EXPECT_TRUE(CardShown());
    EXPECT_EQ(CountLines(standin.Journal(), " -> "), calls);

    // Dismissed in Outlook: the card follows, and with none left it goes.
    ASSERT_TRUE(standin::ReplyOk(standin.Command("dismiss A1")));
    EXPECT_TRUE(test::PumpUntil([&] { return !CardShown(); }));
    EXPECT_EQ(::GetForegroundWindow(), other.Window());
}

TEST_F(Card, JoinOpensTheLinkWithTheShellsHandlerForHttps)
{
    HttpsRecorder handler;
    ASSERT_TRUE(handler.Ready());

    Start();
    Fire("A1");
    ASSERT_TRUE(test::PumpUntil([&] { return CardShown(); }));
    ClickOn(RowControl(0, IDC_CARD_JOIN));
    ASSERT_TRUE(test::PumpUntil([&] { return handler.Started(); }, 20s));
    EXPECT_NE(handler.Starts().find("\"https://meet.google.com/abc-defg-hij\""), std::string::npos) << handler.Starts();
    // Joining is not acting on the reminder: it stays on the card.
    EXPECT_TRUE(CardShown());
    EXPECT_EQ(CountLines(standin.Journal(), ".Dismiss("), 0u);
    EXPECT_EQ(CountLines(standin.Journal(), ".Snooze("), 0u);
}

TEST_F(Card, TheRemindersWindowJoinsTheSelectedMeetingWhenItHasALink)
{
    HttpsRecorder handler;
    ASSERT_TRUE(handler.Ready());
    WriteSettings("[settings]\r\nDontTrackOverdueTasks=-1\r\n");
    StartStandIn(std::string(kMeetings) + kTeamsMeeting);
    LoadWindow();
    Fire("T1");
    Fire("A3");
    ASSERT_TRUE(test::PumpUntil([&] {
        const auto& list = Inspector::RemindersWindow(*window);
        return list && Inspector::Lines(*list).size() == 2u;
    }));
    frmReminders& list = *Inspector::RemindersWindow(*window);
    list.ShowWindowModeless();
    HWND lines = ::GetDlgItem(list.Hwnd(), IDC_LSTREMINDERS);
    HWND join = ::GetDlgItem(list.Hwnd(), IDC_CMDJOIN);
    // A click on a line: the list box selects it and tells its window.
    auto select = [&](const std::wstring& subject) {
        const std::vector<std::wstring> shown = Inspector::Lines(list);
        const auto line = std::find_if(shown.begin(), shown.end(),
                                       [&](const std::wstring& text) { return text.starts_with(subject + L" "); });
        ASSERT_NE(line, shown.end()) << test::Narrow(subject);
        ::SendMessageW(lines, LB_SETCURSEL, static_cast<WPARAM>(line - shown.begin()), 0);
        ::SendMessageW(list.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_LSTREMINDERS, LBN_SELCHANGE), reinterpret_cast<LPARAM>(lines));
    };
    EXPECT_FALSE(::IsWindowEnabled(join));  // no line selected

    // Its texts hold only links that must never open: no Join.
    select(L"Trap");
    EXPECT_FALSE(::IsWindowEnabled(join));

    select(L"Standup");
    ASSERT_TRUE(::IsWindowEnabled(join));
    ::SendMessageW(join, BM_CLICK, 0, 0);
    ASSERT_TRUE(test::PumpUntil([&] { return handler.Started(); }, 20s));
    EXPECT_NE(handler.Starts().find("\"" kTeamsLink "\""), std::string::npos) << handler.Starts();
    // Joining is not acting on the reminder: its line stays.
    EXPECT_EQ(Inspector::Lines(list).size(), 2u);
    EXPECT_EQ(CountLines(standin.Journal(), ".Dismiss("), 0u);

    select(L"Trap");
    EXPECT_FALSE(::IsWindowEnabled(join));
}

TEST_F(Card, WaitsWhileTheUserMustNotBeDisturbedAndComesBackWithTheRepeat)
{
    Start();
    QUERY_USER_NOTIFICATION_STATE state = QUNS_PRESENTATION_MODE;
    Inspector::SetCardNotificationState(*window, [&] { return state; }, 50);

    Fire("A1");
    ASSERT_TRUE(test::PumpUntil([&] { return Inspector::CardWaiting(Inspector::Card(*window)); }));
    // The tray icon tells at once; the card waits through several asks.
    ASSERT_TRUE(Inspector::RemindersWindow(*window));
    EXPECT_TRUE(Inspector::TrayIconShown(Inspector::TrayBox(*Inspector::RemindersWindow(*window))));
    test::Pump(300ms);
    EXPECT_FALSE(CardShown());

    state = QUNS_ACCEPTS_NOTIFICATIONS;
    ASSERT_TRUE(test::PumpUntil([&] { return CardShown(); }));
    EXPECT_FALSE(Inspector::CardWaiting(Inspector::Card(*window)));
    EXPECT_EQ(RowText(0, IDC_CARD_SUBJECT), L"Sync");

    // The close box hides it; the reminder stays listed and the 30-minute
    // repeat brings the card back.
    ClickOn(::GetDlgItem(CardWindow(), IDC_CARD_CLOSE));
    ASSERT_TRUE(test::PumpUntil([&] { return !CardShown(); }));
    EXPECT_EQ(Inspector::Lines(*Inspector::RemindersWindow(*window)).size(), 1u);
    frmReminders& list = *Inspector::RemindersWindow(*window);
    TimerProc(nullptr, WM_TIMER, static_cast<UINT_PTR>(Inspector::CurrentTimerID(list)), 0);
    EXPECT_TRUE(test::PumpUntil([&] { return CardShown(); }));
}

TEST_F(Card, TurnedOffInTheSettingsFileNoCardShowsAndTheChoiceIsKept)
{
    WriteSettings("[settings]\r\nDontTrackOverdueTasks=-1\r\nDontShowReminderCard=-1\r\n");
    StartStandIn(kMeetings);
    LoadWindow();
    Fire("A1");
    ASSERT_TRUE(test::PumpUntil([&] {
        const auto& list = Inspector::RemindersWindow(*window);
        return list && Inspector::Lines(*list).size() == 1u;
    }));
    EXPECT_FALSE(Inspector::Card(*window).Loaded());
    // Without the card the body, which Outlook may ask the user about, is not read.
    EXPECT_FALSE(standin::HasLine(standin.Journal(), "Item:A1.Body"));
    SaveStartupSettings();
    EXPECT_NE(test::ReadTextFile(folder.SettingsFile()).find("DontShowReminderCard=-1"), std::string::npos);
}

TEST_F(Card, UntickedInOptionsTheCardGoesAndNoneComes)
{
    Start();
    Fire("A1");
    ASSERT_TRUE(test::PumpUntil([&] { return CardShown(); }));
    Inspector::UpdateSettingsView(*window);
    EXPECT_EQ(::SendMessageW(::GetDlgItem(window->Hwnd(), IDC_CHKREMINDERCARD), BM_GETCHECK, 0, 0), BST_CHECKED);
    ::SendMessageW(::GetDlgItem(window->Hwnd(), IDC_CHKREMINDERCARD), BM_CLICK, 0, 0);
    ::SendMessageW(::GetDlgItem(window->Hwnd(), IDOK), BM_CLICK, 0, 0);
    EXPECT_FALSE(g_blnShowReminderCard);
    EXPECT_FALSE(CardShown());
    Fire("A2");
    ASSERT_TRUE(test::PumpUntil([&] {
        const auto& list = Inspector::RemindersWindow(*window);
        return list && Inspector::Lines(*list).size() == 2u;
    }));
    EXPECT_FALSE(CardShown());
}

TEST_F(Card, ManyRemindersShowTheNewestThreeAndTheRestOpenTheList)
{
    // Shown by Outlook before the connect: announced at once. The newest has
    // a subject of 10,000 characters: a right-to-left letter, then emoji,
    // each a surrogate pair, so the cut falls in the middle of one.
    std::string scenario;
    const int n = 100;
    for (int i = 0; i < n - 1; ++i)
        scenario += "item folder=Calendar subject=R" + std::to_string(i) + " entryid=R" + std::to_string(i) +
                    " reminder=now-1h start=now+5m visible=1\n";
    std::string subject = "\xD7\xA9";  // Hebrew shin
    for (int i = 0; i < 4999; ++i) subject += "\xF0\x9F\x98\x80";
    scenario += "item folder=Calendar subject=\"" + subject + "\" entryid=Long reminder=now-1h start=now-3m visible=1\n";
    WriteSettings("[settings]\r\nDontTrackOverdueTasks=-1\r\n");
    StartStandIn(scenario);
    LoadWindow();
    ASSERT_TRUE(test::PumpUntil([&] { return CardShown(); }, 60s));

    const std::wstring shown = RowText(0, IDC_CARD_SUBJECT);
    ASSERT_GE(shown.size(), 2u);
    EXPECT_LE(shown.size(), 255u);
    EXPECT_EQ(shown.back(), L'\u2026');
    EXPECT_FALSE(shown[shown.size() - 2] >= 0xD800 && shown[shown.size() - 2] <= 0xDBFF);
    EXPECT_EQ(shown.substr(0, 3), L"\u05E9\U0001F600");
    EXPECT_EQ(RowText(0, IDC_CARD_DETAIL), L"started 3 min ago");
    EXPECT_EQ(RowText(1, IDC_CARD_SUBJECT), L"R98");
    EXPECT_EQ(RowText(2, IDC_CARD_SUBJECT), L"R97");
    HWND more = ::GetDlgItem(CardWindow(), IDC_CARD_MORE);
    EXPECT_TRUE(Shown(more));
    EXPECT_EQ(Text(more), L"and 97 more");

    // "and N more" opens the reminders window, where Dismiss All is.
    ClickOn(more);
    ASSERT_TRUE(test::PumpUntil([&] {
        const auto& list = Inspector::RemindersWindow(*window);
        return list && ::IsWindowVisible(list->Hwnd());
    }));
    EXPECT_EQ(Inspector::Lines(*Inspector::RemindersWindow(*window)).size(), static_cast<std::size_t>(n));
}

TEST_F(Card, TheSnoozeMenuOffersTheTimesAndTheMeetingsStart)
{
    Start();
    Fire("A1");  // starts in about 10 minutes
    ASSERT_TRUE(test::PumpUntil([&] { return CardShown(); }));
    int items = 0;
    // The menu opens when the click arrives, which may be late (see ClickOn):
    // its keys go once it is up, and a menu they did not close is ended.
    test::PopupMenuDriver driver([&](HWND menu) {
        items = ::GetMenuItemCount(reinterpret_cast<HMENU>(::SendMessageW(menu, MN_GETHMENU, 0, 0)));
        // The last item: 5 minutes before it starts.
        ::PostMessageW(menu, WM_KEYDOWN, VK_UP, 0);
        ::PostMessageW(menu, WM_KEYUP, VK_UP, 0xC0000000);
        ::PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
        ::PostMessageW(menu, WM_KEYUP, VK_RETURN, 0xC0000000);
    });
    ClickOn(RowControl(0, IDC_CARD_SNOOZEMENU));
    ASSERT_TRUE(test::PumpUntil([&] {
        auto journal = standin.Journal();
        return HasLine(journal, "Reminder:A1.Snooze(4) -> Empty") || HasLine(journal, "Reminder:A1.Snooze(5) -> Empty");
    }));
    EXPECT_EQ(driver.Menus(), 1);
    EXPECT_FALSE(driver.Closed());
    EXPECT_EQ(items, 8 + 1 + 2);  // the reminders window's times, a separator, the two of the start
    EXPECT_TRUE(test::PumpUntil([&] { return !CardShown(); }));
}
