#include "views/CylinderMap.h"

#include <gtest/gtest.h>

#include <array>

using namespace morvex::views;

namespace {

struct Cell {
    uint8_t left = 0;
    uint8_t right = 0;
    uint8_t percent = 0;
    CellEditResult edit(CylinderGrid grid, const char* typed)
    {
        return applyCoupledEdit(grid, typed, left, right, percent);
    }
};

} // namespace

TEST(CylinderMap, PositionsAndTypedValues)
{
    EXPECT_EQ(positionOf(1, 1), 0);
    EXPECT_EQ(positionOf(17, 1), 256);
    EXPECT_EQ(positionOf(32, 16), 511);
    EXPECT_EQ(rowOf(511), 32);
    EXPECT_EQ(columnOf(511), 16);
    EXPECT_EQ(parseCellValue("007"), 7);
    EXPECT_EQ(parseCellValue("300"), 250);
    EXPECT_EQ(parseCellValue("-5"), 0);
    EXPECT_EQ(parseCellValue("abc"), 0);
    EXPECT_EQ(parseCellValue("65537"), 1) << "only the low 16 bits count";
    EXPECT_EQ(parseCellValue("65535"), 0) << "-1 as a signed 16-bit number";
    EXPECT_EQ(parseCellValue("12x"), 12);
}

TEST(CylinderMap, RightPercent)
{
    EXPECT_EQ(rightPercent(100, 120), 120);
    EXPECT_EQ(rightPercent(0, 7), 7);
    EXPECT_EQ(rightPercent(0, 0), 100);
    EXPECT_EQ(rightPercent(1, 250), 250) << "capped";
    EXPECT_EQ(rightPercent(3, 2), 67);
}

TEST(CylinderMap, LeftEditKeepsThePercentUntilRightReachesItsLimit)
{
    Cell c{100, 120, 120};
    CellEditResult r = c.edit(CylinderGrid::Left, "250");
    EXPECT_EQ(r.answer, 0);
    EXPECT_TRUE(r.modified);
    EXPECT_EQ(c.left, 250);
    EXPECT_EQ(c.right, 250);
    EXPECT_EQ(c.percent, 100);
    EXPECT_FALSE(r.message);

    r = c.edit(CylinderGrid::Left, "007");
    EXPECT_EQ(r.answer, -3);
    EXPECT_EQ(r.text, "7");
    EXPECT_EQ(c.right, 7);
}

TEST(CylinderMap, PercentOverTheLimitStoresTheMaximum)
{
    Cell c{200, 100, 50};
    CellEditResult r = c.edit(CylinderGrid::Percent, "150");
    EXPECT_EQ(r.message, "Maximum possible value is 125!");
    EXPECT_EQ(r.answer, -3);
    EXPECT_EQ(r.text, "125");
    EXPECT_EQ(c.percent, 125);
    EXPECT_EQ(c.right, 250);
    EXPECT_TRUE(r.modified);

    // The maximum already stored: the grid restores the old text.
    r = c.edit(CylinderGrid::Percent, "200");
    EXPECT_EQ(r.answer, -1);
    EXPECT_EQ(r.message, "Maximum possible value is 125!");

    // Rounding can make the maximum the typed value: nothing is stored.
    Cell d{199, 100, 50};
    r = d.edit(CylinderGrid::Percent, "126");
    EXPECT_FALSE(r.message);
    EXPECT_EQ(d.percent, 50);
    EXPECT_EQ(r.answer, -3);
    EXPECT_EQ(r.text, "50");
}

TEST(CylinderMap, RightEditOverALeftZeroOrTheLimit)
{
    Cell c{0, 0, 100};
    CellEditResult r = c.edit(CylinderGrid::Right, "5");
    EXPECT_EQ(r.message, kLeftIsZeroMessage);
    EXPECT_EQ(r.answer, -1);
    EXPECT_EQ(c.right, 0);

    Cell d{0, 7, 7};
    r = d.edit(CylinderGrid::Right, "9");
    EXPECT_EQ(r.answer, -3);
    EXPECT_EQ(r.text, "0");
    EXPECT_EQ(d.right, 0);
    EXPECT_TRUE(r.modified);

    Cell e{0, 7, 7};
    r = e.edit(CylinderGrid::Right, "0");
    EXPECT_EQ(r.answer, 0);
    EXPECT_EQ(e.percent, 0);

    Cell f{100, 100, 100};
    r = f.edit(CylinderGrid::Right, "251");
    EXPECT_EQ(f.right, 250) << "typed values are limited to 250 first";
    EXPECT_EQ(f.percent, 250);
    r = f.edit(CylinderGrid::Right, "249");
    EXPECT_EQ(f.percent, 249);

    Cell g{99, 10, 10};
    r = g.edit(CylinderGrid::Right, "248");
    EXPECT_FALSE(r.message) << "the maximum 248 is the typed value";
    EXPECT_EQ(g.right, 248);
    EXPECT_EQ(g.percent, 251);

    Cell h{50, 10, 20};
    r = h.edit(CylinderGrid::Right, "200");
    EXPECT_EQ(r.message, "Maximum possible value is 125!");
    EXPECT_EQ(h.right, 125);
    EXPECT_EQ(h.percent, 250);
}

TEST(CylinderMap, PlainEditAndLiveWrites)
{
    uint8_t v = 3;
    CellEditResult r = applyPlainEdit("300", v);
    EXPECT_EQ(v, 250);
    EXPECT_EQ(r.text, "250");
    EXPECT_FALSE(r.message);

    Cell c{100, 50, 50};
    setCoupledValue(true, 200, c.left, c.right, c.percent);
    EXPECT_EQ(c.right, 100);
    setCoupledValue(false, 250, c.left, c.right, c.percent);
    EXPECT_EQ(c.percent, 125);
    c.left = 0;
    setCoupledValue(false, 9, c.left, c.right, c.percent);
    EXPECT_EQ(c.percent, 0);
    c.left = 250;
    c.percent = 250;
    setCoupledValue(true, 250, c.left, c.right, c.percent);
    EXPECT_EQ(c.right, 250) << "never past the limit";
}

TEST(CylinderMap, FillMeanValuesSkipsGaps)
{
    // Column 2: rows 3..6 with 10, x, x, 40.
    std::vector<SelectedCell> cells = {{3, 2, 10}, {4, 2, 99}, {5, 2, 0}, {6, 2, 40}};
    ASSERT_TRUE(canFillMeanValues(cells, true));
    auto filled = fillMeanValues(cells, true);
    ASSERT_EQ(filled.size(), 2u);
    EXPECT_EQ(filled[0].text, "20");
    EXPECT_EQ(filled[1].text, "30");

    // A multiple selection with a gap: 10, x, 41 over rows 3, 5, 9.
    cells = {{3, 1, 10}, {5, 1, 0}, {9, 1, 41}};
    filled = fillMeanValues(cells, true);
    ASSERT_EQ(filled.size(), 1u);
    EXPECT_EQ(filled[0].row, 5);
    EXPECT_EQ(filled[0].text, "26");

    // A column of the range with only two selected cells disables Down.
    cells = {{1, 1, 0}, {2, 1, 0}, {3, 1, 0}, {1, 2, 0}, {3, 2, 0}};
    EXPECT_FALSE(canFillMeanValues(cells, true));
    EXPECT_FALSE(canFillMeanValues({{1, 1, 0}, {2, 1, 0}}, true));
    // Right needs three columns in each selected row.
    cells = {{1, 1, 0}, {1, 2, 0}, {1, 3, 0}};
    EXPECT_TRUE(canFillMeanValues(cells, false));
    EXPECT_FALSE(canFillMeanValues(cells, true));
}

TEST(CylinderMap, LiveCellFromTheOperatingPoint)
{
    LiveCell cell;
    EXPECT_FALSE(applyLiveValue(cell, 132, 3));
    EXPECT_TRUE(applyLiveValue(cell, kLiveRevolutionsIndex, 40));
    EXPECT_EQ(cell.row, 0) << "40 is limited to 31: grid row 1";
    EXPECT_TRUE(applyLiveValue(cell, kLiveThrottleIndex, 0));
    EXPECT_EQ(cell.column, 15);
    EXPECT_FALSE(applyLiveValue(cell, kLiveThrottleIndex, 0));
    EXPECT_TRUE(applyLiveValue(cell, kLiveRevolutionsIndex, 255));
    EXPECT_EQ(cell.row, -1);
    EXPECT_TRUE(forgetLiveValue(cell, kLiveThrottleIndex));
    EXPECT_FALSE(forgetLiveValue(cell, kLiveThrottleIndex));
    EXPECT_EQ(progressMarker(0), 2);
    EXPECT_EQ(progressMarker(511), 1024);
    EXPECT_EQ(progressMarker(512), 1022);
    EXPECT_EQ(progressMarker(1023), 0);
}
