#include "views/MapTools.h"

#include <gtest/gtest.h>

#include <vector>

using namespace morvex::views;

namespace {

// A block of cells from `top`, `left`, row by row.
std::vector<MapToolCell> block(int top, int left, int columns, const std::vector<int>& values, int maximum = 250)
{
    std::vector<MapToolCell> cells;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int n = static_cast<int>(i);
        cells.push_back({top + n / columns, left + n % columns, values[i], 0, maximum});
    }
    return cells;
}

std::vector<int> valuesOf(const std::vector<MapToolCell>& cells)
{
    std::vector<int> values;
    for (const MapToolCell& c : cells) {
        values.push_back(c.value);
    }
    return values;
}

} // namespace

TEST(MapTools, ScaleAddAndSetRoundAsTypingAndStayInsideTheCellLimits)
{
    const auto cells = block(17, 1, 4, {100, 3, 245, 0});
    // 3 x 1.05 = 3.15 and 3 x 0.9 = 2.7: rounded half up like a typed edit.
    EXPECT_EQ(valuesOf(applyMapTool(MapTool::Scale, cells, 5)), (std::vector<int>{105, 3, 250, 0}));
    EXPECT_EQ(valuesOf(applyMapTool(MapTool::Scale, cells, -10)), (std::vector<int>{90, 3, 221, 0}));
    EXPECT_EQ(valuesOf(applyMapTool(MapTool::Add, cells, -5)), (std::vector<int>{95, 0, 240, 0}));
    EXPECT_EQ(valuesOf(applyMapTool(MapTool::Add, cells, 1e12)), (std::vector<int>{250, 250, 250, 250}));
    // A cell of narrower limits (a degree cell) keeps to its own.
    auto mixed = cells;
    mixed[0].maximum = 60;
    EXPECT_EQ(valuesOf(applyMapTool(MapTool::Set, mixed, 70)), (std::vector<int>{60, 70, 70, 70}));
}

TEST(MapTools, SmoothMovesHalfwayToTheNeighboursOfThePassBefore)
{
    // 3 x 3 map; the middle row is selected.
    const auto map = block(17, 1, 3, {10, 10, 10, 10, 100, 10, 10, 10, 10});
    const auto selected = block(18, 1, 3, {10, 100, 10});
    // Middle: (100 + 10) / 2 = 55. Left: neighbours 10,10,100,10,10 -> mean
    // 28, (10 + 28) / 2 = 19; the right cell likewise, from the old 100.
    EXPECT_EQ(valuesOf(applyMapTool(MapTool::Smooth, selected, 0, map)), (std::vector<int>{19, 55, 19}));
}

TEST(MapTools, InterpolateIsBilinearFromTheCornersOfAWholeRectangle)
{
    // Along one row: linear between its ends (the view test has a block).
    EXPECT_EQ(valuesOf(applyMapTool(MapTool::Interpolate, block(20, 2, 4, {0, 9, 9, 3}), 0)),
              (std::vector<int>{0, 1, 2, 3}));
    // Not a rectangle (a cell missing), or a single cell: nothing.
    auto holed = block(17, 1, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    holed.erase(holed.begin() + 4);
    EXPECT_FALSE(canApplyMapTool(MapTool::Interpolate, holed));
    EXPECT_TRUE(applyMapTool(MapTool::Interpolate, holed, 0).empty());
    EXPECT_FALSE(canApplyMapTool(MapTool::Interpolate, block(17, 1, 1, {5})));
}
