// Acting on reminders and overdue tasks from the alert windows, and the
// reminders list following what Outlook shows.
#include "MainWindowFixture.h"
#include "Inspector.h"

#include "core/RemoteWork.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

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

    ::SendMessageW(::GetDlgItem(tasks.Hwnd(), IDC_LSTREMINDERS), LB_SETCURSEL, 0, 0);
    ::SendMessageW(markComplete, BM_CLICK, 0, 0);
    EXPECT_TRUE(HasLine(standin.Journal(), "Item:T1.MarkComplete() -> Empty"));
    ASSERT_EQ(Inspector::Lines(tasks).size(), 2u);

    // Deleted in Outlook meanwhile: the line goes without a word.
    test::MessageBoxWatcher boxes;
    ASSERT_TRUE(standin::ReplyOk(standin.Command("delete T2")));
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
