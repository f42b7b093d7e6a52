#pragma once

#include "views/LiveTrail.h"

#include <cstdint>
#include <vector>

namespace morvex::views {

// The chart beside a grid view in its pane: told the selected cell, asked
// to rebuild from the displayed table, and told of transfer progress.
class PartnerChart {
public:
    virtual ~PartnerChart() = default;
    // Row and column of the map (grid row - 1, grid column - 1); -1: none.
    virtual void SelectCell(int row, int column) = 0;
    virtual void Rebuild(const uint8_t* table) = 0;
    // The values of the table passed next range from `offset` to `range`
    // (the ignition grids); a chart that scales otherwise ignores it.
    virtual void SetValueRange(double /*offset*/, double /*range*/) {}
    // 1 transfer started, 2 progress with `marker`, 0 finished.
    virtual void TransferProgress(int state, int marker) = 0;
    // Ctrl+arrow keys turn the chart.
    virtual void TurnKey(int key) = 0;
    // The live trail in map rows and columns like SelectCell, oldest
    // first; empty: none. Charts without a surface ignore it.
    virtual void ShowTrail(const std::vector<LiveTrail::Point>& /*points*/) {}
};

} // namespace morvex::views
