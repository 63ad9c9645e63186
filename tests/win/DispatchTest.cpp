// The late-binding helper's reader of two-dimensional arrays, on arrays made
// here in both orders Outlook's documentation gives for Table.GetArray.
#include "core/Dispatch.h"

#include <gtest/gtest.h>

#include <string>

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

TEST(ValueGrid, ReadsRowsFirstOrColumnsFirstByTheNumberOfColumns)
{
    auto rowsFirst = ArrayValue(4, 3, [](LONG i, LONG j) { return Cell(i, j); }).Grid(3);
    auto columnsFirst = ArrayValue(3, 4, [](LONG i, LONG j) { return Cell(j, i); }).Grid(3);
    for (const wl::ValueGrid* grid : {&rowsFirst, &columnsFirst}) {
        ASSERT_EQ(grid->Rows(), 4u);
        ASSERT_EQ(grid->Columns(), 3u);
        for (long row = 0; row < 4; ++row)
            for (long column = 0; column < 3; ++column) EXPECT_EQ(grid->At(row, column).Text(), Cell(row, column));
    }
}

TEST(ValueGrid, TakesRowsFirstWhenBothFitAndAnEmptyBatchHasNoRows)
{
    auto square = ArrayValue(2, 2, [](LONG i, LONG j) { return Cell(i, j); }).Grid(2);
    EXPECT_EQ(square.At(1, 0).Text(), Cell(1, 0));
    EXPECT_EQ(ArrayValue(0, 3, Cell).Grid(3).Rows(), 0u);
    EXPECT_EQ(ArrayValue(3, 0, Cell).Grid(3).Rows(), 0u);
}

TEST(ValueGrid, RefusesWhatIsNoArrayOfThoseColumns)
{
    EXPECT_THROW((void)ArrayValue(4, 5, Cell).Grid(3), wl::ComError);
    EXPECT_THROW((void)wl::Value().Grid(3), wl::ComError);
    SAFEARRAY* vector = ::SafeArrayCreateVector(VT_VARIANT, 0, 3);
    wl::Variant oneDimension;
    oneDimension.Ref().vt = VT_ARRAY | VT_VARIANT;
    oneDimension.Ref().parray = vector;
    EXPECT_THROW((void)wl::Value(std::move(oneDimension)).Grid(3), wl::ComError);
}
