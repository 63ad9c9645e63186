// Outlook going away and coming back, the shell restarting, and the session
// ending while something modal is open.
#include "MainWindowFixture.h"
#include "Inspector.h"

#include "core/Dispatch.h"
#include "core/basINI.h"
#include "resources/resource.h"

#include <shellapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

using namespace std::chrono_literals;
using standin::CountLines;
using standin::HasLine;
using standin::InOrder;

namespace {

const char kOverdueTask[] = "item folder=Tasks subject=Late entryid=T1 due=today-2d complete=0\n";

struct Resilience : test::MainWindowFixture {
    // Short pauses, so the tests see a whole reconnect cycle.
    void LoadWatchedWindow(UINT probeMs = 60'000)
    {
        LoadWindow();
        Inspector::SetConnectionWatch(*window, probeMs, 300, 2400);
    }
    size_t Connections() const { return CountLines(standin.Journal(), "CreateObject Outlook.Application"); }
};

}  // namespace

TEST_F(Resilience, OutlooksQuitEventDropsTheConnectionAndItComesBack)
{
    StartStandIn(kOverdueTask);
    LoadWatchedWindow();
    ASSERT_NE(Inspector::OverdueTasksWindow(*window), nullptr);
    TrayIcon taskBox = Inspector::TrayBox(*Inspector::OverdueTasksWindow(*window));

    ASSERT_TRUE(standin::ReplyOk(standin.Command("fire-quit")));
    ASSERT_TRUE(test::PumpUntil([&] { return !Inspector::OutlookLoaded(*window); }, 5s));
    EXPECT_EQ(TrayFile(), L"olicod.ico");
    EXPECT_EQ(Inspector::OverdueTasksWindow(*window), nullptr);
    EXPECT_FALSE(test::ShellHasIcon(taskBox));
    EXPECT_TRUE(Inspector::ReconnectPending(*window));
    ASSERT_TRUE(standin::ReplyOk(standin.Command("exit")));  // Outlook ends after its Quit

    ASSERT_TRUE(test::PumpUntil([&] { return Inspector::OutlookLoaded(*window); }, 10s));
    EXPECT_EQ(Connections(), 2u);
    EXPECT_EQ(TrayFile(), L"olico.ico");
    EXPECT_NE(Inspector::OverdueTasksWindow(*window), nullptr);  // rescanned after connecting
}

TEST_F(Resilience, AfterTheUserQuitsOutlookTheReconnectWaitsForTheOldProcessToEnd)
{
    StartStandIn("option quit-delay=10000\n");  // Outlook closing a large data file
    LoadWatchedWindow();
    standin.ClearJournal();
    {
        // The user quits Outlook: Quit comes from elsewhere, not from the program.
        wl::Dispatch user = wl::Dispatch::Create(L"Outlook.Application");
        (void)user.Call(L"Quit");
    }
    ASSERT_TRUE(test::PumpUntil([&] { return !Inspector::OutlookLoaded(*window); }, 5s));
    EXPECT_TRUE(Inspector::ReconnectPending(*window));
    ASSERT_TRUE(test::PumpUntil([&] { return Inspector::OutlookLoaded(*window); }, 30s));
    auto journal = standin.Journal();
    EXPECT_TRUE(InOrder(journal, {"Application.Quit()", "Server quitting", "Server exit (quit)",
                                  "CreateObject Outlook.Application"}));
    EXPECT_FALSE(HasLine(journal, "(quitting)"));  // never the dying one
    EXPECT_EQ(Connections(), 2u);  // the user's own, then the program's one reconnect
    EXPECT_TRUE(Inspector::OutlookEventsConnected(*window));
    EXPECT_EQ(TrayFile(), L"olico.ico");
}

TEST_F(Resilience, WithKeepLoadedOffAQuitIsNotFollowedByAReconnect)
{
    WriteSettings("[settings]\r\nDontKeepOlLoaded=-1\r\n");
    StartStandIn();
    LoadWatchedWindow();
    Inspector::mnuFile_Click(*window, frmMain::FileMenu::KeepOutlookLoaded);  // on
    Inspector::mnuFile_Click(*window, frmMain::FileMenu::KeepOutlookLoaded);  // off again; nothing to reconnect
    Inspector::LoadOutlook(*window);     // as DisplayOutlook connects for a moment
    ASSERT_TRUE(standin::ReplyOk(standin.Command("fire-quit")));
    test::Pump(1500ms);
    EXPECT_FALSE(Inspector::OutlookLoaded(*window));
    EXPECT_FALSE(Inspector::ReconnectPending(*window));
}

TEST_F(Resilience, AKilledOutlookIsNoticedByTheWatchAndStartedAgain)
{
    StartStandIn();
    LoadWatchedWindow(200);
    ASSERT_TRUE(standin::ReplyOk(standin.Command("kill")));
    ASSERT_TRUE(test::PumpUntil([&] { return !Inspector::OutlookLoaded(*window); }, 5s));
    EXPECT_EQ(TrayFile(), L"olicod.ico");
    // COM starts a new Outlook for the reconnect.
    ASSERT_TRUE(test::PumpUntil([&] { return Inspector::OutlookLoaded(*window); }, 15s));
    EXPECT_EQ(TrayFile(), L"olico.ico");
    EXPECT_TRUE(Inspector::OutlookEventsConnected(*window));
}

TEST_F(Resilience, IdleTheProgramAsksOutlookNothingAndAKilledOutlookIsNoticedAtOnce)
{
    StartStandIn();
    LoadWatchedWindow(200);  // a probe, were there one, would ask five times a second
    ASSERT_TRUE(Inspector::WatchingServerProcess(*window));
    EXPECT_FALSE(Inspector::Probing(*window));
    ASSERT_TRUE(standin::ReplyOk(standin.Command("stats-reset")));
    test::Pump(1500ms);
    std::string stats = standin.Command("stats");
    EXPECT_EQ(standin::ReplyValue(stats, "invoke"), "0") << stats;
    EXPECT_EQ(standin::ReplyValue(stats, "getidsofnames"), "0") << stats;

    ASSERT_TRUE(standin::ReplyOk(standin.Command("kill")));
    auto killed = std::chrono::steady_clock::now();
    ASSERT_TRUE(test::PumpUntil([&] { return !Inspector::OutlookLoaded(*window); }, 5s));
    EXPECT_LT(std::chrono::steady_clock::now() - killed, 2s);
    EXPECT_EQ(TrayFile(), L"olicod.ico");
    EXPECT_TRUE(Inspector::ReconnectPending(*window));
}

TEST_F(Resilience, AFailingCallAboutAKilledOutlookDropsTheConnection)
{
    StartStandIn();
    LoadWatchedWindow();
    ASSERT_TRUE(standin::ReplyOk(standin.Command("kill")));
    EXPECT_FALSE(Inspector::ScanForOverdueTasks(*window));
    ASSERT_TRUE(test::PumpUntil([&] { return !Inspector::OutlookLoaded(*window); }, 5s));
    ASSERT_TRUE(test::PumpUntil([&] { return Inspector::OutlookLoaded(*window); }, 15s));
}

TEST_F(Resilience, ShowOutlookOnADeadConnectionReconnectsOnceInsteadOfFailing)
{
    StartStandIn();
    LoadWatchedWindow();
    ASSERT_TRUE(standin::ReplyOk(standin.Command("kill")));
    ASSERT_TRUE(standin.WaitForExit(5000));
    test::MessageBoxWatcher boxes;
    Inspector::mnuFile_Click(*window, frmMain::FileMenu::ShowOutlook);
    EXPECT_TRUE(boxes.Texts().empty()) << test::Narrow(boxes.Texts().empty() ? L"" : boxes.Texts()[0]);
    EXPECT_TRUE(Inspector::OutlookLoaded(*window));
    EXPECT_TRUE(HasLine(standin.Journal(), "Explorer:1.Display()"));
}

TEST_F(Resilience, OutlookRefusingToStartIsRetriedWithGrowingPauses)
{
    std::optional<RefuseOutlook> refuse(std::in_place);
    test::MessageBoxWatcher boxes;
    LoadWindow();
    Inspector::SetConnectionWatch(*window, 60'000, 300, 2400);
    ASSERT_EQ(boxes.Texts().size(), 1u);  // said once, at start-up
    EXPECT_FALSE(Inspector::OutlookLoaded(*window));
    // Failed attempts double the pause: 300 (already scheduled), 600, 1200...
    ASSERT_TRUE(test::PumpUntil([&] { return Inspector::ReconnectPauseMs(*window) >= 1200; }, 10s));
    EXPECT_TRUE(Inspector::ReconnectPending(*window));
    EXPECT_EQ(boxes.Texts().size(), 1u);  // retries are silent
    refuse.reset();
    ASSERT_TRUE(test::PumpUntil([&] { return Inspector::OutlookLoaded(*window); }, 15s));
    EXPECT_EQ(Inspector::ReconnectPauseMs(*window), 300u);
    EXPECT_EQ(TrayFile(), L"olico.ico");
}

TEST_F(Resilience, CleanUpsOwnQuitDoesNotTriggerAReconnect)
{
    StartStandIn();
    LoadWatchedWindow();
    standin.ClearJournal();
    Inspector::mnuFile_Click(*window, frmMain::FileMenu::CleanUp);
    test::Pump(1500ms);
    EXPECT_EQ(CountLines(standin.Journal(), "CreateObject Outlook.Application"), 1u);
    EXPECT_TRUE(Inspector::OutlookLoaded(*window));
    EXPECT_FALSE(Inspector::ReconnectPending(*window));
}

TEST_F(Resilience, TaskbarCreatedBringsBackEveryIconAsItWas)
{
    StartStandIn(std::string(kOverdueTask) + "item folder=Inbox subject=Budget entryid=M1 reminder=now\n");
    LoadWatchedWindow();
    ASSERT_TRUE(standin::ReplyOk(standin.Command("fire-reminder M1")));
    ASSERT_TRUE(test::PumpUntil([&] { return Inspector::RemindersWindow(*window) != nullptr; }));
    TrayIcon boxes[] = {Inspector::TrayBox(*window), Inspector::TrayBox(*Inspector::RemindersWindow(*window)), Inspector::TrayBox(*Inspector::OverdueTasksWindow(*window))};
    // The shell forgets them, as a restarted Explorer does.
    for (TrayIcon box : boxes) ASSERT_TRUE(test::ShellNotify(NIM_DELETE, box));
    ::SendMessageW(window->Hwnd(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    for (TrayIcon box : boxes) EXPECT_TRUE(test::ShellHasIcon(box));
    EXPECT_EQ(TrayFile(), L"olico.ico");
    std::wstring file, tip;
    ASSERT_TRUE(Inspector::TrayIconShown(boxes[1], &file, &tip));
    EXPECT_EQ(tip, L"You have reminders!");
}

TEST_F(Resilience, SessionEndWhileTheOptionsDialogIsOpenStillSaves)
{
    StartStandIn();
    LoadWatchedWindow();
    TrayIcon box = Inspector::TrayBox(*window);
    bool agreed = false;
    test::RunLater(300ms, [&] { agreed = test::EndSession(::GetCurrentProcessId()); });
    Inspector::mnuFile_Click(*window, frmMain::FileMenu::Options);
    EXPECT_TRUE(agreed);
    EXPECT_FALSE(window->Loaded());
    EXPECT_FALSE(test::ShellHasIcon(box));
    EXPECT_NE(test::ReadTextFile(folder.SettingsFile()).find("DontTrackOverdueTasks=0"), std::string::npos);
}

TEST_F(Resilience, SessionEndWhileTheAboutBoxOrThePopupIsOpenStillSaves)
{
    StartStandIn(kOverdueTask);
    LoadWatchedWindow();
    TrayIcon boxes[] = {Inspector::TrayBox(*window), Inspector::TrayBox(*Inspector::OverdueTasksWindow(*window))};
    bool agreed = false;
    auto endSession = [&] { agreed = test::EndSession(::GetCurrentProcessId()); };
    test::RunLater(300ms, endSession);
    test::RunLater(2000ms, [] {
        if (test::OpenPopupMenu()) ::EndMenu();
    });
    test::SendTrayMessage(Inspector::TrayBox(*window), WM_RBUTTONUP);  // the popup, open when the session ends
    EXPECT_TRUE(agreed);
    EXPECT_FALSE(window->Loaded());
    for (TrayIcon box : boxes) EXPECT_FALSE(test::ShellHasIcon(box));
    EXPECT_NE(test::ReadTextFile(folder.SettingsFile()).find("DontKeepOlLoaded=0"), std::string::npos);
    test::Pump(2500ms);  // the late timer finds nothing to do

    // The About box
    ::DeleteFileW(folder.SettingsFile().c_str());
    LoadWatchedWindow();
    agreed = false;
    bool boxOpen = false;
    test::RunLater(300ms, [&] {
        HWND about = nullptr;
        ::EnumThreadWindows(
            ::GetCurrentThreadId(),
            [](HWND hwnd, LPARAM found) -> BOOL {
                if (::GetDlgItem(hwnd, 0xFFFF)) *reinterpret_cast<HWND*>(found) = hwnd;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&about));
        boxOpen = about != nullptr;
        endSession();
        if (about) ::PostMessageW(about, WM_COMMAND, IDOK, 0);
    });
    Inspector::mnuFile_Click(*window, frmMain::FileMenu::About);
    EXPECT_TRUE(boxOpen);
    EXPECT_TRUE(agreed);
    EXPECT_FALSE(window->Loaded());
    EXPECT_TRUE(test::FileExists(folder.SettingsFile()));
}

TEST_F(Resilience, SessionEndDuringACallIntoOutlookWaitsForTheCall)
{
    WriteSettings("[settings]\r\nDontTrackOverdueTasks=-1\r\n");
    StartStandIn(kOverdueTask);
    LoadWatchedWindow();
    ASSERT_TRUE(Inspector::ScanForOverdueTasks(*window));  // listed; the next scan compares with it
    TrayIcon box = Inspector::TrayBox(*window), taskBox = Inspector::TrayBox(*Inspector::OverdueTasksWindow(*window));

    // Outlook is busy: the next scan's first call is rejected and waits to be
    // made again. Windows ends the session from another thread during that
    // wait, and Outlook stays busy until both messages have been answered:
    // they land inside the call, whatever the machine's speed.
    ASSERT_TRUE(standin::ReplyOk(standin.Command("stats-reset")));
    ASSERT_TRUE(standin::ReplyOk(standin.Command("busy 60000")));
    std::atomic<bool> agreed{false}, stillBusy{false};
    std::thread logoff([&] {
        auto rejected = [] {
            auto stats = standin::SendCommand("stats");
            return stats && standin::ReplyValue(*stats, "rejected") != "0";
        };
        for (int i = 0; i < 1000 && !rejected(); ++i) std::this_thread::sleep_for(10ms);
        agreed = test::EndSession(::GetCurrentProcessId());
        auto state = standin::SendCommand("state");
        stillBusy = state && standin::ReplyValue(*state, "busy") != "0";
        (void)standin::SendCommand("busy 0");
    });
    Inspector::ScanForOverdueTasks(*window);
    logoff.join();
    ASSERT_TRUE(agreed);
    EXPECT_TRUE(stillBusy) << "the session ended after the call, not during it";
    // Settled: saved, icons gone, and the window unloaded once the scan was done.
    EXPECT_NE(test::ReadTextFile(folder.SettingsFile()).find("DontTrackOverdueTasks=-1"), std::string::npos);
    EXPECT_FALSE(test::ShellHasIcon(box));
    EXPECT_FALSE(test::ShellHasIcon(taskBox));
    EXPECT_TRUE(test::PumpUntil([&] { return !window->Loaded(); }, 5s));
    EXPECT_EQ(Inspector::OverdueTasksWindow(*window), nullptr);
}

TEST_F(Resilience, AnErrorBoxHoldsNothingBackWhileItWaitsForTheUser)
{
    // A start folder Outlook rejects: DisplayOutlook tells the user once its
    // work with Outlook is done, so a reminder that arrives while the box is
    // up is handled at once, not after the user has read the box.
    WriteSettings("[settings]\r\nStartOutlookIn=1\r\nDontTrackOverdueTasks=-1\r\n");
    StartStandIn("item folder=Inbox subject=Budget entryid=M1 reminder=now\n");
    LoadWatchedWindow();
    bool boxUp = false, windowWhileUp = false, delivered = false;
    test::RunLater(300ms, [&] {
        HWND box = test::FindMessageBox();
        boxUp = box != nullptr;
        delivered = standin::ReplyStatus(standin.Command("fire-reminder M1")) == "ok 1";
        windowWhileUp = test::PumpUntil([&] { return Inspector::RemindersWindow(*window) != nullptr; }, 5s);
        if (box) ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    Inspector::DisplayOutlook(*window, StartFolder::Configured);
    ASSERT_TRUE(boxUp);
    ASSERT_TRUE(delivered);
    EXPECT_TRUE(windowWhileUp);
}

// A busy Outlook rejects calls (while it starts, shows a dialog of its own, or
// works): the stand-in's message filter does the same for as long as it is told.
namespace {

struct BusyOutlook : Resilience {
    ~BusyOutlook() override { wl::SetBusyRetry(250, 30'000); }
};

}  // namespace

TEST_F(BusyOutlook, ConnectingWaitsUntilOutlookIsFree)
{
    StartStandIn("option busy=5000\n");
    test::MessageBoxWatcher boxes;
    auto started = std::chrono::steady_clock::now();
    LoadWatchedWindow();
    EXPECT_TRUE(Inspector::OutlookLoaded(*window));
    EXPECT_GE(std::chrono::steady_clock::now() - started, 4s);
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_TRUE(Inspector::OutlookEventsConnected(*window));
    EXPECT_GT(std::stoi(standin::ReplyValue(standin.Command("stats"), "rejected")), 0);
    EXPECT_EQ(TrayFile(), L"olico.ico");
}

TEST_F(BusyOutlook, ShowOutlookAndTheScanGoOnOnceOutlookIsFree)
{
    StartStandIn(kOverdueTask);
    LoadWatchedWindow();
    Inspector::UnloadOverdueTasksWindow(*window);
    test::MessageBoxWatcher boxes;

    ASSERT_TRUE(standin::ReplyOk(standin.Command("busy 2000")));
    Inspector::mnuFile_Click(*window, frmMain::FileMenu::ShowOutlook);
    EXPECT_TRUE(HasLine(standin.Journal(), "Explorer:1.Display()"));

    ASSERT_TRUE(standin::ReplyOk(standin.Command("busy 2000")));
    EXPECT_TRUE(Inspector::ScanForOverdueTasks(*window));
    ASSERT_NE(Inspector::OverdueTasksWindow(*window), nullptr);
    EXPECT_EQ(Inspector::Lines(*Inspector::OverdueTasksWindow(*window)).size(), 1u);
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(BusyOutlook, BusyBeyondTheLimitFailsAsBeforeAndIsRetried)
{
    wl::SetBusyRetry(100, 1000);
    StartStandIn("option busy=4000\n");
    test::MessageBoxWatcher boxes;
    LoadWatchedWindow();
    EXPECT_FALSE(Inspector::OutlookLoaded(*window));
    EXPECT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(TrayFile(), L"olicod.ico");
    EXPECT_TRUE(Inspector::ReconnectPending(*window));
    ASSERT_TRUE(test::PumpUntil([&] { return Inspector::OutlookLoaded(*window); }, 15s));
    EXPECT_EQ(boxes.Texts().size(), 1u);
}

TEST_F(BusyOutlook, ABusyOutlookCostsEachPieceOfWorkOneWaitNotOnePerCall)
{
    // Four reminders listed, then Outlook stays busy: each piece of work (a
    // new reminder, a Clear, a click on the icon) waits out the limit once
    // and then fails at once for the rest of its calls, instead of waiting
    // the limit again for every line it reads.
    WriteSettings("[settings]\r\nDontTrackOverdueTasks=-1\r\n");
    std::string items;
    for (int i = 1; i <= 5; ++i)
        items += "item folder=Inbox subject=Item" + std::to_string(i) + " entryid=M" + std::to_string(i) + " reminder=now\n";
    StartStandIn(items);
    LoadWatchedWindow();
    for (int i = 1; i <= 4; ++i)
        ASSERT_TRUE(standin::ReplyOk(standin.Command("fire-reminder M" + std::to_string(i))));
    ASSERT_TRUE(test::PumpUntil([&] {
        return Inspector::RemindersWindow(*window) && Inspector::Lines(*Inspector::RemindersWindow(*window)).size() == 4;
    }));
    const auto listed = Inspector::Lines(*Inspector::RemindersWindow(*window));
    test::MessageBoxWatcher boxes;

    wl::SetBusyRetry(100, 1000);
    ASSERT_TRUE(standin::ReplyOk(standin.Command("busy 120000")));
    auto timed = [&](const std::function<void()>& work) {
        auto started = std::chrono::steady_clock::now();
        work();
        return std::chrono::steady_clock::now() - started;
    };
    frmReminders& alert = *Inspector::RemindersWindow(*window);
    // A fifth reminder: the four lines stay as they were read, the new one
    // says it cannot be read.
    EXPECT_LT(timed([&] {
                  ASSERT_TRUE(standin::ReplyOk(standin.Command("fire-reminder M5")));
                  ASSERT_TRUE(test::PumpUntil([&] { return Inspector::ItemCount(alert) == 5; }, 10s));
                  test::Pump(100ms);
              }),
              4s);
    auto lines = Inspector::Lines(alert);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(std::vector<std::wstring>(lines.begin(), lines.begin() + 4), listed);
    EXPECT_TRUE(boxes.Texts().empty());  // background work tells nobody

    ::SendMessageW(alert.Control(IDC_LSTREMINDERS), LB_SETCURSEL, 0, 0);
    EXPECT_LT(timed([&] { ::SendMessageW(alert.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_CMDCLEAR, BN_CLICKED), 0); }), 4s);
    EXPECT_EQ(Inspector::Lines(alert).size(), 4u);

    // The user's own request is told once.
    EXPECT_LT(timed([&] { test::SendTrayMessage(Inspector::TrayBox(*window), WM_LBUTTONUP); }), 4s);
    EXPECT_TRUE(test::PumpUntil([&] { return boxes.Texts().size() == 1; }, 5s));
    test::Pump(300ms);
    EXPECT_EQ(boxes.Texts().size(), 1u);
}

TEST_F(BusyOutlook, WhileACallWaitsForABusyOutlookAClickStartsNothingInsideIt)
{
    // The About box counts Outlook's windows with no work of its own around
    // the call: the wait itself must hold clicks back.
    StartStandIn();
    LoadWatchedWindow();
    standin.ClearJournal();
    ASSERT_TRUE(standin::ReplyOk(standin.Command("busy 1500")));
    test::RunLater(300ms, [&] { test::SendTrayMessage(Inspector::TrayBox(*window), WM_LBUTTONUP); });
    (void)Inspector::AboutText(*window);
    test::Pump(500ms);
    EXPECT_FALSE(HasLine(standin.Journal(), "ActiveExplorer"));
}
