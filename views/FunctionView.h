#pragma once

#include "views/FunctionTable.h"
#include "views/ZamoCylinderView.h"

#include <span>
#include <vector>

namespace morvex::views {

// The correction curves, special functions, revolution limit and ignition
// map number as the columns of one grid: the function table of
// FunctionTable.h, points 0..15 of each curve. No tabs, a single grid.
class CFunctionView : public CZamoCylinderView {
    Q_OBJECT
public:
    // The command byte of the change reports (shared with the fuel map).
    static constexpr uint8_t kUpdateCommand = 140;
    // Live markers: black on light blue.
    static constexpr grid::ColorRef kMarkerText = 0x000000;
    static constexpr grid::ColorRef kMarkerBack = 0xFFC8C8;

    explicit CFunctionView(const ViewContext& context, QWidget* parent = nullptr);

    // Hint 0/1: header, unit and point texts; hint 0/2: the table.
    void OnUpdate(int hint) override;
    // Writes every point cell from the table (the view has one grid).
    void LoadGrid(int id) override;
    void ComputeRightPercent(int count) override;
    void SetGridLabels(int id) override;
    int ApplyCellEdit(int row, int column) override;
    // Only the visible point cells, never the revolution limit's high byte.
    bool CanEditCell(int row, int column) const override;
    // Fill In Mean Values over the selected points, leaving out the
    // revolution limit's high byte; column 9's words are filled whole.
    bool CanFillMeanValues(bool down) const override;
    void FillMeanValues(bool down) override;
    // Every shown point cell with a byte that `other` holds differently.
    std::vector<grid::CCellID> DifferingCells(const CMorvexDoc& other) const override;

    // The 640 bytes the view shows; null before the first update.
    uint8_t* FunctionTable() const { return table_; }

signals:
    // The ignition map number was edited (the stored number): the ignition
    // view shows its premap.
    void ignitionMapNumberChanged(int number);

protected:
    std::span<uint8_t, functiontable::kTableSize> Table() const;
    functiontable::RevConversions Conversions() const;
    // The cell's text as the table holds it.
    QString CellText(int row, int column) const;
    // The high byte of the revolution limit shows as plain grid background.
    void PaintRevLimitHighCell();
    void ResetPointColours();
    // A message an edit raises: only a beep while the grid is stepped online.

    uint8_t* table_ = nullptr;

private:
    void WriteHeaders();
    std::vector<SelectedCell> FillCells() const;
};

// The view the Function pane creates: transfer progress, change reports
// with the box's line addresses, live markers and online tuning.
class CDOS_FunctionView : public CFunctionView {
    Q_OBJECT
public:
    explicit CDOS_FunctionView(const ViewContext& context, QWidget* parent = nullptr);

    // Applies the edit and reports every changed byte the box holds.
    int ApplyCellEditAndReport(int row, int column) override;
    void OnBoxEvent(uint32_t code, intptr_t lParam) override;
    // Online tuning keys of the locked grid: left and right pick the
    // column, up and down the point.
    void GridKeyDown(int key, Qt::KeyboardModifiers modifiers) override;
    // Previous Grid (command 32912) is disabled: there is a single grid.
    bool CanPreviousGrid() const { return false; }
    const functiontable::OnlineTuning& Tuning() const { return tuning_; }

protected:
    uint16_t LineAddress(bool leftTable, int position) const override;
    int PositionOfStep(int step) const override;

private:
    void ShowProgress(uint32_t code, int position);
    void RefreshReceived(int position);
    // Paints the live markers and the tuned cell; the tuned cell becomes
    // the focus cell the locked step acts on unless `focusTuned` is false.
    void MarkOnline(bool focusTuned);
    void UnmarkOnline();
    void PaintCell(int row, int column, grid::ColorRef text, grid::ColorRef back);

    functiontable::OnlineTuning tuning_;
    std::vector<grid::CCellID> marked_;
};

} // namespace morvex::views
