#include "grid/GridCellTypes.h"

#include "grid/GridCtrl.h"
#include "grid/InPlaceEdit.h"

#include <QPainter>

namespace morvex::grid {

namespace {

constexpr ColorRef kColumnHeaderFocus = Rgb(0, 192, 0);
constexpr ColorRef kRowHeaderFocus = Rgb(192, 0, 0);
constexpr ColorRef kHeaderFocusText = Rgb(255, 255, 255);

// Header cells of the focus row and column in the value cells' colours.
void ApplyHeaderColours(CellLook& look, const CGridCellBase& cell, HeaderTrack track)
{
    if (track == HeaderTrack::None || cell.GetBackClr() != kColorDefault) {
        return;
    }
    look.back = ToQColor(track == HeaderTrack::ColumnHeader ? kColumnHeaderFocus : kRowHeaderFocus);
    look.text = ToQColor(kHeaderFocusText);
}

// The marker over one half of the top edge, one pixel below it; none when
// both or neither flag is set.
void DrawMarker(QPainter& painter, const QRect& rect, bool left, bool right, const QColor& colour)
{
    if (left == right) {
        return;
    }
    const int y = rect.top() + 1;
    const int centre = rect.left() + rect.width() / 2;
    painter.setPen(colour);
    if (right) {
        painter.drawLine(rect.right() - 4, y, centre + 2, y);
    } else {
        painter.drawLine(centre - 5, y, rect.left() + 1, y);
    }
}

QColor OwnTextColour(const CGridCellBase& cell)
{
    if (cell.GetTextClr() != kColorDefault) {
        return ToQColor(cell.GetTextClr());
    }
    const CGridDefaultCell* def = cell.GetDefaultCell();
    return ToQColor(def != nullptr ? def->GetTextClr() : Rgb(0, 0, 0));
}

QSize LargerOf(QSize a, QSize b)
{
    return {std::max(a.width(), b.width()), std::max(a.height(), b.height())};
}

} // namespace

CGridCelll250::CGridCelll250() = default;

CellLook CGridCelll250::GetLook(int row, int col) const
{
    CellLook look = CGridCellBase::GetLook(row, col);
    ApplyHeaderColours(look, *this, TrackedHeader(row, col));
    return look;
}

bool CGridCelll250::Draw(QPainter& painter, int row, int col, const QRect& rect, bool eraseBkgnd)
{
    CGridCellBase::Draw(painter, row, col, rect, eraseBkgnd);
    if (eraseBkgnd && !IsFixed()) {
        DrawMarker(painter, rect, leftMarker_, rightMarker_, OwnTextColour(*this));
    }
    return true;
}

QSize CGridCelll250::GetCellExtent()
{
    return PaddedExtent(LargerOf(GetTextExtent(GetText()), GetTextExtent(sample_)));
}

CInPlaceEdit* CGridCelll250::CreateEditor(int row, int col, const QRect& rect, EditStart start)
{
    // The editor keeps its own "%d": the cell's format is the view's.
    auto* editor = new CNumericInPlaceEdit(*GetGrid(), rect, GetFormat(), row, col, GetText(), start);
    editor->SetSigned(signed_);
    editor->SetMaximum(maximum_);
    editor->SetMinimum(minimum_);
    return editor;
}

CGridCellDouble::CGridCellDouble()
{
    SetValueFormat(QStringLiteral("%0.2f"));
}

CInPlaceEdit* CGridCellDouble::CreateEditor(int row, int col, const QRect& rect, EditStart start)
{
    auto* editor = new CDoubleInPlaceEdit(*GetGrid(), rect, GetFormat(), row, col, GetText(), start);
    editor->SetSigned(IsSigned());
    editor->SetDecimals(decimals_);
    editor->SetMaximum(GetMaximum());
    editor->SetMinimum(GetMinimum());
    editor->SetValueFormat(GetValueFormat());
    return editor;
}

CGridCellText::CGridCellText() = default;

QSize CGridCellText::GetCellExtent()
{
    return PaddedExtent(LargerOf(GetTextExtent(GetText()), GetTextExtent(sample_)));
}

CInPlaceEdit* CGridCellText::CreateEditor(int row, int col, const QRect& rect, EditStart start)
{
    auto* editor = new CTextInPlaceEdit(*GetGrid(), rect, GetFormat(), row, col, GetText(), start);
    editor->SetMaxLength(maxLength_);
    return editor;
}

CGridCellLabel::CGridCellLabel() = default;

void CGridCellLabel::SetLabelText(const QString& text)
{
    labelText_ = text;
}

CellLook CGridCellLabel::GetLook(int row, int col) const
{
    CellLook look = CGridCellBase::GetLook(row, col);
    ApplyHeaderColours(look, *this, TrackedHeader(row, col));
    return look;
}

bool CGridCellLabel::Draw(QPainter& painter, int row, int col, const QRect& rect, bool eraseBkgnd)
{
    const int labelWidth = std::min(labelWidth_, rect.width());
    if (labelWidth <= 0) {
        CGridCellBase::Draw(painter, row, col, rect, eraseBkgnd);
        if (eraseBkgnd && !IsFixed()) {
            DrawMarker(painter, rect, leftMarker_, rightMarker_, OwnTextColour(*this));
        }
        return true;
    }

    // Left part: the label, drawn like a fixed cell.
    const QRect labelRect(rect.left(), rect.top(), labelWidth, rect.height());
    const CGridCtrl* grid = GetGrid();
    const CGridDefaultCell* fixedDef = grid != nullptr ? grid->GetDefaultCell(true, true) : nullptr;
    QColor labelBack = ToQColor(fixedDef != nullptr ? fixedDef->GetBackClr() : Rgb(236, 236, 236));
    QColor labelText = ToQColor(fixedDef != nullptr ? fixedDef->GetTextClr() : Rgb(0, 0, 0));
    if (grid != nullptr && IsFocused() && grid->GetTrackFocusCell()) {
        labelBack = ToQColor(kRowHeaderFocus);
        labelText = ToQColor(kHeaderFocusText);
    }
    painter.fillRect(labelRect, labelBack);
    DrawEdge(painter, labelRect, CellLook::Edge::Raised);
    painter.setPen(labelText);
    DrawText(painter, labelRect.adjusted(GetMargin(), 0, -GetMargin(), 0), kFormatLeft, labelText_);

    // Right part, from label width + 1 on: the value, right-aligned.
    const QRect valueRect = rect.adjusted(labelWidth + 1, 0, 0, 0);
    if (grid != nullptr) {
        painter.fillRect(QRect(rect.left() + labelWidth, rect.top(), 1, rect.height()),
                         ToQColor(grid->GetGridLineColor()));
    }
    if (valueRect.width() <= 0) {
        return true;
    }
    const CellLook look = GetLook(row, col);
    if (eraseBkgnd) {
        painter.fillRect(valueRect, look.back);
    }
    DrawEdge(painter, valueRect, look.edge);
    painter.setPen(look.text);
    const unsigned format = (GetFormat() & ~static_cast<unsigned>(Qt::AlignHorizontal_Mask)) | Qt::AlignRight;
    DrawText(painter, GetTextRect(valueRect), format, GetText());
    if (look.frame) {
        painter.setPen(look.text);
        painter.drawRect(valueRect.adjusted(0, 0, -1, -1));
        painter.drawRect(valueRect.adjusted(1, 1, -2, -2));
    }
    if (eraseBkgnd && !IsFixed()) {
        DrawMarker(painter, valueRect, leftMarker_, rightMarker_, OwnTextColour(*this));
    }
    return true;
}

QSize CGridCellLabel::GetValueExtent() const
{
    return PaddedExtent(LargerOf(GetTextExtent(GetText()), GetTextExtent(sample_)));
}

QSize CGridCellLabel::GetCellExtent()
{
    if (labelText_.isEmpty()) {
        labelWidth_ = 0;
        labelHeight_ = 0;
    } else {
        const QSize label = GetTextExtent(labelText_);
        labelWidth_ = label.width() + 2 * GetMargin() + 1;
        labelHeight_ = label.height();
    }
    const QSize value = GetValueExtent();
    return {value.width() + labelWidth_, std::max(value.height(), labelHeight_ + 2 * GetMargin())};
}

CInPlaceEdit* CGridCellLabel::CreateEditor(int row, int col, const QRect& rect, EditStart start)
{
    // The label stays visible: the editor covers the value part only.
    QRect valueRect = rect;
    valueRect.setLeft(std::min(rect.left() + labelWidth_, rect.right()));
    auto* editor = new CNumericInPlaceEdit(*GetGrid(), valueRect, GetFormat(), row, col, GetText(), start);
    editor->SetSigned(signed_);
    editor->SetMaximum(maximum_);
    editor->SetMinimum(minimum_);
    return editor;
}

} // namespace morvex::grid
