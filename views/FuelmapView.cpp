#include "views/FuelmapView.h"

#include "document/BoxLayout.h"
#include "document/Labels.h"
#include "document/MorvexDoc.h"
#include "grid/ValueGridCtrl.h"
#include "views/CorrectionBar.h"

#include <QTabBar>

namespace morvex::views {

CFuelmapView::CFuelmapView(const ViewContext& context, QWidget* parent)
    : CZamoCylinderView(context, GridFlavour::Value, Tabs::Shown, parent), bar_(new CCorrectionBar(this))
{
    connect(bar_, &CCorrectionBar::accepted, this, &CFuelmapView::AcceptCorrection);
    connect(bar_, &CCorrectionBar::rejected, this, &CFuelmapView::RejectCorrection);
    connect(bar_, &CCorrectionBar::resetRecordsClicked, this, &CFuelmapView::ResetRecordsOfAcceptedCells);
    connect(bar_, &CCorrectionBar::closed, this, [this] {
        bar_->hide();
        acceptedCells_.clear();
        LayoutChildren(width(), height());
        grid_->setFocus();
        emit correctionStateChanged();
    });
    SetUpdateCommand(kUpdateCommand);
    ShowLowerHalfOnly();
    if (LambdaCorrection()) {
        // The tabs are built for the normal presentation; switch over.
        *context_.useRightCylinderForLambdaCorrection = 0;
        SetLambdaCorrection(true);
    }
}

bool CFuelmapView::LambdaCorrection() const
{
    return context_.useRightCylinderForLambdaCorrection != nullptr &&
           *context_.useRightCylinderForLambdaCorrection != 0;
}

bool CFuelmapView::CanToggleLambdaCorrection() const
{
    return !grid_->IsLockedStepping() && !InPreview();
}

void CFuelmapView::SetLambdaCorrection(bool on)
{
    if (on == LambdaCorrection() || !CanSwitchGrid() || context_.useRightCylinderForLambdaCorrection == nullptr) {
        return;
    }
    {
        const QSignalBlocker block(tabs_);
        tabs_->setCurrentIndex(0);
        if (on) {
            tabs_->removeTab(1);
            tabs_->setTabText(0, GridLabelText(GridLabel::FuelmapLC));
            tabs_->setTabText(1, GridLabelText(GridLabel::LambdaCorrection));
        } else {
            tabs_->setTabText(0, GridLabelText(GridLabel::CylinderLeft));
            tabs_->setTabText(1, GridLabelText(GridLabel::CylinderRightA));
            tabs_->insertTab(1, GridLabelText(GridLabel::CylinderRightPercent));
        }
        tabs_->setCurrentIndex(0);
    }
    *context_.useRightCylinderForLambdaCorrection = on ? 1 : 0;
    if (activeGrid_ != kGridLeft) {
        SwitchGrid(kGridLeft);
    } else {
        // The grid shown stays the left map; its captions follow the mode.
        SetGridLabels(kGridLeft);
    }
    if (!on) {
        ComputeRightPercent(kMapSize);
    }
}

void CFuelmapView::SetGridLabels(int id)
{
    if (!LambdaCorrection()) {
        CZamoCylinderView::SetGridLabels(id);
        return;
    }
    // In this mode the second tab (grid 1212) shows the right map.
    const bool left = id != kGridPercent;
    SetAxisCaptions(GridLabelText(left ? GridLabel::FuelmapLC : GridLabel::LambdaCorrection));
    grid_->SetItemText(0, 0, GridLabelText(left ? GridLabel::CylinderLeftShort : GridLabel::CylinderRightAShort));
    grid_->RedrawCell(0, 0);
}

void CFuelmapView::LoadGrid(int id)
{
    CZamoCylinderView::LoadGrid(LambdaCorrection() && id == kGridPercent ? kGridRight : id);
    MarkLockedCells();
    if (InPreview()) {
        ColourPreview();
    }
}

void CFuelmapView::ComputeRightPercent(int count)
{
    if (!LambdaCorrection()) {
        CZamoCylinderView::ComputeRightPercent(count);
    }
}

int CFuelmapView::ApplyCellEdit(int row, int column)
{
    if (!LambdaCorrection()) {
        return CZamoCylinderView::ApplyCellEdit(row, column);
    }
    if (left_ == nullptr || right_ == nullptr) {
        return 0;
    }
    const int p = positionOf(row, column);
    const std::string typed = grid_->GetItemText(row, column).toStdString();
    if (activeGrid_ != kGridLeft && activeGrid_ != kGridPercent) {
        CellEditResult r;
        r.modified = true;
        return Finish(row, column, r);
    }
    return Finish(row, column, applyPlainEdit(typed, activeGrid_ == kGridLeft ? left_[p] : right_[p]));
}

uint16_t CFuelmapView::LineAddress(bool leftTable, int position) const
{
    // The box's fuel table: the shown left half first, then the right one.
    return static_cast<uint16_t>(leftTable ? position - kHalfMap : position);
}

int CFuelmapView::PositionOfStep(int step) const
{
    // The fuel job walks the shown halves: left 256..511, then right.
    return step < kHalfMap ? kHalfMap + step : kMapSize + step;
}

void CFuelmapView::OnUpdate(int hint)
{
    if (hint == kHintAll || hint == kHintHeaders) {
        WriteStandardHeaders();
    }
    if ((hint == kHintAll || hint == kHintTables) && context_.doc != nullptr) {
        // New contents (a file, a receive, an undo): a proposal or an
        // accepted one is about the old ones.
        if (InPreview() || bar_->isVisible()) {
            preview_.reset();
            acceptedCells_.clear();
            bar_->hide();
            ColourPreview();
            emit correctionStateChanged();
        }
        BindTables(context_.doc->GetBoxData(box::TAB_DDD_LINKS), context_.doc->GetBoxData(box::TAB_DDD_RECHTS));
        percent_.fill(0);
        ComputeRightPercent(kMapSize);
        LoadGrid(activeGrid_);
    }
    grid_->AutoSize();
    LayoutChildren(width(), height());
    emit idealWidthChanged(AdjustedWidth());
}

} // namespace morvex::views
