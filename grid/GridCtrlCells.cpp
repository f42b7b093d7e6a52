// CGridCtrl: access to the cells' text, state and look, the grid's look and switches, modified flags.

#include "grid/GridCtrl.h"

namespace morvex::grid {

// ---- cell access --------------------------------------------------------

bool CGridCtrl::SetItemText(int row, int col, const QString& text)
{
    CGridCellBase* cell = GetCell(row, col);
    if (cell == nullptr) {
        return false;
    }
    cell->SetText(text);
    return true;
}

QString CGridCtrl::GetItemText(int row, int col) const
{
    const CGridCellBase* cell = GetCell(row, col);
    return cell != nullptr ? cell->GetText() : QString();
}

bool CGridCtrl::SetItemState(int row, int col, unsigned state)
{
    CGridCellBase* cell = GetCell(row, col);
    if (cell == nullptr) {
        return false;
    }
    // Fixed, focus and selection bits belong to the grid.
    constexpr unsigned kGridBits = GVIS_FIXED | GVIS_FIXEDROW | GVIS_FIXEDCOL | GVIS_FOCUSED | GVIS_SELECTED;
    cell->SetState((cell->GetState() & kGridBits) | (state & ~kGridBits));
    return true;
}

unsigned CGridCtrl::GetItemState(int row, int col) const
{
    const CGridCellBase* cell = GetCell(row, col);
    return cell != nullptr ? cell->GetState() : 0;
}

bool CGridCtrl::SetItemFormat(int row, int col, unsigned format)
{
    CGridCellBase* cell = GetCell(row, col);
    if (cell == nullptr) {
        return false;
    }
    cell->SetFormat(format);
    return true;
}

bool CGridCtrl::SetItemData(int row, int col, std::intptr_t value)
{
    CGridCellBase* cell = GetCell(row, col);
    if (cell == nullptr) {
        return false;
    }
    cell->SetData(value);
    return true;
}

bool CGridCtrl::SetItemBkColour(int row, int col, ColorRef colour)
{
    CGridCellBase* cell = GetCell(row, col);
    if (cell == nullptr) {
        return false;
    }
    cell->SetBackClr(colour);
    return true;
}

bool CGridCtrl::SetItemFgColour(int row, int col, ColorRef colour)
{
    CGridCellBase* cell = GetCell(row, col);
    if (cell == nullptr) {
        return false;
    }
    cell->SetTextClr(colour);
    return true;
}

bool CGridCtrl::IsCellEditable(int row, int col) const
{
    const CGridCellBase* cell = GetCell(row, col);
    return editable_ && cell != nullptr && !cell->IsFixed() && !cell->IsReadOnly();
}

// ---- look ----------------------------------------------------------------

void CGridCtrl::SetGridBkColor(ColorRef colour)
{
    gridBkColor_ = colour;
    viewport()->update();
}

void CGridCtrl::SetGridLineColor(ColorRef colour)
{
    gridLineColor_ = colour;
    viewport()->update();
}

void CGridCtrl::SetGridLines(bool on)
{
    gridLines_ = on;
    viewport()->update();
}

void CGridCtrl::SetEditable(bool on)
{
    if (!on) {
        EndEditing();
    }
    editable_ = on;
}

void CGridCtrl::SetTrackFocusCell(bool on)
{
    if (trackFocusCell_ != on) {
        trackFocusCell_ = on;
        viewport()->update();
    }
}

void CGridCtrl::SetFrameFocusCell(bool on)
{
    if (frameFocusCell_ != on) {
        frameFocusCell_ = on;
        RedrawCell(focus_);
    }
}

void CGridCtrl::SetModified(bool modified, int row, int col)
{
    if (CGridCellBase* cell = GetCell(row, col)) {
        const unsigned state = cell->GetState();
        cell->SetState(modified ? state | GVIS_MODIFIED : state & ~GVIS_MODIFIED);
        if (modified) {
            modified_ = true;
        }
        return;
    }
    modified_ = modified;
    if (!modified) {
        for (auto& line : cells_) {
            for (auto& cell : line) {
                cell->SetState(cell->GetState() & ~GVIS_MODIFIED);
            }
        }
    }
}

bool CGridCtrl::GetModified(int row, int col) const
{
    if (const CGridCellBase* cell = GetCell(row, col)) {
        return cell->IsModified();
    }
    return modified_;
}

} // namespace morvex::grid
