#include "shell/TableViews.h"

#include "grid/ValueGridCtrl.h"
#include "shell/PaneLayout.h"
#include "views/FuelmapView.h"
#include "views/FunctionView.h"
#include "views/IgnitionView.h"

namespace morvex::shell {

TableViews::TableViews(const views::ViewContext& context, PaneLayout& panes, QObject* parent)
    : QObject(parent), panes_(panes), fuelmap_(new views::CFuelmapView(context)),
      function_(new views::CDOS_FunctionView(context)), ignition_(new views::CDOS_IgnitionView(context))
{
    place(kFuelMapPane, fuelmap_);
    place(kFunctionPane, function_);
    place(kIgnitionPane, ignition_);
    // An edited ignition map number shows its premap at once.
    connect(function_, &views::CDOS_FunctionView::ignitionMapNumberChanged, ignition_,
            &views::CDOS_IgnitionView::SelectPremap);
    connect(ignition_, &views::CDOS_IgnitionView::staticPointChanged, this, &TableViews::staticPointChanged);
}

void TableViews::place(int pane, views::CZamoCylinderView* view)
{
    panes_.setTableViews(pane, view, nullptr);
    connect(view, &views::CZamoGridView::idealWidthChanged, this,
            [this, pane](int width) { panes_.setGridWidth(pane, width); });
    connect(view, &views::CZamoGridView::documentEdited, this, &TableViews::documentEdited);
}

views::CZamoCylinderView* TableViews::viewOf(int pane) const
{
    switch (pane) {
    case kFuelMapPane: return fuelmap_;
    case kFunctionPane: return function_;
    case kIgnitionPane: return ignition_;
    default: return nullptr;
    }
}

comm::PaneTargets TableViews::portTargets() const
{
    comm::PaneTargets targets;
    targets.fuelMap = &fuelmap_->PortTarget();
    targets.function = &function_->PortTarget();
    targets.ignition = &ignition_->PortTarget();
    return targets;
}

void TableViews::update(int hint)
{
    fuelmap_->OnUpdate(hint);
    function_->OnUpdate(hint);
    ignition_->OnUpdate(hint);
}

void TableViews::applyGridFont(const QFont& font)
{
    fuelmap_->OnGridFontChanged(font);
    function_->OnGridFontChanged(font);
    ignition_->OnGridFontChanged(font);
}

bool TableViews::isViewCommand(int id)
{
    switch (id) {
    case cmd::kFillRight:
    case cmd::kFillDown:
    case cmd::kNextGrid:
    case cmd::kPreviousGrid:
    case cmd::kLambdaCorrection:
    case cmd::kSetTeethAndOffset: return true;
    default: return false;
    }
}

CommandUi TableViews::commandState(int id, int pane) const
{
    CommandUi ui;
    views::CZamoCylinderView* view = viewOf(pane);
    switch (id) {
    case cmd::kFillRight:
    case cmd::kFillDown: ui.enabled = view != nullptr && view->CanFillMeanValues(id == cmd::kFillDown); break;
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
    default: break;
    }
    return ui;
}

void TableViews::run(int id, int pane)
{
    if (!commandState(id, pane).enabled) {
        return;
    }
    views::CZamoCylinderView* view = viewOf(pane);
    switch (id) {
    case cmd::kFillRight:
    case cmd::kFillDown: view->FillMeanValues(id == cmd::kFillDown); break;
    case cmd::kNextGrid: view->NextGrid(); break;
    case cmd::kPreviousGrid: view->PreviousGrid(); break;
    case cmd::kLambdaCorrection: fuelmap_->SetLambdaCorrection(!fuelmap_->LambdaCorrection()); break;
    case cmd::kSetTeethAndOffset: ignition_->SetTeethAndOffset(); break;
    default: break;
    }
}

} // namespace morvex::shell
