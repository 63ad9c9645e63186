// The tray icon service against Wine's notification area.
#include "TestSupport.h"

#include "core/basMain.h"

#include <shellapi.h>

#include <gtest/gtest.h>

namespace {

// A hidden top-level window to own icons, as the program's windows do.
struct Owner {
    HWND hwnd = ::CreateWindowExW(0, L"STATIC", L"tray owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    ~Owner()
    {
        RemoveTrayIcon(hwnd);
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
    EXPECT_TRUE(ShowTrayIcon(owner.hwnd, Icon(L"olicod.ico"), L"Outlook"));
    EXPECT_TRUE(test::ShellHasIcon(owner.hwnd));
    EXPECT_TRUE(ShowTrayIcon(owner.hwnd, Icon(L"olico.ico"), L"Outlook", true));
    std::wstring file;
    EXPECT_TRUE(TrayIconShown(owner.hwnd, &file));
    EXPECT_EQ(file, Icon(L"olico.ico"));
    EXPECT_TRUE(ShowTrayBalloon(owner.hwnd, L"-Line\r\n\r\nClick here for details", L"You have reminders!", 10000));
    EXPECT_TRUE(RemoveTrayIcon(owner.hwnd));
    EXPECT_FALSE(test::ShellHasIcon(owner.hwnd));
    EXPECT_FALSE(TrayIconShown(owner.hwnd));
}

TEST_F(Tray, AddingTwiceLeavesTheFirstIconAsItWas)
{
    ASSERT_TRUE(ShowTrayIcon(owner.hwnd, Icon(L"bell.ico"), L"You have reminders!"));
    EXPECT_FALSE(ShowTrayIcon(owner.hwnd, Icon(L"task.ico"), L"Another tip"));
    std::wstring file, tip;
    EXPECT_TRUE(TrayIconShown(owner.hwnd, &file, &tip));
    EXPECT_EQ(file, Icon(L"bell.ico"));
    EXPECT_EQ(tip, L"You have reminders!");
    EXPECT_TRUE(RemoveTrayIcon(owner.hwnd));
    EXPECT_FALSE(test::ShellHasIcon(owner.hwnd));  // one delete removes it: there was only one
}

TEST_F(Tray, ModifyWithoutAnIconChangesNothing)
{
    EXPECT_FALSE(ShowTrayIcon(owner.hwnd, Icon(L"olico.ico"), L"Outlook", true));
    EXPECT_FALSE(test::ShellHasIcon(owner.hwnd));
    EXPECT_FALSE(ShowTrayBalloon(owner.hwnd, L"text", L"title", 10000));
    EXPECT_FALSE(RemoveTrayIcon(owner.hwnd));
}

TEST_F(Tray, MissingIconFileStillGivesAWorkingIcon)
{
    EXPECT_TRUE(ShowTrayIcon(owner.hwnd, Icon(L"missing.ico"), L"Outlook"));
    EXPECT_TRUE(test::ShellHasIcon(owner.hwnd));
}

TEST_F(Tray, UnicodeAndOverlongTextsAreAccepted)
{
    ASSERT_TRUE(ShowTrayIcon(owner.hwnd, Icon(L"bell.ico"), std::wstring(70, L'\x03A9')));
    std::wstring text = L"-\x4F1A\x8BAE \xD83D\xDCC5 \x0393\x03B5\x03B9\x03B1\r\n" + std::wstring(300, L'x');
    EXPECT_TRUE(ShowTrayBalloon(owner.hwnd, text, std::wstring(70, L'\x65E5'), 10000));
}

TEST_F(Tray, RestoreAddsEveryIconAgain)
{
    ASSERT_TRUE(ShowTrayIcon(owner.hwnd, Icon(L"task.ico"), L"You have overdue tasks!"));
    // The shell forgets the icon, as when Explorer restarts.
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = owner.hwnd;
    data.uID = kTrayIconId;
    ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &data));
    ASSERT_FALSE(test::ShellHasIcon(owner.hwnd));
    RestoreTrayIcons();
    EXPECT_TRUE(test::ShellHasIcon(owner.hwnd));
}

TEST(IconFiles, LoadsSmallOrLargeAndNothingFromNonIcons)
{
    test::ProgramFolder folder;
    HICON small = LoadIconFromFile(folder.Path() + L"olico.ico", 0, true);
    HICON large = LoadIconFromFile(folder.Path() + L"olico.ico", 0, false);
    ASSERT_NE(small, nullptr);
    ASSERT_NE(large, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(small, &info));
    BITMAP bitmap{};
    ::GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, ::GetSystemMetrics(SM_CXSMICON));
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    ::DestroyIcon(small);
    ::DestroyIcon(large);

    EXPECT_EQ(LoadIconFromFile(folder.Path() + L"missing.ico", 0, true), nullptr);
    test::WriteTextFile(folder.Path() + L"not-an-icon.ico", "hello");
    EXPECT_EQ(LoadIconFromFile(folder.Path() + L"not-an-icon.ico", 0, true), nullptr);
}

TEST(WindowsVersion, IsAnNtVersionThatShowsBalloons)
{
    EXPECT_GE(GetWindowsVersion(), 5.0);
}
