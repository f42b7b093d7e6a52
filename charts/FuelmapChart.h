#pragma once

#include "charts/ChartView.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace morvex::charts {

// A map chart: the lower half of a 32 x 16 map (grid rows 17 to 32) as a
// 16 x 16 surface over rows and columns with its mesh, the highlighted row
// dark red and the highlighted column dark green. The table is a byte map
// unless a subclass reads it otherwise.
class CFuelmapChart : public CChartView {
    Q_OBJECT
public:
    static constexpr int kRows = 16;
    static constexpr int kColumns = 16;
    // The map row of the chart's first row.
    static constexpr int kFirstRow = 16;

    using CChartView::CChartView;

    // The grid's map row and column (row 16 is the chart's first).
    void SelectCell(int row, int column) override;
    // The view's table changed or another one is shown; drawn with the
    // next frame, once however many calls came before it.
    void Rebuild(const uint8_t* table) override;
    // The live trail: a line over the surface through its cells (rows
    // below the chart's first are left out).
    void ShowTrail(const std::vector<views::LiveTrail::Point>& points) override;
    // The trail's cells in chart rows and columns, oldest first.
    const std::vector<views::LiveTrail::Point>& Trail() const { return trail_; }

    // The model height of cell (row, column); valid after a rebuild.
    float HeightAt(int row, int column) const { return heights_[static_cast<std::size_t>(row * kColumns + column)]; }
    int HighlightedRow() const { return highlightRow_; }
    int HighlightedColumn() const { return highlightColumn_; }

protected:
    // The height of a stored value before scaling to the model (0..255
    // map to the model's full height).
    virtual double HeightOf(double value) const { return value; }
    // The value drawn at (row, column); only called while a table is
    // present. A byte of the map by default.
    virtual double ValueAt(int row, int column) const;
    void SetHighlight(int row, int column);
    static float ModelRow(int row) { return static_cast<float>(row) * kRowSpacing; }
    static float ModelColumn(int column) { return static_cast<float>(column) * kColumnSpacing; }

    void BuildData() override;
    bool HasData() const override { return hasData_; }
    void DrawSurface(QOpenGLFunctions_2_1& gl) override;
    void DrawMesh(QOpenGLFunctions_2_1& gl) override;
    void DrawTrail(QOpenGLFunctions_2_1& gl);
    // Whether there is anything to draw; a subclass may say no although a
    // table is present (a grid that has no map).
    bool tablePresent_ = false;

private:
    std::array<float, kRows * kColumns> heights_{};
    std::vector<views::LiveTrail::Point> trail_;
    bool hasData_ = false;
    int highlightRow_ = 0;
    int highlightColumn_ = 0;
};

// The fuel map chart: the map the fuel map grid displays (either cylinder
// or the right cylinder's per cent of the left), bytes drawn as they are.
class CDOS_FuelmapChart : public CFuelmapChart {
    Q_OBJECT
public:
    using CFuelmapChart::CFuelmapChart;
};

} // namespace morvex::charts
