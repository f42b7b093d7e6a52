#pragma once

#include "grid/GridCell.h"
#include "grid/GridDefs.h"

#include <QAbstractScrollArea>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

namespace morvex::grid {

class CInPlaceEdit;

// The spreadsheet-like grid every table is edited in. Fixed (header) rows
// and columns are cells of the grid like any other and stay in place while
// the rest scrolls. Each cell is an object of a cell class that draws and
// edits itself; the grid lays them out, keeps focus cell and selection,
// handles keyboard, mouse and clipboard, and asks its owner through
// GridNotifyTarget before and after every change of a cell's text.
class CGridCtrl : public QAbstractScrollArea {
    Q_OBJECT

public:
    using CellFactory = std::function<std::unique_ptr<CGridCellBase>()>;

    explicit CGridCtrl(QWidget* parent = nullptr);
    ~CGridCtrl() override;

    // Wiring.
    void SetNotifyTarget(GridNotifyTarget* target) { notifyTarget_ = target; }
    GridNotifyTarget* GetNotifyTarget() const { return notifyTarget_; }

    // One user action that may change cells: typing ("Typing", "Bulk
    // Edit" for Shift+Enter), "Paste", "Cut", "Delete", "Step", or an
    // action of the owner that writes the document itself (its own
    // ActionScope). The observer hears the start and the end of every
    // scope, inner ones nested inside outer ones; a change of many cells
    // is one action.
    using ActionObserver = std::function<void(const char* name, bool begin)>;
    void SetActionObserver(ActionObserver observer) { actionObserver_ = std::move(observer); }
    class ActionScope {
    public:
        ActionScope(const CGridCtrl& grid, const char* name);
        ~ActionScope();
        ActionScope(const ActionScope&) = delete;
        ActionScope& operator=(const ActionScope&) = delete;

    private:
        const CGridCtrl& grid_;
        const char* name_;
    };
    void SetBeeper(Beeper beeper);
    void Beep() const;
    void SetControlId(int id) { controlId_ = id; }
    int GetControlId() const { return controlId_; }

    // Cell classes: the default one for cells created from now on, and the
    // class of a single cell (its text and look are kept).
    void SetDefaultCellType(CellFactory factory);
    template <class Cell> void SetDefaultCellType()
    {
        SetDefaultCellType([] { return std::unique_ptr<CGridCellBase>(new Cell()); });
    }
    bool SetCellType(int row, int col, const CellFactory& factory);
    template <class Cell> bool SetCellType(int row, int col)
    {
        return SetCellType(row, col, [] { return std::unique_ptr<CGridCellBase>(new Cell()); });
    }

    // Shape.
    bool SetRowCount(int rows);
    bool SetColumnCount(int cols);
    bool SetFixedRowCount(int rows);
    bool SetFixedColumnCount(int cols);
    int GetRowCount() const { return rows_; }
    int GetColumnCount() const { return cols_; }
    int GetFixedRowCount() const { return fixedRows_; }
    int GetFixedColumnCount() const { return fixedCols_; }
    bool SetColumnWidth(int col, int width);
    bool SetRowHeight(int row, int height);
    int GetColumnWidth(int col) const;
    int GetRowHeight(int row) const;
    int GetFixedRowHeight() const;
    int GetFixedColumnWidth() const;
    int GetVirtualWidth() const;
    int GetVirtualHeight() const;
    // Sizes every column and row to its cells. Rows and columns of size 0
    // are hidden and stay hidden.
    virtual void AutoSize();
    void AutoSizeColumn(int col);
    void AutoSizeRow(int row);
    // The font of the grid and of all cells without a font of their own.
    void SetGridFont(const QFont& font);

    // Cells.
    bool IsValid(int row, int col) const { return row >= 0 && row < rows_ && col >= 0 && col < cols_; }
    bool IsValid(const CCellID& cell) const { return IsValid(cell.row, cell.col); }
    CGridCellBase* GetCell(int row, int col) const;
    CGridDefaultCell* GetDefaultCell(bool fixedRow, bool fixedCol) const;
    bool SetItemText(int row, int col, const QString& text);
    QString GetItemText(int row, int col) const;
    bool SetItemState(int row, int col, unsigned state);
    unsigned GetItemState(int row, int col) const;
    bool SetItemFormat(int row, int col, unsigned format);
    bool SetItemData(int row, int col, std::intptr_t value);
    bool SetItemBkColour(int row, int col, ColorRef colour = kColorDefault);
    bool SetItemFgColour(int row, int col, ColorRef colour = kColorDefault);
    bool IsCellFixed(int row, int col) const { return row < fixedRows_ || col < fixedCols_; }
    bool IsCellVisibleSize(int row, int col) const;
    // Editable: the grid is editable, the cell is neither fixed nor read-only.
    bool IsCellEditable(int row, int col) const;

    // A programmatic change of one cell, with the owner asked before and
    // after: the way typed edits, stepping keys, bulk edits, Delete and
    // paste all change cells. True when the new text stayed in the cell.
    bool SetItemTextNotify(int row, int col, const QString& text);

    // Look.
    void SetGridBkColor(ColorRef colour);
    ColorRef GetGridBkColor() const { return gridBkColor_; }
    void SetGridLineColor(ColorRef colour);
    ColorRef GetGridLineColor() const { return gridLineColor_; }
    void SetGridLines(bool on);
    bool GetGridLines() const { return gridLines_; }

    // Focus cell and selection.
    CCellID GetFocusCell() const { return focus_; }
    void SetFocusCell(int row, int col);
    void SetFocusCell(const CCellID& cell) { SetFocusCell(cell.row, cell.col); }
    // Selects the cells of the range (an invalid range clears the
    // selection); hidden rows and columns are never selected.
    void SetSelectedRange(const CCellRange& range);
    void SetSelectedRange(int minRow, int minCol, int maxRow, int maxCol)
    {
        SetSelectedRange(CCellRange(minRow, minCol, maxRow, maxCol));
    }
    // Bounding range of all selected cells.
    CCellRange GetSelectedCellRange() const;
    // The selected cells, row by row.
    std::vector<CCellID> GetSelectedCells() const;
    int GetSelectedCount() const;
    bool IsCellSelected(int row, int col) const;
    void SetSelectionAnchor(const CCellID& cell) { anchor_ = cell; }
    void EnsureVisible(int row, int col);

    // Switches.
    void SetEditable(bool on);
    bool IsEditable() const { return editable_; }
    void SetTrackFocusCell(bool on);
    bool GetTrackFocusCell() const { return trackFocusCell_; }
    void SetFrameFocusCell(bool on);
    bool GetFrameFocusCell() const { return frameFocusCell_; }
    void SetModified(bool modified = true, int row = -1, int col = -1);
    bool GetModified(int row = -1, int col = -1) const;

    // Drawing.
    void RedrawCell(int row, int col);
    void RedrawCell(const CCellID& cell) { RedrawCell(cell.row, cell.col); }
    // The cell's rectangle in viewport coordinates including its grid lines;
    // false when the cell is not on screen.
    bool GetCellRect(int row, int col, QRect& rect) const;
    CCellID GetCellFromPt(QPoint pos) const;

    // In-place editing.
    bool EditCell(int row, int col, EditStart start, QKeyEvent* firstKey = nullptr);
    bool IsEditing() const { return editor_ != nullptr; }
    CCellID GetEditCell() const { return editCell_; }
    CInPlaceEdit* GetEditWnd() const { return editor_; }
    // Ends a running in-place edit, taking the typed text.
    void EndEditing();

    // Clipboard: the selection as tab- and newline-separated text, and
    // such text written from the top-left selected cell on.
    QString CopySelectionText() const;
    virtual void PasteText(const QString& text);
    void OnEditCopy();
    void OnEditCut();
    void OnEditPaste();
    // Delete: clears the selected cells (only when editable).
    virtual void ClearSelectedCells();

    // Called by the in-place editor.
    void OnEditorFinished(CInPlaceEdit* editor);
    void OnEditorChar(QChar ch, Qt::KeyboardModifiers modifiers);

protected:
    int Notify(int code, int row, int col) const;
    // The change of one cell with its owner asked; `code` is the end code
    // to send, `checkEditable` false for steps of a locked grid.
    bool ChangeCellText(int row, int col, const QString& text, int code, bool checkEditable);

    // The text Delete and cut write into a cell.
    virtual QString ClearedText(int row, int col) const;
    // After an in-place edit: writes the typed text (the value grids first
    // copy it into other selected cells on Shift+Enter).
    virtual void OnEndInPlaceEdit(int row, int col, const QString& text, int lastKey, Qt::KeyboardModifiers modifiers);
    // A typed character with no editor open; `event` is null when the
    // character comes from an editor that ended.
    virtual void OnChar(QChar ch, Qt::KeyboardModifiers modifiers, QKeyEvent* event);
    // Navigation and command keys; false when the key is not one of them.
    virtual bool OnKeyDown(QKeyEvent* event);
    // Extra lines over the cells (the flavours' separator lines).
    virtual void DrawSeparators(QPainter& painter);
    // Draws a two-pixel line over the right edge of a column or the bottom
    // edge of a row.
    void DrawColumnSeparator(QPainter& painter, int col);
    void DrawRowSeparator(QPainter& painter, int row);

    // Moves the focus cell as a navigation key says (also after an edit
    // that such a key ended).
    bool MoveFocusForKey(int key, Qt::KeyboardModifiers modifiers);
    void MoveFocusTo(const CCellID& cell, bool extend);
    // After the row, column or fixed counts changed.
    virtual void OnCountsChanged();

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool focusNextPrevChild(bool next) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    enum class MouseMode { None, SelectCells, SelectRows, SelectColumns, PrepareEdit };

    int ColumnLeft(int col) const;
    int RowTop(int row) const;
    void RecomputePositions();
    void UpdateScrollBars();
    void UpdateFixedStates();
    void RedrawHeadersOf(const CCellID& cell);
    void SetCellSelected(int row, int col, bool selected);
    void SelectRange(const CCellRange& range, bool keepOthers);
    int NextVisibleRow(int row, int step) const;
    int NextVisibleCol(int col, int step) const;
    int FirstVisibleRow() const;
    int FirstVisibleCol() const;
    int VisiblePageRows() const;
    std::unique_ptr<CGridCellBase> MakeCell() const;
    void PrepareCell(CGridCellBase& cell) const;
    void SelectAll();

    GridNotifyTarget* notifyTarget_ = nullptr;
    ActionObserver actionObserver_;
    Beeper beeper_;
    int controlId_ = 0;
    CellFactory defaultFactory_;

    int rows_ = 0;
    int cols_ = 0;
    int fixedRows_ = 0;
    int fixedCols_ = 0;
    std::vector<std::vector<std::unique_ptr<CGridCellBase>>> cells_;
    std::vector<int> colWidths_;
    std::vector<int> rowHeights_;
    std::vector<int> colPos_; // left edge of each column in the unscrolled grid, plus the total
    std::vector<int> rowPos_;
    std::unique_ptr<CGridDefaultCell> defaults_[4];

    ColorRef gridBkColor_;
    ColorRef gridLineColor_;
    bool gridLines_ = true;
    bool editable_ = true;
    bool trackFocusCell_ = true;
    bool frameFocusCell_ = true;
    bool modified_ = false;

    CCellID focus_;
    CCellID anchor_;
    QPointer<CInPlaceEdit> editor_;
    CCellID editCell_;
    bool forwardingKey_ = false;

    MouseMode mouseMode_ = MouseMode::None;
    CCellID mouseDownCell_;
    CCellID hoverCell_;
    std::vector<CCellID> selectionBeforeDrag_;
};

} // namespace morvex::grid
