// The data record view's target lambda tabs: the lambda the tuner wants per
// cell and cylinder, edited like a map and kept in the document.

#include "views/DataRecordingView.h"

#include "document/MorvexDoc.h"
#include "grid/GridCellTypes.h"
#include "grid/GridFormat.h"
#include "grid/ValueGridCtrl.h"
#include "platform/NumberFormat.h"

#include <QTabBar>

#include <cmath>
#include <vector>

namespace morvex::views {
namespace {

int cylinderOf(int grid)
{
    return grid - kGridTargetLeft;
}

} // namespace

bool CDataRecordingView::RightTargetEnabled() const
{
    // In lambda correction mode the right map is the box's correction map,
    // not a cylinder's fuel: a right target would aim at nothing.
    return context_.useRightCylinderForLambdaCorrection == nullptr ||
           *context_.useRightCylinderForLambdaCorrection == 0;
}

void CDataRecordingView::UpdateTargetTabs()
{
    const bool right = RightTargetEnabled();
    tabs_->setTabEnabled(tabOfGrid(kGridTargetRight), right);
    if (!right && activeGrid_ == kGridTargetRight) {
        SwitchGrid(kGridTargetLeft);
    }
}

void CDataRecordingView::showEvent(QShowEvent* event)
{
    // The mode is switched in the Fuel Map pane while this one is hidden.
    UpdateTargetTabs();
    CZamoCylinderView::showEvent(event);
}

void CDataRecordingView::UseTargetCells(bool on)
{
    if (on == targetCells_) {
        return;
    }
    targetCells_ = on;
    // Decimal cells: the editor takes a separator, the steps are 0.01.
    for (int row = kFirstShownRow; row <= kMapRows; ++row) {
        for (int column = 1; column <= kMapColumns; ++column) {
            if (!on) {
                grid_->SetCellType<grid::CGridCelll250>(row, column);
                continue;
            }
            grid_->SetCellType<grid::CGridCellDouble>(row, column);
            auto* cell = static_cast<grid::CGridCellDouble*>(grid_->GetCell(row, column));
            cell->SetDecimals(true);
            cell->SetMinimum(CTargetLambda::kMinimum / 100.0);
            cell->SetMaximum(CTargetLambda::kMaximum / 100.0);
            cell->SetValueFormat(QStringLiteral("%0.2f"));
        }
    }
}

void CDataRecordingView::LoadTargetGrid(int id)
{
    const CTargetLambda& targets = context_.doc->TargetLambda();
    for (int k = 0; k < kCells; ++k) {
        const int hundredths = targets.Hundredths(cylinderOf(id), k);
        targetChart_[static_cast<std::size_t>(k)] = static_cast<float>(hundredths / 100.0);
        grid_->SetItemText(recording::gridRowOfCell(k), recording::gridColumnOfCell(k),
                           QString::fromStdString(recording::targetText(hundredths)));
    }
    displayedTable_ = reinterpret_cast<const uint8_t*>(targetChart_.data());
    RebuildChart();
    grid_->viewport()->update();
}

int CDataRecordingView::ApplyTargetEdit(int row, int column)
{
    CMorvexDoc* doc = context_.doc;
    const int k = recording::cellOfGridCell(row, column);
    if (doc == nullptr || k < 0) {
        return -1;
    }
    const int cylinder = cylinderOf(activeGrid_);
    const recording::TargetEdit edit = recording::applyTargetEdit(grid_->GetItemText(row, column).toStdString(),
                                                                  doc->TargetLambda().Hundredths(cylinder, k));
    if (edit.result.modified) {
        doc->SetTargetLambda(cylinder, k, edit.hundredths / 100.0);
        targetChart_[static_cast<std::size_t>(k)] = static_cast<float>(edit.hundredths / 100.0);
    }
    return Finish(row, column, edit.result);
}

bool CDataRecordingView::CanFillMeanValues(bool down) const
{
    return recording::isTargetGrid(activeGrid_) && CZamoCylinderView::CanFillMeanValues(down);
}

void CDataRecordingView::FillMeanValues(bool down)
{
    if (!CanFillMeanValues(down)) {
        return;
    }
    // Interpolated in hundredths, written as typed targets.
    std::vector<SelectedCell> cells;
    for (const grid::CCellID& c : grid_->GetSelectedCells()) {
        const double lambda = grid::ParseLeadingDouble(grid_->GetItemText(c.row, c.col));
        cells.push_back({c.row, c.col, static_cast<int>(std::floor(lambda * 100.0 + 0.5))});
    }
    for (const FilledCell& f : fillMeanValues(cells, down, false)) {
        grid_->SetItemTextNotify(
            f.row, f.column, QString::fromStdString(recording::targetText(platform::parseInt(f.text))));
    }
}

void CDataRecordingView::UnlockForTargets(bool unlock)
{
    // Online the recordings only show; the targets are no box data and
    // stay editable while riding.
    const grid::CCellRange selection = grid_->GetSelectedCellRange();
    if (unlock) {
        EnableGridEditing(true);
    } else {
        LockForOnline();
        grid_->SetLockedStepping(false);
    }
    if (selection.IsValid()) {
        grid_->SetSelectedRange(selection);
    }
}

void CDataRecordingView::SetLiveCell(int row, int column)
{
    if (!online_ || !recording::isTargetGrid(activeGrid_)) {
        CZamoCylinderView::SetLiveCell(row, column);
        return;
    }
    // The tuner may be typing a target: the live cell is marked, the focus
    // stays where the tuner put it.
    ForgetLiveCell();
    if (row < 1 || column < 1) {
        return;
    }
    previousLive_ = {row, column};
    grid_->SetItemFgColour(row, column, kLiveText);
    grid_->SetItemBkColour(row, column, kLiveBack);
    grid_->RedrawCell(row, column);
}

} // namespace morvex::views
