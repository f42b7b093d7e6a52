#pragma once

#include "charts/ChartView.h"
#include "views/PartnerChart.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace morvex::charts {

// A map chart: a 16 x 16 surface over rows and columns with its mesh, the
// highlighted row dark red and the highlighted column dark green.
class CFuelmapChart : public CChartView {
    Q_OBJECT
public:
    static constexpr int kRows = 16;
    static constexpr int kColumns = 16;

    using CChartView::CChartView;

    // The model height of cell (row, column); valid after a rebuild.
    float HeightAt(int row, int column) const { return heights_[static_cast<std::size_t>(row * kColumns + column)]; }
    int HighlightedRow() const { return highlightRow_; }
    int HighlightedColumn() const { return highlightColumn_; }

protected:
    // The height of a stored value before scaling to the model (0..255
    // map to the model's full height).
    virtual double HeightOf(double value) const { return value; }
    // The value drawn at (row, column); only called while HasData().
    virtual double ValueAt(int row, int column) const = 0;
    void SetHighlight(int row, int column);
    static float ModelRow(int row) { return static_cast<float>(row) * kRowSpacing; }
    static float ModelColumn(int column) { return static_cast<float>(column) * kColumnSpacing; }

    void BuildData() override;
    bool HasData() const override { return hasData_; }
    void DrawSurface(QOpenGLFunctions_2_1& gl) override;
    void DrawMesh(QOpenGLFunctions_2_1& gl) override;
    // Set by the subclass when the table comes or goes.
    bool tablePresent_ = false;

private:
    std::array<float, kRows * kColumns> heights_{};
    bool hasData_ = false;
    int highlightRow_ = 0;
    int highlightColumn_ = 0;
};

// The fuel map chart: the lower half of the 32 x 16 byte map (rows 16 to
// 31, bytes 256 to 511) that the fuel map grid displays.
class CDOS_FuelmapChart : public CFuelmapChart, public views::PartnerChart {
    Q_OBJECT
public:
    static constexpr int kFirstRow = 16;

    explicit CDOS_FuelmapChart(views::CZamoGridView& companion, QWidget* parent = nullptr);
    ~CDOS_FuelmapChart() override;

    // The grid's map row and column (row 16 is the chart's first).
    void SelectCell(int row, int column) override;
    // The view's table changed or another one is shown; drawn with the
    // next frame, once however many calls came before it.
    void Rebuild(const uint8_t* table) override;
    void TransferProgress(int state, int marker) override;
    // A Ctrl key the grid passed over, with the keyboard's modifiers now.
    void TurnKey(int key) override;

protected:
    double ValueAt(int row, int column) const override;

private:
    const uint8_t* table_ = nullptr;
};

} // namespace morvex::charts
