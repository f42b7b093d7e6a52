#pragma once

#include "charts/ChartScale.h"
#include "charts/FuelmapChart.h"

namespace morvex::charts {

// The data recording chart: the recorded floats of the active tab (16 per
// row) over the map's lower half, scaled to the tab's range: the lambda
// display range, -300..300 per cent, 0 to 1.1 x the largest injection
// value, 0..9999 samples. The Min / Max tab has no map: only the floor.
//
// The range is asked of the view when the data are rebuilt, not when the
// view asks for the rebuild: a view loads the new tab's grid before it
// makes it the active one.
class CDataRecordingChart : public CFuelmapChart {
    Q_OBJECT
public:
    using CFuelmapChart::CFuelmapChart;

    const ValueScale& Scale() const { return scale_; }

protected:
    void BuildData() override;
    double ValueAt(int row, int column) const override;
    double HeightOf(double value) const override { return scale_.Height(value); }

private:
    ValueScale scale_;
};

} // namespace morvex::charts
