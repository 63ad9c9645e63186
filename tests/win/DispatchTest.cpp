// The late-binding helper's reader of two-dimensional arrays, on arrays made
// here in both orders Outlook's documentation gives for Table.GetArray.
#include "core/Dispatch.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

// A first x second array of VARIANTs whose cell holds the text text(i, j).
template <class F>
wl::Value ArrayValue(ULONG first, ULONG second, F text)
{
    SAFEARRAYBOUND bounds[2] = {{first, 0}, {second, 0}};
    SAFEARRAY* array = ::SafeArrayCreate(VT_VARIANT, 2, bounds);
    EXPECT_NE(array, nullptr);
    for (LONG i = 0; i < static_cast<LONG>(first); ++i)
        for (LONG j = 0; j < static_cast<LONG>(second); ++j) {
            wl::Variant cell;
            cell.Ref().vt = VT_BSTR;
            cell.Ref().bstrVal = wl::Bstr(text(i, j)).Detach();
            LONG at[2] = {i, j};
            EXPECT_EQ(::SafeArrayPutElement(array, at, &cell.Ref()), S_OK);
        }
    wl::Variant value;
    value.Ref().vt = VT_ARRAY | VT_VARIANT;
    value.Ref().parray = array;
    return wl::Value(std::move(value));
}

std::wstring Cell(long row, long column) { return L"r" + std::to_wstring(row) + L"c" + std::to_wstring(column); }

}  // namespace

TEST(ValueGrid, LearnsTheOrderFromAShapeThatShowsItAndKeepsIt)
{
    for (wl::GridOrder expected : {wl::GridOrder::RowColumn, wl::GridOrder::ColumnRow}) {
        const bool rowsFirst = expected == wl::GridOrder::RowColumn;
        auto cell = [&](LONG i, LONG j) { return rowsFirst ? Cell(i, j) : Cell(j, i); };
        wl::GridOrder order = wl::GridOrder::Unknown;
        auto one = ArrayValue(rowsFirst ? 1 : 3, rowsFirst ? 3 : 1, cell).Grid(3, order);
        EXPECT_EQ(order, expected);
        ASSERT_EQ(one.Rows(), 1u);
        EXPECT_EQ(one.At(0, 2).Text(), Cell(0, 2));
        // A square batch is read in the order learnt.
        auto square = ArrayValue(3, 3, cell).Grid(3, order);
        ASSERT_EQ(square.Rows(), 3u);
        for (long row = 0; row < 3; ++row)
            for (long column = 0; column < 3; ++column) EXPECT_EQ(square.At(row, column).Text(), Cell(row, column));
        // The other order now is no array of those columns.
        EXPECT_THROW((void)ArrayValue(rowsFirst ? 3 : 4, rowsFirst ? 4 : 3, Cell).Grid(3, order), wl::ComError);
    }
}

TEST(ValueGrid, ASquareArrayOfUnknownOrderIsRefusedAndAnEmptyOneHasNoRows)
{
    wl::GridOrder order = wl::GridOrder::Unknown;
    EXPECT_THROW((void)ArrayValue(3, 3, Cell).Grid(3, order), wl::ComError);
    EXPECT_EQ(order, wl::GridOrder::Unknown);
    EXPECT_EQ(ArrayValue(1, 1, Cell).Grid(1, order).At(0, 0).Text(), Cell(0, 0));  // either way the same
    for (auto [first, second] : {std::pair{0ul, 3ul}, {3ul, 0ul}, {0ul, 0ul}}) {
        order = wl::GridOrder::Unknown;
        EXPECT_EQ(ArrayValue(first, second, Cell).Grid(3, order).Rows(), 0u);
        order = wl::GridOrder::RowColumn;
        EXPECT_EQ(ArrayValue(first, second, Cell).Grid(3, order).Rows(), 0u);
    }
    wl::Variant none;
    none.Ref().vt = VT_ARRAY | VT_VARIANT;
    none.Ref().parray = ::SafeArrayCreateVector(VT_VARIANT, 0, 0);
    order = wl::GridOrder::Unknown;
    EXPECT_EQ(wl::Value(std::move(none)).Grid(3, order).Rows(), 0u);
}

TEST(ValueGrid, RefusesWhatIsNoArrayOfThoseColumns)
{
    wl::GridOrder order = wl::GridOrder::Unknown;
    EXPECT_THROW((void)ArrayValue(4, 5, Cell).Grid(3, order), wl::ComError);
    EXPECT_THROW((void)wl::Value().Grid(3, order), wl::ComError);
    SAFEARRAY* vector = ::SafeArrayCreateVector(VT_VARIANT, 0, 3);
    wl::Variant oneDimension;
    oneDimension.Ref().vt = VT_ARRAY | VT_VARIANT;
    oneDimension.Ref().parray = vector;
    EXPECT_THROW((void)wl::Value(std::move(oneDimension)).Grid(3, order), wl::ComError);
}
