#pragma once

#include "grid/GridCtrl.h"

#include <optional>

namespace morvex::grid {

// The grid of the table views: stepping keys ("+" "-" "*" "_"), a locked
// state for online monitoring, Shift+Enter writing the typed text into the
// whole selection, Delete writing "0", and one common width for all value
// columns.
class CValueGridCtrl : public CGridCtrl {
    Q_OBJECT

public:
    explicit CValueGridCtrl(QWidget* parent = nullptr);

    int GetStep() const { return step_; }
    void SetStep(int step) { step_ = step; }
    // Off while the owner locks the grid (online monitoring): typed
    // characters and mouse buttons are dropped.
    bool IsInputEnabled() const { return inputEnabled_; }
    void SetInputEnabled(bool on);
    // While locked: plus and minus keys still step the focus cell.
    bool IsLockedStepping() const { return lockedStepping_; }
    void SetLockedStepping(bool on) { lockedStepping_ = on; }
    // True while a step of +1 or -1 is written, so that the owner can tell
    // a single key step from other edits.
    bool IsSingleStepInProgress() const { return singleStep_; }
    // True while clipboard text is written into the cells.
    bool IsPasteInProgress() const { return pasteInProgress_; }

    void AutoSize() override;
    void PasteText(const QString& text) override;

    // Adds `amount` to every selected cell (or the focus cell).
    void StepSelection(int amount);
    // Adds `amount` to the focus cell of a locked grid and reports it with
    // GRID_NOTIFY_LOCKED_STEP.
    void StepFocusLocked(int amount);

protected:
    // The new text of a cell stepped by `amount`; none when the cell is not
    // stepped.
    virtual std::optional<QString> SteppedText(int row, int col, int amount) const;
    // Whether the stepping keys act with the focus cell in this column.
    virtual bool IsStepColumn(int col) const;
    // Whether Shift+Enter copies the text typed into `edited` into `cell`.
    virtual bool IsBulkEditTarget(const CCellID& edited, const CCellID& cell) const;
    // Keys of a locked grid other than the stepping keys.
    virtual void OnLockedKey(QKeyEvent* event);
    void DrawMiddleRowSeparator(QPainter& painter);

    QString ClearedText(int row, int col) const override;
    void OnEndInPlaceEdit(int row, int col, const QString& text, int lastKey, Qt::KeyboardModifiers modifiers) override;
    void OnChar(QChar ch, Qt::KeyboardModifiers modifiers, QKeyEvent* event) override;

    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void StepCells(const std::vector<CCellID>& cells, int amount, int code, bool checkEditable);

    int step_ = 1;
    bool inputEnabled_ = true;
    bool lockedStepping_ = false;
    bool singleStep_ = false;
    bool pasteInProgress_ = false;
};

// Limits and print format of a value cell (CGridCelll250 or CGridCellLabel);
// false for other cells.
bool GetValueCellRules(const CGridCellBase* cell, double& minimum, double& maximum, QString& format);

// The special function grid: label cells, clamped stepping, the cell at
// row 31, column 5 left out of stepping and bulk edits, separator lines
// through the middle.
class CFunctionGridCtrl : public CValueGridCtrl {
    Q_OBJECT

public:
    explicit CFunctionGridCtrl(QWidget* parent = nullptr);

    // Label width of a column, set by AutoSize to the widest label of the
    // column; new columns start at half the default column width.
    unsigned GetLabelWidth(int col) const;
    void SetLabelWidth(int col, unsigned width);
    void SyncLabelWidths();

    void AutoSize() override;

protected:
    std::optional<QString> SteppedText(int row, int col, int amount) const override;
    bool IsBulkEditTarget(const CCellID& edited, const CCellID& cell) const override;
    void OnLockedKey(QKeyEvent* event) override;
    void DrawSeparators(QPainter& painter) override;
    void OnCountsChanged() override;

private:
    std::vector<unsigned> labelWidths_;
};

// The index grid: stepping by column (revolutions in 25 or 50, column 7 in
// hundredths), no stepping from column 8 on, separator lines.
class CIndexGridCtrl : public CValueGridCtrl {
    Q_OBJECT

public:
    explicit CIndexGridCtrl(QWidget* parent = nullptr);

    void AutoSize() override;

protected:
    std::optional<QString> SteppedText(int row, int col, int amount) const override;
    bool IsStepColumn(int col) const override;
    bool IsBulkEditTarget(const CCellID& edited, const CCellID& cell) const override;
    QString ClearedText(int row, int col) const override;
    void DrawSeparators(QPainter& painter) override;
};

// The Min / Max grid of data recording: two separator columns.
class CRecordingGridCtrl : public CValueGridCtrl {
    Q_OBJECT

public:
    explicit CRecordingGridCtrl(QWidget* parent = nullptr);

    int GetSeparatorColumn1() const { return separator1_; }
    int GetSeparatorColumn2() const { return separator2_; }
    void SetSeparatorColumns(int first, int second);

    void AutoSize() override;

protected:
    void DrawSeparators(QPainter& painter) override;

private:
    int separator1_ = 4;
    int separator2_ = 7;
};

} // namespace morvex::grid
