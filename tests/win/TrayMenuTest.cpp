// The main tray icon's messages and its popup menu, driven as the shell and
// the user drive them: tray callback messages, then keys in the open menu.
#include "MainWindowFixture.h"
#include "Inspector.h"

#include "core/basINI.h"
#include "resources/resource.h"

#include <shellapi.h>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using standin::CountLines;
using standin::HasLine;
using standin::InOrder;

namespace {

constexpr UINT kShowOutlook = IDM_FILE_SHOWOUTLOOK, kKeepLoaded = IDM_FILE_KEEPLOADED;

struct TrayMenu : test::MainWindowFixture {
    // What the shell sends for a mouse message on the icon.
    void TrayMessage(long message) { test::SendTrayMessage(Inspector::TrayBox(*window), message); }

    // Opens the popup with a right click; while it is open, runs the probe,
    // then presses the keys (none: the menu is dismissed).
    void RightClick(std::function<void()> probe, std::vector<WORD> keys = {})
    {
        test::RunLater(300ms, [this, probe, keys] {
            menuWasOpen = test::OpenPopupMenu() != nullptr;
            if (probe) probe();
            if (keys.empty()) {
                ::EndMenu();
                return;
            }
            HWND menu = test::OpenPopupMenu();
            for (WORD key : keys) {
                ::PostMessageW(menu, WM_KEYDOWN, key, 0);
                ::PostMessageW(menu, WM_KEYUP, key, 0xC0000000);
            }
        });
        TrayMessage(WM_RBUTTONUP);
    }

    bool Checked(UINT id) const { return ::GetMenuState(Inspector::TrayMenu(*window), id, MF_BYCOMMAND) & MF_CHECKED; }

    std::wstring ItemText(UINT position) const
    {
        wchar_t text[256] = {};
        ::GetMenuStringW(Inspector::TrayMenu(*window), position, text, 256, MF_BYPOSITION);
        return text;
    }

    bool menuWasOpen = false;
};

}  // namespace

TEST_F(TrayMenu, OneLeftClickShowsOutlookOnce)
{
    StartStandIn();
    LoadWindow();
    standin.ClearJournal();
    TrayMessage(WM_LBUTTONDOWN);
    TrayMessage(WM_LBUTTONUP);
    auto journal = standin.Journal();
    EXPECT_EQ(CountLines(journal, "Explorers.Add"), 1u);
    EXPECT_EQ(CountLines(journal, "Display()"), 1u);
    EXPECT_FALSE(Inspector::InTrayEvent(*window));
}

TEST_F(TrayMenu, ADoubleClickBringsTheSameWindowForward)
{
    StartStandIn();
    LoadWindow();
    standin.ClearJournal();
    for (long message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) TrayMessage(message);
    auto journal = standin.Journal();
    EXPECT_EQ(CountLines(journal, "Explorers.Add"), 1u);
    EXPECT_EQ(CountLines(journal, "Explorer:1.Activate()"), 2u);
}

TEST_F(TrayMenu, OtherMouseMessagesDoNothing)
{
    StartStandIn();
    LoadWindow();
    standin.ClearJournal();
    for (long message : {long{WM_MOUSEMOVE}, long{WM_RBUTTONDOWN}, long{WM_RBUTTONDBLCLK}, long{WM_MBUTTONUP},
                         long{NIN_BALLOONUSERCLICK}})
        TrayMessage(message);
    EXPECT_TRUE(standin.Journal().empty());
    EXPECT_EQ(test::OpenPopupMenu(), nullptr);
}

TEST_F(TrayMenu, RightClickOpensThePopupAndDismissingRunsNothing)
{
    StartStandIn();
    LoadWindow();
    standin.ClearJournal();
    test::WindowInFront front;
    bool guardWhileOpen = false, inFront = false;
    RightClick([&] {
        guardWhileOpen = Inspector::InTrayEvent(*window);
        inFront = ::GetForegroundWindow() == window->Hwnd();
        TrayMessage(WM_LBUTTONUP);  // dropped: the popup is open
    });
    EXPECT_TRUE(menuWasOpen);
    EXPECT_TRUE(guardWhileOpen);
    EXPECT_TRUE(inFront);
    EXPECT_FALSE(Inspector::InTrayEvent(*window));
    EXPECT_TRUE(standin.Journal().empty());
    EXPECT_EQ(::GetMenuDefaultItem(Inspector::TrayMenu(*window), FALSE, 0), kShowOutlook);
    EXPECT_TRUE(Checked(kKeepLoaded));
}

TEST_F(TrayMenu, ThePopupListsFoldersLinksAndFixedItemsInOrder)
{
    test::WriteTextFile(folder.Path() + L"newlnks.ini",
                        "[settings]\r\ncount=2\r\nnew1=New &Mail\r\nnew2=New &Task\r\n");
    StartStandIn();
    LoadWindow();
    HMENU menu = Inspector::TrayMenu(*window);
    ASSERT_EQ(::GetMenuItemCount(menu), 10 + 1 + 2 + 1 + 4 + 1 + 2);
    const wchar_t* folders[] = {L"Outlook Today", L"Calendar", L"Contacts", L"Drafts", L"Inbox",
                                L"Journal",       L"Notes",    L"Outbox",   L"Sent",   L"Tasks"};
    for (UINT i = 0; i < 10; ++i) EXPECT_EQ(ItemText(i), folders[i]);
    EXPECT_EQ(::GetMenuState(menu, 10, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
    EXPECT_EQ(ItemText(11), L"New &Mail");
    EXPECT_EQ(ItemText(12), L"New &Task");
    EXPECT_EQ(::GetMenuState(menu, 13, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
    const wchar_t* fixed[] = {L"Show Outlook", L"Keep Outlook Loaded", L"Clean Up", L"Options...", L"",
                              L"About Wendlock...", L"Exit Wendlock"};
    for (UINT i = 0; i < 7; ++i) EXPECT_EQ(ItemText(14 + i), fixed[i]);
}

TEST_F(TrayMenu, KeepLoadedTogglesTheConnectionIconAndCheckMark)
{
    WriteSettings("[settings]\r\nDontKeepOlLoaded=-1\r\n");
    StartStandIn();
    LoadWindow();
    bool checkedAtFirst = true;
    RightClick([&] { checkedAtFirst = Checked(kKeepLoaded); });
    EXPECT_FALSE(checkedAtFirst);

    Inspector::mnuFile_Click(*window, frmMain::FileMenu::KeepOutlookLoaded);
    EXPECT_TRUE(g_blnKeepOutlookLoaded);
    EXPECT_TRUE(Inspector::OutlookLoaded(*window));
    EXPECT_EQ(TrayFile(), L"olico.ico");
    EXPECT_EQ(ReadIniSetting(L"DontKeepOlLoaded"), L"-1");  // written only at exit
    bool checkedAfter = false;
    RightClick([&] { checkedAfter = Checked(kKeepLoaded); });
    EXPECT_TRUE(checkedAfter);

    Inspector::mnuFile_Click(*window, frmMain::FileMenu::KeepOutlookLoaded);
    EXPECT_FALSE(g_blnKeepOutlookLoaded);
    EXPECT_FALSE(Inspector::OutlookLoaded(*window));
    EXPECT_EQ(TrayFile(), L"olicod.ico");
}

TEST_F(TrayMenu, KeepLoadedOnWhileOutlookCannotStartStaysOnWithoutAConnection)
{
    WriteSettings("[settings]\r\nDontKeepOlLoaded=-1\r\n");
    LoadWindow();
    RefuseOutlook refuse;
    test::MessageBoxWatcher boxes;
    Inspector::mnuFile_Click(*window, frmMain::FileMenu::KeepOutlookLoaded);
    EXPECT_TRUE(g_blnKeepOutlookLoaded);
    EXPECT_FALSE(Inspector::OutlookLoaded(*window));
    EXPECT_TRUE(boxes.Texts().empty());  // the menu reports nothing
}

TEST_F(TrayMenu, CleanUpQuitsWaitsForOutlookToEndAndReconnects)
{
    StartStandIn();
    LoadWindow();
    standin.ClearJournal();
    auto started = std::chrono::steady_clock::now();
    Inspector::mnuFile_Click(*window, frmMain::FileMenu::CleanUp);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);  // the wait runs on a timer
    EXPECT_TRUE(Inspector::CleaningUp(*window));
    EXPECT_EQ(TrayFile(), L"olicod.ico");
    TrayMessage(WM_LBUTTONUP);  // dropped while Clean Up waits
    ASSERT_TRUE(test::PumpUntil([&] { return Inspector::OutlookLoaded(*window); }, 15s));
    auto journal = standin.Journal();
    EXPECT_TRUE(InOrder(journal, {"Application.Quit()", "Server exit (quit)", "CreateObject Outlook.Application"}));
    EXPECT_EQ(CountLines(journal, "CreateObject Outlook.Application"), 1u);  // Outlook started afresh
    EXPECT_FALSE(HasLine(journal, "Explorers"));
    EXPECT_FALSE(Inspector::CleaningUp(*window));
    EXPECT_EQ(TrayFile(), L"olico.ico");
}

TEST_F(TrayMenu, CleanUpConnectsOnlyOnceTheQuitOutlookHasEnded)
{
    StartStandIn("option quit-delay=10000\n");  // Outlook closing a large data file
    LoadWindow();
    standin.ClearJournal();
    auto started = std::chrono::steady_clock::now();
    Inspector::mnuFile_Click(*window, frmMain::FileMenu::CleanUp);
    ASSERT_TRUE(test::PumpUntil([&] { return Inspector::OutlookLoaded(*window); }, 30s));
    EXPECT_GE(std::chrono::steady_clock::now() - started, 9s);
    auto journal = standin.Journal();
    EXPECT_TRUE(InOrder(journal, {"Application.Quit()", "Server quitting", "Server exit (quit)",
                                  "CreateObject Outlook.Application"}));
    EXPECT_FALSE(HasLine(journal, "(quitting)"));  // never the dying one
    EXPECT_EQ(CountLines(journal, "CreateObject Outlook.Application"), 1u);
    EXPECT_TRUE(Inspector::OutlookEventsConnected(*window));
}

TEST_F(TrayMenu, CleanUpWithKeepLoadedOffStaysDisconnected)
{
    WriteSettings("[settings]\r\nDontKeepOlLoaded=-1\r\n");
    StartStandIn();
    LoadWindow();
    standin.ClearJournal();
    auto started = std::chrono::steady_clock::now();
    Inspector::mnuFile_Click(*window, frmMain::FileMenu::CleanUp);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);  // not connected: no wait
    EXPECT_FALSE(HasLine(standin.Journal(), "CreateObject"));
    EXPECT_FALSE(Inspector::OutlookLoaded(*window));
}

TEST_F(TrayMenu, AboutShowsVersionExplorerCountAndTheSettingsFile)
{
    StartStandIn();
    LoadWindow();
    Inspector::mnuFile_Click(*window, frmMain::FileMenu::ShowOutlook);  // one explorer open
    test::MessageBoxWatcher boxes;
    Inspector::mnuFile_Click(*window, frmMain::FileMenu::About);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    std::wstring text = boxes.Texts()[0];
    std::vector<std::wstring> lines;
    for (size_t start = 0;;) {
        size_t end = text.find(L"\r\n", start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::wstring::npos) break;
        start = end + 2;
    }
    ASSERT_EQ(lines.size(), 7u) << test::Narrow(text);
    EXPECT_EQ(lines[0], L"Wendlock");
    EXPECT_EQ(lines[2], L"Version: 1.0.0");
    EXPECT_EQ(lines[4], L"");
    EXPECT_EQ(lines[5], L"Loaded explorers 1");
    EXPECT_EQ(lines[6], L"Settings: " + folder.SettingsFile());
}

TEST_F(TrayMenu, AboutWithoutAConnectionCountsNoExplorers)
{
    WriteSettings("[settings]\r\nDontKeepOlLoaded=-1\r\n");
    LoadWindow();
    EXPECT_NE(Inspector::AboutText(*window).find(L"\r\nLoaded explorers 0\r\n"), std::wstring::npos);
}

TEST_F(TrayMenu, ChoosingAnItemInThePopupRunsItInsideTheGuard)
{
    StartStandIn();
    LoadWindow();
    standin.ClearJournal();
    // Looks for the item's About box from inside the modal loops until the
    // item is done. While the box is up: the guard holds, and a click on the
    // icon (which would show Outlook) is dropped; then the box is closed.
    bool itemDone = false, looking = true, boxUp = false, guardWhileUp = false;
    std::wstring text;
    std::function<void()> whileBoxUp = [&] {
        HWND box = test::FindMessageBox();
        if (!box) {
            if (itemDone) looking = false;
            else test::RunLater(20ms, whileBoxUp);
            return;
        }
        looking = false;
        boxUp = true;
        guardWhileUp = Inspector::InTrayEvent(*window);
        TrayMessage(WM_LBUTTONDOWN);
        TrayMessage(WM_LBUTTONUP);
        wchar_t shown[4096] = {};
        ::GetDlgItemTextW(box, 0xFFFF, shown, 4096);
        text = shown;
        ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    };
    // Up from no selection is the last item (Exit); once more is About.
    RightClick([&] { test::RunLater(20ms, whileBoxUp); }, {VK_UP, VK_UP, VK_RETURN});
    itemDone = true;
    ASSERT_TRUE(test::PumpUntil([&] { return !looking; }, 5s));
    ASSERT_TRUE(boxUp);
    EXPECT_EQ(text.substr(0, 8), L"Wendlock");
    EXPECT_TRUE(guardWhileUp);
    EXPECT_FALSE(HasLine(standin.Journal(), "Explorers.Add"));  // the click while the box was up showed nothing
    EXPECT_FALSE(Inspector::InTrayEvent(*window));
}

TEST_F(TrayMenu, TrayMessagesWhileTheOptionsDialogIsUpAreDropped)
{
    StartStandIn();
    LoadWindow();
    standin.ClearJournal();
    bool shown = false;
    // Up: Exit, About, (separator skipped) Options.
    test::RunLater(800ms, [&] {
        shown = ::IsWindowVisible(window->Hwnd()) && Inspector::ModalShowing(*window);
        TrayMessage(WM_LBUTTONUP);
        TrayMessage(WM_RBUTTONUP);
        ::SendMessageW(window->Hwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    RightClick({}, {VK_UP, VK_UP, VK_UP, VK_RETURN});
    EXPECT_TRUE(shown);
    EXPECT_FALSE(::IsWindowVisible(window->Hwnd()));
    EXPECT_FALSE(HasLine(standin.Journal(), "Explorers"));
    EXPECT_FALSE(Inspector::InTrayEvent(*window));
}

TEST_F(TrayMenu, ExitSavesAndUnloads)
{
    StartStandIn();
    LoadWindow();
    TrayIcon box = Inspector::TrayBox(*window);
    Inspector::mnuFile_Click(*window, frmMain::FileMenu::Exit);
    EXPECT_FALSE(window->Loaded());
    EXPECT_FALSE(test::ShellHasIcon(box));
    EXPECT_NE(test::ReadTextFile(folder.SettingsFile()).find("DontKeepOlLoaded=0"), std::string::npos);
}

TEST_F(TrayMenu, StartFolderItemsShowTheirFolder)
{
    StartStandIn();
    LoadWindow();
    Inspector::mnuView_Click(*window, 9);  // Tasks
    Inspector::mnuView_Click(*window, 1);  // Calendar, in the same window
    EXPECT_TRUE(InOrder(standin.Journal(), {"Explorers.Add(Folder:Tasks, 0)",
                                            "Explorer:1.CurrentFolder = Folder:Calendar"}));
}
