// CGridCtrl: construction, wiring, cell classes, counts, sizes, positions and scrolling.

#include "grid/GridCtrl.h"

#include "grid/InPlaceEdit.h"

#include <QApplication>
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

// ---- scrolling ----------------------------------------------------------

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

} // namespace morvex::grid
