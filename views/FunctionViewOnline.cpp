// CDOS_FunctionView: what the Function pane adds to the function view:
// transfer progress, change reports under the box's line addresses, the
// live markers and the online tuning keys.
#include "views/FunctionView.h"

#include "comm/PortCodes.h"
#include "document/MorvexDoc.h"
#include "grid/ValueGridCtrl.h"
#include "views/PartnerChart.h"
#include "views/TransferColours.h"

#include <array>

namespace morvex::views {

namespace ft = functiontable;

namespace {

using grid::ColorRef;
using namespace transfer;
constexpr ColorRef kWhite = kText;

// The chart's animation step of a transferred position.
int progressMarkerOf(int position)
{
    return ft::isShownHalf(position) ? 2 * position + 2 : 2 * (1023 - position);
}

} // namespace

CDOS_FunctionView::CDOS_FunctionView(const ViewContext& context, QWidget* parent) : CFunctionView(context, parent) {}

int CDOS_FunctionView::PositionOfStep(int step) const
{
    return ft::positionOfStep(step);
}

uint16_t CDOS_FunctionView::LineAddress(bool, int position) const
{
    // Only asked for bytes the box holds (see ApplyCellEditAndReport).
    return ft::lineAddressOf(position).value_or(0);
}

int CDOS_FunctionView::ApplyCellEditAndReport(int row, int column)
{
    if (table_ == nullptr) {
        return 0;
    }
    const ft::CellBytes bytes = ft::cellBytes(row, column);
    std::array<uint8_t, 2> before{};
    for (int i = 0; i < bytes.count; ++i) {
        before[static_cast<std::size_t>(i)] = table_[bytes.offsets[static_cast<std::size_t>(i)]];
    }
    const int answer = ApplyCellEdit(row, column);
    // High byte first. Bytes the box does not hold are never reported: the
    // box would take them for another table's bytes.
    for (int i = 0; i < bytes.count; ++i) {
        const int offset = bytes.offsets[static_cast<std::size_t>(i)];
        if (ft::lineAddressOf(offset)) {
            ReportChange(true, offset, before[static_cast<std::size_t>(i)], table_[offset]);
        }
    }
    return answer;
}

void CDOS_FunctionView::PaintCell(int row, int column, ColorRef text, ColorRef back)
{
    grid_->SetItemFgColour(row, column, text);
    grid_->SetItemBkColour(row, column, back);
}

void CDOS_FunctionView::RefreshReceived(int position)
{
    const int row = ft::rowOfPosition(position);
    const int column = ft::columnOfPosition(position);
    const int point = position % ft::kPoints;
    if (table_ == nullptr || column >= ft::kColumns) {
        return;
    }
    QString text;
    if (column == ft::kRevLimitColumn && point == ft::pointOfRow(ft::kRevLimitHighRow)) {
        return; // the high byte: the low byte that follows shows the limit
    }
    if (column == ft::kRevLimitColumn && point == ft::pointOfRow(ft::kRevLimitRow)) {
        const AdaptToPcFn toPc = Conversions().toPc;
        if (toPc == nullptr) {
            return;
        }
        text = QStringLiteral("%1").arg(ft::revLimitShown(readWordBE(&table_[ft::kRevLimitHigh]), toPc), 3);
    } else if (column == ft::kWordColumn) {
        const int offset = ft::wordOffsetOfPosition(position);
        if (offset + 1 >= ft::kTableSize) {
            return;
        }
        text = QString::number(readWordBE(&table_[offset]));
    } else {
        text = QStringLiteral("%1").arg(table_[position], 3);
    }
    grid_->SetItemText(row, column, text);
}

void CDOS_FunctionView::ShowProgress(uint32_t code, int position)
{
    using namespace comm;
    if (position < 0 || position >= ft::kTableSize) {
        return;
    }
    const int row = ft::rowOfPosition(position);
    const int column = ft::columnOfPosition(position);
    const bool shown = ft::isShownHalf(position);
    switch (code) {
    case PT_READ_BEGIN:
        blink_ = true;
        PaintCell(row, column, kWhite, kReading);
        break;
    case PT_WRITE_BEGIN:
        blink_ = true;
        PaintCell(row, column, kWhite, kSending);
        break;
    case PT_VALUE_READ:
    case PT_VALUE_WRITTEN:
        blink_ = true;
        if (partner_ != nullptr) {
            partner_->TransferProgress(2, progressMarkerOf(position));
        }
        if (!shown) {
            PaintCell(row, column, grid::kColorDefault, grid::kColorDefault);
        } else if (code == PT_VALUE_WRITTEN) {
            PaintCell(row, column, kWhite, kSent);
        } else {
            PaintCell(row, column, kWhite, kRead);
            RefreshReceived(position);
        }
        if (code == PT_VALUE_READ && context_.doc != nullptr) {
            context_.doc->SetModifiedFlag(true);
        }
        break;
    case PT_WRITE_FAILED:
    case PT_READ_FAILED:
        if (blink_) {
            PaintCell(row, column, kWhite, kError);
        } else {
            PaintCell(row, column, grid::kColorDefault, grid::kColorDefault);
        }
        blink_ = !blink_;
        break;
    default: return;
    }
    grid_->RedrawCell(row, column);
}

void CDOS_FunctionView::UnmarkOnline()
{
    for (const grid::CCellID& cell : marked_) {
        PaintCell(cell.row, cell.col, grid::kColorDefault, grid::kColorDefault);
        grid_->RedrawCell(cell);
    }
    marked_.clear();
}

void CDOS_FunctionView::MarkOnline(bool focusTuned)
{
    UnmarkOnline();
    for (int column = 0; column < 3; ++column) {
        if (const int row = tuning_.liveRow(column); row >= 0) {
            PaintCell(row, column, kMarkerText, kMarkerBack);
            marked_.push_back({row, column});
        }
    }
    const grid::CCellID tuned(tuning_.tunedRow(), tuning_.column());
    if (tuned.row >= 0) {
        PaintCell(tuned.row, tuned.col, kLiveText, kLiveBack);
        marked_.push_back(tuned);
    }
    for (const grid::CCellID& cell : marked_) {
        grid_->RedrawCell(cell);
    }
    // The locked step acts on the focus cell: only a visible point is one.
    if (focusTuned && tuned.row >= ft::kFirstShownRow) {
        grid_->SetSelectionAnchor(tuned);
        grid_->SetFocusCell(tuned);
        grid_->EnsureVisible(tuned.row, tuned.col);
        if (partner_ != nullptr) {
            partner_->SelectCell(tuned.row - 1, tuned.col - 1);
        }
    } else {
        grid_->SetFocusCell(-1, -1);
    }
}

void CDOS_FunctionView::GridKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    // Every change of the tuning selection comes from the UI thread and the
    // port worker never reads it: no lock is needed around it.
    if (!grid_->IsLockedStepping() || (modifiers & Qt::ControlModifier) != 0) {
        return;
    }
    switch (key) {
    case Qt::Key_Left: tuning_.moveColumn(-1); break;
    case Qt::Key_Right: tuning_.moveColumn(1); break;
    case Qt::Key_Up:
        if (!tuning_.movePoint(1)) {
            return;
        }
        break;
    case Qt::Key_Down:
        if (!tuning_.movePoint(-1)) {
            return;
        }
        break;
    default: return;
    }
    MarkOnline(true);
}

void CDOS_FunctionView::OnBoxEvent(uint32_t code, intptr_t lParam)
{
    using namespace comm;
    switch (code) {
    case PT_ABORTED:
        UnmarkOnline();
        tuning_.forgetLive();
        [[fallthrough]];
    case PT_READ_DONE:
        LoadGrid(kGridLeft);
        grid_->AutoSize();
        [[fallthrough]];
    case PT_WRITE_DONE:
        ResetPointColours();
        TransferEnded();
        break;
    case PT_RECEIVE_STARTED:
    case PT_SEND_STARTED: TransferStarted(); break;
    case PT_ONLINE_STARTED:
        LockForOnline();
        tuning_.forgetLive();
        MarkOnline(true);
        break;
    case PT_ONLINE_ENDED:
        UnmarkOnline();
        tuning_.forgetLive();
        EnableGridEditing(true);
        break;
    case PT_LIVE_FAILED:
        tuning_.liveFailed();
        MarkOnline(false);
        break;
    case PT_LIVE_VALUE:
        if (tuning_.setLive(static_cast<int>(lParam & 0xFFFF), static_cast<int>((lParam >> 16) & 0xFFFF))) {
            MarkOnline(true);
        }
        break;
    default: ShowProgress(code, PositionOfStep(static_cast<int>(lParam))); break;
    }
}

} // namespace morvex::views
