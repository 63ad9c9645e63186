// The Options dialog through its real controls and keys.
#include "MainWindowFixture.h"
#include "Inspector.h"

#include "core/Registry.h"
#include "core/basINI.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using standin::HasLine;

namespace {

const wchar_t kWarning[] =
    L"You will not receive e-mail or reminder notifications if Outlook is not kept loaded in the background.";

struct Options : test::MainWindowFixture {
    HWND Control(int id) const { return ::GetDlgItem(window->Hwnd(), id); }
    bool Checked(int id) const { return ::SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void Click(int id) { ::SendMessageW(Control(id), BM_CLICK, 0, 0); }
    void SetDelay(const wchar_t* text) { ::SetWindowTextW(Control(IDC_TXTLOADDELAY), text); }
    std::wstring Text(int id) const
    {
        wchar_t text[256] = {};
        ::GetWindowTextW(Control(id), text, 256);
        return text;
    }
    std::wstring SelectedFolder() const
    {
        HWND list = Control(IDC_CMBSTARTIN);
        auto at = ::SendMessageW(list, CB_GETCURSEL, 0, 0);
        if (at == CB_ERR) return L"(none)";
        wchar_t text[64] = {};
        ::SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(text));
        return text;
    }
    // Opens the dialog as the menu does; the action runs while it is up.
    void OpenWith(std::function<void()> action)
    {
        test::RunLater(200ms, [this, action] {
            shown = ::IsWindowVisible(window->Hwnd());
            action();
        });
        Inspector::mnuFile_Click(*window, frmMain::FileMenu::Options);
    }
    void Key(WORD key)
    {
        HWND focus = ::GetFocus();
        ::PostMessageW(focus, WM_KEYDOWN, key, 0);
        ::PostMessageW(focus, WM_KEYUP, key, 0xC0000000);
    }
    bool shown = false;
};

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kApprovedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

}  // namespace

TEST_F(Options, OpensFilledFromTheSettings)
{
    WriteSettings("[settings]\r\nStartOutlookIn=13\r\nKeepWordLoaded=-1\r\nDontTrackReminders=-1\r\n"
                  "DisplayOutlookAtStart=1\r\nLoadDelay=30000\r\n");
    StartStandIn();
    LoadWindow();
    Inspector::UpdateSettingsView(*window);
    EXPECT_EQ(SelectedFolder(), L"Tasks");
    EXPECT_TRUE(Checked(IDC_CHKKEEPLOADED));
    EXPECT_TRUE(Checked(IDC_CHKKEEPWORDLOADED));
    EXPECT_TRUE(Checked(IDC_CHKDISPLAYOUTLOOK));
    EXPECT_FALSE(Checked(IDC_CHKREMINDERS));
    EXPECT_TRUE(Checked(IDC_CHKOVERDUETASKS));
    EXPECT_EQ(Text(IDC_TXTLOADDELAY), L"30");
    EXPECT_EQ(Text(IDC_CHKKEEPLOADED), L"Keep Outlook loaded in the background");
}

TEST_F(Options, ChoosingSentAndOkSetsTheStartFolderAndWritesTheFileKeys)
{
    WriteSettings("[settings]\r\nStartOutlookIn=13\r\nLoadDelay=500\r\n");
    StartStandIn();
    LoadWindow();
    Inspector::UpdateSettingsView(*window);
    EXPECT_EQ(Text(IDC_TXTLOADDELAY), L"0.5");
    ::SendMessageW(Control(IDC_CMBSTARTIN), CB_SETCURSEL, 8, 0);
    Click(IDC_CHKDISPLAYOUTLOOK);
    Click(IDOK);
    EXPECT_EQ(g_intStartOutlookIn, 5);
    EXPECT_EQ(ReadIniSetting(L"DisplayOutlookAtStart"), L"-1");
    EXPECT_EQ(ReadIniSetting(L"LoadDelay"), L"500");  // unchanged box, unchanged delay
    EXPECT_EQ(ReadIniSetting(L"StartOutlookIn"), L"13");  // written at exit only
}

TEST_F(Options, DelayBoxTakesSecondsWithAFullStop)
{
    StartStandIn();
    LoadWindow();
    struct Case {
        const wchar_t* typed;
        const wchar_t* stored;
    } cases[] = {{L"0.5", L"500"}, {L"", L"0"}, {L"30", L"30000"}, {L"5 words", L"5000"}, {L"abc", L"0"},
                 {L"600", L"600000"}};
    for (const auto& c : cases) {
        Inspector::UpdateSettingsView(*window);
        SetDelay(c.typed);
        Click(IDOK);
        EXPECT_EQ(ReadIniSetting(L"LoadDelay"), c.stored) << test::Narrow(c.typed);
    }
}

TEST_F(Options, ADelayStartUpWouldNotWaitIsRefusedAndTheDialogStays)
{
    WriteSettings("[settings]\r\nLoadDelay=2000\r\n");
    StartStandIn();
    LoadWindow();
    for (const wchar_t* typed : {L"-1", L"601", L"1e300"}) {
        test::MessageBoxWatcher boxes;
        OpenWith([&] {
            SetDelay(typed);
            Click(IDOK);
            EXPECT_TRUE(Inspector::ModalShowing(*window)) << test::Narrow(typed);
            Click(IDCANCEL);
        });
        EXPECT_EQ(boxes.Texts().size(), 1u) << test::Narrow(typed);
        EXPECT_EQ(ReadIniSetting(L"LoadDelay"), L"2000");
    }
}

TEST_F(Options, UntickingKeepLoadedWarnsAndCancelChangesNothing)
{
    StartStandIn();
    LoadWindow();
    test::MessageBoxWatcher boxes;
    Inspector::UpdateSettingsView(*window);
    Click(IDC_CHKKEEPLOADED);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], kWarning);
    EXPECT_FALSE(Checked(IDC_CHKKEEPLOADED));
    Click(IDC_CHKKEEPLOADED);
    EXPECT_EQ(boxes.Texts().size(), 1u);  // ticking it again says nothing
    Click(IDC_CHKKEEPLOADED);
    Click(IDCANCEL);
    EXPECT_TRUE(g_blnKeepOutlookLoaded);
    EXPECT_TRUE(Inspector::OutlookLoaded(*window));
}

TEST_F(Options, FillingTheDialogNeverWarns)
{
    StartStandIn();
    LoadWindow();
    Inspector::UpdateSettingsView(*window);  // the box is ticked
    Inspector::mnuFile_Click(*window, frmMain::FileMenu::KeepOutlookLoaded);      // keep-loaded off from the menu
    test::MessageBoxWatcher boxes;
    Inspector::UpdateSettingsView(*window);
    EXPECT_FALSE(Checked(IDC_CHKKEEPLOADED));
    test::Pump(300ms);
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(Options, OkAppliesTheConnectionSettings)
{
    StartStandIn();
    LoadWindow();
    test::MessageBoxWatcher boxes;
    Inspector::UpdateSettingsView(*window);
    Click(IDC_CHKKEEPLOADED);
    Click(IDC_CHKKEEPWORDLOADED);
    Click(IDOK);
    EXPECT_FALSE(g_blnKeepOutlookLoaded);
    EXPECT_TRUE(g_blnKeepWordLoaded);
    EXPECT_FALSE(Inspector::OutlookLoaded(*window));
    EXPECT_EQ(TrayFile(), L"olicod.ico");

    Inspector::UpdateSettingsView(*window);
    Click(IDC_CHKKEEPLOADED);
    standin.ClearJournal();
    Click(IDOK);
    EXPECT_TRUE(Inspector::OutlookLoaded(*window));
    EXPECT_TRUE(standin::InOrder(standin.Journal(),
                                 {"CreateObject Word.Application", "CreateObject Outlook.Application"}));
}

TEST_F(Options, OkWithRemindersUntickedClosesTheRemindersWindow)
{
    StartStandIn("item folder=Inbox subject=\"Budget\" entryid=M1 reminder=now\n");
    LoadWindow();
    ASSERT_TRUE(standin::ReplyOk(standin.Command("fire-reminder M1")));
    ASSERT_TRUE(test::PumpUntil([&] { return Inspector::RemindersWindow(*window) != nullptr; }));
    Inspector::UpdateSettingsView(*window);
    Click(IDC_CHKREMINDERS);
    Click(IDOK);
    EXPECT_EQ(Inspector::RemindersWindow(*window), nullptr);
    EXPECT_FALSE(g_blnTrackReminders);
}

TEST_F(Options, OkWithOverdueTasksTickedRescans)
{
    WriteSettings("[settings]\r\nDontTrackOverdueTasks=-1\r\n");
    StartStandIn("item folder=Tasks subject=\"Late\" entryid=T1 due=today-2d complete=0\n");
    LoadWindow();
    EXPECT_EQ(Inspector::OverdueTasksWindow(*window), nullptr);
    Inspector::UpdateSettingsView(*window);
    Click(IDC_CHKOVERDUETASKS);
    Click(IDOK);
    EXPECT_NE(Inspector::OverdueTasksWindow(*window), nullptr);
}

TEST_F(Options, OkWhenOutlookCannotStartSaysSoAndTakesTheSettings)
{
    WriteSettings("[settings]\r\nDontKeepOlLoaded=-1\r\nDontTrackOverdueTasks=-1\r\n");
    LoadWindow();
    RefuseOutlook refuse;
    test::MessageBoxWatcher boxes;
    Inspector::UpdateSettingsView(*window);
    Click(IDC_CHKKEEPLOADED);
    SetDelay(L"2");
    Click(IDOK);
    EXPECT_EQ(boxes.Texts().size(), 1u);
    EXPECT_TRUE(g_blnKeepOutlookLoaded);
    EXPECT_EQ(ReadIniSetting(L"LoadDelay"), L"2000");
    EXPECT_FALSE(::IsWindowVisible(window->Hwnd()));
}

TEST_F(Options, AStartFolderTheListDoesNotKnowIsKeptByOk)
{
    WriteSettings("[settings]\r\nStartOutlookIn=1\r\n");
    StartStandIn();
    LoadWindow();
    Inspector::UpdateSettingsView(*window);
    Click(IDOK);
    EXPECT_EQ(g_intStartOutlookIn, 1);
}

TEST_F(Options, EnterConfirmsEscapeAndTheCloseBoxCancel)
{
    StartStandIn();
    LoadWindow();
    OpenWith([&] {
        ::SendMessageW(Control(IDC_CMBSTARTIN), CB_SETCURSEL, 1, 0);
        Key(VK_RETURN);
    });
    EXPECT_TRUE(shown);
    EXPECT_EQ(g_intStartOutlookIn, 9);
    EXPECT_FALSE(::IsWindowVisible(window->Hwnd()));

    OpenWith([&] {
        ::SendMessageW(Control(IDC_CMBSTARTIN), CB_SETCURSEL, 2, 0);
        Key(VK_ESCAPE);
    });
    EXPECT_EQ(g_intStartOutlookIn, 9);
    EXPECT_FALSE(::IsWindowVisible(window->Hwnd()));

    OpenWith([&] {
        ::SendMessageW(Control(IDC_CMBSTARTIN), CB_SETCURSEL, 2, 0);
        ::SendMessageW(window->Hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    EXPECT_EQ(g_intStartOutlookIn, 9);
    EXPECT_TRUE(window->Loaded());
    EXPECT_FALSE(::IsWindowVisible(window->Hwnd()));
}

TEST_F(Options, StartAtLogonIsTheRunValueOfThisCopy)
{
    test::ScopedRegistryValue run(HKEY_CURRENT_USER, kRunKey, L"Wendlock");
    auto runValue = [&] { return ReadRegistryString(HKEY_CURRENT_USER, kRunKey, L"Wendlock"); };
    const std::wstring self = L"\"" + wl::ExecutablePath() + L"\"";

    StartStandIn();
    LoadWindow();
    run.Delete();
    Inspector::UpdateSettingsView(*window);
    EXPECT_FALSE(Checked(IDC_CHKSTARTATLOGON));
    EXPECT_EQ(Text(IDC_CHKSTARTATLOGON), L"Start Wendlock when I log on");
    Click(IDC_CHKSTARTATLOGON);
    Click(IDOK);
    EXPECT_EQ(runValue(), self);

    Inspector::UpdateSettingsView(*window);
    EXPECT_TRUE(Checked(IDC_CHKSTARTATLOGON));
    Click(IDC_CHKSTARTATLOGON);
    Click(IDOK);
    EXPECT_EQ(runValue(), L"");

    // Another copy of the program: not this one's start, replaced when ticked.
    run.SetText(L"\"C:\\Old Copy\\wendlock.exe\"");
    Inspector::UpdateSettingsView(*window);
    EXPECT_FALSE(Checked(IDC_CHKSTARTATLOGON));
    Click(IDC_CHKSTARTATLOGON);
    Click(IDOK);
    EXPECT_EQ(runValue(), self);
}

TEST_F(Options, APolicySettingShowsGreyedWithItsValueAndTheMenuItemToo)
{
    const wchar_t* kPolicies = L"Software\\Policies\\Wendlock";
    test::ScopedRegistryValue keepLoaded(HKEY_CURRENT_USER, kPolicies, L"KeepOutlookLoaded"),
        startIn(HKEY_CURRENT_USER, kPolicies, L"StartOutlookIn");
    keepLoaded.SetNumber(0);
    startIn.SetNumber(13);  // Tasks
    WriteSettings("[settings]\r\nDontKeepOlLoaded=0\r\nStartOutlookIn=9\r\n");
    StartStandIn();
    LoadWindow();
    OpenWith([&] {
        EXPECT_FALSE(Checked(IDC_CHKKEEPLOADED));
        EXPECT_FALSE(::IsWindowEnabled(Control(IDC_CHKKEEPLOADED)));
        EXPECT_EQ(SelectedFolder(), L"Tasks");
        EXPECT_FALSE(::IsWindowEnabled(Control(IDC_CMBSTARTIN)));
        EXPECT_TRUE(::IsWindowEnabled(Control(IDC_CHKREMINDERS)));  // not managed
        EXPECT_TRUE(::IsWindowVisible(Control(IDC_LBLMANAGED)));
        EXPECT_EQ(Text(IDC_LBLMANAGED), L"Some settings are managed by your organization.");
        Click(IDOK);
    });
    EXPECT_FALSE(Inspector::OutlookLoaded(*window));
    Inspector::tmnuFile_Click(*window);
    EXPECT_TRUE(::GetMenuState(Inspector::TrayMenu(*window), IDM_FILE_KEEPLOADED, MF_BYCOMMAND) & MF_GRAYED);
}

// Group Policy announces a refresh while the program runs: a setting that
// became managed is greyed with the policy's value, in the open dialog and
// the tray menu, and takes effect; one no longer managed is the user's again.
TEST_F(Options, APolicyThatChangesWhileTheProgramRunsIsFollowed)
{
    constexpr wchar_t kPolicies[] = L"Software\\Policies\\Wendlock";
    test::ScopedRegistryValue keepLoaded(HKEY_CURRENT_USER, kPolicies, L"KeepOutlookLoaded"),
        startIn(HKEY_CURRENT_USER, kPolicies, L"StartOutlookIn");
    auto refreshed = [&] {
        ::SendMessageW(window->Hwnd(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Policy"));
    };
    auto menuState = [&] {
        Inspector::tmnuFile_Click(*window);
        return ::GetMenuState(Inspector::TrayMenu(*window), IDM_FILE_KEEPLOADED, MF_BYCOMMAND);
    };
    const std::string file = "[settings]\r\nDontKeepOlLoaded=0\r\nStartOutlookIn=9\r\n";
    WriteSettings(file);
    StartStandIn();
    LoadWindow();
    ASSERT_TRUE(test::PumpUntil([&] { return Inspector::OutlookLoaded(*window); }));
    g_intStartOutlookIn = 6;  // the user chose the Inbox meanwhile; the file learns it at exit

    OpenWith([&] {
        keepLoaded.SetNumber(0);
        startIn.SetNumber(13);
        refreshed();
        EXPECT_TRUE(test::PumpUntil([&] { return !::IsWindowEnabled(Control(IDC_CHKKEEPLOADED)); }));
        EXPECT_FALSE(Checked(IDC_CHKKEEPLOADED));
        EXPECT_EQ(SelectedFolder(), L"Tasks");
        EXPECT_FALSE(::IsWindowEnabled(Control(IDC_CMBSTARTIN)));
        EXPECT_TRUE(::IsWindowVisible(Control(IDC_LBLMANAGED)));
        Click(IDCANCEL);
    });
    EXPECT_FALSE(Inspector::OutlookLoaded(*window));  // not kept loaded, as the policy says
    EXPECT_TRUE(menuState() & MF_GRAYED);
    EXPECT_FALSE(menuState() & MF_CHECKED);

    // The policy goes: the user's own choices are back, and in effect.
    keepLoaded.Delete();
    startIn.Delete();
    refreshed();
    EXPECT_TRUE(test::PumpUntil([&] { return Inspector::OutlookLoaded(*window); }));
    EXPECT_FALSE(menuState() & MF_GRAYED);
    EXPECT_TRUE(menuState() & MF_CHECKED);
    Inspector::UpdateSettingsView(*window);
    EXPECT_EQ(SelectedFolder(), L"Inbox");
    EXPECT_TRUE(::IsWindowEnabled(Control(IDC_CHKKEEPLOADED)));
    EXPECT_FALSE(::IsWindowVisible(Control(IDC_LBLMANAGED)));

    // A refresh of anything else changes nothing.
    keepLoaded.SetNumber(0);
    ::SendMessageW(window->Hwnd(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"intl"));
    test::Pump(300ms);
    EXPECT_TRUE(Inspector::OutlookLoaded(*window));
    keepLoaded.Delete();
    window->Unload(UnloadMode::FormCode);
    EXPECT_EQ(test::ReadTextFile(folder.SettingsFile()).substr(0, file.size()),
              "[settings]\r\nDontKeepOlLoaded=0\r\nStartOutlookIn=6\r\n");
}

// Task Manager's switch, and the entry of an installation for every user.
TEST_F(Options, StartAtLogonShowsWhatWindowsDoes)
{
    test::ScopedRegistryValue userRun(HKEY_CURRENT_USER, kRunKey, L"Wendlock"),
        userSwitch(HKEY_CURRENT_USER, kApprovedKey, L"Wendlock");
    test::ScopedRegistryValue machineRun(HKEY_LOCAL_MACHINE, kRunKey, L"Wendlock"),
        machineSwitch(HKEY_LOCAL_MACHINE, kApprovedKey, L"Wendlock");
    machineRun.Delete();
    machineSwitch.Delete();
    const std::wstring self = L"\"" + wl::ExecutablePath() + L"\"";
    const BYTE off[12] = {3, 0, 0, 0, 0x17, 0x79, 0xBD, 0x01, 0x17, 0xD9, 0xD1, 0x01};  // and when
    StartStandIn();
    LoadWindow();
    HWND box = Control(IDC_CHKSTARTATLOGON);

    // Turned off in Task Manager: unticked; ticking turns it on there again.
    userRun.SetText(self);
    userSwitch.Set(REG_BINARY, off, sizeof off);
    Inspector::UpdateSettingsView(*window);
    EXPECT_FALSE(Checked(IDC_CHKSTARTATLOGON));
    Click(IDC_CHKSTARTATLOGON);
    Click(IDOK);
    EXPECT_EQ(userSwitch.Bytes(), (std::vector<BYTE>{2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    Inspector::UpdateSettingsView(*window);
    EXPECT_TRUE(Checked(IDC_CHKSTARTATLOGON));
    EXPECT_TRUE(::IsWindowEnabled(box));

    // Installed for every user with start at logon: ticked, and not the user's to change.
    userRun.Delete();
    machineRun.SetText(self);
    Inspector::UpdateSettingsView(*window);
    EXPECT_TRUE(Checked(IDC_CHKSTARTATLOGON));
    EXPECT_FALSE(::IsWindowEnabled(box));
    Click(IDOK);
    EXPECT_TRUE(userRun.Bytes().empty()) << "a second entry of the user's own";
    // Turned off there for the machine: the user's own box again.
    machineSwitch.Set(REG_BINARY, off, sizeof off);
    Inspector::UpdateSettingsView(*window);
    EXPECT_FALSE(Checked(IDC_CHKSTARTATLOGON));
    EXPECT_TRUE(::IsWindowEnabled(box));
}

TEST_F(Options, StartAtLogonReadsAnEntryOfAnyLength)
{
    test::ScopedRegistryValue userRun(HKEY_CURRENT_USER, kRunKey, L"Wendlock");
    userRun.SetText(L"\"" + wl::ExecutablePath() + L"\" /profile " + std::wstring(300, L'x'));
    StartStandIn();
    LoadWindow();
    Inspector::UpdateSettingsView(*window);
    EXPECT_TRUE(Checked(IDC_CHKSTARTATLOGON));
    Click(IDC_CHKSTARTATLOGON);
    Click(IDOK);
    EXPECT_TRUE(userRun.Bytes().empty());
}
