#pragma once

#include "grid/GridDefs.h"
#include "grid/InPlaceEdit.h"

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>

class QPainter;

namespace morvex::grid {

class CGridCtrl;
class CGridDefaultCell;

// How one cell is painted, worked out from its state, its colours and the
// grid's settings before the drawing itself.
struct CellLook {
    enum class Edge { None, Raised, Sunken };
    QColor back;
    QColor text;
    Edge edge = Edge::None;
    bool frame = false;       // the focus frame
    bool highlighted = false; // painted in the selection colours
};

// Which header highlight a fixed cell gets from the focus cell.
enum class HeaderTrack { None, ColumnHeader, RowHeader };

// A cell of the grid. The grid owns its cells; every cell knows its grid.
// Rectangles handed to a cell lie inside the grid lines.
class CGridCellBase {
public:
    CGridCellBase() = default;
    CGridCellBase(const CGridCellBase&) = delete;
    CGridCellBase& operator=(const CGridCellBase&) = delete;
    virtual ~CGridCellBase();

    virtual void SetText(const QString& text) = 0;
    virtual void SetData(std::intptr_t data) = 0;
    virtual void SetState(unsigned state) = 0;
    virtual void SetFormat(unsigned format) = 0;
    virtual void SetTextClr(ColorRef colour) = 0;
    virtual void SetBackClr(ColorRef colour) = 0;
    virtual void SetFont(const QFont* font) = 0; // null: the grid's font
    virtual void SetMargin(int margin) = 0;      // negative: the default cell's
    virtual void SetGrid(CGridCtrl* grid) = 0;
    virtual void SetCoords(int /*row*/, int /*col*/) {}

    virtual QString GetText() const = 0;
    virtual QString GetTipText() const { return GetText(); }
    virtual std::intptr_t GetData() const = 0;
    virtual unsigned GetState() const = 0;
    virtual unsigned GetFormat() const = 0;   // own flags or the default cell's
    virtual ColorRef GetTextClr() const = 0;  // kColorDefault when unset
    virtual ColorRef GetBackClr() const = 0;  // kColorDefault when unset
    virtual const QFont* GetFont() const = 0; // own font or null
    virtual QFont GetFontObject() const;      // the font the cell is drawn with
    virtual CGridCtrl* GetGrid() const = 0;
    virtual CInPlaceEdit* GetEditWnd() const = 0;
    virtual int GetMargin() const = 0;
    virtual const CGridDefaultCell* GetDefaultCell() const;

    virtual bool IsDefaultFont() const { return GetFont() == nullptr; }
    virtual bool IsEditing() const = 0;
    virtual bool IsFocused() const { return (GetState() & GVIS_FOCUSED) != 0; }
    virtual bool IsFixed() const { return (GetState() & GVIS_FIXED) != 0; }
    virtual bool IsFixedCol() const { return (GetState() & GVIS_FIXEDCOL) != 0; }
    virtual bool IsFixedRow() const { return (GetState() & GVIS_FIXEDROW) != 0; }
    virtual bool IsSelected() const { return (GetState() & GVIS_SELECTED) != 0; }
    virtual bool IsReadOnly() const { return (GetState() & GVIS_READONLY) != 0; }
    virtual bool IsModified() const { return (GetState() & GVIS_MODIFIED) != 0; }
    virtual bool IsDropHighlighted() const { return (GetState() & GVIS_DROPHILITED) != 0; }

    // Takes over text, data, format, colours, font and margin of another cell.
    virtual void Assign(const CGridCellBase& other);
    // Back to an empty cell with the default look (state bits stay).
    virtual void Reset();

    virtual bool Draw(QPainter& painter, int row, int col, const QRect& rect, bool eraseBkgnd = true);
    virtual QRect GetTextRect(const QRect& cellRect) const;
    virtual QRect GetTipTextRect(const QRect& cellRect) const { return GetTextRect(cellRect); }
    virtual QSize GetTextExtent(const QString& text) const;
    virtual QSize GetCellExtent();

    // Starts an in-place editor over `rect` (viewport coordinates).
    virtual bool Edit(int row, int col, const QRect& rect, EditStart start) = 0;
    virtual bool ValidateEdit(const QString& /*text*/) { return true; }
    virtual void EndEdit() = 0;
    virtual void OnEndEdit() = 0;

    virtual void OnMouseEnter() {}
    virtual void OnMouseOver() {}
    virtual void OnMouseLeave() {}
    virtual void OnClick(QPoint /*pos*/) {}
    virtual void OnClickDown(QPoint /*pos*/) {}
    virtual void OnRClick(QPoint /*pos*/) {}
    virtual void OnDblClick(QPoint /*pos*/) {}

    // Text extent plus one character width and the margins on both sides.
    QSize PaddedExtent(QSize textExtent) const;

protected:
    virtual CellLook GetLook(int row, int col) const;
    HeaderTrack TrackedHeader(int row, int col) const;
    void DrawEdge(QPainter& painter, const QRect& rect, CellLook::Edge edge) const;
    void DrawText(QPainter& painter, const QRect& rect, unsigned format, const QString& text) const;
};

// The plain text cell: holds every field a cell has.
class CGridCell : public CGridCellBase {
public:
    CGridCell();
    ~CGridCell() override;

    void SetText(const QString& text) override { text_ = text; }
    void SetData(std::intptr_t data) override { data_ = data; }
    void SetState(unsigned state) override { state_ = state; }
    void SetFormat(unsigned format) override { format_ = format; }
    void SetTextClr(ColorRef colour) override { textClr_ = colour; }
    void SetBackClr(ColorRef colour) override { backClr_ = colour; }
    void SetFont(const QFont* font) override;
    void SetMargin(int margin) override { margin_ = margin; }
    void SetGrid(CGridCtrl* grid) override { grid_ = grid; }

    QString GetText() const override { return text_; }
    std::intptr_t GetData() const override { return data_; }
    unsigned GetState() const override { return state_; }
    unsigned GetFormat() const override;
    ColorRef GetTextClr() const override { return textClr_; }
    ColorRef GetBackClr() const override { return backClr_; }
    const QFont* GetFont() const override { return font_.get(); }
    CGridCtrl* GetGrid() const override { return grid_; }
    CInPlaceEdit* GetEditWnd() const override;
    int GetMargin() const override;
    bool IsEditing() const override { return GetEditWnd() != nullptr; }

    bool Edit(int row, int col, const QRect& rect, EditStart start) override;
    void EndEdit() override;
    void OnEndEdit() override;

protected:
    // The editor of this cell type, a child of the grid's viewport.
    virtual CInPlaceEdit* CreateEditor(int row, int col, const QRect& rect, EditStart start);

private:
    QString text_;
    std::intptr_t data_ = 0;
    unsigned state_ = 0;
    unsigned format_ = kFormatUseDefault;
    ColorRef textClr_ = kColorDefault;
    ColorRef backClr_ = kColorDefault;
    std::unique_ptr<QFont> font_;
    int margin_ = -1;
    CGridCtrl* grid_ = nullptr;
    QPointer<CInPlaceEdit> editor_;
};

// The defaults of one kind of cell (normal, fixed row, fixed column, both):
// colours, format, margin, font and the default column width and row height.
class CGridDefaultCell : public CGridCell {
public:
    CGridDefaultCell();

    void SetFont(const QFont* font) override;
    QFont GetFontObject() const override;
    unsigned GetFormat() const override { return format_; }
    void SetFormat(unsigned format) override { format_ = format; }
    int GetMargin() const override { return margin_; }
    void SetMargin(int margin) override { margin_ = margin < 0 ? 0 : margin; }

    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    void SetWidth(int width) { width_ = width; }
    void SetHeight(int height) { height_ = height; }

private:
    void ComputeSize();

    QFont defaultFont_;
    unsigned format_ = kFormatLeft;
    int margin_ = 2;
    int width_ = 0;
    int height_ = 0;
};

} // namespace morvex::grid
