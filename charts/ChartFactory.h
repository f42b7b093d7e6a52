#pragma once

class QPixmap;
class QWidget;

namespace morvex::views {
class CZamoGridView;
}

namespace morvex::charts {

struct AnimationBase;

struct ChartOptions {
    // The "AnimateChart" setting: charts turn by themselves in transfers.
    bool animate = false;
    // One base shared by all charts of the window; null: the chart's own.
    AnimationBase* sharedBase = nullptr;
};

// The chart beside the grid view of `pane` (501 fuel map), made the view's
// partner chart; its keys and characters go on to the view's grid. Where
// OpenGL cannot be started, a plain text saying so. Null for a pane that
// has no chart yet.
QWidget* CreateChart(int pane, views::CZamoGridView& view, QWidget* parent = nullptr, const ChartOptions& options = {});

// A picture of `window` with its charts in it: a plain widget grab leaves
// the charts' own windows out.
QPixmap GrabWithCharts(QWidget& window);

// Whether a context with the fixed-function pipeline the charts draw with
// can be made on this display.
bool ChartsCanRender();

} // namespace morvex::charts
