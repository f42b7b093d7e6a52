#pragma once

#include "charts/FunctionChart.h"

#include <array>

namespace morvex::charts {

// The index chart: ribbon k is index column k of the converted index
// values (32 doubles per axis, points 0..15 used), scaled to the display
// limits of its quantity: revolutions, throttle, engine and air
// temperature, air pressure, turbo pressure and lambda. Three more ribbons
// lie flat at the floor; the name columns have none.
class CIndexChart : public CFunctionChart {
    Q_OBJECT
public:
    static constexpr int kRibbons = 10;
    static constexpr int kAxes = 7;
    static constexpr int kAxisEntries = 32;

    explicit CIndexChart(views::CZamoGridView& companion, QWidget* parent = nullptr);

protected:
    // The limits are taken from the index view when the data are rebuilt;
    // another view's table is not the index values: nothing is drawn.
    bool PrepareHeights() override;
    double HeightOf(int ribbon, int point) const override;

private:
    struct Limits {
        double minimum = 0;
        double maximum = 250;
    };
    std::array<Limits, kAxes> limits_{};
};

// The chart of the Index pane.
class CDOS_IndexChart : public CIndexChart {
    Q_OBJECT
public:
    using CIndexChart::CIndexChart;
};

} // namespace morvex::charts
