// What the program read of Outlook is read again when it may be stale: after
// the machine woke, the session was unlocked, or the clock changed; and one
// alert for a reminder Outlook announces twice.
#include "MainWindowFixture.h"
#include "Inspector.h"

#include "core/basTimer.h"

#include <wtsapi32.h>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using standin::CountLines;

namespace {

struct Freshness : test::MainWindowFixture {
    size_t Scans() const { return CountLines(standin.Journal(), "GetTable("); }
    size_t ReminderPasses() const { return CountLines(standin.Journal(), "Reminders._NewEnum"); }
    // As Windows sends them, to the program's top-level windows.
    void Woken() { ::SendMessageW(window->Hwnd(), WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0); }
    void Unlocked() { ::SendMessageW(window->Hwnd(), WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0); }
    void ClockChanged() { ::SendMessageW(window->Hwnd(), WM_TIMECHANGE, 0, 0); }
    // The signals of a few seconds are read together, once they have settled.
    void Settle() { test::Pump(3s); }
};

}  // namespace

TEST_F(Freshness, SignalsTogetherGiveOneReadThatListsATaskOverdueWithoutAnEvent)
{
    StartStandIn("item folder=Tasks subject=Report entryid=T1 due=tomorrow complete=0\n");
    LoadWindow();
    ASSERT_EQ(Inspector::OverdueTasksWindow(*window), nullptr);
    // The day passed while the machine slept: Outlook tells nobody.
    ASSERT_TRUE(standin::ReplyOk(standin.Command("set T1 due=today-1d")));
    const size_t scans = Scans(), passes = ReminderPasses();
    Woken();
    Unlocked();
    ClockChanged();
    Settle();
    ASSERT_NE(Inspector::OverdueTasksWindow(*window), nullptr);
    EXPECT_EQ(Inspector::Lines(*Inspector::OverdueTasksWindow(*window)).size(), 1u);
    EXPECT_EQ(Scans(), scans + 1);
    EXPECT_EQ(ReminderPasses(), passes + 1);

    // The clock alone: one more scan.
    ClockChanged();
    Settle();
    EXPECT_EQ(Scans(), scans + 2);
}

TEST_F(Freshness, AnOutlookThatEndedDuringTheSleepIsNoticedAtTheWakeAndConnectedAgain)
{
    // Its process unknown, a connected Outlook is only asked now and then;
    // no scan of the tasks would find it gone either.
    WriteSettings("[settings]\r\nDontTrackOverdueTasks=-1\r\n");
    g_strOutlookPath = L"C:\\nowhere\\OUTLOOK.EXE";
    StartStandIn();
    LoadWindow();
    Inspector::SetConnectionWatch(*window, 600'000, 300, 2400);
    ASSERT_TRUE(Inspector::OutlookLoaded(*window));
    ASSERT_TRUE(standin::ReplyOk(standin.Command("kill")));
    test::Pump(500ms);
    ASSERT_TRUE(Inspector::OutlookLoaded(*window));  // nothing told the program
    Woken();
    EXPECT_TRUE(test::PumpUntil([&] { return CountLines(standin.Journal(), "CreateObject Outlook.Application") == 1; }, 15s));
    EXPECT_TRUE(test::PumpUntil([&] { return Inspector::OutlookLoaded(*window); }, 15s));
}

TEST_F(Freshness, ARepeatThatFellDueDuringTheSleepComesOnceRightAfterTheWake)
{
    WriteSettings("[settings]\r\nDontTrackOverdueTasks=-1\r\n");
    StartStandIn("item folder=Inbox subject=Budget entryid=M1 reminder=now visible=1\n");
    LoadWindow();
    ASSERT_TRUE(test::PumpUntil([&] { return Inspector::RemindersWindow(*window) != nullptr; }));
    frmReminders& alert = *Inspector::RemindersWindow(*window);
    const unsigned raised = Inspector::AlertsRaised(alert);
    struct Slept {
        ~Slept() { SetWallClockSkewMs(0); }
    } slept;
    SetWallClockSkewMs(31 * 60'000);  // 31 minutes passed on the wall clock, none on the timers
    Woken();
    Settle();
    EXPECT_EQ(Inspector::AlertsRaised(alert), raised + 1);
    Unlocked();  // the repeat is 30 minutes away again
    Settle();
    EXPECT_EQ(Inspector::AlertsRaised(alert), raised + 1);
}

TEST_F(Freshness, BothOrdersOfOutlooksTwoEventsGiveOneLineAndOneAlert)
{
    WriteSettings("[settings]\r\nDontTrackOverdueTasks=-1\r\n");
    StartStandIn("item folder=Inbox subject=Budget entryid=M1 reminder=now\n"
                 "item folder=Inbox subject=Lunch entryid=M2 reminder=now\n");
    LoadWindow();
    ASSERT_TRUE(standin::ReplyOk(standin.Command("fire-reminder M1")));
    ASSERT_TRUE(test::PumpUntil([&] { return Inspector::RemindersWindow(*window) != nullptr; }));
    frmReminders& alert = *Inspector::RemindersWindow(*window);
    test::Pump(300ms);
    EXPECT_EQ(Inspector::Lines(alert).size(), 1u);
    EXPECT_EQ(Inspector::AlertsRaised(alert), 1u);
    EXPECT_EQ(CountLines(standin.Journal(), "Item:M1.Subject"), 1u);  // read once

    ASSERT_TRUE(standin::ReplyOk(standin.Command("fire-reminder M2 item-first")));
    ASSERT_TRUE(test::PumpUntil([&] { return Inspector::Lines(alert).size() == 2u; }));
    test::Pump(300ms);
    EXPECT_EQ(Inspector::Lines(alert).size(), 2u);
    EXPECT_EQ(Inspector::AlertsRaised(alert), 2u);
    EXPECT_EQ(CountLines(standin.Journal(), "Item:M2.Subject"), 1u);
}
