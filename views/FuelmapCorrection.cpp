// The fuel map's correction proposal: preview, Accept, Reject, the reset
// of the recorded data of the accepted cells, and the correction locks.
#include "views/FuelmapView.h"

#include "comm/PortCodes.h"
#include "document/LambdaSensors.h"
#include "document/MorvexDoc.h"
#include "grid/ValueGridCtrl.h"
#include "views/CorrectionBar.h"
#include "views/DataRecording.h"

#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace morvex::views {
namespace {

int cellOf(const grid::CCellID& id)
{
    return recording::cellOfGridCell(id.row, id.col);
}

bool isShownCell(const grid::CCellID& id)
{
    return cellOf(id) >= 0;
}

} // namespace

void CFuelmapView::LayoutChildren(int width, int height)
{
    // The bar takes the bottom strip; the grid and its captions the rest.
    const int bar = bar_->isVisible() ? bar_->sizeHint().height() : 0;
    CZamoCylinderView::LayoutChildren(width, height - bar);
    bar_->setGeometry(0, height - bar, width, bar);
}

CorrectionProposal CFuelmapView::ProposeCorrection(CorrectionSettings settings) const
{
    settings.leftOnly = LambdaCorrection();
    const LambdaSensors* sensors = context_.sensors;
    const CMorvexDoc& doc = *context_.doc;
    const auto boxToPc = doc.Adapt().BOX_TO_PC_Lambda;
    // The lambda as the Data Record pane shows it: through the chosen sensor.
    const LambdaConversion convert = [sensors, boxToPc](uint16_t raw) {
        return sensors != nullptr ? sensors->Convert(raw, boxToPc) : boxToPc(raw);
    };
    return morvex::ProposeCorrection(doc, settings, doc.CorrectionLocks().cells(), convert);
}

bool CFuelmapView::LambdaSensorChosen() const
{
    return context_.sensors != nullptr && !context_.sensors->rawSelected();
}

bool CFuelmapView::CanPreviewCorrection() const
{
    // A transfer takes editing away from the grid (online keeps the locked
    // stepping): no preview then.
    return context_.doc != nullptr && left_ != nullptr && right_ != nullptr &&
           (grid_->IsEditable() || grid_->IsLockedStepping());
}

void CFuelmapView::PreviewCorrection(CorrectionProposal proposal)
{
    if (!CanPreviewCorrection()) {
        return;
    }
    if (grid_->IsEditing()) {
        grid_->EndEditing();
    }
    // The copies start from the document's maps, also when a new proposal
    // replaces the one shown (its cells may be locked or unchanged now).
    std::copy_n(context_.doc->GetBoxData(box::TAB_DDD_LINKS), kMapSize, proposedLeft_.begin());
    std::copy_n(context_.doc->GetBoxData(box::TAB_DDD_RECHTS), kMapSize, proposedRight_.begin());
    acceptedCells_.clear();
    for (const CellProposal& c : proposal.cells) {
        auto& table = c.cylinder == 0 ? proposedLeft_ : proposedRight_;
        table[static_cast<std::size_t>(kHalfMap + c.cell)] = c.proposed;
    }
    preview_ = std::move(proposal);
    // The grid, the per cent tab and the chart show the proposed maps.
    BindTables(proposedLeft_.data(), proposedRight_.data());
    ComputeRightPercent(kMapSize);
    LoadGrid(activeGrid_);
    bar_->ShowPreview(Summary(*preview_));
    LayoutChildren(width(), height());
    FocusBar();
    emit correctionStateChanged();
}

void CFuelmapView::FocusBar()
{
    // After the event that opened the bar: closing the settings dialog
    // hands the keyboard back to the window first.
    QTimer::singleShot(0, bar_, [this] {
        if (bar_->isVisible()) {
            bar_->firstButton()->setFocus(Qt::OtherFocusReason);
        }
    });
}

void CFuelmapView::EndPreview()
{
    preview_.reset();
    if (context_.doc != nullptr) {
        BindTables(context_.doc->GetBoxData(box::TAB_DDD_LINKS), context_.doc->GetBoxData(box::TAB_DDD_RECHTS));
    }
    ComputeRightPercent(kMapSize);
    LoadGrid(activeGrid_);
    ColourPreview(); // back to the resting colours
}

void CFuelmapView::RejectCorrection()
{
    if (!InPreview()) {
        return;
    }
    EndPreview();
    bar_->hide();
    LayoutChildren(width(), height());
    grid_->setFocus();
    emit correctionStateChanged();
}

int CFuelmapView::AcceptCorrection()
{
    if (!InPreview()) {
        return 0;
    }
    const CorrectionProposal proposal = std::move(*preview_);
    EndPreview();
    int changed = 0;
    {
        // One grid action: one undo step, however many cells.
        const grid::CGridCtrl::ActionScope action(*grid_, "Fuel Correction");
        changed = ApplyCorrection(*context_.doc, proposal, [this](const CellProposal& c, uint8_t before) {
            ReportChange(c.cylinder == 0, kHalfMap + c.cell, before, c.proposed);
            acceptedCells_.push_back(c.cell);
        });
    }
    // A cell changed in both cylinders is reset once.
    std::sort(acceptedCells_.begin(), acceptedCells_.end());
    acceptedCells_.erase(std::unique(acceptedCells_.begin(), acceptedCells_.end()), acceptedCells_.end());
    ComputeRightPercent(kMapSize);
    LoadGrid(activeGrid_);
    if (changed != 0) {
        emit documentEdited();
    }
    bar_->ShowAccepted(changed == 1 ? tr("Accepted: 1 cell changed.") : tr("Accepted: %1 cells changed.").arg(changed),
                       !acceptedCells_.empty());
    LayoutChildren(width(), height());
    FocusBar();
    emit correctionStateChanged();
    return changed;
}

void CFuelmapView::ResetRecordsOfAcceptedCells()
{
    if (acceptedCells_.empty() || context_.doc == nullptr) {
        return;
    }
    {
        const grid::CGridCtrl::ActionScope action(*grid_, "Reset Data Records");
        for (const int cell : acceptedCells_) {
            recording::resetCellRecords(*context_.doc, cell);
        }
        context_.doc->SetModifiedFlag(true);
    }
    acceptedCells_.clear();
    bar_->hide();
    LayoutChildren(width(), height());
    grid_->setFocus();
    emit documentEdited();
    emit recordsReset();
    emit correctionStateChanged();
}

int CFuelmapView::CylinderOfGrid(int id) const
{
    if (id == kGridLeft) {
        return 0;
    }
    // In lambda correction mode the second tab shows the right map.
    return id == kGridRight || id == kGridPercent ? 1 : -1;
}

bool CFuelmapView::PreviewColours(const grid::CCellID& id, grid::ColorRef& text, grid::ColorRef& back) const
{
    // Online the live cell stays visible over a proposal (the trail does not).
    if (!preview_ || !isShownCell(id) || id == previousLive_) {
        return false;
    }
    const CellProposal* it = preview_->find(CylinderOfGrid(activeGrid_), cellOf(id));
    if (it == nullptr) {
        return false;
    }
    text = grid::kColorDefault;
    switch (it->outcome) {
    case CellOutcome::Changed: back = it->proposed > it->oldValue ? kRicherBack : kLeanerBack; break;
    case CellOutcome::Unchanged: return false;
    case CellOutcome::Locked: back = kLockedBack; break;
    case CellOutcome::NotRecorded:
    case CellOutcome::TooFewSamples:
    case CellOutcome::OutsideWindow:
        text = kNoDataText;
        back = kNoDataBack;
        break;
    }
    return true;
}

void CFuelmapView::ColourPreview()
{
    for (int row = kFirstShownRow; row <= kMapRows; ++row) {
        for (int column = 1; column <= kMapColumns; ++column) {
            grid::ColorRef text = grid::kColorDefault;
            grid::ColorRef back = grid::kColorDefault;
            if (!PreviewColours({row, column}, text, back)) {
                RestoreCellBack({row, column});
                grid_->SetItemFgColour(row, column);
                continue;
            }
            grid_->SetItemFgColour(row, column, text);
            grid_->SetItemBkColour(row, column, back);
        }
    }
    grid_->viewport()->update();
}

void CFuelmapView::RestoreCellBack(const grid::CCellID& cell)
{
    grid::ColorRef text = grid::kColorDefault;
    grid::ColorRef back = grid::kColorDefault;
    if (PreviewColours(cell, text, back)) {
        grid_->SetItemBkColour(cell.row, cell.col, back);
        return;
    }
    CZamoCylinderView::RestoreCellBack(cell);
}

QString CFuelmapView::Summary(const CorrectionProposal& p) const
{
    int richer = 0;
    int leaner = 0;
    for (const CellProposal& c : p.cells) {
        if (c.outcome == CellOutcome::Changed) {
            (c.proposed > c.oldValue ? richer : leaner) += 1;
        }
    }
    const int noData = p.count(CellOutcome::NotRecorded) + p.count(CellOutcome::TooFewSamples) +
                       p.count(CellOutcome::OutsideWindow);
    return tr("Proposed correction: %1 cells richer, %2 leaner, %3 on target, %4 without enough recorded "
              "data, %5 locked.")
        .arg(richer)
        .arg(leaner)
        .arg(p.count(CellOutcome::Unchanged))
        .arg(noData)
        .arg(p.count(CellOutcome::Locked));
}

bool CFuelmapView::CanToggleCorrectionLocks() const
{
    if (context_.doc == nullptr || CylinderOfGrid(activeGrid_) < 0 ||
        (activeGrid_ == kGridPercent && !LambdaCorrection())) {
        return false;
    }
    const auto cells = grid_->GetSelectedCells();
    return std::any_of(cells.begin(), cells.end(), isShownCell) || isShownCell(grid_->GetFocusCell());
}

int CFuelmapView::ToggleCorrectionLocks()
{
    if (!CanToggleCorrectionLocks()) {
        return 0;
    }
    const int cylinder = CylinderOfGrid(activeGrid_);
    std::vector<int> cells;
    for (const grid::CCellID& id : grid_->GetSelectedCells()) {
        if (isShownCell(id)) {
            cells.push_back(cellOf(id));
        }
    }
    if (cells.empty()) {
        cells.push_back(cellOf(grid_->GetFocusCell()));
    }
    CMorvexDoc& doc = *context_.doc;
    const bool allLocked = std::all_of(cells.begin(), cells.end(),
                                       [&](int k) { return doc.CorrectionLocks().IsLocked(cylinder, k); });
    int changed = 0;
    {
        const grid::CGridCtrl::ActionScope action(*grid_, allLocked ? "Unlock Cells" : "Lock Cells");
        for (const int k : cells) {
            changed += doc.CorrectionLocks().IsLocked(cylinder, k) == allLocked ? 1 : 0;
            doc.SetCorrectionLocked(cylinder, k, !allLocked);
        }
    }
    MarkLockedCells();
    if (changed != 0) {
        emit documentEdited();
    }
    return allLocked ? -changed : changed;
}

void CFuelmapView::MarkLockedCells()
{
    if (context_.doc == nullptr) {
        return;
    }
    const int cylinder = CylinderOfGrid(activeGrid_);
    for (int k = 0; k < kCells; ++k) {
        const int row = recording::gridRowOfCell(k);
        const int column = recording::gridColumnOfCell(k);
        const unsigned state = grid_->GetItemState(row, column);
        const bool locked = cylinder >= 0 && context_.doc->CorrectionLocks().IsLocked(cylinder, k);
        const unsigned marked = locked ? state | grid::GVIS_MARKED : state & ~grid::GVIS_MARKED;
        if (marked != state) {
            grid_->SetItemState(row, column, marked);
            grid_->RedrawCell(row, column);
        }
    }
}

int CFuelmapView::GridNotify(int code, int row, int column)
{
    // The grid shows proposed values: nothing is edited until the tuner
    // accepted or rejected them.
    if (InPreview() && (code == grid::GRID_NOTIFY_BEGIN_EDIT || code == grid::GRID_NOTIFY_LOCKED_STEP)) {
        Beep();
        return -1;
    }
    return CZamoCylinderView::GridNotify(code, row, column);
}

bool CFuelmapView::CanFillMeanValues(bool down) const
{
    return !InPreview() && CZamoCylinderView::CanFillMeanValues(down);
}

void CFuelmapView::OnBoxEvent(uint32_t code, intptr_t lParam)
{
    // A transfer reads or writes the document's maps: the preview of the
    // old contents goes first.
    if (InPreview() && (code == comm::PT_READ_BEGIN || code == comm::PT_WRITE_BEGIN)) {
        RejectCorrection();
    }
    CZamoCylinderView::OnBoxEvent(code, lParam);
}

} // namespace morvex::views
