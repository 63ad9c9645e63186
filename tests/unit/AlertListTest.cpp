#include "alerts/AlertList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace wl;

namespace {

// Dates in these tests are whole days; their text is the day's number.
std::optional<std::wstring> DayText(double date)
{
    if (date >= 2000000) return std::nullopt;  // a date automation cannot show
    return L"day" + std::to_wstring(static_cast<long>(date));
}

AlertItem Item(std::optional<std::wstring> folder, std::wstring id, std::optional<std::wstring> subject = L"s",
               std::optional<double> date = 1)
{
    return {std::move(folder), std::move(id), {}, std::move(subject), date, {}, {}};
}

std::vector<std::wstring> Subjects(const AlertList& list)
{
    std::vector<std::wstring> subjects;
    for (std::size_t i = 0; i < list.Count(); ++i) subjects.push_back(list.At(i).subject.value_or(L"?"));
    return subjects;
}

}  // namespace

TEST(AlertListAdd, SameFolderAndEntryIdIsHeldOnceComparedExactly)
{
    AlertList list;
    EXPECT_TRUE(list.Add(Item(L"Tasks", L"A")));
    EXPECT_FALSE(list.Add(Item(L"Tasks", L"A")));
    EXPECT_TRUE(list.Add(Item(L"Inbox", L"A")));  // same id, other folder name
    EXPECT_TRUE(list.Add(Item(L"Tasks", L"a")));  // case matters
    EXPECT_TRUE(list.Add(Item(L"tasks", L"A")));
    EXPECT_TRUE(list.Add(Item(L"Tasks", L"A ")));
    EXPECT_FALSE(list.Add(Item(L"Inbox", L"A")));
    EXPECT_EQ(list.Count(), 5u);
    // Without a folder name or an entry id an item matches nothing.
    EXPECT_TRUE(list.Add(Item(std::nullopt, L"A")));
    EXPECT_TRUE(list.Add(Item(std::nullopt, L"A")));
    EXPECT_TRUE(list.Add(Item(L"Tasks", L"")));
    EXPECT_TRUE(list.Add(Item(L"Tasks", L"")));
    EXPECT_EQ(list.Count(), 9u);
}

TEST(AlertListAdd, RemovingUpdatingOrClearingLeavesNoStaleIdentity)
{
    AlertList list;
    list.Add(Item(L"Tasks", L"A"));
    list.Add(Item(L"Tasks", L"B"));
    list.Remove(0);
    EXPECT_TRUE(list.Add(Item(L"Tasks", L"A")));
    list.Remove(99);  // out of range: nothing
    EXPECT_EQ(list.Count(), 2u);
    list.Update(0, Item(L"Inbox", L"B"));  // moved to another folder
    EXPECT_TRUE(list.Add(Item(L"Tasks", L"B")));
    EXPECT_FALSE(list.Add(Item(L"Inbox", L"B")));
    list.Clear();
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_TRUE(list.Add(Item(L"Inbox", L"B")));
}

TEST(AlertListLines, FollowTheItemsOneForOne)
{
    AlertList list;
    list.Add(Item(L"Tasks", L"1", L"Report", 3));
    list.Add(Item(L"Tasks", L"2", L"No date", std::nullopt));
    list.Add(Item(L"Tasks", L"3", std::nullopt, 3));
    list.Add(Item(L"Tasks", L"4", L"\x65E5\x672C \xD83D\xDE00", 4));
    list.Add(Item(L"Tasks", L"5", L"Far", 3000000));
    const std::vector<std::wstring> expected{L"Report day3", L"No date", L"(unreadable)",
                                             L"\x65E5\x672C \xD83D\xDE00 day4", L"Far"};
    EXPECT_EQ(list.Lines(ModeOverdueTasks, L"(unreadable)", &DayText), expected);
    EXPECT_EQ(list.Lines(ModeReminders, L"(unreadable)", &DayText), expected);
    EXPECT_TRUE(list.Lines(static_cast<AlertMode>(7), L"?", &DayText).empty());
    EXPECT_EQ(AlertList::Line(list.At(0), ModeReminders, L"?", &DayText), L"Report day3");
}

// Lines of several stores name their store, shortened; lines of one store do not.
TEST(AlertListLines, NameTheirStoreOnlyWhenTheListHoldsSeveral)
{
    auto inStore = [](std::wstring id, std::wstring subject, std::wstring storeId, std::wstring storeName) {
        AlertItem item = Item(L"Tasks", std::move(id), std::move(subject));
        item.storeId = std::move(storeId);
        item.storeName = std::move(storeName);
        return item;
    };
    AlertList list;
    list.Add(inStore(L"1", L"Mine", L"S1", L"Mailbox - Ana Ferreira"));
    list.Add(inStore(L"2", L"Unknown store", L"", L""));
    EXPECT_EQ(list.Lines(ModeOverdueTasks, L"?", &DayText, L" (%1)"),
              (std::vector<std::wstring>{L"Mine day1", L"Unknown store day1"}));
    list.Add(inStore(L"3", L"Filed", L"S2", L"Archive of the sales team, 2019 to 2024"));
    EXPECT_EQ(list.Lines(ModeOverdueTasks, L"?", &DayText, L" [%1]"),
              (std::vector<std::wstring>{L"Mine day1 [Mailbox - Ana Ferreira]", L"Unknown store day1",
                                         L"Filed day1 [Archive of the sales te\u2026]"}));
    EXPECT_EQ(list.Lines(ModeOverdueTasks, L"?", &DayText)[0], L"Mine day1");  // no label: no name

    EXPECT_EQ(ShortStoreName(L"Archive"), L"Archive");
    EXPECT_EQ(ShortStoreName(std::wstring(kStoreNameChars, L'x')), std::wstring(kStoreNameChars, L'x'));
    EXPECT_EQ(ShortStoreName(std::wstring(kStoreNameChars + 1, L'x')).size(), kStoreNameChars);
    // A character outside the BMP is not cut in half.
    const std::wstring pairAtCut = std::wstring(kStoreNameChars - 2, L'x') + L"\xD83D\xDE00tail";
    EXPECT_EQ(ShortStoreName(pairAtCut), std::wstring(kStoreNameChars - 2, L'x') + L"\u2026");
}

// Replace: a scan's findings become the list.

TEST(AlertListReplace, KeepsTheStayingInPlaceDropsTheRestAndAppendsTheNew)
{
    AlertList list;
    list.Add(Item(L"Tasks", L"A", L"a1"));
    list.Add(Item(L"Tasks", L"B", L"b1"));
    list.Add(Item(L"Tasks", L"C", L"c1"));
    // B is done; A and C are still overdue, A renamed meanwhile; D is new.
    EXPECT_EQ(list.Replace({Item(L"Tasks", L"D", L"d2"), Item(L"Tasks", L"C", L"c2"), Item(L"Tasks", L"A", L"a2")}),
              1u);
    EXPECT_EQ(Subjects(list), (std::vector<std::wstring>{L"a2", L"c2", L"d2"}));
    EXPECT_EQ(list.Lines(ModeOverdueTasks, L"?", &DayText),
              (std::vector<std::wstring>{L"a2 day1", L"c2 day1", L"d2 day1"}));
}

TEST(AlertListReplace, WithTheSameFindsNothingNewAndWithNoneEmpties)
{
    AlertList list;
    list.Add(Item(L"Tasks", L"A"));
    list.Add(Item(L"Tasks", L"B"));
    EXPECT_EQ(list.Replace({Item(L"Tasks", L"A"), Item(L"Tasks", L"B")}), 0u);
    EXPECT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.Replace({}), 0u);
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(list.Replace({Item(L"Tasks", L"A")}), 1u);  // into an empty list everything is new
}

TEST(AlertListReplace, ComparesAsAddDoes)
{
    AlertList list;
    list.Add(Item(std::nullopt, L"A", L"old"));  // no identity: matches nothing, so it goes
    list.Add(Item(L"Tasks", L"B", L"b"));
    EXPECT_EQ(list.Replace({Item(L"Tasks", L"A", L"new"), Item(L"Tasks", L"b", L"case"), Item(L"Tasks", L"B", L"b"),
                            Item(L"Tasks", L"B", L"twice"), Item(std::nullopt, L"C", L"unreadable")}),
              3u);
    EXPECT_EQ(Subjects(list), (std::vector<std::wstring>{L"b", L"new", L"case", L"unreadable"}));
    // What Replace dropped or held is known to Add afterwards.
    EXPECT_FALSE(list.Add(Item(L"Tasks", L"A")));
    EXPECT_TRUE(list.Add(Item(L"Tasks", L"C")));
}

TEST(BalloonText, ListsThreeLinesAtMost)
{
    const wchar_t* more = L"(more)";
    const wchar_t* details = L"Click here for details";
    EXPECT_EQ(BalloonText({L"L1"}, more, details), L"-L1\r\n\r\nClick here for details");
    EXPECT_EQ(BalloonText({L"L1", L"L2", L"L3"}, more, details),
              L"-L1\r\n-L2\r\n-L3\r\n\r\nClick here for details");
    EXPECT_EQ(BalloonText({L"L1", L"L2", L"L3", L"L4", L"L5"}, more, details),
              L"-L1\r\n-L2\r\n-L3\r\n(more)\r\nClick here for details");
}
