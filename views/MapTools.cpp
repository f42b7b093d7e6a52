#include "views/MapTools.h"

#include "views/CylinderMap.h"

#include <algorithm>
#include <map>
#include <utility>

namespace morvex::views {

namespace {

struct Bounds {
    int top = 0;
    int left = 0;
    int bottom = 0;
    int right = 0;
};

Bounds boundsOf(const std::vector<MapToolCell>& cells)
{
    Bounds b{cells.front().row, cells.front().column, cells.front().row, cells.front().column};
    for (const MapToolCell& c : cells) {
        b.top = std::min(b.top, c.row);
        b.bottom = std::max(b.bottom, c.row);
        b.left = std::min(b.left, c.column);
        b.right = std::max(b.right, c.column);
    }
    return b;
}

using CellValues = std::map<std::pair<int, int>, int>;

CellValues valuesOf(const std::vector<MapToolCell>& cells)
{
    CellValues values;
    for (const MapToolCell& c : cells) {
        values[{c.row, c.column}] = c.value;
    }
    return values;
}

int limited(const MapToolCell& cell, double value)
{
    // Limited before rounding too, so that no amount overflows an int.
    const double inRange = std::clamp(value, static_cast<double>(cell.minimum), static_cast<double>(cell.maximum));
    return std::clamp(roundMap(inRange), cell.minimum, cell.maximum);
}

double smoothed(const MapToolCell& cell, const CellValues& map)
{
    int sum = 0;
    int count = 0;
    for (int dr = -1; dr <= 1; ++dr) {
        for (int dc = -1; dc <= 1; ++dc) {
            const auto it = map.find({cell.row + dr, cell.column + dc});
            if ((dr != 0 || dc != 0) && it != map.end()) {
                sum += it->second;
                ++count;
            }
        }
    }
    if (count == 0) {
        return cell.value;
    }
    return (cell.value + static_cast<double>(sum) / count) / 2.0;
}

double interpolated(const MapToolCell& cell, const Bounds& b, const CellValues& selected)
{
    const double top = selected.at({b.top, b.left});
    const double topRight = selected.at({b.top, b.right});
    const double bottom = selected.at({b.bottom, b.left});
    const double bottomRight = selected.at({b.bottom, b.right});
    const double x = b.right == b.left ? 0.0 : static_cast<double>(cell.column - b.left) / (b.right - b.left);
    const double y = b.bottom == b.top ? 0.0 : static_cast<double>(cell.row - b.top) / (b.bottom - b.top);
    const double upper = top + (topRight - top) * x;
    const double lower = bottom + (bottomRight - bottom) * x;
    return upper + (lower - upper) * y;
}

} // namespace

bool canApplyMapTool(MapTool tool, const std::vector<MapToolCell>& selected)
{
    if (selected.empty()) {
        return false;
    }
    if (tool != MapTool::Interpolate) {
        return true;
    }
    const Bounds b = boundsOf(selected);
    const auto area = static_cast<std::size_t>((b.bottom - b.top + 1) * (b.right - b.left + 1));
    // Every cell of the rectangle, each once.
    return selected.size() >= 2 && valuesOf(selected).size() == area && selected.size() == area;
}

std::vector<MapToolCell> applyMapTool(MapTool tool, const std::vector<MapToolCell>& selected, double amount,
                                      const std::vector<MapToolCell>& map)
{
    if (!canApplyMapTool(tool, selected)) {
        return {};
    }
    const CellValues neighbours = tool == MapTool::Smooth ? valuesOf(map) : CellValues{};
    const CellValues corners = tool == MapTool::Interpolate ? valuesOf(selected) : CellValues{};
    const Bounds b = boundsOf(selected);
    std::vector<MapToolCell> result = selected;
    for (MapToolCell& c : result) {
        double value = c.value;
        switch (tool) {
        case MapTool::Scale: value = c.value * (100.0 + amount) / 100.0; break;
        case MapTool::Add: value = c.value + amount; break;
        case MapTool::Set: value = amount; break;
        case MapTool::Smooth: value = smoothed(c, neighbours); break;
        case MapTool::Interpolate: value = interpolated(c, b, corners); break;
        }
        c.value = limited(c, value);
    }
    return result;
}

} // namespace morvex::views
