// Reminders and overdue tasks, from the stand-in's events and folders to the
// alert windows, their tray icons, balloons, buttons and timers.
#include "MainWindowFixture.h"
#include "Inspector.h"

#include "core/basTimer.h"
#include "resources/resource.h"

#include <shellapi.h>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using standin::CountLines;
using standin::HasLine;

namespace {

constexpr long kBalloonClick = NIN_BALLOONUSERCLICK;

struct Alerts : test::MainWindowFixture {
    // Fires the item's reminder and waits until the program has handled it:
    // alerted (when it tracks reminders) and scanned the tasks (every
    // reminder ends with a scan when it tracks overdue tasks). The stand-in
    // has fired its events when it answers; what they queue has run when the
    // wait looks.
    void FireReminder(const std::string& entryId)
    {
        const auto& before = Inspector::RemindersWindow(*window);
        const unsigned alertsBefore = before ? Inspector::AlertsRaised(*before) : 0;
        const size_t scansBefore = CountLines(standin.Journal(), "GetDefaultFolder(13)");
        ASSERT_TRUE(standin::ReplyOk(standin.Command("fire-reminder " + entryId)));
        ASSERT_TRUE(test::PumpUntil([&] {
            const auto& alert = Inspector::RemindersWindow(*window);
            const bool alerted = !g_blnTrackReminders || (alert && Inspector::AlertsRaised(*alert) > alertsBefore);
            const bool scanned =
                !g_blnTrackOverdueTasks || CountLines(standin.Journal(), "GetDefaultFolder(13)") > scansBefore;
            return alerted && scanned;
        }));
    }
    frmReminders& Reminders() { return *Inspector::RemindersWindow(*window); }
    frmReminders& Tasks() { return *Inspector::OverdueTasksWindow(*window); }
    static void Press(frmReminders& alert, int id)
    {
        ::SendMessageW(::GetDlgItem(alert.Hwnd(), id), BM_CLICK, 0, 0);
    }
    static void Select(frmReminders& alert, int line)
    {
        ::SendMessageW(::GetDlgItem(alert.Hwnd(), IDC_LSTREMINDERS), LB_SETCURSEL, static_cast<WPARAM>(line), 0);
    }
    static std::wstring Icon(frmReminders& alert)
    {
        std::wstring file;
        if (!Inspector::TrayIconShown(Inspector::TrayBox(alert), &file)) return {};
        return file.substr(file.find_last_of(L'\\') + 1);
    }
    static std::wstring Tip(frmReminders& alert)
    {
        std::wstring tip;
        Inspector::TrayIconShown(Inspector::TrayBox(alert), nullptr, &tip);
        return tip;
    }
    static std::wstring Subject(const std::wstring& line) { return line.substr(0, line.find(L' ')); }
    static void Tick(frmReminders& alert) { TimerProc(nullptr, WM_TIMER, static_cast<UINT_PTR>(Inspector::CurrentTimerID(alert)), 0); }
};

// The stand-in's default store, as the scan reads it with the tasks.
#define kStoreId "\"0000000038A1BB1005E5101AA1BB08002B2A56C20000\""

const char kTasks[] =
    "item folder=Tasks subject=NoDate entryid=T1 due=none complete=0\n"
    "item folder=Tasks subject=Today entryid=T2 due=today complete=0\n"
    "item folder=Tasks subject=Tomorrow entryid=T3 due=tomorrow complete=0\n"
    "item folder=Tasks subject=Yesterday entryid=T4 due=yesterday complete=0\n"
    "item folder=Tasks subject=Done entryid=T5 due=yesterday complete=1\n";

}  // namespace

// Reminders

TEST_F(Alerts, AReminderOpensTheRemindersWindowWithBellAndBalloon)
{
    WriteSettings("[settings]\r\nDontTrackOverdueTasks=-1\r\n");
    StartStandIn("item folder=Inbox subject=Budget entryid=M1 reminder=\"2024-05-01 09:30\"\n");
    LoadWindow();
    FireReminder("M1");
    ASSERT_NE(Inspector::RemindersWindow(*window), nullptr);
    frmReminders& alert = Reminders();
    EXPECT_EQ(alert.Mode(), wl::ModeReminders);
    EXPECT_FALSE(::IsWindowVisible(alert.Hwnd()));
    ASSERT_EQ(Inspector::Lines(alert).size(), 1u);
    EXPECT_EQ(Subject(Inspector::Lines(alert)[0]), L"Budget");
    EXPECT_NE(Inspector::Lines(alert)[0].find(L"2024"), std::wstring::npos);
    EXPECT_EQ(Icon(alert), L"bell.ico");
    EXPECT_EQ(Tip(alert), L"You have reminders!");
    EXPECT_EQ(Inspector::BalloonText(alert), L"-" + Inspector::Lines(alert)[0] + L"\r\n\r\nClick here for details");
    EXPECT_NE(Inspector::CurrentTimerID(alert), 0);
    wchar_t caption[64] = {};
    ::GetWindowTextW(alert.Hwnd(), caption, 64);
    EXPECT_STREQ(caption, L"Outlook Reminders");
}

TEST_F(Alerts, TrackingOffAddsNothingButStillScans)
{
    WriteSettings("[settings]\r\nDontTrackReminders=-1\r\n");
    StartStandIn("item folder=Inbox subject=Budget entryid=M1 reminder=now\n");
    LoadWindow();
    size_t scans = CountLines(standin.Journal(), "GetDefaultFolder(13)");
    FireReminder("M1");
    EXPECT_EQ(Inspector::RemindersWindow(*window), nullptr);
    EXPECT_EQ(CountLines(standin.Journal(), "GetDefaultFolder(13)"), scans + 1);
}

TEST_F(Alerts, TheSameItemTwiceGivesOneLineAndASecondAlert)
{
    StartStandIn("item folder=Inbox subject=Budget entryid=M1 reminder=now\n");
    LoadWindow();
    FireReminder("M1");
    std::int32_t firstTimer = Inspector::CurrentTimerID(Reminders());
    FireReminder("M1");
    EXPECT_EQ(Inspector::Lines(Reminders()).size(), 1u);
    EXPECT_NE(Inspector::CurrentTimerID(Reminders()), firstTimer);  // alerted again: the timer restarted
}

TEST_F(Alerts, AfterClearingItselfTheNextReminderOpensAFreshWindow)
{
    StartStandIn("item folder=Inbox subject=First entryid=M1 reminder=now\n"
                 "item folder=Inbox subject=Second entryid=M2 reminder=now\n");
    LoadWindow();
    FireReminder("M1");
    TrayIcon box = Inspector::TrayBox(Reminders());
    Press(Reminders(), IDC_CMDCLEARALL);  // the window's own handler makes the owner drop it
    EXPECT_EQ(Inspector::RemindersWindow(*window), nullptr);
    EXPECT_FALSE(test::ShellHasIcon(box));
    FireReminder("M2");
    ASSERT_NE(Inspector::RemindersWindow(*window), nullptr);
    EXPECT_EQ(Reminders().Mode(), wl::ModeReminders);
    ASSERT_EQ(Inspector::Lines(Reminders()).size(), 1u);
    EXPECT_EQ(Subject(Inspector::Lines(Reminders())[0]), L"Second");
}

TEST_F(Alerts, OutlookButtonOpensOutlookTodayAndHides)
{
    StartStandIn("store \"Mailbox - Test\"\nitem folder=Calendar subject=Meeting entryid=A1 reminder=now\n");
    LoadWindow();
    FireReminder("A1");
    ::SendMessageW(Reminders().Hwnd(), WM_COMMAND, IDM_ALERT_SHOW, 0);
    EXPECT_TRUE(::IsWindowVisible(Reminders().Hwnd()));
    Press(Reminders(), IDC_CMDOUTLOOK);
    EXPECT_TRUE(HasLine(standin.Journal(), "Explorers.Add(Folder:Mailbox - Test, 0)"));
    EXPECT_FALSE(::IsWindowVisible(Reminders().Hwnd()));
}

TEST_F(Alerts, ClearDownToEmptyRemovesTheIconAndTheWindow)
{
    StartStandIn("item folder=Inbox subject=One entryid=M1 reminder=now\n"
                 "item folder=Inbox subject=Two entryid=M2 reminder=now\n");
    LoadWindow();
    FireReminder("M1");
    FireReminder("M2");
    ASSERT_EQ(Inspector::Lines(Reminders()).size(), 2u);
    Press(Reminders(), IDC_CMDCLEAR);  // no selection: nothing
    EXPECT_EQ(Inspector::Lines(Reminders()).size(), 2u);
    Select(Reminders(), 0);
    Press(Reminders(), IDC_CMDCLEAR);
    ASSERT_EQ(Inspector::Lines(Reminders()).size(), 1u);
    EXPECT_EQ(Subject(Inspector::Lines(Reminders())[0]), L"Two");
    TrayIcon box = Inspector::TrayBox(Reminders());
    Select(Reminders(), 0);
    Press(Reminders(), IDC_CMDCLEAR);
    EXPECT_EQ(Inspector::RemindersWindow(*window), nullptr);
    EXPECT_FALSE(test::ShellHasIcon(box));
    EXPECT_FALSE(::IsWindow(box.owner)) << "the tray box outlived its window";
    test::PumpQueued();  // nothing left behind runs on a freed window
}

TEST_F(Alerts, TrayClearEmptiesTheWholeList)
{
    StartStandIn("item folder=Inbox subject=One entryid=M1 reminder=now\n"
                 "item folder=Inbox subject=Two entryid=M2 reminder=now\n");
    LoadWindow();
    FireReminder("M1");
    FireReminder("M2");
    Select(Reminders(), 1);
    // Up from no selection is the last item, "Clear".
    test::RunLater(300ms, [] {
        HWND menu = test::OpenPopupMenu();
        for (WORD key : {VK_UP, VK_RETURN}) {
            ::PostMessageW(menu, WM_KEYDOWN, key, 0);
            ::PostMessageW(menu, WM_KEYUP, key, 0xC0000000);
        }
    });
    test::SendTrayMessage(Inspector::TrayBox(Reminders()), WM_RBUTTONUP);
    EXPECT_EQ(Inspector::RemindersWindow(*window), nullptr);
}

TEST_F(Alerts, TheCloseBoxHidesAndKeepsListIconAndTimer)
{
    StartStandIn("item folder=Inbox subject=One entryid=M1 reminder=now\n");
    LoadWindow();
    FireReminder("M1");
    frmReminders& alert = Reminders();
    ::SendMessageW(alert.Hwnd(), WM_COMMAND, IDM_ALERT_SHOW, 0);
    RECT before{};
    ::GetWindowRect(alert.Hwnd(), &before);
    ::SendMessageW(alert.Hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(::IsWindowVisible(alert.Hwnd()));
    EXPECT_EQ(Inspector::Lines(alert).size(), 1u);
    EXPECT_EQ(Icon(alert), L"bell.ico");
    EXPECT_NE(Inspector::CurrentTimerID(alert), 0);
    test::SendTrayMessage(Inspector::TrayBox(alert), kBalloonClick);  // reminders: the balloon shows the window
    EXPECT_TRUE(::IsWindowVisible(alert.Hwnd()));
    RECT after{};
    ::GetWindowRect(alert.Hwnd(), &after);
    EXPECT_EQ(before.left, after.left);
    EXPECT_EQ(before.top, after.top);
}

TEST_F(Alerts, LeftClickAlertsAgainAndTheTimerTickRepeatsTheAlert)
{
    StartStandIn("item folder=Inbox subject=One entryid=M1 reminder=now\n");
    LoadWindow();
    FireReminder("M1");
    frmReminders& alert = Reminders();
    std::int32_t timer = Inspector::CurrentTimerID(alert);
    test::SendTrayMessage(Inspector::TrayBox(alert), WM_LBUTTONUP);
    EXPECT_NE(Inspector::CurrentTimerID(alert), timer);
    timer = Inspector::CurrentTimerID(alert);
    Tick(alert);
    EXPECT_NE(Inspector::CurrentTimerID(alert), timer);
    EXPECT_EQ(Inspector::Lines(alert).size(), 1u);
}

TEST_F(Alerts, DisplayOpensTheItemAndADeletedItemGivesAMessage)
{
    StartStandIn("item folder=Inbox subject=One entryid=M1 reminder=now\n");
    LoadWindow();
    FireReminder("M1");
    frmReminders& alert = Reminders();
    Press(alert, IDC_CMDDISPLAY);  // no selection: nothing
    EXPECT_FALSE(HasLine(standin.Journal(), "Item:M1.Display"));
    Select(alert, 0);
    ::SendMessageW(alert.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_LSTREMINDERS, LBN_DBLCLK),
                   reinterpret_cast<LPARAM>(::GetDlgItem(alert.Hwnd(), IDC_LSTREMINDERS)));
    EXPECT_TRUE(HasLine(standin.Journal(), "Item:M1.Display()"));

    // Moved or deleted in Outlook: a deletion would also end the reminder,
    // whose line then leaves; here only opening the item fails.
    ASSERT_TRUE(standin::ReplyOk(standin.Command("fail Item:M1.Display 0x8004010F")));
    test::MessageBoxWatcher boxes;
    Press(alert, IDC_CMDDISPLAY);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_NE(boxes.Texts()[0].find(L"moved or deleted"), std::wstring::npos);
    EXPECT_TRUE(alert.Loaded());
    EXPECT_EQ(Inspector::Lines(alert).size(), 1u);
}

TEST_F(Alerts, MidnightShowsTheDateAloneAndSubjectsShowWhole)
{
    WriteSettings("[settings]\r\nDontTrackOverdueTasks=-1\r\n");
    StartStandIn("item folder=Inbox subject=\"\xE4\xBC\x9A\xE8\xAE\xAE \xF0\x9F\x93\x85\" entryid=M1 "
                 "reminder=\"2024-05-01 00:00\"\n"
                 "item folder=Inbox subject=\"\xCE\x93\xCE\xB5\xCE\xB9\xCE\xB1\" entryid=M2 reminder=\"2024-05-01 09:30\"\n");
    LoadWindow();
    FireReminder("M1");
    FireReminder("M2");
    auto lines = Inspector::Lines(Reminders());
    ASSERT_EQ(lines.size(), 2u);
    const std::wstring chinese = L"\x4F1A\x8BAE \xD83D\xDCC5";
    EXPECT_EQ(lines[0].substr(0, chinese.size() + 1), chinese + L" ");
    EXPECT_EQ(lines[0].find(L':'), std::wstring::npos) << test::Narrow(lines[0]);  // no time at midnight
    EXPECT_NE(lines[1].find(L':'), std::wstring::npos) << test::Narrow(lines[1]);
    EXPECT_NE(Inspector::BalloonText(Reminders()).find(chinese), std::wstring::npos);
    HWND list = ::GetDlgItem(Reminders().Hwnd(), IDC_LSTREMINDERS);
    wchar_t shown[128] = {};
    ::SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(shown));
    EXPECT_EQ(std::wstring(shown), lines[0]);
}

TEST_F(Alerts, ALineForEveryItemEvenWhenNothingCanBeRead)
{
    WriteSettings("[settings]\r\nDontTrackOverdueTasks=-1\r\n");
    StartStandIn("item folder=Inbox subject=One entryid=M1 reminder=now\n"
                 "item folder=Inbox subject=Two entryid=M2 reminder=now\n");
    LoadWindow();
    FireReminder("M1");
    FireReminder("M2");
    // Nothing of M1 can be read (a deletion would also end its reminder and its line).
    for (const char* member : {"Subject", "ReminderTime", "Parent", "EntryID"})
        ASSERT_TRUE(standin::ReplyOk(standin.Command(std::string("fail Item:M1.") + member + " 0x8004010F")));
    Reminders().RefreshList();
    auto lines = Inspector::Lines(Reminders());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(Subject(lines[1]), L"Two");
}

// Overdue tasks

TEST_F(Alerts, NotConnectedTheScanFindsNothing)
{
    WriteSettings("[settings]\r\nDontKeepOlLoaded=-1\r\n");
    StartStandIn(kTasks);
    LoadWindow();
    EXPECT_FALSE(Inspector::ScanForOverdueTasks(*window));
    EXPECT_EQ(Inspector::OverdueTasksWindow(*window), nullptr);
}

TEST_F(Alerts, EmptyOrCompleteTasksGiveNoWindow)
{
    StartStandIn("item folder=Tasks subject=Done entryid=T5 due=yesterday complete=1\n");
    LoadWindow();
    EXPECT_EQ(Inspector::OverdueTasksWindow(*window), nullptr);
    EXPECT_FALSE(Inspector::ScanForOverdueTasks(*window));
    EXPECT_EQ(Inspector::OverdueTasksWindow(*window), nullptr);
}

TEST_F(Alerts, TheScanListsTasksDueTodayOrBefore)
{
    StartStandIn(kTasks);
    LoadWindow();  // the start-up scan
    ASSERT_NE(Inspector::OverdueTasksWindow(*window), nullptr);
    frmReminders& alert = Tasks();
    EXPECT_EQ(alert.Mode(), wl::ModeOverdueTasks);
    auto lines = Inspector::Lines(alert);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(Subject(lines[0]), L"Today");
    EXPECT_EQ(lines[0].find(L':'), std::wstring::npos);  // due at midnight: the date alone
    EXPECT_EQ(Subject(lines[1]), L"Yesterday");
    EXPECT_EQ(Icon(alert), L"task.ico");
    EXPECT_EQ(Tip(alert), L"You have overdue tasks!");
    wchar_t caption[64] = {};
    ::GetWindowTextW(alert.Hwnd(), caption, 64);
    EXPECT_STREQ(caption, L"Outlook Tasks");
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(alert.Hwnd(), IDC_CMDCLEAR)));
    ::GetWindowTextW(::GetDlgItem(alert.Hwnd(), IDC_CMDCLEARALL), caption, 64);
    EXPECT_STREQ(caption, L"Refresh");
    EXPECT_TRUE(HasLine(standin.Journal(), "Folder:Tasks.GetTable(\"[Complete] = False\") -> Table:Tasks"));
}

TEST_F(Alerts, ARescanAlertsAgainOnlyForANewTask)
{
    StartStandIn(kTasks);
    LoadWindow();
    std::int32_t timer = Inspector::CurrentTimerID(Tasks());
    unsigned alerts = Inspector::AlertsRaised(Tasks());
    EXPECT_TRUE(Inspector::ScanForOverdueTasks(*window));
    EXPECT_EQ(Inspector::Lines(Tasks()).size(), 2u);
    EXPECT_EQ(Inspector::CurrentTimerID(Tasks()), timer);  // the repeat runs on as it was
    EXPECT_EQ(Inspector::AlertsRaised(Tasks()), alerts);

    ASSERT_TRUE(standin::ReplyOk(standin.Command("add folder=Tasks subject=New entryid=T9 due=yesterday complete=0")));
    EXPECT_TRUE(Inspector::ScanForOverdueTasks(*window));
    auto lines = Inspector::Lines(Tasks());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(Subject(lines[2]), L"New");
    EXPECT_EQ(Inspector::AlertsRaised(Tasks()), alerts + 1);
    EXPECT_NE(Inspector::CurrentTimerID(Tasks()), timer);
    EXPECT_EQ(Inspector::BalloonText(Tasks()),
              L"-" + lines[0] + L"\r\n-" + lines[1] + L"\r\n-" + lines[2] + L"\r\n\r\nClick here for details");
}

TEST_F(Alerts, ATaskWhosePropertiesFailIsPassedOver)
{
    StartStandIn(kTasks);
    ASSERT_TRUE(standin::ReplyOk(standin.Command("fail Item:T2.DueDate")));
    LoadWindow();
    ASSERT_NE(Inspector::OverdueTasksWindow(*window), nullptr);
    auto lines = Inspector::Lines(Tasks());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Subject(lines[0]), L"Yesterday");
}

TEST_F(Alerts, WithoutRestrictTheScanReadsEveryTask)
{
    StartStandIn(kTasks);
    ASSERT_TRUE(standin::ReplyOk(standin.Command("fail Folder.GetTable")));
    ASSERT_TRUE(standin::ReplyOk(standin.Command("fail Items.Restrict")));
    LoadWindow();
    ASSERT_NE(Inspector::OverdueTasksWindow(*window), nullptr);
    EXPECT_EQ(Inspector::Lines(Tasks()).size(), 2u);
    EXPECT_TRUE(HasLine(standin.Journal(), "Item:T5.Complete() -> True"));
}

TEST_F(Alerts, FourOverdueTasksGiveThreeLinesAndMore)
{
    StartStandIn("item folder=Tasks subject=A entryid=T1 due=today-1d complete=0\n"
                 "item folder=Tasks subject=B entryid=T2 due=today-2d complete=0\n"
                 "item folder=Tasks subject=C entryid=T3 due=today-3d complete=0\n"
                 "item folder=Tasks subject=D entryid=T4 due=today-4d complete=0\n");
    LoadWindow();
    auto lines = Inspector::Lines(Tasks());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(Inspector::BalloonText(Tasks()), L"-" + lines[0] + L"\r\n-" + lines[1] + L"\r\n-" + lines[2] +
                                             L"\r\n(more)\r\nClick here for details");
}

TEST_F(Alerts, RefreshRebuildsOrEndsTheWindow)
{
    StartStandIn(kTasks);
    LoadWindow();
    Press(Tasks(), IDC_CMDCLEARALL);  // Refresh: both still overdue
    EXPECT_EQ(Inspector::Lines(Tasks()).size(), 2u);
    ASSERT_TRUE(standin::ReplyOk(standin.Command("set T2 complete=1")));
    ASSERT_TRUE(standin::ReplyOk(standin.Command("set T4 complete=1")));
    TrayIcon box = Inspector::TrayBox(Tasks());
    Press(Tasks(), IDC_CMDCLEARALL);
    EXPECT_EQ(Inspector::OverdueTasksWindow(*window), nullptr);
    EXPECT_FALSE(test::ShellHasIcon(box));
}

TEST_F(Alerts, TasksDoneMovedOrDeletedInOutlookDropOffAtTheNextScan)
{
    StartStandIn(std::string(kTasks) + "item folder=Tasks subject=Moved entryid=T6 due=today-2d complete=0\n"
                                       "item folder=Tasks subject=Deleted entryid=T7 due=today-3d complete=0\n");
    LoadWindow();
    ASSERT_EQ(Inspector::Lines(Tasks()).size(), 4u);
    std::int32_t timer = Inspector::CurrentTimerID(Tasks());
    unsigned alerts = Inspector::AlertsRaised(Tasks());
    ASSERT_TRUE(standin::ReplyOk(standin.Command("set T2 complete=1")));
    ASSERT_TRUE(standin::ReplyOk(standin.Command("set T6 due=today+3d")));
    ASSERT_TRUE(standin::ReplyOk(standin.Command("delete T7")));
    EXPECT_TRUE(Inspector::ScanForOverdueTasks(*window));  // as every reminder rescans
    auto lines = Inspector::Lines(Tasks());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Subject(lines[0]), L"Yesterday");
    EXPECT_EQ(Inspector::AlertsRaised(Tasks()), alerts);  // nothing new: no alert
    EXPECT_EQ(Inspector::CurrentTimerID(Tasks()), timer);
    Tick(Tasks());  // the repeat shows what is overdue now
    EXPECT_EQ(Inspector::AlertsRaised(Tasks()), alerts + 1);
    EXPECT_EQ(Inspector::BalloonText(Tasks()), L"-" + lines[0] + L"\r\n\r\nClick here for details");
}

TEST_F(Alerts, ARefreshThatFailsKeepsTheListItsIconAndItsRepeat)
{
    StartStandIn(kTasks);
    LoadWindow();
    frmReminders& alert = Tasks();
    const auto lines = Inspector::Lines(alert);
    const std::int32_t timer = Inspector::CurrentTimerID(alert);
    const unsigned alerts = Inspector::AlertsRaised(alert);
    ASSERT_TRUE(standin::ReplyOk(standin.Command("set T2 complete=1")));  // a scan that got through would drop it
    auto unchanged = [&] {
        EXPECT_TRUE(alert.Loaded());
        EXPECT_EQ(Inspector::Lines(alert), lines);
        EXPECT_EQ(Inspector::CurrentTimerID(alert), timer);
        EXPECT_EQ(Inspector::AlertsRaised(alert), alerts);
        EXPECT_EQ(Icon(alert), L"task.ico");
    };

    // Outlook fails while the rows are read.
    ASSERT_TRUE(standin::ReplyOk(standin.Command("fail Table.GetArray")));
    Press(alert, IDC_CMDCLEARALL);
    EXPECT_TRUE(HasLine(standin.Journal(), "Table:Tasks.GetArray(1) -> !0x80004005"));
    unchanged();
    ASSERT_TRUE(standin::ReplyOk(standin.Command("fail-clear")));

    // Outlook too busy to answer for longer than the program waits.
    struct BusyRetry {
        BusyRetry() { wl::SetBusyRetry(50, 300); }
        ~BusyRetry() { wl::SetBusyRetry(250, 30'000); }
    } shortWait;
    ASSERT_TRUE(standin::ReplyOk(standin.Command("busy 2000")));
    EXPECT_FALSE(Inspector::ScanForOverdueTasks(*window));
    unchanged();
}

TEST_F(Alerts, ShowOpensAListedTaskByItsEntryIdAndOneDeletedSinceQuietlyGoes)
{
    StartStandIn(kTasks);
    LoadWindow();
    frmReminders& alert = Tasks();
    Select(alert, 0);
    Press(alert, IDC_CMDDISPLAY);
    EXPECT_TRUE(standin::InOrder(standin.Journal(),
                                 {"NameSpace.GetItemFromID(\"T2\", " kStoreId ") -> Item:T2", "Item:T2.Display()"}));

    test::MessageBoxWatcher boxes;
    ASSERT_TRUE(standin::ReplyOk(standin.Command("delete T2")));
    Select(alert, 0);
    ::SendMessageW(alert.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_LSTREMINDERS, LBN_DBLCLK),
                   reinterpret_cast<LPARAM>(::GetDlgItem(alert.Hwnd(), IDC_LSTREMINDERS)));
    EXPECT_TRUE(HasLine(standin.Journal(), "NameSpace.GetItemFromID(\"T2\", " kStoreId ") -> !0x8004010F"));
    EXPECT_TRUE(boxes.Texts().empty());
    ASSERT_EQ(Inspector::Lines(alert).size(), 1u);
    EXPECT_EQ(Subject(Inspector::Lines(alert)[0]), L"Yesterday");

    // The last one gone: the window clears as on Refresh with nothing overdue.
    TrayIcon box = Inspector::TrayBox(alert);
    ASSERT_TRUE(standin::ReplyOk(standin.Command("delete T4")));
    Select(alert, 0);
    Press(alert, IDC_CMDDISPLAY);
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_EQ(Inspector::OverdueTasksWindow(*window), nullptr);
    EXPECT_FALSE(test::ShellHasIcon(box));
}

TEST_F(Alerts, AFolderLargerThanABatchIsReadInFewCalls)
{
    // 1,201 open tasks: three batches of rows, overdue ones at their edges.
    std::string tasks;
    for (int i = 0; i <= 1200; ++i) {
        bool late = i == 0 || i == 499 || i == 500 || i == 999 || i == 1000 || i == 1200;
        tasks += "item folder=Tasks subject=T" + std::to_string(i) + " entryid=T" + std::to_string(i) +
                 (late ? " due=yesterday" : " due=today+3d") + " complete=0\n";
    }
    WriteSettings("[settings]\r\nDontTrackOverdueTasks=-1\r\n");
    StartStandIn(tasks);
    LoadWindow();
    ASSERT_TRUE(standin::ReplyOk(standin.Command("stats-reset")));
    EXPECT_TRUE(Inspector::ScanForOverdueTasks(*window));
    std::string stats = standin.Command("stats");
    int calls = std::stoi(standin::ReplyValue(stats, "getidsofnames")) + std::stoi(standin::ReplyValue(stats, "invoke")) +
                std::stoi(standin::ReplyValue(stats, "next"));
    // One store's folder: some twenty calls and one per batch of rows; the
    // walk over the stores adds its own (Stores, its enumerator, the store's
    // name and id).
    constexpr int kStoresWalk = 10;
    EXPECT_LE(calls, 20 + 4 + kStoresWalk) << stats;

    std::vector<std::wstring> subjects;
    for (const std::wstring& line : Inspector::Lines(Tasks())) subjects.push_back(Subject(line));
    EXPECT_EQ(subjects, (std::vector<std::wstring>{L"T0", L"T499", L"T500", L"T999", L"T1000", L"T1200"}));
    auto journal = standin.Journal();
    EXPECT_EQ(CountLines(journal, "Table:Tasks.GetArray(1) -> Array(1x3)"), 1u);  // shows the array's order
    EXPECT_EQ(CountLines(journal, "Table:Tasks.GetArray(500) -> Array(500x3)"), 2u);
    EXPECT_EQ(CountLines(journal, "Table:Tasks.GetArray(200) -> Array(200x3)"), 1u);
}

TEST_F(Alerts, ATableArrayOfColumnsByRowsIsReadTheRightWayRound)
{
    // As many open tasks as columns read: a square array, [column, row] as Microsoft's reference has it.
    StartStandIn("option table-array=column-row\n"
                 "item folder=Tasks subject=Past entryid=T1 due=yesterday complete=0\n"
                 "item folder=Tasks subject=Later entryid=T2 due=tomorrow complete=0\n"
                 "item folder=Tasks subject=Today entryid=T3 due=today complete=0\n");
    LoadWindow();
    ASSERT_NE(Inspector::OverdueTasksWindow(*window), nullptr);
    std::vector<std::wstring> subjects;
    for (const std::wstring& line : Inspector::Lines(Tasks())) subjects.push_back(Subject(line));
    EXPECT_EQ(subjects, (std::vector<std::wstring>{L"Past", L"Today"}));
    auto journal = standin.Journal();
    EXPECT_TRUE(HasLine(journal, "Table:Tasks.GetArray(1) -> Array(3x1)"));
    EXPECT_TRUE(HasLine(journal, "Table:Tasks.GetArray(2) -> Array(3x2)"));
    Select(Tasks(), 1);
    Press(Tasks(), IDC_CMDDISPLAY);
    EXPECT_TRUE(HasLine(standin.Journal(), "NameSpace.GetItemFromID(\"T3\", " kStoreId ") -> Item:T3"));
}

TEST_F(Alerts, RowsGoneSinceTheyWereCountedEndTheScanWithWhatWasRead)
{
    // Outlook gives an array without elements for rows deleted after GetRowCount.
    StartStandIn("option table-rows-vanish=1\n"
                 "item folder=Tasks subject=First entryid=T1 due=yesterday complete=0\n"
                 "item folder=Tasks subject=Second entryid=T2 due=yesterday complete=0\n"
                 "item folder=Tasks subject=Third entryid=T3 due=yesterday complete=0\n");
    LoadWindow();
    ASSERT_NE(Inspector::OverdueTasksWindow(*window), nullptr);
    auto lines = Inspector::Lines(Tasks());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Subject(lines[0]), L"First");
    EXPECT_TRUE(HasLine(standin.Journal(), "-> Array(0x0)"));
}

TEST_F(Alerts, ATimerTickRescansTheTasks)
{
    StartStandIn(kTasks);
    LoadWindow();
    size_t scans = CountLines(standin.Journal(), "GetDefaultFolder(13)");
    ASSERT_TRUE(standin::ReplyOk(standin.Command("add folder=Tasks subject=New entryid=T9 due=yesterday complete=0")));
    Tick(Tasks());
    EXPECT_EQ(CountLines(standin.Journal(), "GetDefaultFolder(13)"), scans + 1);
    EXPECT_EQ(Inspector::Lines(Tasks()).size(), 3u);
    ASSERT_TRUE(standin::ReplyOk(standin.Command("set T2 complete=1")));
    ASSERT_TRUE(standin::ReplyOk(standin.Command("set T4 complete=1")));
    ASSERT_TRUE(standin::ReplyOk(standin.Command("set T9 complete=1")));
    Tick(Tasks());
    EXPECT_EQ(Inspector::OverdueTasksWindow(*window), nullptr);
}

TEST_F(Alerts, ABalloonClickOnTasksShowsTheTasksFolderAndHides)
{
    StartStandIn(kTasks);
    LoadWindow();
    ::SendMessageW(Tasks().Hwnd(), WM_COMMAND, IDM_ALERT_SHOW, 0);
    test::SendTrayMessage(Inspector::TrayBox(Tasks()), kBalloonClick);
    EXPECT_TRUE(HasLine(standin.Journal(), "Explorers.Add(Folder:Tasks, 0)"));
    EXPECT_FALSE(::IsWindowVisible(Tasks().Hwnd()));
}

TEST_F(Alerts, TrayMessagesWhileThePopupIsOpenAreDropped)
{
    StartStandIn(kTasks);
    LoadWindow();
    std::int32_t timer = Inspector::CurrentTimerID(Tasks());
    test::WindowInFront front;
    bool guard = false, inFront = false;
    test::RunLater(300ms, [&] {
        guard = Inspector::InTrayEvent(Tasks());
        inFront = ::GetForegroundWindow() == Tasks().Hwnd();
        test::SendTrayMessage(Inspector::TrayBox(Tasks()), WM_LBUTTONUP);  // dropped
        ::EndMenu();
    });
    test::SendTrayMessage(Inspector::TrayBox(Tasks()), WM_RBUTTONUP);
    EXPECT_TRUE(guard);
    EXPECT_TRUE(inFront);
    EXPECT_EQ(Inspector::CurrentTimerID(Tasks()), timer);
    EXPECT_FALSE(Inspector::InTrayEvent(Tasks()));
    EXPECT_EQ(::GetMenuDefaultItem(Inspector::TrayMenu(Tasks()), FALSE, 0), static_cast<UINT>(IDM_ALERT_SHOW));
}

TEST_F(Alerts, DisconnectingClosesBothWindows)
{
    StartStandIn(std::string(kTasks) + "item folder=Inbox subject=One entryid=M1 reminder=now\n");
    LoadWindow();
    FireReminder("M1");
    ASSERT_NE(Inspector::RemindersWindow(*window), nullptr);
    ASSERT_NE(Inspector::OverdueTasksWindow(*window), nullptr);
    TrayIcon boxes[] = {Inspector::TrayBox(Reminders()), Inspector::TrayBox(Tasks())};
    Inspector::mnuFile_Click(*window, frmMain::FileMenu::KeepOutlookLoaded);  // keep-loaded off
    EXPECT_EQ(Inspector::RemindersWindow(*window), nullptr);
    EXPECT_EQ(Inspector::OverdueTasksWindow(*window), nullptr);
    for (TrayIcon box : boxes) EXPECT_FALSE(test::ShellHasIcon(box));
}

// The table, and the walks for an Outlook without one, find the same tasks.
namespace {

enum class ScanPath { Table, Restrict, Neither };

struct ScanPaths : Alerts, testing::WithParamInterface<ScanPath> {};

std::string PathName(const testing::TestParamInfo<ScanPath>& info)
{
    switch (info.param) {
    case ScanPath::Table: return "Table";
    case ScanPath::Restrict: return "ItemsWithRestrict";
    case ScanPath::Neither: return "EveryItem";
    }
    return "?";
}

}  // namespace

TEST_P(ScanPaths, FindTheSameOverdueTasks)
{
    StartStandIn("item folder=Tasks subject=Past entryid=T1 due=today-3d complete=0\n"
                 "item folder=Tasks subject=Yesterday entryid=T2 due=yesterday complete=0\n"
                 "item folder=Tasks subject=Midnight entryid=T3 due=today complete=0\n"
                 "item folder=Tasks subject=NoDate entryid=T4 due=none complete=0\n"
                 "item folder=Tasks subject=Done entryid=T5 due=yesterday complete=1\n"
                 "item folder=Tasks subject=NoDueDate entryid=T6 due=yesterday complete=0\n"
                 "item folder=Tasks subject=Later entryid=T7 due=tomorrow complete=0\n"
                 "item folder=Tasks subject=NoSubject entryid=T8 due=yesterday complete=0\n");
    // T6's due date and T8's subject cannot be read: Outlook leaves their cells empty.
    ASSERT_TRUE(standin::ReplyOk(standin.Command("fail Item:T6.DueDate")));
    ASSERT_TRUE(standin::ReplyOk(standin.Command("fail Item:T8.Subject")));
    std::vector<std::string> missing;
    if (GetParam() != ScanPath::Table) missing.push_back("Folder.GetTable");
    if (GetParam() == ScanPath::Neither) missing.push_back("Items.Restrict");
    for (const std::string& member : missing) ASSERT_TRUE(standin::ReplyOk(standin.Command("fail " + member)));
    LoadWindow();

    ASSERT_NE(Inspector::OverdueTasksWindow(*window), nullptr);
    auto lines = Inspector::Lines(Tasks());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(Subject(lines[0]), L"Past");
    EXPECT_EQ(Subject(lines[1]), L"Yesterday");
    EXPECT_EQ(Subject(lines[2]), L"Midnight");
    EXPECT_EQ(lines[3], L"(this item can no longer be read)");

    auto journal = standin.Journal();
    EXPECT_EQ(HasLine(journal, "Table:Tasks.GetArray("), GetParam() == ScanPath::Table);
    EXPECT_EQ(HasLine(journal, "Items:Tasks.Restrict(\"[Complete] = False\") -> Items:Tasks"),
              GetParam() == ScanPath::Restrict);
    EXPECT_EQ(HasLine(journal, "Item:T5.Complete() -> True"), GetParam() == ScanPath::Neither);

    // Show finds a task of any path by its entry id.
    Select(Tasks(), 3);
    Press(Tasks(), IDC_CMDDISPLAY);
    EXPECT_TRUE(standin::InOrder(standin.Journal(),
                                 {"NameSpace.GetItemFromID(\"T8\", " kStoreId ") -> Item:T8", "Item:T8.Display()"}));
}

INSTANTIATE_TEST_SUITE_P(Alerts, ScanPaths, testing::Values(ScanPath::Table, ScanPath::Restrict, ScanPath::Neither),
                         PathName);
