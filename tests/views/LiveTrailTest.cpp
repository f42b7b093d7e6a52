#include "views/LiveTrail.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using morvex::views::LiveTrail;

namespace {

std::vector<std::pair<int, int>> cells(const std::vector<LiveTrail::Point>& points)
{
    std::vector<std::pair<int, int>> c;
    for (const LiveTrail::Point& p : points) {
        c.emplace_back(p.row, p.column);
    }
    return c;
}

} // namespace

TEST(LiveTrail, KeepsDistinctPointsInOrderAndFadesTheOlderOnes)
{
    LiveTrail trail(16, 5000);
    trail.Visit(32, 1, 0);
    trail.Visit(32, 1, 100); // held: no new point
    trail.Visit(31, 1, 200);
    trail.Visit(31, 2, 300);
    trail.Visit(31, 2, 400);
    trail.Visit(32, 1, 500); // back again: the path returns there
    const auto points = trail.Points(600);
    EXPECT_EQ(cells(points), (std::vector<std::pair<int, int>>{{32, 1}, {31, 1}, {31, 2}, {32, 1}}));
    EXPECT_DOUBLE_EQ(points.back().weight, 1.0) << "the current point is fresh";
    for (std::size_t i = 1; i < points.size(); ++i) {
        EXPECT_LT(points[i - 1].weight, points[i].weight) << i;
        EXPECT_GT(points[i - 1].weight, 0.0) << i;
    }
}

TEST(LiveTrail, AgesFromLeavingAndDropsWhatIsPastTheSpan)
{
    LiveTrail trail(16, 5000);
    trail.Visit(20, 3, 0);
    // Held for a minute: still the one fresh point.
    ASSERT_EQ(trail.Points(60000).size(), 1u);
    EXPECT_FALSE(trail.Ageing());
    trail.Visit(21, 3, 60000);
    trail.Visit(22, 3, 61000);
    EXPECT_TRUE(trail.Ageing());
    const double early = trail.Points(62000).front().weight;
    const double late = trail.Points(64000).front().weight;
    EXPECT_LT(late, early);
    EXPECT_EQ(cells(trail.Points(64999)).front(), (std::pair{20, 3}));
    EXPECT_EQ(cells(trail.Points(65000)), (std::vector<std::pair<int, int>>{{21, 3}, {22, 3}}));
    // The live cell lost: the last point ages too, and then all are gone.
    trail.Leave(65000);
    EXPECT_EQ(trail.Points(69999).size(), 1u);
    EXPECT_TRUE(trail.Points(70000).empty());
    EXPECT_TRUE(trail.Empty());
}

TEST(LiveTrail, KeepsAtMostItsLengthAndZeroKeepsNothing)
{
    LiveTrail trail(3, 5000);
    for (int column = 1; column <= 5; ++column) {
        trail.Visit(30, column, column);
    }
    EXPECT_EQ(cells(trail.Points(10)), (std::vector<std::pair<int, int>>{{30, 3}, {30, 4}, {30, 5}}));
    trail.SetLength(2);
    EXPECT_EQ(cells(trail.Points(10)), (std::vector<std::pair<int, int>>{{30, 4}, {30, 5}}));
    trail.SetLength(0);
    trail.Visit(29, 1, 20);
    EXPECT_TRUE(trail.Points(20).empty());
    trail.SetLength(1000);
    EXPECT_EQ(trail.Length(), LiveTrail::kMaxLength);
}
