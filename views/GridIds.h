#pragma once

namespace morvex::views {

// Control ids of a table view's children. The grid's own control id is
// also the id of the first of the tables its tabs switch between.
inline constexpr int kTabControlId = 1201;
inline constexpr int kRowCaptionId = 1207;
inline constexpr int kColumnCaptionId = 1208;
inline constexpr int kGridControlId = 1211;

// The tables a view's grid shows; tab n shows grid kFirstGrid + n.
inline constexpr int kGridLeft = 1211;    // left cylinder (the only grid of a view without tabs)
inline constexpr int kGridPercent = 1212; // right cylinder in per cent of the left
inline constexpr int kGridRight = 1213;   // right cylinder
inline constexpr int kGridPremap = 1214;  // the ignition view's read-only premap
inline constexpr int kFirstGrid = kGridLeft;

// The data record view: left lambda, right lambda %, right lambda on the
// first three tabs, then these; the Min / Max grid is a control of its own
// that takes the map grid's place (and id) while its tab is shown.
inline constexpr int kGridInjectionTime = 1214;
inline constexpr int kGridInjectionDuty = 1215;
inline constexpr int kGridFuelConsumption = 1216;
inline constexpr int kGridMeasureCount = 1217;
inline constexpr int kGridMinMax = 1218;
inline constexpr int kMinMaxControlId = 1221;
// The target lambda of the left and right cylinder over the same cells;
// edited, never recorded.
inline constexpr int kGridTargetLeft = 1219;
inline constexpr int kGridTargetRight = 1220;

constexpr int gridOfTab(int tab)
{
    return kFirstGrid + tab;
}
constexpr int tabOfGrid(int grid)
{
    return grid - kFirstGrid;
}

// Which grid control a view edits with.
enum class GridFlavour { Value, Function, Index, Recording };

} // namespace morvex::views
