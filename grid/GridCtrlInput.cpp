// CGridCtrl: keyboard and mouse handling, including selection by mouse.

#include "grid/GridCtrl.h"

#include "grid/InPlaceEdit.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>

#include <algorithm>
#include <vector>

namespace morvex::grid {

// ---- keyboard and mouse --------------------------------------------------

bool CGridCtrl::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride && !editor_) {
        // Keys the grid uses itself win over the window's shortcuts.
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers();
        const QChar ch = TypedChar(*key);
        if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::Cut) || key->matches(QKeySequence::Paste) ||
            key->matches(QKeySequence::SelectAll) || key->key() == Qt::Key_Delete ||
            (!ch.isNull() && ch.unicode() >= 32 && !(mods & (Qt::ControlModifier | Qt::AltModifier)))) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

bool CGridCtrl::focusNextPrevChild(bool)
{
    return false; // Tab moves the focus cell
}

void CGridCtrl::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    if (editor_) {
        editor_->setFocus(Qt::OtherFocusReason);
    }
}

void CGridCtrl::keyPressEvent(QKeyEvent* event)
{
    if (editor_) {
        // A key that reaches the grid while an editor is open is the editor's.
        if (!forwardingKey_) {
            forwardingKey_ = true;
            QCoreApplication::sendEvent(editor_, event);
            forwardingKey_ = false;
        }
        event->accept();
        return;
    }
    if (OnKeyDown(event)) {
        event->accept();
        return;
    }
    const QChar ch = TypedChar(*event);
    if (!ch.isNull()) {
        OnChar(ch, event->modifiers(), event);
        event->accept();
        return;
    }
    event->ignore();
}

bool CGridCtrl::OnKeyDown(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        OnEditCopy();
        return true;
    }
    if (event->matches(QKeySequence::Cut)) {
        OnEditCut();
        return true;
    }
    if (event->matches(QKeySequence::Paste)) {
        OnEditPaste();
        return true;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
        return true;
    }
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return MoveFocusForKey(event->key(), event->modifiers());
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F2:
        if (IsValid(focus_)) {
            EditCell(focus_.row, focus_.col, EditStart::Enter);
        }
        return true;
    case Qt::Key_Delete: ClearSelectedCells(); return true;
    default: return false;
    }
}

void CGridCtrl::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    EndEditing();
    const QPoint pos = event->position().toPoint();
    const CCellID cell = GetCellFromPt(pos);
    mouseMode_ = MouseMode::None;
    if (!IsValid(cell)) {
        return;
    }
    CGridCellBase* target = GetCell(cell.row, cell.col);
    target->OnClickDown(pos);
    const bool fixedRow = cell.row < fixedRows_;
    const bool fixedCol = cell.col < fixedCols_;
    if (event->button() == Qt::RightButton) {
        if (!fixedRow && !fixedCol && !IsCellSelected(cell.row, cell.col)) {
            MoveFocusTo(cell, false);
        }
        target->OnRClick(pos);
        return;
    }
    if (event->button() != Qt::LeftButton) {
        return;
    }
    mouseDownCell_ = cell;
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (fixedRow && fixedCol) {
        SelectAll();
        return;
    }
    if (fixedRow || fixedCol) {
        // A header click selects the whole column or row.
        const int row = fixedRow ? FirstVisibleRow() : cell.row;
        const int col = fixedCol ? FirstVisibleCol() : cell.col;
        if (row < 0 || col < 0) {
            return;
        }
        if (fixedRow) {
            SelectRange(CCellRange(fixedRows_, cell.col, rows_ - 1, cell.col), false);
            anchor_ = {row, cell.col};
            mouseMode_ = MouseMode::SelectColumns;
        } else {
            SelectRange(CCellRange(cell.row, fixedCols_, cell.row, cols_ - 1), false);
            anchor_ = {cell.row, col};
            mouseMode_ = MouseMode::SelectRows;
        }
        SetFocusCell(row, col);
        Notify(GRID_NOTIFY_SEL_CHANGED, row, col);
        return;
    }
    if ((mods & Qt::ShiftModifier) && IsValid(anchor_)) {
        MoveFocusTo(cell, true);
        mouseMode_ = MouseMode::SelectCells;
        selectionBeforeDrag_.clear();
        return;
    }
    if (mods & Qt::ControlModifier) {
        // Ctrl adds cells to the selection or takes one out.
        const bool wasSelected = IsCellSelected(cell.row, cell.col);
        selectionBeforeDrag_ = GetSelectedCells();
        SetCellSelected(cell.row, cell.col, !wasSelected);
        if (wasSelected) {
            std::erase(selectionBeforeDrag_, cell);
        }
        anchor_ = cell;
        SetFocusCell(cell);
        Notify(GRID_NOTIFY_SEL_CHANGED, cell.row, cell.col);
        mouseMode_ = wasSelected ? MouseMode::None : MouseMode::SelectCells;
        return;
    }
    const bool wasFocus = cell == focus_ && GetSelectedCount() <= 1;
    selectionBeforeDrag_.clear();
    MoveFocusTo(cell, false);
    mouseMode_ = wasFocus ? MouseMode::PrepareEdit : MouseMode::SelectCells;
}

void CGridCtrl::mouseMoveEvent(QMouseEvent* event)
{
    const CCellID cell = GetCellFromPt(event->position().toPoint());
    if (!(event->buttons() & Qt::LeftButton)) {
        if (!(cell == hoverCell_)) {
            if (CGridCellBase* old = GetCell(hoverCell_.row, hoverCell_.col)) {
                old->OnMouseLeave();
            }
            hoverCell_ = cell;
            if (CGridCellBase* now = GetCell(cell.row, cell.col)) {
                now->OnMouseEnter();
            }
        }
        if (CGridCellBase* now = GetCell(cell.row, cell.col)) {
            now->OnMouseOver();
        }
        return;
    }
    if (!IsValid(cell) || mouseMode_ == MouseMode::None) {
        return;
    }
    if (mouseMode_ == MouseMode::PrepareEdit) {
        if (cell == mouseDownCell_) {
            return;
        }
        mouseMode_ = MouseMode::SelectCells;
    }
    CCellRange range;
    CCellID focusCell;
    switch (mouseMode_) {
    case MouseMode::SelectCells: {
        if (IsCellFixed(cell.row, cell.col) || !IsValid(anchor_)) {
            return;
        }
        range = CCellRange(std::min(anchor_.row, cell.row), std::min(anchor_.col, cell.col),
                           std::max(anchor_.row, cell.row), std::max(anchor_.col, cell.col));
        focusCell = cell;
        break;
    }
    case MouseMode::SelectColumns: {
        const int col = std::max(cell.col, fixedCols_);
        range = CCellRange(fixedRows_, std::min(anchor_.col, col), rows_ - 1, std::max(anchor_.col, col));
        focusCell = {anchor_.row, col};
        break;
    }
    case MouseMode::SelectRows: {
        const int row = std::max(cell.row, fixedRows_);
        range = CCellRange(std::min(anchor_.row, row), fixedCols_, std::max(anchor_.row, row), cols_ - 1);
        focusCell = {row, anchor_.col};
        break;
    }
    default: return;
    }
    SelectRange(range, false);
    for (const CCellID& kept : selectionBeforeDrag_) {
        SetCellSelected(kept.row, kept.col, true);
    }
    if (IsCellVisibleSize(focusCell.row, focusCell.col) && !(focusCell == focus_)) {
        SetFocusCell(focusCell);
        EnsureVisible(focusCell.row, focusCell.col);
        Notify(GRID_NOTIFY_SEL_CHANGED, focusCell.row, focusCell.col);
    }
}

void CGridCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const CCellID cell = GetCellFromPt(pos);
    const MouseMode mode = mouseMode_;
    mouseMode_ = MouseMode::None;
    selectionBeforeDrag_.clear();
    if (event->button() != Qt::LeftButton || !IsValid(cell)) {
        return;
    }
    GetCell(cell.row, cell.col)->OnClick(pos);
    if (mode == MouseMode::PrepareEdit && cell == mouseDownCell_) {
        EditCell(cell.row, cell.col, EditStart::Mouse);
    }
}

void CGridCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const CCellID cell = GetCellFromPt(pos);
    mouseMode_ = MouseMode::None; // the release that follows starts nothing
    if (event->button() != Qt::LeftButton || !IsValid(cell)) {
        return;
    }
    GetCell(cell.row, cell.col)->OnDblClick(pos);
    if (!IsCellFixed(cell.row, cell.col) && !editor_) {
        MoveFocusTo(cell, false);
        EditCell(cell.row, cell.col, EditStart::Mouse);
    }
}

} // namespace morvex::grid
