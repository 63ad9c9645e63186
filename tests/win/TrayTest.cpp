// The tray icon service against Wine's notification area.
#include "TestSupport.h"
#include "Inspector.h"

#include "core/TrayIcons.h"

#include <shellapi.h>
#include <shellscalingapi.h>

#include <gtest/gtest.h>

namespace {

// A hidden top-level window with an icon, as the program's windows have.
struct Owner {
    HWND hwnd = ::CreateWindowExW(0, L"STATIC", L"tray owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    TrayIcon icon{hwnd, 7};
    ~Owner()
    {
        RemoveTrayIcon(icon);
        ::DestroyWindow(hwnd);
    }
};

struct Tray : testing::Test {
    test::ProgramFolder folder;
    Owner owner;
    std::wstring Icon(const wchar_t* name) const { return folder.Path() + name; }
};

}  // namespace

TEST_F(Tray, AddModifyBalloonAndDelete)
{
    EXPECT_TRUE(ShowTrayIcon(owner.icon, Icon(L"olicod.ico"), L"Outlook"));
    EXPECT_TRUE(test::ShellHasIcon(owner.icon));
    EXPECT_TRUE(ShowTrayIcon(owner.icon, Icon(L"olico.ico"), L"Outlook", true));
    std::wstring file;
    EXPECT_TRUE(Inspector::TrayIconShown(owner.icon, &file));
    EXPECT_EQ(file, Icon(L"olico.ico"));
    // The image has the small icon size of the primary monitor's DPI.
    UINT dpiX = 0, dpiY = 0;
    ASSERT_EQ(::GetDpiForMonitor(::MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), MDT_EFFECTIVE_DPI, &dpiX, &dpiY), S_OK);
    EXPECT_EQ(Inspector::TrayImageSize(owner.icon), ::GetSystemMetricsForDpi(SM_CXSMICON, dpiX));
    EXPECT_TRUE(ShowTrayBalloon(owner.icon, L"-Line\r\n\r\nClick here for details", L"You have reminders!", 10000));
    EXPECT_TRUE(RemoveTrayIcon(owner.icon));
    EXPECT_FALSE(test::ShellHasIcon(owner.icon));
    EXPECT_FALSE(Inspector::TrayIconShown(owner.icon));
}

TEST_F(Tray, AddingTwiceLeavesTheFirstIconAsItWas)
{
    ASSERT_TRUE(ShowTrayIcon(owner.icon, Icon(L"bell.ico"), L"You have reminders!"));
    EXPECT_FALSE(ShowTrayIcon(owner.icon, Icon(L"task.ico"), L"Another tip"));
    std::wstring file, tip;
    EXPECT_TRUE(Inspector::TrayIconShown(owner.icon, &file, &tip));
    EXPECT_EQ(file, Icon(L"bell.ico"));
    EXPECT_EQ(tip, L"You have reminders!");
    EXPECT_TRUE(RemoveTrayIcon(owner.icon));
    EXPECT_FALSE(test::ShellHasIcon(owner.icon));  // one delete removes it: there was only one
}

TEST_F(Tray, ModifyWithoutAnIconChangesNothing)
{
    EXPECT_FALSE(ShowTrayIcon(owner.icon, Icon(L"olico.ico"), L"Outlook", true));
    EXPECT_FALSE(test::ShellHasIcon(owner.icon));
    EXPECT_FALSE(ShowTrayBalloon(owner.icon, L"text", L"title", 10000));
    EXPECT_FALSE(RemoveTrayIcon(owner.icon));
}

TEST_F(Tray, MissingIconFileStillGivesAWorkingIcon)
{
    EXPECT_TRUE(ShowTrayIcon(owner.icon, Icon(L"missing.ico"), L"Outlook"));
    EXPECT_TRUE(test::ShellHasIcon(owner.icon));
}

TEST_F(Tray, OverlongTextsAreCutToWhatTheShellTakes)
{
    // A tip holds 63 characters, a balloon 255 and its title 63, each with
    // its NUL; a surrogate pair on the edge goes whole (the cut itself is a
    // rule tested on its own). The shell keeps the balloon to itself: it is
    // seen to take one that is too long, cut.
    const std::wstring tip = std::wstring(62, L'\x03A9') + L"\xD83D\xDCC5";
    ASSERT_TRUE(ShowTrayIcon(owner.icon, Icon(L"bell.ico"), tip));
    std::wstring shown;
    ASSERT_TRUE(Inspector::TrayIconShown(owner.icon, nullptr, &shown));
    EXPECT_EQ(shown, std::wstring(62, L'\x03A9'));
    const std::wstring text = L"-\x4F1A\x8BAE \xD83D\xDCC5 \x0393\x03B5\x03B9\x03B1\r\n" + std::wstring(300, L'x');
    EXPECT_TRUE(ShowTrayBalloon(owner.icon, text, std::wstring(70, L'\x65E5'), 10000));
}

TEST_F(Tray, RestoreAddsEveryIconAgain)
{
    ASSERT_TRUE(ShowTrayIcon(owner.icon, Icon(L"task.ico"), L"You have overdue tasks!"));
    // The shell forgets the icon, as when Explorer restarts.
    ASSERT_TRUE(test::ShellNotify(NIM_DELETE, owner.icon));
    ASSERT_FALSE(test::ShellHasIcon(owner.icon));
    RestoreTrayIcons();
    EXPECT_TRUE(test::ShellHasIcon(owner.icon));
}

TEST_F(Tray, AnAddTheShellRefusesIsTriedAgainLater)
{
    // The shell refuses an icon it already shows: that stands for a shell
    // that is not ready yet.
    ASSERT_TRUE(test::ShellNotify(NIM_ADD, owner.icon));
    EXPECT_FALSE(ShowTrayIcon(owner.icon, Icon(L"olico.ico"), L"Outlook"));
    EXPECT_FALSE(Inspector::TrayIconShown(owner.icon));
    ASSERT_TRUE(test::ShellNotify(NIM_DELETE, owner.icon));
    EXPECT_TRUE(test::PumpUntil([&] { return Inspector::TrayIconShown(owner.icon); }, std::chrono::seconds(5)));
    EXPECT_TRUE(test::ShellHasIcon(owner.icon));
}

namespace {

// A notification area that is there but refuses every icon, as a restarted
// Explorer may while it starts: Shell_NotifyIcon hands its record to the
// first window of the class "Shell_TrayWnd", which answers FALSE here.
class RefusingShell {
public:
    RefusingShell()
    {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            return message == WM_COPYDATA ? FALSE : ::DefWindowProcW(hwnd, message, wParam, lParam);
        };
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Shell_TrayWnd";
        m_class = ::RegisterClassExW(&wc);
        m_hwnd = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"Shell_TrayWnd", L"", WS_POPUP, 0, 0, 1, 1,
                                   nullptr, nullptr, wc.hInstance, nullptr);
    }
    RefusingShell(const RefusingShell&) = delete;
    RefusingShell& operator=(const RefusingShell&) = delete;
    ~RefusingShell() { End(); }
    // Whether the shell's calls reach this window rather than the real one.
    bool InFront() const { return m_hwnd && ::FindWindowW(L"Shell_TrayWnd", nullptr) == m_hwnd; }
    void End()
    {
        if (m_hwnd) ::DestroyWindow(m_hwnd);
        m_hwnd = nullptr;
        if (m_class) ::UnregisterClassW(L"Shell_TrayWnd", ::GetModuleHandleW(nullptr));
        m_class = 0;
    }

private:
    ATOM m_class = 0;
    HWND m_hwnd = nullptr;
};

}  // namespace

TEST_F(Tray, AnAddAgainTheShellRefusesAfterARestartIsTriedAgainLater)
{
    ASSERT_TRUE(ShowTrayIcon(owner.icon, Icon(L"bell.ico"), L"You have reminders!"));
    ASSERT_TRUE(test::ShellNotify(NIM_DELETE, owner.icon));  // Explorer restarted: the icon is gone
    {
        RefusingShell shell;
        ASSERT_TRUE(shell.InFront());
        RestoreTrayIcons();  // as on TaskbarCreated
        EXPECT_FALSE(Inspector::TrayIconShown(owner.icon));
    }
    // The shell is ready now: the retry brings the icon back as it was.
    EXPECT_TRUE(test::PumpUntil([&] { return Inspector::TrayIconShown(owner.icon); }, std::chrono::seconds(5)));
    EXPECT_TRUE(test::ShellHasIcon(owner.icon));
    std::wstring file;
    ASSERT_TRUE(Inspector::TrayIconShown(owner.icon, &file));
    EXPECT_EQ(file, Icon(L"bell.ico"));
}

TEST_F(Tray, AnIconTheShellAddedAfterRefusingIsTakenOverChangedAndDeleted)
{
    // A slow shell answers no but shows the icon after all: here the icon
    // the test adds first, without image or tip, stands for it.
    ASSERT_TRUE(test::ShellNotify(NIM_ADD, owner.icon));
    EXPECT_FALSE(ShowTrayIcon(owner.icon, Icon(L"olicod.ico"), L"Outlook"));
    // The retry finds it there and gives it the program's look.
    EXPECT_TRUE(test::PumpUntil([&] { return Inspector::TrayIconShown(owner.icon); }, std::chrono::seconds(5)));
    std::wstring file, tip;
    ASSERT_TRUE(Inspector::TrayIconShown(owner.icon, &file, &tip));
    EXPECT_EQ(file, Icon(L"olicod.ico"));
    EXPECT_EQ(tip, L"Outlook");
    EXPECT_TRUE(RemoveTrayIcon(owner.icon));
    EXPECT_FALSE(test::ShellHasIcon(owner.icon));

    // A change while the icon counts as not shown takes the icon over at once.
    ASSERT_TRUE(test::ShellNotify(NIM_ADD, owner.icon));
    EXPECT_FALSE(ShowTrayIcon(owner.icon, Icon(L"olicod.ico"), L"Outlook"));
    EXPECT_TRUE(ShowTrayIcon(owner.icon, Icon(L"olico.ico"), L"Outlook", true));
    ASSERT_TRUE(Inspector::TrayIconShown(owner.icon, &file));
    EXPECT_EQ(file, Icon(L"olico.ico"));
    EXPECT_TRUE(RemoveTrayIcon(owner.icon));

    // Removed while it counts as not shown, the icon still goes from the shell.
    ASSERT_TRUE(test::ShellNotify(NIM_ADD, owner.icon));
    EXPECT_FALSE(ShowTrayIcon(owner.icon, Icon(L"bell.ico"), L"You have reminders!"));
    EXPECT_TRUE(RemoveTrayIcon(owner.icon));
    EXPECT_FALSE(test::ShellHasIcon(owner.icon));
}

TEST(TrayPopup, TheOwnerComesToTheFrontAndANullFollowsTheMenu)
{
    test::WindowInFront front;
    ASSERT_EQ(::GetForegroundWindow(), front.Hwnd());
    Owner owner;  // hidden, as the program's windows are
    wl::UniqueMenu menu(::CreatePopupMenu());
    ::AppendMenuW(menu.get(), MF_STRING, 100, L"First");
    ::AppendMenuW(menu.get(), MF_STRING, 200, L"Second");

    HWND foreground = nullptr;
    UINT defaultItem = 0;
    test::RunLater(std::chrono::milliseconds(300), [&] {
        foreground = ::GetForegroundWindow();
        defaultItem = ::GetMenuDefaultItem(menu.get(), FALSE, 0);
        HWND popup = test::OpenPopupMenu();
        for (WORD key : {VK_DOWN, VK_DOWN, VK_RETURN}) {
            ::PostMessageW(popup, WM_KEYDOWN, key, 0);
            ::PostMessageW(popup, WM_KEYUP, key, 0xC0000000);
        }
    });
    UINT chosen = TrackTrayPopup(owner.hwnd, menu.get(), 200);

    // Only a foreground owner's menu closes when the user clicks elsewhere.
    EXPECT_EQ(foreground, owner.hwnd);
    EXPECT_EQ(defaultItem, 200u);
    EXPECT_EQ(chosen, 200u);
    MSG msg{};
    EXPECT_TRUE(::PeekMessageW(&msg, owner.hwnd, WM_NULL, WM_NULL, PM_REMOVE));
}
