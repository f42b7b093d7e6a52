// CGridCtrl: cell changes with the owner asked, in-place editing, clipboard, Delete and cut.

#include "grid/GridCtrl.h"

#include "grid/InPlaceEdit.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace morvex::grid {

// ---- user actions ---------------------------------------------------------

CGridCtrl::ActionScope::ActionScope(const CGridCtrl& grid, const char* name) : grid_(grid), name_(name)
{
    if (grid_.actionObserver_) {
        grid_.actionObserver_(name_, true);
    }
}

CGridCtrl::ActionScope::~ActionScope()
{
    if (grid_.actionObserver_) {
        grid_.actionObserver_(name_, false);
    }
}

// ---- changes with the owner asked ---------------------------------------

bool CGridCtrl::SetItemTextNotify(int row, int col, const QString& text)
{
    return ChangeCellText(row, col, text, GRID_NOTIFY_END_EDIT, true);
}

bool CGridCtrl::ChangeCellText(int row, int col, const QString& text, int code, bool checkEditable)
{
    if (!IsValid(row, col) || IsCellFixed(row, col)) {
        return false;
    }
    if (checkEditable && !IsCellEditable(row, col)) {
        return false;
    }
    if (Notify(GRID_NOTIFY_BEGIN_EDIT, row, col) < 0) {
        return false;
    }
    CGridCellBase* cell = GetCell(row, col);
    if (cell == nullptr) {
        return false;
    }
    const QString old = cell->GetText();
    if (text == old) {
        return false;
    }
    cell->SetText(text);
    const bool valid = cell->ValidateEdit(text);
    const int answer = valid ? Notify(code, row, col) : -1;
    cell = GetCell(row, col); // the owner may have replaced the cell
    if (cell == nullptr) {
        return false;
    }
    if (answer >= 0) {
        SetModified(true, row, col);
        RedrawCell(row, col);
        return true;
    }
    if (answer == GRID_ANSWER_KEEP_TEXT) {
        return true;
    }
    cell->SetText(old);
    RedrawCell(row, col);
    return false;
}

// ---- editing -------------------------------------------------------------

bool CGridCtrl::EditCell(int row, int col, EditStart start, QKeyEvent* firstKey)
{
    if (editor_) {
        EndEditing();
    }
    if (!IsCellEditable(row, col) || !IsCellVisibleSize(row, col)) {
        return false;
    }
    EnsureVisible(row, col);
    if (Notify(GRID_NOTIFY_BEGIN_EDIT, row, col) < 0) {
        return false;
    }
    QRect rect;
    CGridCellBase* cell = GetCell(row, col);
    if (cell == nullptr || !GetCellRect(row, col, rect)) {
        return false;
    }
    if (gridLines_) {
        rect.adjust(0, 0, -1, -1);
    }
    if (!cell->Edit(row, col, rect, start) || cell->GetEditWnd() == nullptr) {
        return false;
    }
    editor_ = cell->GetEditWnd();
    editCell_ = {row, col};
    editor_->setFont(cell->GetFontObject());
    editor_->show();
    editor_->setFocus(Qt::OtherFocusReason);
    if (firstKey != nullptr) {
        QCoreApplication::sendEvent(editor_, firstKey);
    }
    return true;
}

void CGridCtrl::EndEditing()
{
    if (editor_) {
        editor_->EndEdit();
    }
}

void CGridCtrl::OnEditorFinished(CInPlaceEdit* editor)
{
    if (editor == nullptr || editor != editor_) {
        return;
    }
    const CCellID cell = editCell_;
    const QString text = editor->text();
    const int key = editor->GetLastKey();
    const Qt::KeyboardModifiers modifiers = editor->GetLastModifiers();
    const ActionScope action(*this,
                             key == Qt::Key_Return && (modifiers & Qt::ShiftModifier) ? "Bulk Edit" : "Typing");
    editor_ = nullptr;
    editCell_ = {};
    if (CGridCellBase* edited = GetCell(cell.row, cell.col)) {
        edited->OnEndEdit();
    }
    if (editor->hasFocus()) {
        setFocus(Qt::OtherFocusReason);
    }
    editor->hide();
    editor->deleteLater();

    OnEndInPlaceEdit(cell.row, cell.col, text, key, modifiers);
    switch (key) {
    case Qt::Key_Tab: MoveFocusForKey(Qt::Key_Tab, modifiers & Qt::ShiftModifier); break;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: MoveFocusForKey(key, Qt::NoModifier); break;
    default: break;
    }
    RedrawCell(cell);
}

void CGridCtrl::OnEndInPlaceEdit(int row, int col, const QString& text, int, Qt::KeyboardModifiers)
{
    SetItemTextNotify(row, col, text);
}

void CGridCtrl::OnEditorChar(QChar ch, Qt::KeyboardModifiers modifiers)
{
    OnChar(ch, modifiers, nullptr);
}

void CGridCtrl::OnChar(QChar ch, Qt::KeyboardModifiers modifiers, QKeyEvent* event)
{
    // A character handed back by an editor that ended starts no new edit.
    if (event == nullptr || ch.unicode() < 32 || ch.unicode() == 127) {
        return;
    }
    if ((modifiers & Qt::ControlModifier) && !(modifiers & Qt::AltModifier)) {
        return;
    }
    if (IsValid(focus_)) {
        EditCell(focus_.row, focus_.col, EditStart::TypedKey, event);
    }
}

// ---- clipboard -----------------------------------------------------------

QString CGridCtrl::CopySelectionText() const
{
    const CCellRange range = GetSelectedCellRange();
    if (!range.IsValid()) {
        return {};
    }
    QStringList lines;
    for (int r = range.minRow; r <= range.maxRow; ++r) {
        if (rowHeights_[static_cast<size_t>(r)] == 0) {
            continue;
        }
        QStringList fields;
        for (int c = range.minCol; c <= range.maxCol; ++c) {
            if (colWidths_[static_cast<size_t>(c)] == 0) {
                continue;
            }
            fields << (IsCellSelected(r, c) ? GetItemText(r, c) : QString());
        }
        lines << fields.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void CGridCtrl::PasteText(const QString& text)
{
    if (!editable_) {
        return;
    }
    EndEditing();
    const ActionScope action(*this, "Paste");
    const CCellRange selection = GetSelectedCellRange();
    const CCellID start = selection.IsValid() ? selection.TopLeft() : focus_;
    if (!IsValid(start) || IsCellFixed(start.row, start.col)) {
        return;
    }
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.back().isEmpty()) {
        lines.removeLast();
    }
    CCellRange pasted(start.row, start.col, start.row, start.col);
    int row = start.row;
    for (QString line : lines) {
        if (row < 0) {
            break;
        }
        if (line.endsWith(QLatin1Char('\r'))) {
            line.chop(1);
        }
        int col = start.col;
        for (const QString& field : line.split(QLatin1Char('\t'))) {
            if (col < 0) {
                break;
            }
            ChangeCellText(row, col, field, GRID_NOTIFY_END_EDIT, true);
            pasted.maxCol = std::max(pasted.maxCol, col);
            col = NextVisibleCol(col, 1);
        }
        pasted.maxRow = row;
        row = NextVisibleRow(row, 1);
    }
    SelectRange(pasted, false);
    anchor_ = start;
    SetFocusCell(start);
    Notify(GRID_NOTIFY_SEL_CHANGED, start.row, start.col);
}

void CGridCtrl::OnEditCopy()
{
    const QString text = CopySelectionText();
    if (!text.isEmpty()) {
        QGuiApplication::clipboard()->setText(text);
    }
}

void CGridCtrl::OnEditCut()
{
    if (!editable_) {
        return;
    }
    const ActionScope action(*this, "Cut");
    OnEditCopy();
    ClearSelectedCells();
}

void CGridCtrl::OnEditPaste()
{
    if (!editable_) {
        return;
    }
    PasteText(QGuiApplication::clipboard()->text());
}

QString CGridCtrl::ClearedText(int, int) const
{
    return {};
}

void CGridCtrl::ClearSelectedCells()
{
    if (!editable_) {
        return;
    }
    EndEditing();
    const ActionScope action(*this, "Delete");
    std::vector<CCellID> cells = GetSelectedCells();
    if (cells.empty() && IsValid(focus_)) {
        cells.push_back(focus_);
    }
    for (const CCellID& cell : cells) {
        ChangeCellText(cell.row, cell.col, ClearedText(cell.row, cell.col), GRID_NOTIFY_END_EDIT, true);
    }
}

} // namespace morvex::grid
