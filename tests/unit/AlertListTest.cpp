#include "alerts/AlertList.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

using namespace wl;

namespace {

// An item whose reads are counted and can be made to fail.
struct Reads {
    int folder = 0, entryId = 0, subject = 0, date = 0;
    int Identity() const { return folder + entryId; }
};

class TestItem final : public AlertItem {
public:
    TestItem(std::wstring folder, std::wstring id, std::wstring subject, std::wstring date, Reads& reads)
        : m_folder(std::move(folder)), m_id(std::move(id)), m_subject(std::move(subject)), m_date(std::move(date)),
          m_reads(reads) {}

    std::optional<std::wstring> FolderName() override { return ++m_reads.folder, Maybe(m_folder); }
    std::optional<std::wstring> EntryID() override { return ++m_reads.entryId, Maybe(m_id); }
    std::optional<std::wstring> Subject() override { return ++m_reads.subject, Maybe(m_subject); }
    std::optional<std::wstring> DateText(AlertMode mode) override
    {
        ++m_reads.date;
        lastMode = mode;
        return Maybe(m_date);
    }

    bool broken = false;  // every read fails, as for an item deleted in Outlook
    AlertMode lastMode = static_cast<AlertMode>(-1);

private:
    std::optional<std::wstring> Maybe(const std::wstring& v) const
    {
        if (broken || v == L"<fail>") return std::nullopt;
        return v;
    }
    std::wstring m_folder, m_id, m_subject, m_date;
    Reads& m_reads;
};

struct ListFixture : testing::Test {
    Reads reads;
    AlertList list;
    std::shared_ptr<TestItem> Item(std::wstring folder, std::wstring id, std::wstring subject = L"s",
                                   std::wstring date = L"d")
    {
        return std::make_shared<TestItem>(std::move(folder), std::move(id), std::move(subject), std::move(date),
                                          reads);
    }
};

}  // namespace

TEST_F(ListFixture, AddingToAnEmptyListReadsNothing)
{
    EXPECT_TRUE(list.Add(Item(L"Tasks", L"A")));
    EXPECT_EQ(reads.Identity() + reads.subject + reads.date, 0);
    EXPECT_EQ(list.Count(), 1u);
}

TEST_F(ListFixture, SameFolderAndEntryIdIsAddedOnce)
{
    EXPECT_TRUE(list.Add(Item(L"Tasks", L"A")));
    EXPECT_FALSE(list.Add(Item(L"Tasks", L"A")));
    EXPECT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.Lines(ModeReminders, L"?").size(), 1u);
}

TEST_F(ListFixture, ComparisonIsExactAndNeedsBothParts)
{
    list.Add(Item(L"Tasks", L"A"));
    EXPECT_TRUE(list.Add(Item(L"Inbox", L"A")));   // same id, other folder name
    EXPECT_TRUE(list.Add(Item(L"Tasks", L"a")));   // case matters
    EXPECT_TRUE(list.Add(Item(L"tasks", L"A")));
    EXPECT_TRUE(list.Add(Item(L"Tasks", L"A ")));
    EXPECT_FALSE(list.Add(Item(L"Inbox", L"A")));
    EXPECT_EQ(list.Count(), 5u);
}

TEST_F(ListFixture, AnUnreadableStoredItemMatchesNothing)
{
    auto broken = Item(L"Tasks", L"A");
    list.Add(broken);
    list.Add(Item(L"Tasks", L"B"));
    list.Lines(ModeReminders, L"?");  // the next scan reads afresh
    broken->broken = true;            // deleted in Outlook meanwhile
    // Same identity as the broken one: not a match, so it is added...
    EXPECT_TRUE(list.Add(Item(L"Tasks", L"A")));
    // ...but later entries are still compared.
    EXPECT_FALSE(list.Add(Item(L"Tasks", L"B")));
    EXPECT_EQ(list.Count(), 3u);
}

TEST_F(ListFixture, AnUnreadableNewItemIsAdded)
{
    list.Add(Item(L"Tasks", L"A"));
    EXPECT_TRUE(list.Add(Item(L"<fail>", L"A")));
    EXPECT_TRUE(list.Add(Item(L"Tasks", L"<fail>")));
    EXPECT_TRUE(list.Add(Item(L"<fail>", L"A")));  // an unreadable one is never a match
    EXPECT_EQ(list.Count(), 4u);
}

TEST_F(ListFixture, AScanReadsEachIdentityOnce)
{
    // A scan adds n items then rebuilds the list: linear, not quadratic.
    const int n = 500;
    for (int i = 0; i < n; ++i) list.Add(Item(L"Tasks", std::to_wstring(i)));
    EXPECT_EQ(reads.folder, n);
    EXPECT_EQ(reads.entryId, n);
    list.Lines(ModeOverdueTasks, L"?");

    // The next scan finds the same items again: each stored and each new one read once.
    reads = {};
    for (int i = 0; i < n; ++i) EXPECT_FALSE(list.Add(Item(L"Tasks", std::to_wstring(i))));
    EXPECT_EQ(reads.folder, 2 * n);
    EXPECT_EQ(list.Count(), static_cast<size_t>(n));
}

TEST_F(ListFixture, RemovingOrClearingReadsIdentitiesAfresh)
{
    auto a = Item(L"Tasks", L"A");
    list.Add(a);
    list.Add(Item(L"Tasks", L"B"));
    list.Remove(0);
    EXPECT_TRUE(list.Add(Item(L"Tasks", L"A")));  // no stale identity of the removed item
    list.Remove(99);                               // out of range: nothing
    EXPECT_EQ(list.Count(), 2u);
    list.Clear();
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_TRUE(list.Add(Item(L"Tasks", L"B")));
}

TEST_F(ListFixture, LinesFollowTheItemsOneForOne)
{
    list.Add(Item(L"Tasks", L"1", L"Report", L"08/12/2026 10:00:00"));
    list.Add(Item(L"Tasks", L"2", L"No date", L"<fail>"));
    list.Add(Item(L"Tasks", L"3", L"<fail>", L"08/12/2026"));
    list.Add(Item(L"Tasks", L"4", L"\x65E5\x672C \xD83D\xDE00", L"09/12/2026"));
    auto lines = list.Lines(ModeOverdueTasks, L"(unreadable)");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], L"Report 08/12/2026 10:00:00");
    EXPECT_EQ(lines[1], L"No date");
    EXPECT_EQ(lines[2], L"(unreadable)");
    EXPECT_EQ(lines[3], L"\x65E5\x672C \xD83D\xDE00 09/12/2026");
}

TEST_F(ListFixture, LinesAskForTheModesDate)
{
    auto item = Item(L"Inbox", L"1");
    list.Add(item);
    list.Lines(ModeReminders, L"?");
    EXPECT_EQ(item->lastMode, ModeReminders);
    list.Lines(ModeOverdueTasks, L"?");
    EXPECT_EQ(item->lastMode, ModeOverdueTasks);
    EXPECT_TRUE(list.Lines(static_cast<AlertMode>(7), L"?").empty());
}

// Replace: a scan's findings become the list.

namespace {

std::vector<std::wstring> Subjects(AlertList& list)
{
    std::vector<std::wstring> subjects;
    for (std::size_t i = 0; i < list.Count(); ++i) subjects.push_back(list.At(i)->Subject().value_or(L"?"));
    return subjects;
}

}  // namespace

TEST_F(ListFixture, ReplaceKeepsTheStayingInPlaceDropsTheRestAndAppendsTheNew)
{
    list.Add(Item(L"Tasks", L"A", L"a1"));
    list.Add(Item(L"Tasks", L"B", L"b1"));
    list.Add(Item(L"Tasks", L"C", L"c1"));
    // B is done; A and C are still overdue, A renamed meanwhile; D is new.
    EXPECT_EQ(list.Replace({Item(L"Tasks", L"D", L"d2"), Item(L"Tasks", L"C", L"c2"), Item(L"Tasks", L"A", L"a2")}),
              1u);
    EXPECT_EQ(Subjects(list), (std::vector<std::wstring>{L"a2", L"c2", L"d2"}));
    EXPECT_EQ(list.Lines(ModeOverdueTasks, L"?"), (std::vector<std::wstring>{L"a2 d", L"c2 d", L"d2 d"}));
}

TEST_F(ListFixture, ReplaceWithTheSameFindsNothingNewAndWithNoneEmpties)
{
    list.Add(Item(L"Tasks", L"A"));
    list.Add(Item(L"Tasks", L"B"));
    EXPECT_EQ(list.Replace({Item(L"Tasks", L"A"), Item(L"Tasks", L"B")}), 0u);
    EXPECT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.Replace({}), 0u);
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(list.Replace({Item(L"Tasks", L"A")}), 1u);  // into an empty list everything is new
}

TEST_F(ListFixture, ReplaceComparesAsAddDoes)
{
    auto broken = Item(L"Tasks", L"A", L"old");
    list.Add(broken);
    list.Add(Item(L"Tasks", L"B", L"b"));
    broken->broken = true;  // deleted in Outlook: matches nothing, so it goes
    EXPECT_EQ(list.Replace({Item(L"Tasks", L"A", L"new"), Item(L"Tasks", L"b", L"case"), Item(L"Tasks", L"B", L"b"),
                            Item(L"Tasks", L"B", L"twice"), Item(L"<fail>", L"C", L"unreadable"), nullptr}),
              3u);
    EXPECT_EQ(Subjects(list), (std::vector<std::wstring>{L"b", L"new", L"case", L"unreadable"}));
}

TEST_F(ListFixture, ReplaceReadsEachIdentityOnce)
{
    const int n = 500;
    for (int i = 0; i < n; ++i) list.Add(Item(L"Tasks", std::to_wstring(i)));
    list.Lines(ModeOverdueTasks, L"?");
    reads = {};
    std::vector<std::shared_ptr<AlertItem>> found;
    for (int i = n / 2; i < n + n / 2; ++i) found.push_back(Item(L"Tasks", std::to_wstring(i)));
    EXPECT_EQ(list.Replace(std::move(found)), static_cast<std::size_t>(n / 2));
    EXPECT_EQ(reads.folder, 2 * n);
    EXPECT_EQ(reads.entryId, 2 * n);
    EXPECT_EQ(reads.subject + reads.date, 0);
    EXPECT_EQ(list.Count(), static_cast<std::size_t>(n));
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
