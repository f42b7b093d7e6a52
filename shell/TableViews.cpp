#include "shell/TableViews.h"

#include "charts/ChartFactory.h"
#include "grid/ValueGridCtrl.h"
#include "shell/AppSettings.h"
#include "shell/MapToolDlg.h"
#include "shell/PaneLayout.h"
#include "views/DataRecordingView.h"
#include "views/FuelmapView.h"
#include "views/FunctionView.h"
#include "views/IgnitionView.h"
#include "views/IndexView.h"

#include <QAction>
#include <QApplication>
#include <QCursor>

namespace morvex::shell {

namespace {

views::MapTool mapToolOf(int id)
{
    switch (id) {
    case cmd::kScaleCells: return views::MapTool::Scale;
    case cmd::kAddToCells: return views::MapTool::Add;
    case cmd::kSetCells: return views::MapTool::Set;
    case cmd::kSmoothCells: return views::MapTool::Smooth;
    default: return views::MapTool::Interpolate;
    }
}

} // namespace

TableViews::TableViews(const views::ViewContext& context, PaneLayout& panes, bool animateCharts, QObject* parent)
    : QObject(parent), panes_(panes), fuelmap_(new views::CFuelmapView(context)),
      function_(new views::CDOS_FunctionView(context)), ignition_(new views::CDOS_IgnitionView(context)),
      dataRecording_(new views::CDataRecordingView(context)), index_(new views::CDOS_IndexView(context))
{
    place(kFuelMapPane, fuelmap_, animateCharts);
    place(kFunctionPane, function_, animateCharts);
    place(kIgnitionPane, ignition_, animateCharts);
    place(kDataRecordPane, dataRecording_, animateCharts);
    place(kIndexPane, index_, animateCharts);
    // An edited ignition map number shows its premap at once.
    connect(function_, &views::CDOS_FunctionView::ignitionMapNumberChanged, ignition_,
            &views::CDOS_IgnitionView::SelectPremap);
    connect(ignition_, &views::CDOS_IgnitionView::staticPointChanged, this, &TableViews::staticPointChanged);
}

void TableViews::place(int pane, views::CZamoGridView* view, bool animateCharts)
{
    // Every chart returns to the program's one animation base; where
    // OpenGL cannot start, the pane says so instead of drawing.
    charts::ChartOptions options;
    options.animate = animateCharts;
    QWidget* chart = charts::CreateChart(pane, *view, nullptr, options);
    if (chart != nullptr) {
        // The grid keeps its natural width first; the chart takes the rest.
        chart->setMinimumSize(1, 1);
    }
    panes_.setTableViews(pane, view, chart);
    connect(view, &views::CZamoGridView::idealWidthChanged, this,
            [this, pane](int width) { panes_.setGridWidth(pane, width); });
    connect(view, &views::CZamoGridView::documentEdited, this, &TableViews::documentEdited);
}

void TableViews::setUpLiveTrail(AppSettings& settings)
{
    liveTrail_ = new QAction(tr("&Live Trail"), this);
    liveTrail_->setData(cmd::kLiveTrail);
    liveTrail_->setCheckable(true);
    liveTrail_->setChecked(settings.liveTrail != 0);
    liveTrail_->setStatusTip(tr("Show the cells the engine passed through lately while online"));
    const auto apply = [this, &settings](bool on) {
        settings.liveTrail = on ? 1 : 0;
        for (views::CZamoCylinderView* view : {static_cast<views::CZamoCylinderView*>(fuelmap_),
                                               static_cast<views::CZamoCylinderView*>(ignition_)}) {
            view->SetLiveTrailLength(settings.liveTrailPoints);
            view->ShowLiveTrail(on);
        }
    };
    connect(liveTrail_, &QAction::toggled, this, apply);
    apply(liveTrail_->isChecked());
}

views::CZamoGridView* TableViews::viewOf(int pane) const
{
    if (pane == kIndexPane) {
        return index_;
    }
    return cylinderViewOf(pane);
}

views::CZamoCylinderView* TableViews::cylinderViewOf(int pane) const
{
    switch (pane) {
    case kFuelMapPane: return fuelmap_;
    case kFunctionPane: return function_;
    case kIgnitionPane: return ignition_;
    case kDataRecordPane: return dataRecording_;
    default: return nullptr;
    }
}

comm::PaneTargets TableViews::portTargets() const
{
    comm::PaneTargets targets;
    targets.fuelMap = &fuelmap_->PortTarget();
    targets.function = &function_->PortTarget();
    targets.ignition = &ignition_->PortTarget();
    targets.dataRecord = &dataRecording_->PortTarget();
    targets.index = &index_->PortTarget();
    return targets;
}

void TableViews::update(int hint)
{
    for (views::CZamoGridView* view :
         {static_cast<views::CZamoGridView*>(fuelmap_), static_cast<views::CZamoGridView*>(function_),
          static_cast<views::CZamoGridView*>(ignition_), static_cast<views::CZamoGridView*>(dataRecording_),
          static_cast<views::CZamoGridView*>(index_)}) {
        view->OnUpdate(hint);
    }
}

void TableViews::applyGridFont(const QFont& font)
{
    for (int pane = kFirstPane; pane <= kIndexPane; ++pane) {
        viewOf(pane)->OnGridFontChanged(font);
    }
}

void TableViews::paneLeft(int pane)
{
    // Edited axis values show in every view's headers once the tuner
    // leaves the Index pane.
    if (pane == kIndexPane && index_->TakeIndexesChanged()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        update(views::kHintHeaders);
        QApplication::restoreOverrideCursor();
    }
}

void TableViews::lambdaSensorChanged()
{
    dataRecording_->OnLambdaSensorChanged();
}

bool TableViews::isViewCommand(int id)
{
    switch (id) {
    case cmd::kFillRight:
    case cmd::kFillDown:
    case cmd::kNextGrid:
    case cmd::kPreviousGrid:
    case cmd::kLambdaCorrection:
    case cmd::kSetTeethAndOffset:
    case cmd::kResetAllRecords:
    case cmd::kResetGridRecords:
    case cmd::kResetSelectedRecords: return true;
    default: return isMapToolCommand(id);
    }
}

bool TableViews::hasMapTools(int pane) const
{
    const views::CZamoCylinderView* view = cylinderViewOf(pane);
    return view != nullptr && view->HasMapTools();
}

CommandUi TableViews::commandState(int id, int pane) const
{
    CommandUi ui;
    views::CZamoCylinderView* view = cylinderViewOf(pane);
    const bool records = pane == kDataRecordPane;
    switch (id) {
    case cmd::kFillRight:
    case cmd::kFillDown:
        if (pane == kIndexPane) {
            ui.enabled = index_->CanFillMeanValues(id == cmd::kFillDown);
        } else {
            ui.enabled = view != nullptr && view->CanFillMeanValues(id == cmd::kFillDown);
        }
        break;
    case cmd::kNextGrid: ui.enabled = view != nullptr && view->CanSwitchGrid(); break;
    case cmd::kPreviousGrid:
        // The function view has a single grid and no way back.
        ui.enabled = view != nullptr && view != function_ && view->CanSwitchGrid();
        break;
    // The Fuel Map and Ignition menus belong to their views: elsewhere
    // nothing handles them.
    case cmd::kLambdaCorrection:
        ui.enabled = view == fuelmap_ && fuelmap_->CanToggleLambdaCorrection();
        ui.checked = fuelmap_->LambdaCorrection();
        break;
    case cmd::kSetTeethAndOffset: ui.enabled = view == ignition_ && ignition_->CanSetTeethAndOffset(); break;
    case cmd::kResetAllRecords: ui.enabled = records && dataRecording_->CanResetAll(); break;
    case cmd::kResetGridRecords: ui.enabled = records && dataRecording_->CanResetActiveGrid(); break;
    case cmd::kResetSelectedRecords: ui.enabled = records && dataRecording_->CanResetSelectedCells(); break;
    default:
        if (isMapToolCommand(id)) {
            ui.enabled = view != nullptr && view->CanApplyMapTool(mapToolOf(id));
        }
        break;
    }
    return ui;
}

void TableViews::run(int id, int pane)
{
    if (!commandState(id, pane).enabled) {
        // A map tool's key on a selection it cannot work on.
        if (isMapToolCommand(id) && hasMapTools(pane)) {
            QApplication::beep();
        }
        return;
    }
    views::CZamoCylinderView* view = cylinderViewOf(pane);
    switch (id) {
    case cmd::kFillRight:
    case cmd::kFillDown:
        if (pane == kIndexPane) {
            index_->FillMeanValues(id == cmd::kFillDown);
        } else {
            view->FillMeanValues(id == cmd::kFillDown);
        }
        break;
    case cmd::kNextGrid: view->NextGrid(); break;
    case cmd::kPreviousGrid: view->PreviousGrid(); break;
    case cmd::kLambdaCorrection: fuelmap_->SetLambdaCorrection(!fuelmap_->LambdaCorrection()); break;
    case cmd::kSetTeethAndOffset: ignition_->SetTeethAndOffset(); break;
    case cmd::kResetAllRecords: dataRecording_->ResetAll(); break;
    case cmd::kResetGridRecords: dataRecording_->ResetActiveGrid(); break;
    case cmd::kResetSelectedRecords: dataRecording_->ResetSelectedCells(); break;
    default:
        if (isMapToolCommand(id)) {
            runMapTool(id, *view);
        }
        break;
    }
}

void TableViews::runMapTool(int id, views::CZamoCylinderView& view)
{
    const views::MapTool tool = mapToolOf(id);
    if (tool == views::MapTool::Smooth || tool == views::MapTool::Interpolate) {
        view.ApplyMapTool(tool, 0.0);
        return;
    }
    double initial = tool == views::MapTool::Scale ? lastScale_ : lastAdd_;
    if (tool == views::MapTool::Set) {
        const grid::CCellID focus = view.Grid().GetFocusCell();
        initial = focus.IsValid() ? view.Grid().GetItemText(focus.row, focus.col).toDouble() : 0.0;
    }
    auto* dialog = new MapToolDlg(tool, initial, &view);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    mapToolDialog_ = dialog;
    connect(dialog, &QObject::destroyed, this, [this, dialog] {
        if (mapToolDialog_ == dialog) {
            mapToolDialog_ = nullptr;
        }
    });
    connect(dialog, &QDialog::accepted, this, [this, dialog, tool, &view] {
        const double amount = dialog->value();
        if (tool == views::MapTool::Scale) {
            lastScale_ = amount;
        } else if (tool == views::MapTool::Add) {
            lastAdd_ = amount;
        }
        // The selection may have changed under a window-modal dialog only
        // through the box (online); the view checks again.
        view.ApplyMapTool(tool, amount);
    });
    dialog->open();
}

} // namespace morvex::shell
