#pragma once

#include "comm/Operation.h"
#include "shell/FrameRules.h"
#include "views/ViewContext.h"

#include <QObject>

class QAction;
class QDialog;
class QFont;

namespace morvex::views {
class CZamoGridView;
class CZamoCylinderView;
class CFuelmapView;
class CDOS_FunctionView;
class CDOS_IgnitionView;
class CDataRecordingView;
class CDOS_IndexView;
} // namespace morvex::views

namespace morvex::shell {

class PaneLayout;
struct AppSettings;

// The table views of the panes: creates them into their panes, tells them
// of document changes and fonts, hands the ignition map number from the
// function view to the ignition view, refreshes every view's axis headers
// when the Index pane is left after a change, and runs the commands the
// active view owns (fill, grid switching, the fuel map and ignition
// options, the data record resets).
class TableViews : public QObject {
    Q_OBJECT
public:
    // `animateCharts`: the AnimateChart setting.
    TableViews(const views::ViewContext& context, PaneLayout& panes, bool animateCharts, QObject* parent = nullptr);

    views::CFuelmapView& fuelmap() const { return *fuelmap_; }
    views::CDOS_FunctionView& function() const { return *function_; }
    views::CDOS_IgnitionView& ignition() const { return *ignition_; }
    views::CDataRecordingView& dataRecording() const { return *dataRecording_; }
    views::CDOS_IndexView& index() const { return *index_; }
    // The table view of pane `pane`, if it has one.
    views::CZamoGridView* viewOf(int pane) const;
    // Where the port worker's reports for each pane's jobs go.
    comm::PaneTargets portTargets() const;

    // The document changed (hint 0 all, 1 headers, 2 tables).
    void update(int hint);
    void applyGridFont(const QFont& font);
    // The active pane changes from `pane`.
    void paneLeft(int pane);
    // Another lambda sensor was chosen.
    void lambdaSensorChanged();

    // The commands of the active view: whether `id` is one, its state in
    // pane `pane`, and running it there.
    static bool isViewCommand(int id);
    // Whether the view of `pane` has the map tools (Fuel Map, Ignition).
    bool hasMapTools(int pane) const;
    CommandUi commandState(int id, int pane) const;
    void run(int id, int pane);
    // The map tool dialogs (Scale, Add, Set) open without blocking; the
    // one last opened, until it closes.
    QDialog* mapToolDialog() const { return mapToolDialog_; }

    // The live trail of the Fuel Map and Ignition grids as `settings` keep
    // it (on or off, how many points); the View menu's toggle (command
    // kLiveTrail) changes it there.
    void setUpLiveTrail(AppSettings& settings);
    QAction* liveTrailAction() const { return liveTrail_; }

signals:
    // An edit changed the document.
    void documentEdited();
    // The ignition view's static ignition point, for the status bar.
    void staticPointChanged(int degrees);

private:
    void place(int pane, views::CZamoGridView* view, bool animateCharts);
    views::CZamoCylinderView* cylinderViewOf(int pane) const;
    void runMapTool(int id, views::CZamoCylinderView& view);

    PaneLayout& panes_;
    views::CFuelmapView* fuelmap_;
    views::CDOS_FunctionView* function_;
    views::CDOS_IgnitionView* ignition_;
    views::CDataRecordingView* dataRecording_;
    views::CDOS_IndexView* index_;
    QDialog* mapToolDialog_ = nullptr;
    QAction* liveTrail_ = nullptr;
    // What the tuner last entered for Scale and Add.
    double lastScale_ = 0.0;
    double lastAdd_ = 0.0;
};

} // namespace morvex::shell
