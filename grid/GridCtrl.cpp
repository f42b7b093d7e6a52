#include "grid/GridCtrl.h"

#include "grid/InPlaceEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace morvex::grid {

namespace {

constexpr ColorRef kDefaultGridBk = Rgb(236, 236, 236);
constexpr ColorRef kDefaultGridLines = Rgb(192, 192, 192);

int DefaultIndex(bool fixedRow, bool fixedCol)
{
    return (fixedRow ? 1 : 0) + (fixedCol ? 2 : 0);
}

} // namespace

CGridCtrl::CGridCtrl(QWidget* parent)
    : QAbstractScrollArea(parent), beeper_([] { QApplication::beep(); }), gridBkColor_(kDefaultGridBk),
      gridLineColor_(kDefaultGridLines)
{
    const QFont gridFont = font();
    for (int i = 0; i < 4; ++i) {
        defaults_[i] = std::make_unique<CGridDefaultCell>();
        defaults_[i]->SetGrid(this);
        defaults_[i]->SetFont(&gridFont);
        if (i != 0) {
            defaults_[i]->SetBackClr(kDefaultGridBk);
            defaults_[i]->SetFormat(kFormatCenter);
        }
    }
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    RecomputePositions();
}

CGridCtrl::~CGridCtrl()
{
    if (editor_) {
        delete editor_.data();
    }
}

void CGridCtrl::SetBeeper(Beeper beeper)
{
    beeper_ = std::move(beeper);
}

void CGridCtrl::Beep() const
{
    if (beeper_) {
        beeper_();
    }
}

int CGridCtrl::Notify(int code, int row, int col) const
{
    return notifyTarget_ != nullptr ? notifyTarget_->GridNotify(code, row, col) : 0;
}

// ---- cells and shape ----------------------------------------------------

void CGridCtrl::SetDefaultCellType(CellFactory factory)
{
    defaultFactory_ = std::move(factory);
}

std::unique_ptr<CGridCellBase> CGridCtrl::MakeCell() const
{
    std::unique_ptr<CGridCellBase> cell = defaultFactory_ ? defaultFactory_() : std::make_unique<CGridCell>();
    if (!cell) {
        cell = std::make_unique<CGridCell>();
    }
    PrepareCell(*cell);
    return cell;
}

void CGridCtrl::PrepareCell(CGridCellBase& cell) const
{
    cell.SetGrid(const_cast<CGridCtrl*>(this));
}

bool CGridCtrl::SetCellType(int row, int col, const CellFactory& factory)
{
    if (!IsValid(row, col) || !factory) {
        return false;
    }
    std::unique_ptr<CGridCellBase> cell = factory();
    if (!cell) {
        return false;
    }
    if (editCell_ == CCellID(row, col)) {
        EndEditing();
    }
    PrepareCell(*cell);
    const CGridCellBase& old = *cells_[static_cast<size_t>(row)][static_cast<size_t>(col)];
    cell->Assign(old);
    cell->SetState(old.GetState());
    cells_[static_cast<size_t>(row)][static_cast<size_t>(col)] = std::move(cell);
    RedrawCell(row, col);
    return true;
}

CGridCellBase* CGridCtrl::GetCell(int row, int col) const
{
    if (!IsValid(row, col)) {
        return nullptr;
    }
    return cells_[static_cast<size_t>(row)][static_cast<size_t>(col)].get();
}

CGridDefaultCell* CGridCtrl::GetDefaultCell(bool fixedRow, bool fixedCol) const
{
    return defaults_[DefaultIndex(fixedRow, fixedCol)].get();
}

bool CGridCtrl::SetRowCount(int rows)
{
    if (rows < 0) {
        return false;
    }
    EndEditing();
    const int height = GetDefaultCell(false, false)->GetHeight();
    cells_.resize(static_cast<size_t>(rows));
    rowHeights_.resize(static_cast<size_t>(rows), height);
    for (int r = rows_; r < rows; ++r) {
        auto& line = cells_[static_cast<size_t>(r)];
        line.reserve(static_cast<size_t>(cols_));
        for (int c = 0; c < cols_; ++c) {
            line.push_back(MakeCell());
        }
    }
    rows_ = rows;
    fixedRows_ = std::min(fixedRows_, rows_);
    OnCountsChanged();
    return true;
}

bool CGridCtrl::SetColumnCount(int cols)
{
    if (cols < 0) {
        return false;
    }
    EndEditing();
    const int width = GetDefaultCell(false, false)->GetWidth();
    for (auto& line : cells_) {
        line.resize(static_cast<size_t>(cols));
        for (int c = cols_; c < cols; ++c) {
            line[static_cast<size_t>(c)] = MakeCell();
        }
    }
    colWidths_.resize(static_cast<size_t>(cols), width);
    cols_ = cols;
    fixedCols_ = std::min(fixedCols_, cols_);
    OnCountsChanged();
    return true;
}

bool CGridCtrl::SetFixedRowCount(int rows)
{
    if (rows < 0) {
        return false;
    }
    if (rows > rows_) {
        SetRowCount(rows);
    }
    fixedRows_ = rows;
    OnCountsChanged();
    return true;
}

bool CGridCtrl::SetFixedColumnCount(int cols)
{
    if (cols < 0) {
        return false;
    }
    if (cols > cols_) {
        SetColumnCount(cols);
    }
    fixedCols_ = cols;
    OnCountsChanged();
    return true;
}

void CGridCtrl::OnCountsChanged()
{
    if (IsValid(focus_) && IsCellFixed(focus_.row, focus_.col)) {
        SetFocusCell(-1, -1);
    }
    if (!IsValid(focus_)) {
        focus_ = {};
    }
    if (!IsValid(anchor_)) {
        anchor_ = {};
    }
    UpdateFixedStates();
    RecomputePositions();
    UpdateScrollBars();
    viewport()->update();
}

void CGridCtrl::UpdateFixedStates()
{
    constexpr unsigned kFixedBits = GVIS_FIXED | GVIS_FIXEDROW | GVIS_FIXEDCOL;
    for (int r = 0; r < rows_; ++r) {
        for (int c = 0; c < cols_; ++c) {
            CGridCellBase& cell = *cells_[static_cast<size_t>(r)][static_cast<size_t>(c)];
            unsigned state = cell.GetState() & ~kFixedBits;
            if (r < fixedRows_) {
                state |= GVIS_FIXEDROW;
            }
            if (c < fixedCols_) {
                state |= GVIS_FIXEDCOL;
            }
            if (r < fixedRows_ || c < fixedCols_) {
                state = (state | GVIS_FIXED) & ~(GVIS_SELECTED | GVIS_FOCUSED);
            }
            cell.SetState(state);
        }
    }
}

bool CGridCtrl::SetColumnWidth(int col, int width)
{
    if (col < 0 || col >= cols_ || width < 0) {
        return false;
    }
    if (colWidths_[static_cast<size_t>(col)] != width) {
        EndEditing();
        colWidths_[static_cast<size_t>(col)] = width;
        if (width == 0) {
            for (int r = 0; r < rows_; ++r) {
                SetCellSelected(r, col, false);
            }
        }
        RecomputePositions();
        UpdateScrollBars();
        viewport()->update();
    }
    return true;
}

bool CGridCtrl::SetRowHeight(int row, int height)
{
    if (row < 0 || row >= rows_ || height < 0) {
        return false;
    }
    if (rowHeights_[static_cast<size_t>(row)] != height) {
        EndEditing();
        rowHeights_[static_cast<size_t>(row)] = height;
        if (height == 0) {
            for (int c = 0; c < cols_; ++c) {
                SetCellSelected(row, c, false);
            }
        }
        RecomputePositions();
        UpdateScrollBars();
        viewport()->update();
    }
    return true;
}

int CGridCtrl::GetColumnWidth(int col) const
{
    return col >= 0 && col < cols_ ? colWidths_[static_cast<size_t>(col)] : 0;
}

int CGridCtrl::GetRowHeight(int row) const
{
    return row >= 0 && row < rows_ ? rowHeights_[static_cast<size_t>(row)] : 0;
}

int CGridCtrl::GetFixedRowHeight() const
{
    return rowPos_[static_cast<size_t>(fixedRows_)];
}

int CGridCtrl::GetFixedColumnWidth() const
{
    return colPos_[static_cast<size_t>(fixedCols_)];
}

int CGridCtrl::GetVirtualWidth() const
{
    return colPos_.back();
}

int CGridCtrl::GetVirtualHeight() const
{
    return rowPos_.back();
}

bool CGridCtrl::IsCellVisibleSize(int row, int col) const
{
    return IsValid(row, col) && colWidths_[static_cast<size_t>(col)] > 0 && rowHeights_[static_cast<size_t>(row)] > 0;
}

void CGridCtrl::RecomputePositions()
{
    colPos_.assign(static_cast<size_t>(cols_) + 1, 0);
    for (int c = 0; c < cols_; ++c) {
        colPos_[static_cast<size_t>(c) + 1] = colPos_[static_cast<size_t>(c)] + colWidths_[static_cast<size_t>(c)];
    }
    rowPos_.assign(static_cast<size_t>(rows_) + 1, 0);
    for (int r = 0; r < rows_; ++r) {
        rowPos_[static_cast<size_t>(r) + 1] = rowPos_[static_cast<size_t>(r)] + rowHeights_[static_cast<size_t>(r)];
    }
}

void CGridCtrl::UpdateScrollBars()
{
    const QSize area = viewport()->size();
    const int fixedW = GetFixedColumnWidth();
    const int fixedH = GetFixedRowHeight();
    const int defaultHeight = std::max(1, GetDefaultCell(false, false)->GetHeight());
    horizontalScrollBar()->setRange(0, std::max(0, GetVirtualWidth() - area.width()));
    horizontalScrollBar()->setPageStep(std::max(1, area.width() - fixedW));
    horizontalScrollBar()->setSingleStep(std::max(1, GetDefaultCell(false, false)->GetWidth() / 2));
    verticalScrollBar()->setRange(0, std::max(0, GetVirtualHeight() - area.height()));
    verticalScrollBar()->setPageStep(std::max(1, area.height() - fixedH));
    verticalScrollBar()->setSingleStep(defaultHeight);
}

int CGridCtrl::ColumnLeft(int col) const
{
    const int pos = colPos_[static_cast<size_t>(col)];
    return col < fixedCols_ ? pos : pos - horizontalScrollBar()->value();
}

int CGridCtrl::RowTop(int row) const
{
    const int pos = rowPos_[static_cast<size_t>(row)];
    return row < fixedRows_ ? pos : pos - verticalScrollBar()->value();
}

void CGridCtrl::AutoSize()
{
    EndEditing();
    std::vector<int> widths(static_cast<size_t>(cols_), 0);
    std::vector<int> heights(static_cast<size_t>(rows_), 0);
    for (int r = 0; r < rows_; ++r) {
        for (int c = 0; c < cols_; ++c) {
            if (!IsCellVisibleSize(r, c)) {
                continue;
            }
            const QSize extent = GetCell(r, c)->GetCellExtent();
            widths[static_cast<size_t>(c)] = std::max(widths[static_cast<size_t>(c)], extent.width());
            heights[static_cast<size_t>(r)] = std::max(heights[static_cast<size_t>(r)], extent.height());
        }
    }
    for (int c = 0; c < cols_; ++c) {
        if (colWidths_[static_cast<size_t>(c)] > 0 && widths[static_cast<size_t>(c)] > 0) {
            colWidths_[static_cast<size_t>(c)] = widths[static_cast<size_t>(c)];
        }
    }
    for (int r = 0; r < rows_; ++r) {
        if (rowHeights_[static_cast<size_t>(r)] > 0 && heights[static_cast<size_t>(r)] > 0) {
            rowHeights_[static_cast<size_t>(r)] = heights[static_cast<size_t>(r)];
        }
    }
    RecomputePositions();
    UpdateScrollBars();
    viewport()->update();
}

void CGridCtrl::AutoSizeColumn(int col)
{
    if (col < 0 || col >= cols_ || colWidths_[static_cast<size_t>(col)] == 0) {
        return;
    }
    int width = 0;
    for (int r = 0; r < rows_; ++r) {
        if (IsCellVisibleSize(r, col)) {
            width = std::max(width, GetCell(r, col)->GetCellExtent().width());
        }
    }
    if (width > 0) {
        SetColumnWidth(col, width);
    }
}

void CGridCtrl::AutoSizeRow(int row)
{
    if (row < 0 || row >= rows_ || rowHeights_[static_cast<size_t>(row)] == 0) {
        return;
    }
    int height = 0;
    for (int c = 0; c < cols_; ++c) {
        if (IsCellVisibleSize(row, c)) {
            height = std::max(height, GetCell(row, c)->GetCellExtent().height());
        }
    }
    if (height > 0) {
        SetRowHeight(row, height);
    }
}

void CGridCtrl::SetGridFont(const QFont& gridFont)
{
    EndEditing();
    setFont(gridFont);
    for (auto& def : defaults_) {
        def->SetFont(&gridFont);
    }
    UpdateScrollBars();
    viewport()->update();
}

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

void CGridCtrl::EnsureVisible(int row, int col)
{
    if (!IsValid(row, col)) {
        return;
    }
    const QSize area = viewport()->size();
    if (col >= fixedCols_) {
        const int fixedW = GetFixedColumnWidth();
        const int left = colPos_[static_cast<size_t>(col)];
        const int right = colPos_[static_cast<size_t>(col) + 1];
        int value = horizontalScrollBar()->value();
        if (right - value > area.width()) {
            value = right - area.width();
        }
        if (left - value < fixedW) {
            value = left - fixedW;
        }
        horizontalScrollBar()->setValue(value);
    }
    if (row >= fixedRows_) {
        const int fixedH = GetFixedRowHeight();
        const int top = rowPos_[static_cast<size_t>(row)];
        const int bottom = rowPos_[static_cast<size_t>(row) + 1];
        int value = verticalScrollBar()->value();
        if (bottom - value > area.height()) {
            value = bottom - area.height();
        }
        if (top - value < fixedH) {
            value = top - fixedH;
        }
        verticalScrollBar()->setValue(value);
    }
}

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

// ---- drawing -------------------------------------------------------------

void CGridCtrl::RedrawCell(int row, int col)
{
    QRect rect;
    if (GetCellRect(row, col, rect)) {
        viewport()->update(rect);
    }
}

bool CGridCtrl::GetCellRect(int row, int col, QRect& rect) const
{
    if (!IsValid(row, col)) {
        return false;
    }
    rect = QRect(ColumnLeft(col), RowTop(row), colWidths_[static_cast<size_t>(col)],
                 rowHeights_[static_cast<size_t>(row)]);
    return !rect.isEmpty() && rect.intersects(viewport()->rect());
}

CCellID CGridCtrl::GetCellFromPt(QPoint pos) const
{
    auto find = [](const std::vector<int>& positions, int first, int last, int x) {
        for (int i = first; i < last; ++i) {
            if (x >= positions[static_cast<size_t>(i)] && x < positions[static_cast<size_t>(i) + 1]) {
                return i;
            }
        }
        return -1;
    };
    const int fixedW = GetFixedColumnWidth();
    const int fixedH = GetFixedRowHeight();
    const int col = pos.x() < fixedW ? find(colPos_, 0, fixedCols_, pos.x())
                                     : find(colPos_, fixedCols_, cols_, pos.x() + horizontalScrollBar()->value());
    const int row = pos.y() < fixedH ? find(rowPos_, 0, fixedRows_, pos.y())
                                     : find(rowPos_, fixedRows_, rows_, pos.y() + verticalScrollBar()->value());
    if (row < 0 || col < 0) {
        return {};
    }
    return {row, col};
}

void CGridCtrl::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    const QRect clip = event->rect();
    painter.fillRect(clip, ToQColor(gridBkColor_));
    const int fixedW = GetFixedColumnWidth();
    const int fixedH = GetFixedRowHeight();
    const int width = viewport()->width();
    const int height = viewport()->height();
    struct Region {
        int r0, r1, c0, c1;
        QRect area;
    };
    // Scrolling cells first, then the headers over them.
    const Region regions[] = {
        {fixedRows_, rows_, fixedCols_, cols_, QRect(fixedW, fixedH, width - fixedW, height - fixedH)},
        {0, fixedRows_, fixedCols_, cols_, QRect(fixedW, 0, width - fixedW, fixedH)},
        {fixedRows_, rows_, 0, fixedCols_, QRect(0, fixedH, fixedW, height - fixedH)},
        {0, fixedRows_, 0, fixedCols_, QRect(0, 0, fixedW, fixedH)},
    };
    const QColor lineColour = ToQColor(gridLineColor_);
    for (const Region& region : regions) {
        const QRect area = region.area & clip;
        if (area.isEmpty()) {
            continue;
        }
        painter.setClipRect(area);
        for (int r = region.r0; r < region.r1; ++r) {
            const int top = RowTop(r);
            const int h = rowHeights_[static_cast<size_t>(r)];
            if (top > area.bottom()) {
                break;
            }
            if (h <= 0 || top + h <= area.top()) {
                continue;
            }
            for (int c = region.c0; c < region.c1; ++c) {
                const int left = ColumnLeft(c);
                const int w = colWidths_[static_cast<size_t>(c)];
                if (left > area.right()) {
                    break;
                }
                if (w <= 0 || left + w <= area.left()) {
                    continue;
                }
                const QRect rect(left, top, w, h);
                const QRect inner = gridLines_ ? rect.adjusted(0, 0, -1, -1) : rect;
                if (!inner.isEmpty()) {
                    cells_[static_cast<size_t>(r)][static_cast<size_t>(c)]->Draw(painter, r, c, inner);
                }
                if (gridLines_) {
                    painter.setPen(lineColour);
                    painter.drawLine(rect.right(), rect.top(), rect.right(), rect.bottom());
                    painter.drawLine(rect.left(), rect.bottom(), rect.right(), rect.bottom());
                }
            }
        }
    }
    painter.setClipRect(clip);
    DrawSeparators(painter);
}

void CGridCtrl::DrawSeparators(QPainter&) {}

void CGridCtrl::DrawColumnSeparator(QPainter& painter, int col)
{
    if (col < 0 || col >= cols_ || rows_ == 0) {
        return;
    }
    const int x = ColumnLeft(col) + colWidths_[static_cast<size_t>(col)] - 2;
    if (col >= fixedCols_ && x + 2 <= GetFixedColumnWidth()) {
        return; // scrolled under the row headers
    }
    const int bottom = RowTop(rows_ - 1) + rowHeights_.back();
    painter.fillRect(QRect(x, 0, 2, std::max(0, bottom)), ToQColor(gridLineColor_));
}

void CGridCtrl::DrawRowSeparator(QPainter& painter, int row)
{
    if (row < 0 || row >= rows_ || cols_ == 0) {
        return;
    }
    const int y = RowTop(row) + rowHeights_[static_cast<size_t>(row)] - 2;
    if (row >= fixedRows_ && y + 2 <= GetFixedRowHeight()) {
        return; // scrolled under the column headers
    }
    const int right = ColumnLeft(cols_ - 1) + colWidths_.back();
    painter.fillRect(QRect(0, y, std::max(0, right), 2), ToQColor(gridLineColor_));
}

void CGridCtrl::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CGridCtrl::scrollContentsBy(int, int)
{
    EndEditing();
    viewport()->update();
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
    std::vector<CCellID> cells = GetSelectedCells();
    if (cells.empty() && IsValid(focus_)) {
        cells.push_back(focus_);
    }
    for (const CCellID& cell : cells) {
        ChangeCellText(cell.row, cell.col, ClearedText(cell.row, cell.col), GRID_NOTIFY_END_EDIT, true);
    }
}

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
