// The overdue tasks of every store in the profile: each store's Tasks folder
// read, a store that raises passed over, each line acted on through its own
// store, and stores that come and go while the program runs.
#include "MainWindowFixture.h"
#include "Inspector.h"

#include "resources/resource.h"

#include <commctrl.h>

#include <gtest/gtest.h>

using standin::CountLines;
using standin::HasLine;
using standin::InOrder;

namespace {

struct Stores : test::MainWindowFixture {
    frmReminders& Tasks() { return *Inspector::OverdueTasksWindow(*window); }
    static void Press(frmReminders& alert, int id)
    {
        ::SendMessageW(::GetDlgItem(alert.Hwnd(), id), BM_CLICK, 0, 0);
    }
    static void Select(frmReminders& alert, int line)
    {
        ::SendMessageW(::GetDlgItem(alert.Hwnd(), IDC_LSTREMINDERS), LB_SETCURSEL, static_cast<WPARAM>(line), 0);
    }
    static bool EndsWith(const std::wstring& text, const std::wstring& end)
    {
        return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
    }
    static std::wstring Subject(const std::wstring& line) { return line.substr(0, line.find(L' ')); }
    std::vector<std::wstring> Subjects()
    {
        std::vector<std::wstring> subjects;
        if (const auto& alert = Inspector::OverdueTasksWindow(*window))
            for (const std::wstring& line : Inspector::Lines(*alert)) subjects.push_back(Subject(line));
        return subjects;
    }
};

const char kStores[] =
    "store \"Mailbox - Ana\"\n"
    "other-store \"Archive\" storeid=ARCH1\n"
    "other-store \"Broken Data File\" tasks=missing\n"
    "item folder=Tasks subject=Mine entryid=T1 due=yesterday complete=0\n"
    "item folder=Tasks subject=Later entryid=T2 due=tomorrow complete=0\n"
    "item folder=Tasks store=Archive subject=Filed entryid=A1 due=today-3d complete=0\n"
    "item folder=Tasks store=Archive subject=FiledDone entryid=A2 due=today-3d complete=1\n";

}  // namespace

TEST_F(Stores, EveryStoresOverdueTasksAreListedWithItsNameAndActedOnThroughItsOwnStore)
{
    StartStandIn(kStores);
    LoadWindow();
    ASSERT_NE(Inspector::OverdueTasksWindow(*window), nullptr);
    const auto lines = Inspector::Lines(Tasks());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(Subject(lines[0]), L"Mine");
    EXPECT_TRUE(EndsWith(lines[0], L" (Mailbox - Ana)")) << lines[0];
    EXPECT_EQ(Subject(lines[1]), L"Filed");
    EXPECT_TRUE(EndsWith(lines[1], L" (Archive)")) << lines[1];

    // The store without a Tasks folder stopped nothing, and About names it.
    EXPECT_TRUE(HasLine(standin.Journal(), "Store:Broken Data File.GetDefaultFolder(13) -> !0x8004010F"));
    EXPECT_NE(Inspector::AboutText(*window).find(L"\r\nStores not read: Broken Data File"), std::wstring::npos)
        << Inspector::AboutText(*window);

    // Open and Mark Complete ask Outlook for the item in its own store.
    Select(Tasks(), 1);
    Press(Tasks(), IDC_CMDDISPLAY);
    EXPECT_TRUE(InOrder(standin.Journal(),
                        {"NameSpace.GetItemFromID(\"A1\", \"ARCH1\") -> Item:A1", "Item:A1.Display()"}));
    ASSERT_TRUE(standin::ReplyOk(standin.Command("journal-clear")));
    Select(Tasks(), 1);
    Press(Tasks(), IDC_CMDMARKCOMPLETE);
    EXPECT_TRUE(InOrder(standin.Journal(), {"NameSpace.GetItemFromID(\"A1\", \"ARCH1\") -> Item:A1",
                                            "Item:A1.MarkComplete()", "Item:A1.Save()"}));
    // One store left in the list: its line no longer names it.
    ASSERT_EQ(Inspector::Lines(Tasks()).size(), 1u);
    EXPECT_EQ(Inspector::Lines(Tasks())[0].find(L"(Mailbox - Ana)"), std::wstring::npos);

    // Once every store is read again, About names none.
    ASSERT_TRUE(standin::ReplyOk(standin.Command("store-remove \"Broken Data File\"")));
    EXPECT_TRUE(Inspector::ScanForOverdueTasks(*window));
    EXPECT_EQ(Inspector::AboutText(*window).find(L"Stores not read"), std::wstring::npos);
}

// A store added while the program runs has its tasks listed, and one leaving
// the profile has its lines dropped, each without waiting for the next
// refresh.
TEST_F(Stores, StoresAddedOrRemovedWhileRunningAreFollowed)
{
    StartStandIn("store \"Mailbox - Ana\"\n"
                 "other-store \"Team Box\" storeid=TEAM1\n"
                 "item folder=Tasks subject=Mine entryid=T1 due=yesterday complete=0\n"
                 "item folder=Tasks store=TEAM1 subject=Shared entryid=S1 due=yesterday complete=0\n");
    LoadWindow();
    ASSERT_EQ(Subjects(), (std::vector<std::wstring>{L"Mine", L"Shared"}));

    // Outlook lists a store it is taking out until it is done: the store
    // that announced it is leaving is passed over all the same.
    ASSERT_TRUE(standin::ReplyOk(standin.Command("store-remove TEAM1 60000")));
    EXPECT_TRUE(test::PumpUntil([&] { return Subjects() == std::vector<std::wstring>{L"Mine"}; }));

    ASSERT_EQ(standin::ReplyStatus(standin.Command("store-add \"Projects\" storeid=PROJ1")), "ok PROJ1");
    EXPECT_TRUE(test::PumpUntil(
        [&] { return HasLine(standin.Journal(), "Store:Projects.GetDefaultFolder(13) -> Folder:Projects/Tasks"); }));
    ASSERT_TRUE(standin::ReplyOk(
        standin.Command("add folder=Tasks store=PROJ1 subject=Planned entryid=P1 due=yesterday complete=0")));
    EXPECT_TRUE(Inspector::ScanForOverdueTasks(*window));
    EXPECT_EQ(Subjects(), (std::vector<std::wstring>{L"Mine", L"Planned"}));
    EXPECT_TRUE(HasLine(standin.Journal(), "Fire StoreAdd(Store:Projects) -> 1 sinks"));
}

// Options lists every store with a check box; one left out loses its lines at
// once and stays out, by its store id, for the next start.
TEST_F(Stores, AStoreLeftOutInOptionsDropsItsLinesAndStaysOutByItsId)
{
    StartStandIn(kStores);
    LoadWindow();
    ASSERT_EQ(Subjects(), (std::vector<std::wstring>{L"Mine", L"Filed"}));
    auto storesList = [&] {
        Inspector::UpdateSettingsView(*window);
        HWND list = ::GetDlgItem(window->Hwnd(), IDC_LSTSTORES);
        std::vector<std::pair<std::wstring, bool>> rows;
        for (int i = 0; i < ListView_GetItemCount(list); ++i) {
            wchar_t text[128] = {};
            ListView_GetItemText(list, i, 0, text, 128);
            rows.emplace_back(text, ListView_GetCheckState(list, i) != 0);
        }
        return rows;
    };
    using Rows = std::vector<std::pair<std::wstring, bool>>;
    EXPECT_EQ(storesList(), (Rows{{L"Mailbox - Ana", true}, {L"Archive", true}, {L"Broken Data File", true}}));

    ListView_SetCheckState(::GetDlgItem(window->Hwnd(), IDC_LSTSTORES), 1, FALSE);
    ::SendMessageW(::GetDlgItem(window->Hwnd(), IDOK), BM_CLICK, 0, 0);
    EXPECT_EQ(Subjects(), (std::vector<std::wstring>{L"Mine"}));
    EXPECT_NE(test::ReadTextFile(folder.SettingsFile()).find("StoresLeftOut=ARCH1"), std::string::npos)
        << test::ReadTextFile(folder.SettingsFile());

    // The next start reads it.
    window->Unload(UnloadMode::FormCode);
    window.reset();
    LoadWindow();
    EXPECT_EQ(Subjects(), (std::vector<std::wstring>{L"Mine"}));
    EXPECT_EQ(storesList(), (Rows{{L"Mailbox - Ana", true}, {L"Archive", false}, {L"Broken Data File", true}}));
}
