// The day's meetings against the stand-in's calendar: the tip and the Today
// section, a meeting added in Outlook, Join, the program's own warning, and
// no call into Outlook while nothing changes.
#include "MainWindowFixture.h"
#include "Inspector.h"

#include "core/AppMessages.h"
#include "core/Clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using standin::CountLines;
using standin::HasLine;

namespace {

struct Today : test::MainWindowFixture {
    // The program's clock reads 10:00 of today, whatever the hour: the
    // meetings lie hours ahead, all of them today. The stand-in is given
    // their dates in full, in the same frame.
    void SetUp() override
    {
        const double real = LocalNow();
        m_now = std::floor(real) + 10.0 / 24;
        SetLocalClockOffset(m_now - real);
    }
    void TearDown() override
    {
        test::MainWindowFixture::TearDown();
        SetLocalClockOffset(0);
    }
    // "YYYY-MM-DD HH:MM", quoted, that many minutes from the program's 10:00.
    std::string At(double minutes) const
    {
        SYSTEMTIME at{};
        ::VariantTimeToSystemTime(m_now + minutes / (24 * 60), &at);
        char text[32];
        std::snprintf(text, sizeof text, "\"%04u-%02u-%02u %02u:%02u\"", at.wYear, at.wMonth, at.wDay, at.wHour,
                      at.wMinute);
        return text;
    }
    std::string Day() const
    {
        // A scenario with the dates of the program's day.
        return "item folder=Calendar subject=Review entryid=R1 start=" + At(30) + " end=" + At(90) +
               " reminder=none location=\"Room 4 https://acme.zoom.us/j/123\"\n"
               // a daily series that began three days ago and meets two hours from now
               "item folder=Calendar subject=Standup entryid=S1 start=" + At(-3 * 1440 + 120) +
               " end=" + At(-3 * 1440 + 135) + " daily=1 reminder=none\n"
               "item folder=Calendar subject=Declined entryid=D1 start=" + At(10) + " end=" + At(20) +
               " response=declined reminder=none\n"
               "item folder=Calendar subject=Cancelled entryid=C1 start=" + At(15) + " end=" + At(25) +
               " status=cancelled reminder=none\n"
               "item folder=Calendar subject=Holiday entryid=H1 start=" + At(-600) + " end=" + At(840) +
               " allday=1 reminder=none\n"
               "item folder=Calendar subject=\"Focus & think\" entryid=F1 start=" + At(180) + " end=" + At(240) +
               " busy=free reminder=none\n";
    }
    double m_now = 0;
    // The Today section as the popup shows it, from its header to its separator.
    std::vector<std::wstring> TodaySection()
    {
        Inspector::tmnuFile_Click(*window);
        HMENU menu = Inspector::TrayMenu(*window);
        std::vector<std::wstring> items;
        for (int i = 0, n = ::GetMenuItemCount(menu); i < n; ++i) {
            const UINT id = ::GetMenuItemID(menu, i);
            if (id < IDM_TODAY_HEADER || id > IDM_TODAY_LAST || id == IDM_TODAY_SEPARATOR) continue;
            wchar_t text[256] = {};
            ::GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
            items.push_back(text);
        }
        return items;
    }
    // The prefix's handler for https while it lives (Wine reads the machine's classes only).
    struct HttpsHandler {
        static constexpr const wchar_t* kKey = L"Software\\Classes\\https\\shell\\open\\command";
        std::vector<wchar_t> old = std::vector<wchar_t>(1024);
        bool hadOld = false;
        explicit HttpsHandler(const std::wstring& command)
        {
            DWORD size = static_cast<DWORD>(old.size() * sizeof(wchar_t));
            hadOld = ::RegGetValueW(HKEY_LOCAL_MACHINE, kKey, nullptr, RRF_RT_REG_SZ, nullptr, old.data(), &size) ==
                     ERROR_SUCCESS;
            EXPECT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, nullptr, REG_SZ, command.c_str(),
                                        static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))),
                      ERROR_SUCCESS);
        }
        ~HttpsHandler()
        {
            if (hadOld)
                ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, nullptr, REG_SZ, old.data(),
                                  static_cast<DWORD>((wcslen(old.data()) + 1) * sizeof(wchar_t)));
            else
                ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey, nullptr);
        }
    };
    static bool StartsWith(const std::wstring& text, const std::wstring& start) { return text.rfind(start, 0) == 0; }
    // What the program asked of Outlook: the journal's calls.
    size_t Calls() const { return CountLines(standin.Journal(), " -> "); }
    std::string JournalText() const
    {
        std::string text;
        for (const std::string& line : standin.Journal()) text += line + "\n";
        return text;
    }
    void TodayTimer() { ::SendMessageW(window->Hwnd(), WM_TIMER, wl::kTodayTimer, 0); }
};

}  // namespace

TEST_F(Today, TheTipAndTheMenuShowTheDaysMeetingsFollowOutlookAndAskNothingWhileNothingChanges)
{
    WriteSettings("[settings]\r\nDontTrackOverdueTasks=-1\r\n");
    StartStandIn(Day());
    LoadWindow();
    // The series' occurrence of today is found only with recurrences included.
    EXPECT_TRUE(test::PumpUntil([&] { return StartsWith(TrayTip(), L"Next: Review "); })) << TrayTip();
    EXPECT_NE(TrayTip().find(L"(in 30 min)"), std::wstring::npos) << TrayTip();
    // Within the hour the countdown goes down at 10:01; nothing else is timed before.
    EXPECT_NEAR(Inspector::TodayTimerAt(*window), m_now + 1.0 / (24 * 60), 1.0 / 86'400);
    std::vector<std::wstring> section = TodaySection();
    ASSERT_EQ(section.size(), 5u);
    EXPECT_EQ(section[0], L"Today");
    EXPECT_NE(section[1].find(L"  Review"), std::wstring::npos);
    EXPECT_EQ(section[2], L"      Join");
    EXPECT_NE(section[3].find(L"  Standup"), std::wstring::npos);
    EXPECT_NE(section[4].find(L"  Focus && think"), std::wstring::npos);  // shown as "Focus & think"
    EXPECT_FALSE(HasLine(standin.Journal(), "Body("));  // the object model guard's member is never read

    // Choosing a meeting opens it in Outlook.
    ::SendMessageW(window->Hwnd(), WM_COMMAND, IDM_TODAY_FIRST + 2 * 1, 0);
    EXPECT_TRUE(HasLine(standin.Journal(), "NameSpace.GetItemFromID(\"S1\""));
    EXPECT_TRUE(HasLine(standin.Journal(), "Item:S1.Display("));

    // Nothing changes: the clock's timer redraws from the values held and
    // nothing is asked of Outlook.
    ASSERT_TRUE(standin::ReplyOk(standin.Command("journal-clear")));
    TodayTimer();
    test::Pump(2500ms);
    EXPECT_EQ(Calls(), 0u) << JournalText();

    // A meeting added in Outlook appears within seconds; the changes of a
    // second are read once.
    ASSERT_TRUE(standin::ReplyOk(
        standin.Command("add folder=Calendar subject=Added entryid=N1 start=" + At(20) + " end=" + At(25) +
                        " reminder=none")));
    test::Pump(300ms);
    ASSERT_TRUE(standin::ReplyOk(standin.Command("set R1 location=\"Room 5 https://acme.zoom.us/j/123\"")));
    test::Pump(300ms);
    ASSERT_TRUE(standin::ReplyOk(standin.Command("set F1 subject=\"Focus & think more\"")));
    EXPECT_TRUE(test::PumpUntil([&] { return StartsWith(TrayTip(), L"Next: Added "); }, 10s)) << TrayTip();
    test::Pump(2000ms);
    EXPECT_EQ(CountLines(standin.Journal(), "Restrict("), 1u) << JournalText();
    EXPECT_EQ(TodaySection().size(), 6u);
}

TEST_F(Today, JoinInTheMenuOpensTheMeetingsLinkWithTheShell)
{
    test::TempFolder handler;
    const std::wstring recorder = handler.Path() + L"record-args.exe";
    ASSERT_TRUE(::CopyFileW((test::BinFolder() + L"record-args.exe").c_str(), recorder.c_str(), FALSE));
    HttpsHandler https(L"\"" + recorder + L"\" \"%1\"");

    WriteSettings("[settings]\r\nDontTrackOverdueTasks=-1\r\n");
    StartStandIn(Day());
    LoadWindow();
    ASSERT_TRUE(test::PumpUntil([&] { return StartsWith(TrayTip(), L"Next: Review "); }));
    ASSERT_EQ(TodaySection().at(2), L"      Join");
    ::SendMessageW(window->Hwnd(), WM_COMMAND, IDM_TODAY_FIRST + 1, 0);
    const std::wstring started = handler.Path() + L"started.txt";
    ASSERT_TRUE(test::PumpUntil([&] { return test::FileExists(started); }, 20s));
    EXPECT_NE(test::ReadTextFile(started).find("\"https://acme.zoom.us/j/123\""), std::string::npos)
        << test::ReadTextFile(started);
}

TEST_F(Today, TheOwnWarningComesOnceOnTheCardLeavesOutlooksOwnToItAndActsOnItselfOnly)
{
    WriteSettings("[settings]\r\nDontTrackOverdueTasks=-1\r\nWarnMinutesBefore=5\r\n");
    // W1 has no reminder; O1's own reminder comes five minutes before it, as the warning would.
    StartStandIn("item folder=Calendar subject=Sync entryid=W1 start=" + At(4) + " end=" + At(30) +
                 " reminder=none location=https://acme.zoom.us/j/9\n"
                 "item folder=Calendar subject=Board entryid=O1 start=" + At(4) + " end=" + At(30) +
                 " reminder=" + At(-1) + " visible=1\n");
    LoadWindow();
    frmCard& card = Inspector::Card(*window);
    auto items = [&] { return Inspector::CardItems(card); };
    ASSERT_TRUE(test::PumpUntil([&] { return items().size() == 2u; })) << items().size();
    std::vector<wl::Reminder> shown = items();
    auto own = std::find_if(shown.begin(), shown.end(), [](const wl::Reminder& r) { return r.ownWarning; });
    ASSERT_NE(own, shown.end());
    EXPECT_EQ(own->entryId, L"W1");
    EXPECT_EQ(own->joinLink, L"https://acme.zoom.us/j/9");
    EXPECT_EQ(std::count_if(shown.begin(), shown.end(), [](const wl::Reminder& r) { return r.entryId == L"O1"; }), 1);

    // Once only: neither the clock nor another read brings it again.
    TodayTimer();
    ASSERT_TRUE(standin::ReplyOk(standin.Command("set W1 subject=Sync2")));
    test::Pump(2500ms);
    EXPECT_EQ(items().size(), 2u);

    // Snoozed on the card: Wendlock's own warning goes, Outlook is not asked,
    // and it comes back five minutes later.
    auto click = [&](int field) {
        const int row = items().back().entryId == L"W1" ? 0 : 1;  // newest first
        ::SendMessageW(card.Hwnd(), WM_COMMAND,
                       MAKEWPARAM(IDC_CARD_FIRST + row * IDC_CARD_ROW_STEP + field, STN_CLICKED), 0);
    };
    const size_t calls = Calls();
    click(IDC_CARD_SNOOZE);
    ASSERT_EQ(items().size(), 1u);
    EXPECT_EQ(items().front().entryId, L"O1");
    EXPECT_EQ(Calls(), calls);
    const double real = LocalNow();
    SetLocalClockOffset(0);
    SetLocalClockOffset(real + 5.2 / (24 * 60) - LocalNow());  // five minutes and a little later
    TodayTimer();
    ASSERT_EQ(items().size(), 2u);

    // Dismissed on the card: gone for good, Outlook not asked.
    const size_t before = Calls();
    click(IDC_CARD_DISMISS);
    ASSERT_EQ(items().size(), 1u);
    EXPECT_EQ(items().front().entryId, L"O1");
    EXPECT_EQ(Calls(), before);
    TodayTimer();
    test::Pump(300ms);
    EXPECT_EQ(items().size(), 1u);
}

TEST_F(Today, ADayThatCouldNotBeReadIsReadAgainByTheHourlyTimer)
{
    WriteSettings("[settings]\r\nDontTrackOverdueTasks=-1\r\n");
    StartStandIn(Day());
    // Outlook cannot answer when the day is read at connect (a dialog open, a long sync).
    ASSERT_TRUE(standin::ReplyOk(standin.Command("fail Items.Restrict")));
    LoadWindow();
    ASSERT_TRUE(test::PumpUntil([&] { return HasLine(standin.Journal(), "Restrict"); }));
    test::Pump(300ms);
    EXPECT_FALSE(StartsWith(TrayTip(), L"Next: ")) << TrayTip();
    ASSERT_TRUE(standin::ReplyOk(standin.Command("unfail Items.Restrict")));
    // The same day: only the failed read brings the timer to read again.
    ::SendMessageW(window->Hwnd(), WM_TIMER, wl::kMidnightTimer, 0);
    EXPECT_TRUE(test::PumpUntil([&] { return StartsWith(TrayTip(), L"Next: Review "); })) << TrayTip();
}

TEST_F(Today, NoWarningWhereCardsAreTurnedOff)
{
    WriteSettings("[settings]\r\nDontTrackOverdueTasks=-1\r\nWarnMinutesBefore=5\r\nDontShowReminderCard=-1\r\n");
    StartStandIn("item folder=Calendar subject=Sync entryid=W1 start=" + At(4) + " end=" + At(30) + " reminder=none\n");
    LoadWindow();
    ASSERT_TRUE(test::PumpUntil([&] { return StartsWith(TrayTip(), L"Next: Sync "); })) << TrayTip();
    TodayTimer();
    test::Pump(300ms);
    EXPECT_TRUE(Inspector::CardItems(Inspector::Card(*window)).empty());
}

TEST_F(Today, TheWarningIsChosenInOptionsAndKeptInTheSettingsFile)
{
    WriteSettings("[settings]\r\nDontTrackOverdueTasks=-1\r\n");
    StartStandIn();
    LoadWindow();
    EXPECT_EQ(g_intWarnMinutesBefore, wl::kWarnOff);  // off unless asked for
    EXPECT_EQ(TrayTip(), L"No more meetings today");
    EXPECT_EQ(Inspector::TodayTimerAt(*window), 0.0);  // nothing left today: no timer but midnight's
    Inspector::UpdateSettingsView(*window);
    auto control = [&](int id) { return ::GetDlgItem(window->Hwnd(), id); };
    EXPECT_NE(::SendMessageW(control(IDC_CHKWARN), BM_GETCHECK, 0, 0), BST_CHECKED);
    ASSERT_EQ(::SendMessageW(control(IDC_CMBWARN), CB_GETCOUNT, 0, 0), 6);
    ::SendMessageW(control(IDC_CHKWARN), BM_CLICK, 0, 0);
    ::SendMessageW(control(IDC_CMBWARN), CB_SETCURSEL, 4, 0);  // 0, 1, 2, 5, 10, 15
    ::SendMessageW(control(IDC_CHKKEEPLOADED), BM_SETCHECK, BST_CHECKED, 0);
    ::SendMessageW(control(IDOK), BM_CLICK, 0, 0);
    EXPECT_EQ(g_intWarnMinutesBefore, 10);
    window->Unload(UnloadMode::FormCode);
    EXPECT_EQ(ReadIniSetting(L"WarnMinutesBefore"), L"10");
    g_intWarnMinutesBefore = wl::kWarnOff;
    ReadStartupSettings();
    EXPECT_EQ(g_intWarnMinutesBefore, 10);
}
