#include "views/FuelmapView.h"

#include "document/BoxLayout.h"
#include "document/Labels.h"
#include "document/MorvexDoc.h"
#include "grid/ValueGridCtrl.h"
#include "platform/Encoding.h"
#include "platform/NumberFormat.h"

#include <QLocale>
#include <QTabBar>

#include <cmath>

namespace morvex::views {
namespace {

constexpr int kFirstShownRow = 17;
constexpr int kHalf = kMapSize / 2;

QString label(const ViewContext& c, GridLabel g)
{
    return QString::fromStdString(platform::cp1252ToUtf8(c.labels->grid(g)));
}

QString axis(const ViewContext& c, Channel ch)
{
    return QString::fromStdString(platform::cp1252ToUtf8(c.labels->label(ch))) + QStringLiteral(" ") +
           QString::fromStdString(platform::cp1252ToUtf8(c.labels->unit(ch)));
}

} // namespace

CFuelmapView::CFuelmapView(const ViewContext& context, QWidget* parent) : CZamoCylinderView(context, parent)
{
    SetUpdateCommand(140);
    // Rows 1..16 (the upper half of each map) stay hidden.
    grid_->SetFixedRowCount(kFirstShownRow);
    for (int row = 1; row < kFirstShownRow; ++row) {
        grid_->SetRowHeight(row, 0);
    }
    grid_->SetSelectedRange(kFirstShownRow, 1, kFirstShownRow, 1);
    grid_->SetFocusCell(kFirstShownRow, 1);
    rememberedFocus_ = {kFirstShownRow, 1};
    rememberedSelection_ = {kFirstShownRow, 1, kFirstShownRow, 1};
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
    return !grid_->IsLockedStepping();
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
            tabs_->setTabText(0, label(context_, GridLabel::FuelmapLC));
            tabs_->setTabText(1, label(context_, GridLabel::LambdaCorrection));
        } else {
            tabs_->setTabText(0, label(context_, GridLabel::CylinderLeft));
            tabs_->setTabText(1, label(context_, GridLabel::CylinderRightA));
            tabs_->insertTab(1, label(context_, GridLabel::CylinderRightPercent));
        }
        tabs_->setCurrentIndex(0);
    }
    *context_.useRightCylinderForLambdaCorrection = on ? 1 : 0;
    if (activeGrid_ != 1211) {
        SwitchGrid(1211);
    } else {
        // The grid shown stays the left map; its captions follow the mode.
        SetGridLabels(1211);
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
    const bool left = id != 1212;
    const QString grid = label(context_, left ? GridLabel::FuelmapLC : GridLabel::LambdaCorrection);
    SetCaptions(grid + QStringLiteral(": ") + axis(context_, Channel::ThrottlePosition),
                grid + QStringLiteral(": ") + axis(context_, Channel::Revolutions));
    grid_->SetItemText(0, 0, label(context_, left ? GridLabel::CylinderLeftShort : GridLabel::CylinderRightAShort));
    grid_->RedrawCell(0, 0);
}

void CFuelmapView::LoadGrid(int id)
{
    if (LambdaCorrection() && id == 1212) {
        CZamoCylinderView::LoadGrid(1213);
        return;
    }
    CZamoCylinderView::LoadGrid(id);
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
    if (activeGrid_ != 1211 && activeGrid_ != 1212) {
        CellEditResult r;
        r.modified = true;
        return Finish(row, column, r);
    }
    return Finish(row, column, applyPlainEdit(typed, activeGrid_ == 1211 ? left_[p] : right_[p]));
}

int CFuelmapView::GridNotify(int code, int row, int column)
{
    // The hidden upper half is never changed: a live cell there (a box
    // reporting a revolutions index above 15) must not step it.
    if (code == grid::GRID_NOTIFY_BEGIN_EDIT && row < kFirstShownRow) {
        return -1;
    }
    return CZamoCylinderView::GridNotify(code, row, column);
}

uint16_t CFuelmapView::LineAddress(bool leftTable, int position) const
{
    // The box's fuel table: the shown left half first, then the right one.
    return static_cast<uint16_t>(leftTable ? position - kHalf : position);
}

int CFuelmapView::PositionOfStep(int step) const
{
    // The fuel job walks the shown halves: left 256..511, then right.
    return step < kHalf ? kHalf + step : kMapSize + step;
}

void CFuelmapView::WriteHeaders()
{
    if (context_.doc == nullptr) {
        return;
    }
    const QLocale locale;
    for (int row = 1; row <= kMapRows; ++row) {
        const std::string& text = context_.doc->IndexText(IndexTable::DZI, kMapRows - row);
        const double value = platform::parseDouble(text);
        grid_->SetItemText(row, 0, locale.toString(std::round(value), 'f', 0));
    }
    for (int column = 1; column <= kMapColumns; ++column) {
        grid_->SetItemText(
            0, column,
            QString::fromStdString(platform::cp1252ToUtf8(context_.doc->IndexText(IndexTable::DKI, column - 1))));
    }
}

void CFuelmapView::OnUpdate(int hint)
{
    if (hint == kHintAll || hint == kHintHeaders) {
        WriteHeaders();
    }
    if ((hint == kHintAll || hint == kHintTables) && context_.doc != nullptr) {
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
