#pragma once

class QPixmap;
class QWidget;

namespace morvex::views {
class CZamoGridView;
}

namespace morvex::charts {

struct AnimationBase;
class CChartView;

// The table panes, each with its chart.
inline constexpr int kFuelMapPane = 501;
inline constexpr int kFunctionPane = 502;
inline constexpr int kIgnitionPane = 503;
inline constexpr int kDataRecordPane = 504;
inline constexpr int kIndexPane = 505;

struct ChartOptions {
    // The "AnimateChart" setting: charts turn by themselves in transfers.
    bool animate = false;
    // The angles every chart returns to after a transfer's animation;
    // null: the one base of the program.
    AnimationBase* sharedBase = nullptr;
};

// The one animation base all charts share unless told another.
AnimationBase& ProgramAnimationBase();

// The chart class of `pane`'s view, made the view's partner chart and
// brought to the view's shown table, value range and focus cell; not yet
// placed in a window. Null for a pane without a chart.
CChartView* MakeChart(int pane, views::CZamoGridView& view, const ChartOptions& options = {});

// The chart beside the grid view of `pane` (501..505), made the view's
// partner chart; its keys and characters go on to the view's grid. Where
// OpenGL cannot be started, a plain text saying so. Null for a pane that
// has no chart.
QWidget* CreateChart(int pane, views::CZamoGridView& view, QWidget* parent = nullptr, const ChartOptions& options = {});

// A picture of `window` with its charts in it: a plain widget grab leaves
// the charts' own windows out.
QPixmap GrabWithCharts(QWidget& window);

// Whether a context with the fixed-function pipeline the charts draw with
// can be made on this display.
bool ChartsCanRender();

} // namespace morvex::charts
