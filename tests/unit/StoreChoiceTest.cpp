#include "outlook/StoreChoice.h"

#include <gtest/gtest.h>

using namespace wl;
using Ids = std::vector<std::wstring>;

TEST(StoreChoice, TheSettingsTextRoundTripsAndToleratesHandEditing)
{
    EXPECT_EQ(StoreIdsFromText(L""), Ids{});
    EXPECT_EQ(StoreIdsFromText(L"A1;B2"), (Ids{L"A1", L"B2"}));
    EXPECT_EQ(StoreIdsFromText(L" A1 ;;\tB2\t; A1;"), (Ids{L"A1", L"B2"}));
    EXPECT_EQ(StoreIdsText({L"A1", L"B2"}), L"A1;B2");
    EXPECT_EQ(StoreIdsFromText(StoreIdsText({L"0000AB", L"FF01"})), (Ids{L"0000AB", L"FF01"}));
    EXPECT_EQ(StoreIdsText({}), L"");
}

TEST(StoreChoice, AStoreNotListedKeepsItsChoiceAndAListedOneTakesTheBox)
{
    // A was left out and is offline now; B was left out and is checked again; C is unchecked.
    EXPECT_EQ(StoresLeftOut({L"A", L"B"}, {L"B", L"C", L"D"}, {L"C"}), (Ids{L"A", L"C"}));
    EXPECT_EQ(StoresLeftOut({}, {L"B"}, {}), Ids{});
    EXPECT_EQ(StoresLeftOut({L"A"}, {}, {}), Ids{L"A"});
}
