// The main window against the Outlook stand-in: start-up, the connection,
// showing Outlook and the exit, observed through the stand-in's journal, the
// tray and the settings file.
#include "MainWindowFixture.h"
#include "Inspector.h"

#include "core/basINI.h"

#include <gtest/gtest.h>

#include <optional>

using standin::CountLines;
using standin::HasLine;
using standin::InOrder;
using namespace std::chrono_literals;

namespace {

struct StartUp : test::MainWindowFixture {};
struct Connection : test::MainWindowFixture {};
struct ShowOutlook : test::MainWindowFixture {
    void Show(StartFolder folder) { Inspector::DisplayOutlook(*window, folder); }
};

}  // namespace

TEST_F(StartUp, ConnectsAndShowsTheConnectedIcon)
{
    StartStandIn();
    LoadWindow();
    auto journal = standin.Journal();
    EXPECT_TRUE(InOrder(journal, {"CreateObject Outlook.Application", "Advise ApplicationEvents",
                                  "Application.GetNamespace(\"MAPI\") -> NameSpace",
                                  "NameSpace.GetDefaultFolder(6) -> Folder:Inbox"}));
    EXPECT_FALSE(HasLine(journal, "Explorers.Add"));
    EXPECT_TRUE(Inspector::OutlookLoaded(*window));
    EXPECT_TRUE(Inspector::OutlookEventsConnected(*window));
    EXPECT_EQ(TrayFile(), L"olico.ico");
    EXPECT_EQ(TrayTip(), L"No more meetings today");  // connected, the tip tells of the calendar
    EXPECT_FALSE(::IsWindowVisible(window->Hwnd()));
}

TEST_F(StartUp, KeepLoadedOffMakesNoConnection)
{
    WriteSettings("[settings]\r\nDontKeepOlLoaded=-1\r\nLoadDelay=60000\r\n");
    StartStandIn();
    auto started = std::chrono::steady_clock::now();
    LoadWindow();
    // Without a connection there is no delay either.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_FALSE(HasLine(standin.Journal(), "CreateObject"));
    EXPECT_FALSE(Inspector::OutlookLoaded(*window));
    EXPECT_EQ(TrayFile(), L"olicod.ico");
}

TEST_F(StartUp, DisplayAtStartWithKeepLoadedOffShowsThenDisconnects)
{
    WriteSettings("[settings]\r\nDontKeepOlLoaded=-1\r\nDisplayOutlookAtStart=1\r\nStartOutlookIn=13\r\n"
                  "LoadDelay=300\r\n");
    StartStandIn();
    auto started = std::chrono::steady_clock::now();
    LoadWindow();
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(300));
    auto journal = standin.Journal();
    EXPECT_TRUE(InOrder(journal, {"NameSpace.GetDefaultFolder(13) -> Folder:Tasks", "Explorers.Add(Folder:Tasks, 0)",
                                  "Explorer:1.Display()", "Unadvise"}));
    EXPECT_FALSE(Inspector::OutlookLoaded(*window));
    EXPECT_FALSE(Inspector::OutlookEventsConnected(*window));
    EXPECT_EQ(TrayFile(), L"olicod.ico");
}

TEST_F(StartUp, DisplayAtStartWithKeepLoadedOnStaysConnected)
{
    WriteSettings("[settings]\r\nDisplayOutlookAtStart=-1\r\nStartOutlookIn=9\r\n");
    StartStandIn();
    LoadWindow();
    EXPECT_TRUE(HasLine(standin.Journal(), "Explorers.Add(Folder:Calendar, 0)"));
    EXPECT_TRUE(Inspector::OutlookLoaded(*window));
    EXPECT_EQ(TrayFile(), L"olico.ico");
}

TEST_F(StartUp, OutlookThatCannotStartGivesAMessageAndADisconnectedIcon)
{
    RefuseOutlook refuse;
    test::MessageBoxWatcher boxes;
    LoadWindow();
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_NE(boxes.Texts()[0].find(L"could not connect to Outlook"), std::wstring::npos)
        << test::Narrow(boxes.Texts()[0]);
    EXPECT_NE(boxes.Texts()[0].find(L"administrator"), std::wstring::npos);  // the usual cause on Windows
    EXPECT_FALSE(Inspector::OutlookLoaded(*window));
    EXPECT_EQ(TrayFile(), L"olicod.ico");
    EXPECT_TRUE(test::ShellHasIcon(Inspector::TrayBox(*window)));
}

TEST_F(StartUp, WithoutClassicOutlookItSaysSoOnceAndWaitsForTheUser)
{
    std::optional<OutlookNotInstalled> notInstalled(std::in_place);
    test::MessageBoxWatcher boxes;
    LoadWindow();
    Inspector::SetConnectionWatch(*window, 200, 200, 400);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_NE(boxes.Texts()[0].find(L"classic Outlook"), std::wstring::npos) << test::Narrow(boxes.Texts()[0]);
    EXPECT_EQ(TrayFile(), L"olicod.ico");
    EXPECT_EQ(TrayTip(), L"Outlook: classic Outlook is not installed");
    test::Pump(1s);
    EXPECT_FALSE(Inspector::ReconnectPending(*window));  // nothing tries by itself
    EXPECT_FALSE(Inspector::Probing(*window));
    EXPECT_EQ(boxes.Texts().size(), 1u);

    notInstalled.reset();
    StartStandIn();
    Inspector::mnuFile_Click(*window, frmMain::FileMenu::ShowOutlook);  // the user's own request tries again
    EXPECT_TRUE(Inspector::OutlookLoaded(*window));
    EXPECT_EQ(TrayTip(), L"No more meetings today");
}

TEST_F(StartUp, CloseBoxOnlyHides)
{
    StartStandIn();
    LoadWindow();
    ::ShowWindow(window->Hwnd(), SW_SHOW);
    ::SendMessageW(window->Hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    test::Pump(std::chrono::milliseconds(50));
    EXPECT_TRUE(window->Loaded());
    EXPECT_FALSE(::IsWindowVisible(window->Hwnd()));
    EXPECT_TRUE(Inspector::OutlookLoaded(*window));
    EXPECT_FALSE(test::FileExists(folder.SettingsFile()));  // nothing saved
}

TEST_F(StartUp, ExitWritesTheFiveKeysInOrderThenRemovesTheIconAndReleases)
{
    WriteSettings("[settings]\r\nLoadDelay=0\r\n");
    StartStandIn();
    LoadWindow();
    g_blnKeepWordLoaded = true;
    g_intStartOutlookIn = 12;
    g_blnTrackReminders = false;
    TrayIcon box = Inspector::TrayBox(*window);
    ASSERT_TRUE(window->Unload(UnloadMode::FormCode));
    EXPECT_FALSE(test::ShellHasIcon(box));

    std::string file = test::ReadTextFile(folder.SettingsFile());
    auto at = [&](const char* key) { return file.find(key); };
    EXPECT_NE(at("DontKeepOlLoaded=0"), std::string::npos) << file;
    EXPECT_LT(at("DontKeepOlLoaded=0"), at("KeepWordLoaded=-1")) << file;
    EXPECT_LT(at("KeepWordLoaded=-1"), at("StartOutlookIn=12")) << file;
    EXPECT_LT(at("StartOutlookIn=12"), at("DontTrackReminders=-1")) << file;
    EXPECT_LT(at("DontTrackReminders=-1"), at("DontTrackOverdueTasks=0")) << file;
    EXPECT_NE(at("LoadDelay=0"), std::string::npos);  // other keys are left as they were

    auto journal = standin.Journal();
    EXPECT_TRUE(InOrder(journal, {"CreateObject Outlook.Application", "Unadvise", "Release Application"}));
    EXPECT_FALSE(HasLine(journal, "Application.Quit"));  // Outlook is released, not quit
}

TEST_F(StartUp, SessionEndRunsTheSameCleanUp)
{
    StartStandIn();
    LoadWindow();
    TrayIcon box = Inspector::TrayBox(*window);
    EXPECT_TRUE(test::EndSession(::GetCurrentProcessId()));
    EXPECT_FALSE(window->Loaded());
    EXPECT_FALSE(test::ShellHasIcon(box));
    EXPECT_NE(test::ReadTextFile(folder.SettingsFile()).find("DontTrackOverdueTasks=0"), std::string::npos);
    EXPECT_TRUE(HasLine(standin.Journal(), "Release Application"));
}

TEST_F(StartUp, ASessionThatGoesOnChangesNothing)
{
    StartStandIn();
    LoadWindow();
    EXPECT_TRUE(test::EndSession(::GetCurrentProcessId(), ENDSESSION_LOGOFF, false));  // called off
    EXPECT_TRUE(window->Loaded());
    EXPECT_TRUE(Inspector::OutlookLoaded(*window));
    EXPECT_FALSE(test::FileExists(folder.SettingsFile()));
}

TEST_F(Connection, LoadWhileConnectedReplacesTheReferences)
{
    StartStandIn();
    LoadWindow();
    standin.ClearJournal();
    Inspector::LoadOutlook(*window);
    auto journal = standin.Journal();
    EXPECT_EQ(CountLines(journal, "CreateObject Outlook.Application"), 1u);
    // The old object's events go with it; the new one's are connected.
    EXPECT_TRUE(InOrder(journal, {"CreateObject Outlook.Application", "Unadvise", "Advise"}));
    EXPECT_TRUE(Inspector::OutlookLoaded(*window));
    EXPECT_TRUE(Inspector::OutlookEventsConnected(*window));
    EXPECT_EQ(TrayFile(), L"olico.ico");
}

TEST_F(Connection, UnloadWhileDisconnectedOnlySetsTheIcon)
{
    WriteSettings("[settings]\r\nDontKeepOlLoaded=-1\r\n");
    StartStandIn();
    LoadWindow();
    Inspector::UnloadOutlook(*window);
    EXPECT_TRUE(standin.Journal().empty() || !HasLine(standin.Journal(), "Application"));
    EXPECT_EQ(TrayFile(), L"olicod.ico");
}

TEST_F(Connection, WordSwitchedOffIsQuitBeforeOutlookIsReached)
{
    WriteSettings("[settings]\r\nKeepWordLoaded=-1\r\n");
    StartStandIn();
    LoadWindow();
    ASSERT_TRUE(Inspector::WordLoaded(*window));
    g_blnKeepWordLoaded = false;
    standin.ClearJournal();
    Inspector::LoadOutlook(*window);
    EXPECT_TRUE(InOrder(standin.Journal(), {"Word.Quit() -> Empty", "CreateObject Outlook.Application"}));
    EXPECT_FALSE(Inspector::WordLoaded(*window));
}

TEST_F(Connection, ExitQuitsAKeptWordButNotOutlook)
{
    WriteSettings("[settings]\r\nKeepWordLoaded=-1\r\n");
    StartStandIn();
    LoadWindow();
    EXPECT_TRUE(InOrder(standin.Journal(), {"CreateObject Word.Application", "CreateObject Outlook.Application"}));
    ASSERT_TRUE(window->Unload(UnloadMode::FormCode));
    auto journal = standin.Journal();
    EXPECT_TRUE(InOrder(journal, {"Word.Quit() -> Empty", "Release Application"}));
    EXPECT_FALSE(HasLine(journal, "Application.Quit"));
}

TEST_F(Connection, AWordThatIsGoneDoesNotStopTheConnection)
{
    WriteSettings("[settings]\r\nKeepWordLoaded=-1\r\n");
    StartStandIn();
    LoadWindow();
    ASSERT_TRUE(standin::ReplyOk(standin.Command("fail Word.Quit 0x80010108")));
    g_blnKeepWordLoaded = false;
    EXPECT_NO_THROW(Inspector::LoadOutlook(*window));
    EXPECT_FALSE(Inspector::WordLoaded(*window));
    EXPECT_TRUE(Inspector::OutlookLoaded(*window));
}

TEST_F(ShowOutlook, NoWindowAndFrontWindowSelectorOpensTheStartFolder)
{
    WriteSettings("[settings]\r\nStartOutlookIn=13\r\n");
    StartStandIn();
    LoadWindow();
    Show(StartFolder::FrontWindow);
    EXPECT_TRUE(InOrder(standin.Journal(), {"Application.ActiveExplorer() -> Nothing",
                                            "NameSpace.GetDefaultFolder(13) -> Folder:Tasks",
                                            "Explorers.Add(Folder:Tasks, 0) -> Explorer:1", "Explorer:1.Display()"}));
}

TEST_F(ShowOutlook, AnOpenWindowComesForwardOnItsFolderOrSwitches)
{
    StartStandIn();
    LoadWindow();
    Show(StartFolder::Inbox);
    standin.ClearJournal();
    Show(StartFolder::FrontWindow);
    auto journal = standin.Journal();
    EXPECT_TRUE(HasLine(journal, "Explorer:1.Activate()"));
    EXPECT_FALSE(HasLine(journal, "CurrentFolder"));
    EXPECT_FALSE(HasLine(journal, "Explorers.Add"));

    standin.ClearJournal();
    Show(StartFolder::Calendar);
    EXPECT_TRUE(InOrder(standin.Journal(), {"Explorer:1.Activate()", "Explorer:1.CurrentFolder = Folder:Calendar"}));
}

TEST_F(ShowOutlook, OutlookTodayIsTheInboxParentOpenedOrSwitched)
{
    StartStandIn("store \"Mailbox - Test User\"\n");
    LoadWindow();
    Show(StartFolder::OutlookToday);
    EXPECT_TRUE(InOrder(standin.Journal(), {"NameSpace.GetDefaultFolder(6) -> Folder:Inbox",
                                            "Folder:Inbox.Parent() -> Folder:Mailbox - Test User",
                                            "Explorers.Add(Folder:Mailbox - Test User, 0)"}));
    Show(StartFolder::Tasks);
    standin.ClearJournal();
    Show(StartFolder::OutlookToday);
    EXPECT_TRUE(HasLine(standin.Journal(), "Explorer:1.CurrentFolder = Folder:Mailbox - Test User"));
}

TEST_F(ShowOutlook, KeepLoadedOffDisconnectsAfterShowing)
{
    WriteSettings("[settings]\r\nDontKeepOlLoaded=-1\r\n");
    StartStandIn();
    LoadWindow();
    Show(StartFolder::Configured);
    EXPECT_TRUE(InOrder(standin.Journal(), {"CreateObject Outlook.Application", "Explorer:1.Display()", "Unadvise"}));
    EXPECT_FALSE(Inspector::OutlookLoaded(*window));
    EXPECT_EQ(TrayFile(), L"olicod.ico");
}

TEST_F(ShowOutlook, ARejectedFolderIsReportedWithNumberAndDescriptionAndStaysConnected)
{
    WriteSettings("[settings]\r\nDontKeepOlLoaded=-1\r\nStartOutlookIn=1\r\n");
    StartStandIn();
    LoadWindow();
    test::MessageBoxWatcher boxes;
    Show(StartFolder::Configured);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], L"There was an error opening an Outlook Explorer.\r\n-2147024809 Could not complete "
                                L"the operation. One or more parameter values are not valid.");
    EXPECT_TRUE(Inspector::OutlookLoaded(*window));  // the error skips the disconnect
    EXPECT_EQ(TrayFile(), L"olico.ico");
}

// The notification area sits on the primary monitor: a change of its scale
// or of the displays reaches the tray box, which has the tray images read
// again at the new size. A missing icon file stands in for an image of the
// wrong size here, as Wine changes no scale while a program runs.
TEST_F(StartUp, TheTrayBoxHasTheImagesReadAgainWhenTheScaleOrTheDisplaysChange)
{
    StartStandIn();
    const std::wstring icon = folder.Path() + L"olico.ico";
    ASSERT_TRUE(::MoveFileW(icon.c_str(), (icon + L".away").c_str()));
    LoadWindow();
    ASSERT_TRUE(test::PumpUntil([&] { return TrayFile() == L"olico.ico"; }));
    const TrayIcon box = Inspector::TrayBox(*window);
    ASSERT_EQ(Inspector::TrayImageSize(box), 0);

    ASSERT_TRUE(::MoveFileW((icon + L".away").c_str(), icon.c_str()));
    const UINT dpi = ::GetDpiForWindow(box.owner);
    RECT suggested{0, 0, 10, 10};
    ::SendMessageW(box.owner, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(Inspector::TrayImageSize(box), ::GetSystemMetricsForDpi(SM_CXSMICON, dpi));

    ASSERT_TRUE(::DeleteFileW(icon.c_str()));
    ::SendMessageW(box.owner, WM_DISPLAYCHANGE, 24, MAKELPARAM(1024, 768));
    EXPECT_EQ(Inspector::TrayImageSize(box), 0);
}
