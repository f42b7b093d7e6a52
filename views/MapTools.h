#pragma once

#include <vector>

namespace morvex::views {

// The map tools of the Edit menu on a selection of map cells: Scale by %,
// Add, Set, Smooth and Interpolate. They only compute the new cell values;
// the view writes each one through its normal cell edit, which applies the
// grid's own rules (the right cylinder's coupling, online reports).
enum class MapTool { Scale, Add, Set, Smooth, Interpolate };

// A cell of the grid with its value and the limits of its cell type.
struct MapToolCell {
    int row = 0;
    int column = 0;
    int value = 0;
    int minimum = 0;
    int maximum = 250;
};

// Whether `tool` can run on `selected`: any selection for Scale, Add, Set
// and Smooth; Interpolate needs a whole rectangle of at least two cells.
bool canApplyMapTool(MapTool tool, const std::vector<MapToolCell>& selected);

// The selected cells with their new values, each rounded as a typed edit
// (x + 0.5 truncated) and limited to its cell's minimum and maximum;
// none when the tool cannot run.
// - Scale: value x (100 + amount) / 100, so amount 5 makes 100 into 105
//   and -10 makes it 90.
// - Add: value + amount.  Set: amount.
// - Smooth: halfway towards the mean of the cell's up to eight neighbours
//   in `map` (values before the pass; cells outside the selection count
//   as neighbours but keep their values). `map` holds every value cell of
//   the grid; a cell without neighbours keeps its value.
// - Interpolate: bilinear between the four corner cells of the selected
//   rectangle (linear along a single row or column); the corners keep
//   their values.
std::vector<MapToolCell> applyMapTool(MapTool tool, const std::vector<MapToolCell>& selected, double amount,
                                      const std::vector<MapToolCell>& map = {});

} // namespace morvex::views
