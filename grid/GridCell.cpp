#include "grid/GridCell.h"

#include "grid/GridCtrl.h"
#include "grid/InPlaceEdit.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <array>

namespace morvex::grid {

QColor ToQColor(ColorRef colour)
{
    return QColor(static_cast<int>(colour & 0xFFu), static_cast<int>((colour >> 8) & 0xFFu),
                  static_cast<int>((colour >> 16) & 0xFFu));
}

CGridCellBase::~CGridCellBase() = default;

QFont CGridCellBase::GetFontObject() const
{
    if (const QFont* own = GetFont()) {
        return *own;
    }
    if (const CGridDefaultCell* def = GetDefaultCell()) {
        return def->GetFontObject();
    }
    if (const CGridCtrl* grid = GetGrid()) {
        return grid->font();
    }
    return QFont();
}

const CGridDefaultCell* CGridCellBase::GetDefaultCell() const
{
    const CGridCtrl* grid = GetGrid();
    return grid != nullptr ? grid->GetDefaultCell(IsFixedRow(), IsFixedCol()) : nullptr;
}

void CGridCellBase::Assign(const CGridCellBase& other)
{
    SetText(other.GetText());
    SetData(other.GetData());
    SetFormat(other.GetFormat());
    SetTextClr(other.GetTextClr());
    SetBackClr(other.GetBackClr());
    SetFont(other.GetFont());
    SetMargin(other.GetMargin());
}

void CGridCellBase::Reset()
{
    SetText(QString());
    SetData(0);
    SetFormat(kFormatUseDefault);
    SetTextClr(kColorDefault);
    SetBackClr(kColorDefault);
    SetFont(nullptr);
    SetMargin(-1);
}

HeaderTrack CGridCellBase::TrackedHeader(int row, int col) const
{
    const CGridCtrl* grid = GetGrid();
    if (grid == nullptr || !IsFixed() || !grid->GetTrackFocusCell()) {
        return HeaderTrack::None;
    }
    const CCellID focus = grid->GetFocusCell();
    if (!grid->IsValid(focus)) {
        return HeaderTrack::None;
    }
    if (IsFixedRow() && col == focus.col) {
        return HeaderTrack::ColumnHeader;
    }
    if (IsFixedCol() && row == focus.row) {
        return HeaderTrack::RowHeader;
    }
    return HeaderTrack::None;
}

CellLook CGridCellBase::GetLook(int row, int col) const
{
    CellLook look;
    const CGridDefaultCell* def = GetDefaultCell();
    const ColorRef back = GetBackClr() != kColorDefault ? GetBackClr()
                          : def != nullptr              ? def->GetBackClr()
                                                        : Rgb(255, 255, 255);
    const ColorRef text = GetTextClr() != kColorDefault ? GetTextClr()
                          : def != nullptr              ? def->GetTextClr()
                                                        : Rgb(0, 0, 0);
    look.back = ToQColor(back);
    look.text = ToQColor(text);
    const CGridCtrl* grid = GetGrid();
    if (grid == nullptr) {
        return look;
    }
    if (IsFixed()) {
        if (grid->GetGridLines()) {
            look.edge = TrackedHeader(row, col) != HeaderTrack::None ? CellLook::Edge::Sunken : CellLook::Edge::Raised;
        }
        return look;
    }
    if (IsFocused() && grid->GetFrameFocusCell()) {
        look.frame = true;
    } else if (IsSelected()) {
        look.back = grid->palette().color(QPalette::Active, QPalette::Highlight);
        look.text = grid->palette().color(QPalette::Active, QPalette::HighlightedText);
        look.highlighted = true;
    }
    return look;
}

bool CGridCellBase::Draw(QPainter& painter, int row, int col, const QRect& rect, bool eraseBkgnd)
{
    const CellLook look = GetLook(row, col);
    if (eraseBkgnd) {
        painter.fillRect(rect, look.back);
    }
    DrawEdge(painter, rect, look.edge);
    painter.setPen(look.text);
    DrawText(painter, GetTextRect(rect), GetFormat(), GetText());
    if (look.frame) {
        painter.setPen(QPen(look.text, 1));
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
        painter.drawRect(rect.adjusted(1, 1, -2, -2));
    }
    if ((GetState() & GVIS_MARKED) != 0) {
        const int size = std::max(4, rect.height() / 3);
        const QPoint corner = rect.topLeft();
        const std::array<QPoint, 3> triangle{corner, corner + QPoint(size, 0), corner + QPoint(0, size)};
        painter.setPen(Qt::NoPen);
        painter.setBrush(look.text);
        painter.drawPolygon(triangle.data(), static_cast<int>(triangle.size()));
        painter.setBrush(Qt::NoBrush);
    }
    return true;
}

void CGridCellBase::DrawEdge(QPainter& painter, const QRect& rect, CellLook::Edge edge) const
{
    if (edge == CellLook::Edge::None || rect.width() < 2 || rect.height() < 2) {
        return;
    }
    const QColor light(255, 255, 255);
    const QColor dark(128, 128, 128);
    const bool raised = edge == CellLook::Edge::Raised;
    painter.setPen(raised ? light : dark);
    painter.drawLine(rect.topLeft(), rect.topRight());
    painter.drawLine(rect.topLeft(), rect.bottomLeft());
    painter.setPen(raised ? dark : light);
    painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    painter.drawLine(rect.topRight(), rect.bottomRight());
}

void CGridCellBase::DrawText(QPainter& painter, const QRect& rect, unsigned format, const QString& text) const
{
    if (text.isEmpty() || rect.width() <= 0 || rect.height() <= 0) {
        return;
    }
    painter.setFont(GetFontObject());
    // Mnemonic flags off: an ampersand is shown as it is.
    const unsigned flags = format & ~static_cast<unsigned>(Qt::TextShowMnemonic | Qt::TextHideMnemonic);
    painter.drawText(rect, static_cast<int>(flags), text);
}

QRect CGridCellBase::GetTextRect(const QRect& cellRect) const
{
    const int margin = GetMargin();
    return cellRect.adjusted(margin, 0, -margin, 0);
}

QSize CGridCellBase::GetTextExtent(const QString& text) const
{
    const QFontMetrics metrics(GetFontObject());
    const QStringList lines = text.split(QLatin1Char('\n'));
    int width = 0;
    for (const QString& line : lines) {
        width = std::max(width, metrics.horizontalAdvance(line));
    }
    return {width, metrics.height() * static_cast<int>(std::max<qsizetype>(lines.size(), 1))};
}

QSize CGridCellBase::PaddedExtent(QSize textExtent) const
{
    const QFontMetrics metrics(GetFontObject());
    const int margin = GetMargin();
    return {textExtent.width() + metrics.averageCharWidth() + 2 * margin, textExtent.height() + 2 * margin};
}

QSize CGridCellBase::GetCellExtent()
{
    return PaddedExtent(GetTextExtent(GetText()));
}

CGridCell::CGridCell() = default;

CGridCell::~CGridCell()
{
    if (editor_) {
        // The grid destroys editors it started; one left over dies with
        // its cell so that it never refers to a deleted cell.
        delete editor_.data();
    }
}

void CGridCell::SetFont(const QFont* font)
{
    font_ = font != nullptr ? std::make_unique<QFont>(*font) : nullptr;
}

unsigned CGridCell::GetFormat() const
{
    if (format_ != kFormatUseDefault) {
        return format_;
    }
    const CGridDefaultCell* def = GetDefaultCell();
    return def != nullptr ? def->GetFormat() : kFormatLeft;
}

CInPlaceEdit* CGridCell::GetEditWnd() const
{
    return editor_.data();
}

int CGridCell::GetMargin() const
{
    if (margin_ >= 0) {
        return margin_;
    }
    const CGridDefaultCell* def = GetDefaultCell();
    return def != nullptr ? def->GetMargin() : 2;
}

bool CGridCell::Edit(int row, int col, const QRect& rect, EditStart start)
{
    if (editor_) {
        return true;
    }
    if (grid_ == nullptr) {
        return false;
    }
    editor_ = CreateEditor(row, col, rect, start);
    return editor_ != nullptr;
}

void CGridCell::EndEdit()
{
    if (editor_) {
        editor_->EndEdit();
    }
}

void CGridCell::OnEndEdit()
{
    editor_ = nullptr;
}

CInPlaceEdit* CGridCell::CreateEditor(int row, int col, const QRect& rect, EditStart start)
{
    return new CInPlaceEdit(*grid_, rect, GetFormat(), row, col, GetText(), start);
}

CGridDefaultCell::CGridDefaultCell()
{
    SetTextClr(Rgb(0, 0, 0));
    SetBackClr(Rgb(255, 255, 255));
    ComputeSize();
}

void CGridDefaultCell::SetFont(const QFont* font)
{
    defaultFont_ = font != nullptr ? *font : QFont();
    ComputeSize();
}

QFont CGridDefaultCell::GetFontObject() const
{
    return defaultFont_;
}

void CGridDefaultCell::ComputeSize()
{
    const QFontMetrics metrics(defaultFont_);
    width_ = metrics.horizontalAdvance(QStringLiteral(" XXXXX ")) + 2 * margin_;
    height_ = metrics.height() + 2 * margin_;
}

} // namespace morvex::grid
