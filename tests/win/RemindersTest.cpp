// Acting on reminders and overdue tasks from the alert windows, and the
// reminders list following what Outlook shows.
#include "MainWindowFixture.h"
#include "Inspector.h"

#include "core/RemoteWork.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <dde.h>

#include <algorithm>
#include <thread>

using namespace std::chrono_literals;
using standin::CountLines;
using standin::HasLine;

namespace {

struct RemindersAct : test::MainWindowFixture {
    // Three reminders Outlook shows before the program connects.
    void StartWithShownReminders()
    {
        WriteSettings("[settings]\r\nDontTrackOverdueTasks=-1\r\n");
        StartStandIn("item folder=Inbox subject=Budget entryid=M1 reminder=now-2h visible=1\n"
                     "item folder=Inbox subject=Lunch entryid=M2 reminder=now-1h visible=1\n"
                     "item folder=Inbox subject=Board entryid=M3 reminder=now-1m visible=1\n"
                     "item folder=Inbox subject=Later entryid=M4 reminder=now+3h\n");
        LoadWindow();
        ASSERT_TRUE(test::PumpUntil([&] { return Lines() == 3u; }));
    }
    std::size_t Lines()
    {
        const auto& alert = Inspector::RemindersWindow(*window);
        return alert ? Inspector::Lines(*alert).size() : 0;
    }
    std::vector<std::wstring> Subjects()
    {
        std::vector<std::wstring> subjects;
        if (const auto& alert = Inspector::RemindersWindow(*window))
            for (const std::wstring& line : Inspector::Lines(*alert)) subjects.push_back(line.substr(0, line.find(L' ')));
        return subjects;
    }
    HWND Control(int id) { return ::GetDlgItem(Inspector::RemindersWindow(*window)->Hwnd(), id); }
    void Select(int line) { ::SendMessageW(Control(IDC_LSTREMINDERS), LB_SETCURSEL, static_cast<WPARAM>(line), 0); }
    void Press(int id) { ::SendMessageW(Control(id), BM_CLICK, 0, 0); }
    // Presses the button while Outlook is busy, and makes the changes in
    // Outlook while the program waits to call it: their events arrive during
    // the press's work, so the program handles them only after it, whatever
    // the machine's speed.
    void PressWhileOutlookChanges(int id, const std::vector<std::string>& changes)
    {
        ASSERT_TRUE(standin::ReplyOk(standin.Command("busy 60000")));
        bool done = false;
        test::RunLater(0ms, [&] {
            EXPECT_TRUE(wl::RemoteWork::InProgress()) << "not inside the press's work";
            for (const std::string& change : changes) EXPECT_TRUE(standin::ReplyOk(standin.Command(change))) << change;
            EXPECT_TRUE(standin::ReplyOk(standin.Command("busy 0")));
            done = true;
        });
        Press(id);
        if (done) return;  // nothing may be handled here that the press left behind
        ADD_FAILURE() << "the changes were not made during the press";
        (void)test::PumpUntil([&] { return done; });  // the late changes, before the test's locals go
    }
};

// Windows' modal loop hands the thread's posted messages to their windows
// while an outgoing COM call waits for its answer; Wine's dispatches only
// COM's own, paint, DDE and sent messages then (and refuses calls out from
// inside a sent message). While this lives, a second thread keeps posting
// this thread a DDE message whose handler dispatches the other posted ones,
// so that a wait in a call into Outlook lets them through as on Windows.
class PostedMessagesFlowDuringCalls {
public:
    PostedMessagesFlowDuringCalls()
    {
        m_window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     ::GetModuleHandleW(nullptr), nullptr);
        ::SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc));
        m_thread = std::thread([this] {
            do (void)::PostMessageW(m_window, WM_DDE_TERMINATE, kPump, 0);
            while (::WaitForSingleObject(m_stop.get(), 10) == WAIT_TIMEOUT);
        });
    }
    PostedMessagesFlowDuringCalls(const PostedMessagesFlowDuringCalls&) = delete;
    PostedMessagesFlowDuringCalls& operator=(const PostedMessagesFlowDuringCalls&) = delete;
    ~PostedMessagesFlowDuringCalls()
    {
        ::SetEvent(m_stop.get());
        m_thread.join();
        ::DestroyWindow(m_window);
    }

private:
    static constexpr WPARAM kPump = 0x5057;
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        static bool pumping = false;
        if (message != WM_DDE_TERMINATE || wParam != kPump) return ::DefWindowProcW(hwnd, message, wParam, lParam);
        if (pumping) return 0;
        pumping = true;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        pumping = false;
        return 0;
    }
    HWND m_window = nullptr;
    wl::UniqueHandle m_stop{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::thread m_thread;
};

}  // namespace

TEST_F(RemindersAct, ShownBeforeConnectAreListedOnceAndFollowOutlook)
{
    StartWithShownReminders();
    EXPECT_EQ(Subjects(), (std::vector<std::wstring>{L"Budget", L"Lunch", L"Board"}));
    // Outlook's own Reminder event for one already listed adds no line.
    ASSERT_TRUE(standin::ReplyOk(standin.Command("fire-reminder M2")));
    test::Pump(300ms);
    EXPECT_EQ(Lines(), 3u);

    // Dismissed and snoozed in Outlook: the lines go, the last one with the window.
    ASSERT_TRUE(standin::ReplyOk(standin.Command("dismiss M1")));
    ASSERT_TRUE(test::PumpUntil([&] { return Lines() == 2u; }));
    EXPECT_EQ(Subjects(), (std::vector<std::wstring>{L"Lunch", L"Board"}));
    ASSERT_TRUE(standin::ReplyOk(standin.Command("snooze M2 5")));
    ASSERT_TRUE(standin::ReplyOk(standin.Command("delete M3")));
    ASSERT_TRUE(test::PumpUntil([&] { return Inspector::RemindersWindow(*window) == nullptr; }));
}

TEST_F(RemindersAct, SnoozeDismissDeleteKeyAndDismissAllActOnTheRightReminders)
{
    StartWithShownReminders();
    test::MessageBoxWatcher boxes;
    EXPECT_EQ(::SendMessageW(Control(IDC_CMBSNOOZE), CB_GETCOUNT, 0, 0), 8);
    ::SendMessageW(Control(IDC_CMBSNOOZE), CB_SETCURSEL, 1, 0);  // "10 minutes"
    Select(1);
    Press(IDC_CMDSNOOZE);
    EXPECT_TRUE(HasLine(standin.Journal(), "Reminder:M2.Snooze(10) -> Empty"));
    EXPECT_EQ(Subjects(), (std::vector<std::wstring>{L"Budget", L"Board"}));

    Select(1);
    Press(IDC_CMDDISMISS);
    EXPECT_TRUE(HasLine(standin.Journal(), "Reminder:M3.Dismiss() -> Empty"));
    EXPECT_EQ(Subjects(), (std::vector<std::wstring>{L"Budget"}));

    ASSERT_TRUE(standin::ReplyOk(standin.Command("fire-reminder M4")));
    ASSERT_TRUE(test::PumpUntil([&] { return Lines() == 2u; }));
    Select(0);
    ::SendMessageW(Control(IDC_LSTREMINDERS), WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_TRUE(HasLine(standin.Journal(), "Reminder:M1.Dismiss() -> Empty"));
    EXPECT_EQ(Subjects(), (std::vector<std::wstring>{L"Later"}));

    Press(IDC_CMDDISMISSALL);
    EXPECT_TRUE(HasLine(standin.Journal(), "Reminder:M4.Dismiss() -> Empty"));
    EXPECT_EQ(Inspector::RemindersWindow(*window), nullptr);
    test::Pump(300ms);
    EXPECT_TRUE(boxes.Texts().empty());
    auto journal = standin.Journal();
    EXPECT_EQ(CountLines(journal, ".Snooze("), 1u);
    EXPECT_EQ(CountLines(journal, ".Dismiss()"), 3u);
}

// A dismissed reminder leaves Outlook's collection at once, moving the ones
// after it up: Dismiss All over more reminders than one batch of the walk
// still dismisses each one, and no line goes while Outlook still shows it.
TEST_F(RemindersAct, DismissAllDismissesEveryShownReminder)
{
    constexpr int kShown = 70;
    WriteSettings("[settings]\r\nDontTrackOverdueTasks=-1\r\n");
    std::string scenario;
    for (int i = 1; i <= kShown; ++i)
        scenario += "item folder=Inbox subject=R" + std::to_string(i) + " entryid=M" + std::to_string(i) +
                    " reminder=now-" + std::to_string(i) + "m visible=1\n";
    StartStandIn(scenario);
    LoadWindow();
    ASSERT_TRUE(test::PumpUntil([&] { return Lines() == static_cast<std::size_t>(kShown); }));
    test::MessageBoxWatcher boxes;

    Press(IDC_CMDDISMISSALL);
    auto journal = standin.Journal();
    EXPECT_EQ(CountLines(journal, ".Dismiss() -> Empty"), static_cast<std::size_t>(kShown));
    for (int i = 1; i <= kShown; ++i)
        EXPECT_TRUE(HasLine(journal, "Reminder:M" + std::to_string(i) + ".Dismiss() -> Empty")) << i;
    EXPECT_EQ(Lines(), 0u);
    EXPECT_EQ(wl::Dispatch::Create(L"Outlook.Application").Get(L"Reminders").Object().Get(L"Count").Long(), 0);
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(RemindersAct, AReminderOutlookNoLongerShowsLeavesQuietlyAndOtherFailuresAreToldOnce)
{
    StartWithShownReminders();
    test::MessageBoxWatcher boxes;
    // Snoozed and deleted in Outlook as the user snoozes the first line:
    // their events have not been handled when the program acts.
    Select(0);
    PressWhileOutlookChanges(IDC_CMDSNOOZE, {"snooze M1 5", "delete M2"});
    // The deleted item's line stays, unreadable, until it is acted on.
    ASSERT_EQ(Lines(), 2u);
    EXPECT_EQ(Subjects().back(), L"Board");
    Select(0);
    Press(IDC_CMDDISMISS);
    EXPECT_EQ(Subjects(), (std::vector<std::wstring>{L"Board"}));
    test::Pump(300ms);
    EXPECT_TRUE(boxes.Texts().empty());

    // Any other failure: told once, in plain words, and the line stays.
    ASSERT_TRUE(standin::ReplyOk(standin.Command("fail Reminder.Dismiss")));
    Press(IDC_CMDDISMISSALL);
    ASSERT_TRUE(test::PumpUntil([&] { return boxes.Texts().size() == 1u; }));
    EXPECT_NE(boxes.Texts()[0].find(L"could not snooze or dismiss"), std::wstring::npos);
    EXPECT_EQ(Subjects(), (std::vector<std::wstring>{L"Board"}));
}

// A reminder that comes due while a call into Outlook waits for its answer
// is handled once that call has returned, never in the middle of it.
TEST_F(RemindersAct, AReminderArrivingDuringACallIsHandledAfterIt)
{
    StartWithShownReminders();
    PostedMessagesFlowDuringCalls asOnWindows;
    // While it dismisses Budget, Outlook makes Later come due and takes its time to answer.
    ASSERT_TRUE(standin::ReplyOk(standin.Command("fire-during Reminder:M1.Dismiss M4 500")));
    Select(0);
    Press(IDC_CMDDISMISS);
    const std::vector<std::wstring> expected{L"Lunch", L"Board", L"Later"};
    EXPECT_TRUE(test::PumpUntil([&] { return Subjects() == expected; })) << test::Narrow(Subjects().empty() ? L"" : Subjects().front());
    auto journal = standin.Journal();
    auto dismissed = std::find(journal.begin(), journal.end(), std::string("Reminder:M1.Dismiss() -> Empty"));
    auto fired = std::find_if(journal.begin(), dismissed, [](const std::string& line) {
        return line.rfind("Fire Reminder(Item:M4)", 0) == 0;
    });
    ASSERT_NE(fired, dismissed) << "the reminder came due during the call";
    // No call that reads the new reminder before the answer.
    for (auto line = fired; line != dismissed; ++line)
        EXPECT_FALSE(line->rfind("Item:M4.", 0) == 0 || line->rfind("Reminder:M4.", 0) == 0) << *line;
}

TEST_F(RemindersAct, ABusyOutlookDuringSnoozeGetsOneSnooze)
{
    StartWithShownReminders();
    ASSERT_TRUE(standin::ReplyOk(standin.Command("busy 700")));
    Select(2);
    Press(IDC_CMDSNOOZE);
    auto journal = standin.Journal();
    EXPECT_GT(CountLines(journal, "Busy: rejected"), 0u);
    EXPECT_EQ(CountLines(journal, "Reminder:M3.Snooze(5) -> Empty"), 1u);
    EXPECT_EQ(CountLines(journal, ".Snooze("), 1u);
    EXPECT_EQ(Subjects(), (std::vector<std::wstring>{L"Budget", L"Lunch"}));
}

TEST_F(RemindersAct, MarkCompleteEndsTheTaskAndTheRescanDoesNotBringItBack)
{
    WriteSettings("[settings]\r\nDontTrackReminders=-1\r\n");
    StartStandIn("item folder=Tasks subject=Call entryid=T1 due=today-2d\n"
                 "item folder=Tasks subject=Pay entryid=T2 due=today-1d\n"
                 "item folder=Tasks subject=File entryid=T3 due=today-1d\n");
    LoadWindow();
    ASSERT_TRUE(standin::ReplyOk(standin.Command("fire-reminder T1")));  // a reminder starts the scan
    ASSERT_TRUE(test::PumpUntil([&] { return Inspector::OverdueTasksWindow(*window) != nullptr; }));
    frmReminders& tasks = *Inspector::OverdueTasksWindow(*window);
    HWND markComplete = ::GetDlgItem(tasks.Hwnd(), IDC_CMDMARKCOMPLETE);
    EXPECT_TRUE(::GetWindowLongW(markComplete, GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(::GetWindowLongW(::GetDlgItem(tasks.Hwnd(), IDC_CMDSNOOZE), GWL_STYLE) & WS_VISIBLE);
    ASSERT_EQ(Inspector::Lines(tasks).size(), 3u);

    // The selected line's task, not the first one's, is completed and saved.
    ::SendMessageW(::GetDlgItem(tasks.Hwnd(), IDC_LSTREMINDERS), LB_SETCURSEL, 1, 0);
    ::SendMessageW(markComplete, BM_CLICK, 0, 0);
    auto journal = standin.Journal();
    EXPECT_TRUE(standin::InOrder(journal, {"Item:T2.MarkComplete() -> Empty", "Item:T2.Save() -> Empty"}));
    EXPECT_EQ(CountLines(journal, ".MarkComplete()"), 1u);
    ASSERT_EQ(Inspector::Lines(tasks).size(), 2u);
    EXPECT_EQ(Inspector::Lines(tasks)[0].substr(0, 4), L"Call");

    // Deleted in Outlook meanwhile: the line goes without a word.
    test::MessageBoxWatcher boxes;
    ASSERT_TRUE(standin::ReplyOk(standin.Command("delete T1")));
    ::SendMessageW(::GetDlgItem(tasks.Hwnd(), IDC_LSTREMINDERS), LB_SETCURSEL, 0, 0);
    ::SendMessageW(markComplete, BM_CLICK, 0, 0);
    ASSERT_EQ(Inspector::Lines(tasks).size(), 1u);

    ::SendMessageW(::GetDlgItem(tasks.Hwnd(), IDC_CMDCLEARALL), BM_CLICK, 0, 0);  // Refresh: a rescan
    test::Pump(300ms);
    ASSERT_NE(Inspector::OverdueTasksWindow(*window), nullptr);
    ASSERT_EQ(Inspector::Lines(*Inspector::OverdueTasksWindow(*window)).size(), 1u);
    EXPECT_EQ(Inspector::Lines(*Inspector::OverdueTasksWindow(*window))[0].substr(0, 4), L"File");
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(RemindersAct, AChangeOutlookNamesRedrawsThatLineAloneAndDrawingAsksOutlookNothing)
{
    StartWithShownReminders();
    standin.ClearJournal();
    // Outlook names the reminder it changed: that one is read again, no other.
    ASSERT_TRUE(standin::ReplyOk(standin.Command("set M2 subject=Picnic")));
    ASSERT_TRUE(test::PumpUntil([&] { return Subjects() == std::vector<std::wstring>{L"Budget", L"Picnic", L"Board"}; }));
    auto journal = standin.Journal();
    EXPECT_TRUE(HasLine(journal, "Item:M2.Subject"));
    EXPECT_FALSE(HasLine(journal, "Item:M1"));
    EXPECT_FALSE(HasLine(journal, "Item:M3"));
    EXPECT_FALSE(HasLine(journal, "Reminders._NewEnum"));

    // The lines are drawn from what was read: a redraw asks Outlook nothing.
    standin.ClearJournal();
    Select(0);
    Press(IDC_CMDCLEAR);
    EXPECT_EQ(Subjects(), (std::vector<std::wstring>{L"Picnic", L"Board"}));
    test::Pump(200ms);
    EXPECT_TRUE(standin.Journal().empty());

    // Outlook tells of the removal the program made: no second look at the collection.
    Select(0);
    Press(IDC_CMDDISMISS);
    EXPECT_EQ(Subjects(), (std::vector<std::wstring>{L"Board"}));
    test::Pump(300ms);
    EXPECT_EQ(CountLines(standin.Journal(), "Reminders._NewEnum"), 1u);
}
