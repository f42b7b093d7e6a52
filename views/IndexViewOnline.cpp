// CDOS_IndexView: the index view as the Index pane shows it, with the
// transfer progress of the index job and the live markers of online mode.
#include "views/IndexView.h"

#include "comm/PortCodes.h"
#include "document/MorvexDoc.h"
#include "grid/ValueGridCtrl.h"
#include "views/CylinderMap.h"
#include "views/PartnerChart.h"
#include "views/TransferColours.h"

namespace morvex::views {

namespace it = indextable;

namespace {

using grid::ColorRef;
using namespace transfer;
constexpr ColorRef kWhite = kText;

} // namespace

CDOS_IndexView::CDOS_IndexView(const ViewContext& context, QWidget* parent) : CZamoIndexView(context, parent)
{
    liveRows_.fill(-1);
    grid_->SetFixedRowCount(it::kFixedRows);
    // Points 16..31 are not held by the box: their rows stay hidden.
    for (int row = it::kFirstPointRow; row < it::kFirstShownRow; ++row) {
        grid_->SetRowHeight(row, 0);
    }
    for (int column = it::kRevolutionsColumn; column <= it::kLastColumn; ++column) {
        if (it::isHiddenColumn(column)) {
            grid_->SetColumnWidth(column, 0);
        }
    }
    for (int row = it::kFirstShownRow; row <= it::kLastRow; ++row) {
        for (int column = it::kFirstTextColumn; column <= it::kLastColumn; ++column) {
            if (it::isPlaceholderCell(row, column)) {
                grid_->SetItemState(row, column, grid_->GetItemState(row, column) | grid::GVIS_READONLY);
            }
        }
    }
    ResetCellColours();
    grid_->SetSelectedRange(rememberedSelection_);
    grid_->SetFocusCell(rememberedFocus_);
}

bool CDOS_IndexView::CanEditCell(int row, int column) const
{
    return row >= it::kFirstShownRow && !it::isHiddenColumn(column) && CZamoIndexView::CanEditCell(row, column);
}

ColorRef CDOS_IndexView::BaseBackColour(int row, int column) const
{
    if (it::isPlaceholderCell(row, column)) {
        return grid_->GetGridBkColor();
    }
    if (column == it::kThrottleColumn && row >= it::kFirstPointRow && !it::isStripedCell(row, column)) {
        return kPlainBack;
    }
    return CZamoIndexView::BaseBackColour(row, column);
}

int CDOS_IndexView::PositionOfStep(int step) const
{
    return it::positionOfStep(step);
}

int CDOS_IndexView::LiveRow(int column) const
{
    if (column < it::kRevolutionsColumn || column >= it::kRevolutionsColumn + it::kLiveColumns) {
        return -1;
    }
    return liveRows_[static_cast<std::size_t>(column - it::kRevolutionsColumn)];
}

void CDOS_IndexView::SetLiveMarker(int column, int row)
{
    int& current = liveRows_[static_cast<std::size_t>(column - it::kRevolutionsColumn)];
    if (current == row) {
        return;
    }
    if (current >= 0) {
        PaintBase(current, column);
        grid_->RedrawCell(current, column);
    }
    current = row;
    if (row >= 0) {
        grid_->SetItemFgColour(row, column, kMarkerText);
        grid_->SetItemBkColour(row, column, kMarkerBack);
        grid_->RedrawCell(row, column);
    }
}

void CDOS_IndexView::RemoveLiveMarkers()
{
    for (int column = it::kRevolutionsColumn; column < it::kRevolutionsColumn + it::kLiveColumns; ++column) {
        SetLiveMarker(column, -1);
    }
}

void CDOS_IndexView::PaintLiveMarkers()
{
    std::array<int, it::kLiveColumns> rows = liveRows_;
    liveRows_.fill(-1);
    for (int column = it::kRevolutionsColumn; column < it::kRevolutionsColumn + it::kLiveColumns; ++column) {
        SetLiveMarker(column, rows[static_cast<std::size_t>(column - it::kRevolutionsColumn)]);
    }
}

void CDOS_IndexView::ShowReceived()
{
    if (context_.doc == nullptr || table_ == nullptr) {
        return;
    }
    // The document regenerates its index texts and takes the received names
    // only once the whole transfer has ended; the words are already here.
    for (int column = it::kRevolutionsColumn; column <= it::kLastIndexColumn; ++column) {
        const it::AxisRules rules = Rules(column);
        for (int row = it::kFirstPointRow; row <= it::kLastRow; ++row) {
            const QString text =
                rules.toPc != nullptr
                    ? QString::fromStdString(it::axisText(readWordBE(&table_[it::wordOffset(row, column)]), rules))
                    : CellText(row, column);
            grid_->SetItemText(row, column, text);
        }
    }
    for (int row = it::kFirstPointRow; row <= it::kLastRow; ++row) {
        for (int column = it::kFirstTextColumn; column <= it::kLastColumn; ++column) {
            grid_->SetItemText(row, column, CellText(row, column));
        }
    }
    grid_->viewport()->update();
}

void CDOS_IndexView::ShowProgress(uint32_t code, int position)
{
    using namespace comm;
    if (position < 0 || position >= it::kPositions) {
        return;
    }
    const int row = it::rowOfPosition(position);
    const int column = it::columnOfPosition(position);
    auto paint = [&](ColorRef text, ColorRef back) {
        grid_->SetItemFgColour(row, column, text);
        grid_->SetItemBkColour(row, column, back);
    };
    switch (code) {
    case PT_READ_BEGIN:
        blink_ = true;
        paint(kWhite, kReading);
        break;
    case PT_WRITE_BEGIN:
        blink_ = true;
        paint(kWhite, kSending);
        break;
    case PT_VALUE_READ:
        blink_ = true;
        if (partner_ != nullptr) {
            partner_->TransferProgress(2, progressMarker(position));
        }
        paint(kWhite, kRead);
        // A word is reported after its low byte: both bytes are in.
        if (const it::AxisRules rules = Rules(column); rules.toPc != nullptr && table_ != nullptr) {
            grid_->SetItemText(
                row, column,
                QString::fromStdString(it::axisText(readWordBE(&table_[it::wordOffset(row, column)]), rules)));
        }
        if (context_.doc != nullptr) {
            context_.doc->SetModifiedFlag(true);
        }
        break;
    case PT_VALUE_WRITTEN:
        blink_ = true;
        if (partner_ != nullptr) {
            partner_->TransferProgress(2, progressMarker(position));
        }
        paint(kWhite, kSent);
        break;
    case PT_WRITE_FAILED:
    case PT_READ_FAILED:
        if (blink_) {
            paint(kWhite, kError);
        } else {
            PaintBase(row, column);
        }
        blink_ = !blink_;
        break;
    default: return;
    }
    grid_->RedrawCell(row, column);
}

void CDOS_IndexView::OnBoxEvent(uint32_t code, intptr_t lParam)
{
    using namespace comm;
    switch (code) {
    case PT_ABORTED: RemoveLiveMarkers(); [[fallthrough]];
    case PT_READ_DONE:
        ShowReceived();
        RebuildChart();
        grid_->AutoSize();
        [[fallthrough]];
    case PT_WRITE_DONE:
        ResetCellColours();
        PaintLiveMarkers();
        TransferEnded();
        break;
    case PT_RECEIVE_STARTED:
    case PT_SEND_STARTED: TransferStarted(); break;
    case PT_ONLINE_STARTED:
        // Axes changed now would not reach the box: the grid only shows.
        EnableGridEditing(false);
        RemoveLiveMarkers();
        break;
    case PT_ONLINE_ENDED:
        RemoveLiveMarkers();
        EnableGridEditing(true);
        break;
    case PT_LIVE_FAILED:
        if (const int column = it::liveColumnOf(static_cast<int>(lParam & 0xFFFF)); column > 0) {
            SetLiveMarker(column, -1);
        }
        break;
    case PT_LIVE_VALUE: {
        const int parameter = static_cast<int>(lParam & 0xFFFF);
        if (const int column = it::liveColumnOf(parameter); column > 0) {
            SetLiveMarker(column, it::liveMarkerRow(parameter, static_cast<int>((lParam >> 16) & 0xFFFF)));
        }
        break;
    }
    default: ShowProgress(code, PositionOfStep(static_cast<int>(lParam))); break;
    }
}

} // namespace morvex::views
