#pragma once

#include "charts/ChartScale.h"
#include "charts/FuelmapChart.h"

namespace morvex::charts {

// A map chart whose heights follow the value range of the shown grid: the
// degree grids end at their maximum (60 degrees stand as high as 250 in
// the fuel map), the per cent grid at 250.
class CIgnitionChart : public CFuelmapChart {
    Q_OBJECT
public:
    using CFuelmapChart::CFuelmapChart;

    // The view loads a grid: its values range from `offset` to `range`.
    void SetValueRange(double offset, double range) override;
    const ValueScale& Scale() const { return scale_; }

protected:
    double HeightOf(double value) const override { return scale_.Height(value); }

private:
    ValueScale scale_;
};

// The ignition chart of the Ignition pane: the active tab's map, the left
// or right degrees, the per cent of the right, or the read-only premap.
class CDOS_IgnitionChart : public CIgnitionChart {
    Q_OBJECT
public:
    using CIgnitionChart::CIgnitionChart;
};

} // namespace morvex::charts
