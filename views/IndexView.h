#pragma once

#include "views/IndexTable.h"
#include "views/ZamoGridView.h"

#include <array>
#include <string>

namespace morvex::views {

// The axis tables in display units and the names of the special functions
// as the columns of one index grid (IndexTable.h). Axis values are kept
// within their display limits and stored as the box's words; every edit
// keeps the document's index value and text in step and is remembered
// until the pane is left, when the other views' axis headers follow.
class CZamoIndexView : public CZamoGridView {
    Q_OBJECT
public:
    static constexpr grid::ColorRef kStripeBack = 0xE4E4E4;

    explicit CZamoIndexView(const ViewContext& context, QWidget* parent = nullptr);

    // Hint 0/1: labels, units and point numbers; hint 0/2: every cell from
    // the document's texts. Then autosize and layout.
    void OnUpdate(int hint) override;
    // The index values (REC_INDEX_VALUES: seven axes of 32 doubles), which
    // the chart draws; null before the first update.
    const uint8_t* GetDisplayedTable() const override;
    int GridNotify(int code, int row, int column) override;

    virtual bool CanEditCell(int row, int column) const;
    // The typed text becomes the box's word (axis columns) or the name
    // (name columns); answers as GRID_NOTIFY_END_EDIT does.
    virtual int ApplyCellEdit(int row, int column);

    // Fill In Mean Values: only down, only over the axis columns.
    bool CanFillMeanValues(bool down) const;
    void FillMeanValues(bool down);

    // Whether an axis value or a name was edited since the last call; the
    // flag is cleared. The other views' axis headers need hint 1 then.
    bool TakeIndexesChanged();

    // Conversions, display format and display limits of an axis column
    // (the chart scales each axis to its limits).
    indextable::AxisRules Rules(int column) const;

protected:
    // The background a cell has when it is neither transferred nor marked.
    virtual grid::ColorRef BaseBackColour(int row, int column) const;
    void PaintBase(int row, int column);
    void ResetCellColours();
    void RebuildChart();
    int ChartColumnOf(int column) const override;
    // What the document keeps for a point cell: index text or name.
    QString CellText(int row, int column) const;
    // Axis words and names that `other` holds differently.
    std::vector<grid::CCellID> DifferingCells(const CMorvexDoc& other) const override;

    uint8_t* table_ = nullptr; // TAB_DZI .. TAB_LAI in the box image

private:
    void WriteHeaders();
    void UpdateCellRules();
    void LoadGrid();
    int ApplyAxisEdit(int row, int column, const QString& typed);
    int ApplyNameEdit(int row, int column, const QString& typed);
    // A limit message: a beep first, the box only for a single-cell edit.
    void ShowLimitMessage(const std::string& text);
    std::vector<indextable::ValueCell> SelectedValues() const;

    bool indexesChanged_ = false;
};

// The view the Index pane creates: points 0..15 only, turbo pressure and
// lambda hidden, the program's own names read-only; transfer progress and
// the live markers of the operating point.
class CDOS_IndexView : public CZamoIndexView {
    Q_OBJECT
public:
    // Live markers: black on light blue.
    static constexpr grid::ColorRef kMarkerText = 0x000000;
    static constexpr grid::ColorRef kMarkerBack = 0xFFC8C8;
    static constexpr grid::ColorRef kPlainBack = 0xFFFFFF;

    explicit CDOS_IndexView(const ViewContext& context, QWidget* parent = nullptr);

    bool CanEditCell(int row, int column) const override;
    void OnBoxEvent(uint32_t code, intptr_t lParam) override;
    // The marked row of an axis column 1..5; -1 when there is none.
    int LiveRow(int column) const;

protected:
    grid::ColorRef BaseBackColour(int row, int column) const override;
    // The position (IndexTable.h) a transfer job reports as step `step`.
    virtual int PositionOfStep(int step) const;

private:
    void ShowProgress(uint32_t code, int position);
    // After a receive: the axis cells from the received words (the
    // document's texts follow when the transfer has ended), the names from
    // the document.
    void ShowReceived();
    void SetLiveMarker(int column, int row);
    void RemoveLiveMarkers();
    void PaintLiveMarkers();

    std::array<int, indextable::kLiveColumns> liveRows_;
    bool blink_ = false;
};

} // namespace morvex::views
