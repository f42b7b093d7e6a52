// CGridCtrl: cell rectangles, hit testing, drawing and separator lines.

#include "grid/GridCtrl.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace morvex::grid {

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

} // namespace morvex::grid
