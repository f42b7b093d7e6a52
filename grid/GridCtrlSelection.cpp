// CGridCtrl: focus cell, selection and moving the focus cell by key.

#include "grid/GridCtrl.h"

#include <algorithm>

namespace morvex::grid {

// ---- focus and selection ------------------------------------------------

void CGridCtrl::SetFocusCell(int row, int col)
{
    CCellID next(row, col);
    if (!IsValid(next) || IsCellFixed(row, col)) {
        next = {};
    }
    if (next == focus_) {
        return;
    }
    const CCellID old = focus_;
    if (CGridCellBase* cell = GetCell(old.row, old.col)) {
        cell->SetState(cell->GetState() & ~GVIS_FOCUSED);
        RedrawCell(old);
        RedrawHeadersOf(old);
    }
    focus_ = next;
    if (CGridCellBase* cell = GetCell(next.row, next.col)) {
        cell->SetState(cell->GetState() | GVIS_FOCUSED);
        RedrawCell(next);
        RedrawHeadersOf(next);
    }
}

void CGridCtrl::RedrawHeadersOf(const CCellID& cell)
{
    if (!trackFocusCell_ || !IsValid(cell)) {
        return;
    }
    for (int r = 0; r < fixedRows_; ++r) {
        RedrawCell(r, cell.col);
    }
    for (int c = 0; c < fixedCols_; ++c) {
        RedrawCell(cell.row, c);
    }
}

void CGridCtrl::SetCellSelected(int row, int col, bool selected)
{
    CGridCellBase* cell = GetCell(row, col);
    if (cell == nullptr) {
        return;
    }
    const unsigned state = cell->GetState();
    const unsigned next = selected ? state | GVIS_SELECTED : state & ~GVIS_SELECTED;
    if (next != state) {
        cell->SetState(next);
        RedrawCell(row, col);
    }
}

void CGridCtrl::SelectRange(const CCellRange& range, bool keepOthers)
{
    for (int r = fixedRows_; r < rows_; ++r) {
        for (int c = fixedCols_; c < cols_; ++c) {
            const bool keep = keepOthers && IsCellSelected(r, c);
            SetCellSelected(r, c, keep || (range.InRange(r, c) && IsCellVisibleSize(r, c)));
        }
    }
}

void CGridCtrl::SetSelectedRange(const CCellRange& range)
{
    SelectRange(range, false);
    anchor_ = range.IsValid() && IsValid(range.minRow, range.minCol) ? range.TopLeft() : CCellID();
}

CCellRange CGridCtrl::GetSelectedCellRange() const
{
    CCellRange range;
    for (int r = fixedRows_; r < rows_; ++r) {
        for (int c = fixedCols_; c < cols_; ++c) {
            if (!IsCellSelected(r, c)) {
                continue;
            }
            if (!range.IsValid()) {
                range = {r, c, r, c};
            } else {
                range.minRow = std::min(range.minRow, r);
                range.minCol = std::min(range.minCol, c);
                range.maxRow = std::max(range.maxRow, r);
                range.maxCol = std::max(range.maxCol, c);
            }
        }
    }
    return range;
}

std::vector<CCellID> CGridCtrl::GetSelectedCells() const
{
    std::vector<CCellID> cells;
    for (int r = fixedRows_; r < rows_; ++r) {
        for (int c = fixedCols_; c < cols_; ++c) {
            if (IsCellSelected(r, c)) {
                cells.emplace_back(r, c);
            }
        }
    }
    return cells;
}

int CGridCtrl::GetSelectedCount() const
{
    int count = 0;
    for (int r = fixedRows_; r < rows_; ++r) {
        for (int c = fixedCols_; c < cols_; ++c) {
            count += IsCellSelected(r, c) ? 1 : 0;
        }
    }
    return count;
}

bool CGridCtrl::IsCellSelected(int row, int col) const
{
    const CGridCellBase* cell = GetCell(row, col);
    return cell != nullptr && cell->IsSelected();
}

void CGridCtrl::SelectAll()
{
    if (fixedRows_ >= rows_ || fixedCols_ >= cols_) {
        return;
    }
    SelectRange(CCellRange(fixedRows_, fixedCols_, rows_ - 1, cols_ - 1), false);
    if (!IsValid(focus_)) {
        SetFocusCell(FirstVisibleRow(), FirstVisibleCol());
    }
    if (IsValid(focus_)) {
        Notify(GRID_NOTIFY_SEL_CHANGED, focus_.row, focus_.col);
    }
}

// ---- navigation ---------------------------------------------------------

int CGridCtrl::NextVisibleRow(int row, int step) const
{
    for (int r = row + step; r >= fixedRows_ && r < rows_; r += step) {
        if (rowHeights_[static_cast<size_t>(r)] > 0) {
            return r;
        }
    }
    return -1;
}

int CGridCtrl::NextVisibleCol(int col, int step) const
{
    for (int c = col + step; c >= fixedCols_ && c < cols_; c += step) {
        if (colWidths_[static_cast<size_t>(c)] > 0) {
            return c;
        }
    }
    return -1;
}

int CGridCtrl::FirstVisibleRow() const
{
    return NextVisibleRow(fixedRows_ - 1, 1);
}

int CGridCtrl::FirstVisibleCol() const
{
    return NextVisibleCol(fixedCols_ - 1, 1);
}

int CGridCtrl::VisiblePageRows() const
{
    const int height = std::max(1, GetDefaultCell(false, false)->GetHeight());
    return std::max(1, (viewport()->height() - GetFixedRowHeight()) / height);
}

void CGridCtrl::MoveFocusTo(const CCellID& cell, bool extend)
{
    if (!IsValid(cell) || IsCellFixed(cell.row, cell.col)) {
        return;
    }
    if (extend && IsValid(anchor_)) {
        SelectRange(CCellRange(std::min(anchor_.row, cell.row), std::min(anchor_.col, cell.col),
                               std::max(anchor_.row, cell.row), std::max(anchor_.col, cell.col)),
                    false);
    } else {
        SelectRange(CCellRange(cell.row, cell.col, cell.row, cell.col), false);
        anchor_ = cell;
    }
    SetFocusCell(cell);
    EnsureVisible(cell.row, cell.col);
    Notify(GRID_NOTIFY_SEL_CHANGED, cell.row, cell.col);
}

bool CGridCtrl::MoveFocusForKey(int key, Qt::KeyboardModifiers modifiers)
{
    CCellID current = focus_;
    if (!IsValid(current)) {
        current = {FirstVisibleRow(), FirstVisibleCol()};
        if (!IsValid(current)) {
            return false;
        }
        MoveFocusTo(current, false);
        return true;
    }
    const bool shift = (modifiers & Qt::ShiftModifier) != 0;
    const bool ctrl = (modifiers & Qt::ControlModifier) != 0;
    CCellID next = current;
    auto stepRows = [&](int count, int step) {
        for (int i = 0; i < count; ++i) {
            const int r = NextVisibleRow(next.row, step);
            if (r < 0) {
                break;
            }
            next.row = r;
        }
    };
    bool extend = shift;
    switch (key) {
    case Qt::Key_Down: stepRows(1, 1); break;
    case Qt::Key_Up: stepRows(1, -1); break;
    case Qt::Key_PageDown: stepRows(VisiblePageRows(), 1); break;
    case Qt::Key_PageUp: stepRows(VisiblePageRows(), -1); break;
    case Qt::Key_Right:
        if (const int c = NextVisibleCol(next.col, 1); c >= 0) {
            next.col = c;
        }
        break;
    case Qt::Key_Left:
        if (const int c = NextVisibleCol(next.col, -1); c >= 0) {
            next.col = c;
        }
        break;
    case Qt::Key_Home:
        next.col = FirstVisibleCol();
        if (ctrl) {
            next.row = FirstVisibleRow();
        }
        break;
    case Qt::Key_End:
        next.col = NextVisibleCol(cols_, -1);
        if (ctrl) {
            next.row = NextVisibleRow(rows_, -1);
        }
        break;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: {
        const int step = (key == Qt::Key_Backtab || shift) ? -1 : 1;
        extend = false;
        if (const int c = NextVisibleCol(next.col, step); c >= 0) {
            next.col = c;
        } else if (const int r = NextVisibleRow(next.row, step); r >= 0) {
            next.row = r;
            next.col = step > 0 ? FirstVisibleCol() : NextVisibleCol(cols_, -1);
        }
        break;
    }
    default: return false;
    }
    if (!IsValid(next)) {
        return true;
    }
    MoveFocusTo(next, extend);
    return true;
}

} // namespace morvex::grid
