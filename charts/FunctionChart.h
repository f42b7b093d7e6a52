#pragma once

#include "charts/ChartView.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace morvex::charts {

// A ribbon chart: each curve (or index column) of the table is a ribbon
// two columns wide lying along the rows, 16 points long. Only the ribbon of
// the focus cell's column is drawn: its surface, its near edge thick dark
// green, its far edge and cross lines thin, the focus point's cross line
// thick dark red. A column without a ribbon shows the floor alone.
class CFunctionChart : public CChartView {
    Q_OBJECT
public:
    static constexpr int kPoints = 16;
    static constexpr int kMaxRibbons = 10;
    // The grid row of the chart's point 0 is this map row + 1: grid rows
    // are stored top row last, point j of the chart is grid row 18 + j.
    static constexpr int kFirstRow = 17;

    CFunctionChart(views::CZamoGridView& companion, int ribbons, QWidget* parent = nullptr);

    // Map row and column of the grid's focus cell.
    void SelectCell(int row, int column) override;
    void Rebuild(const uint8_t* table) override;

    int Ribbons() const { return ribbons_; }
    // The model height of point `point` of ribbon `ribbon`; valid after a
    // rebuild.
    float HeightAt(int ribbon, int point) const
    {
        return heights_[static_cast<std::size_t>(ribbon * kPoints + point)];
    }
    int HighlightedCurve() const { return highlightCurve_; }
    int HighlightedPoint() const { return highlightPoint_; }

protected:
    // The ribbon a grid column (map column, grid column - 1) shows; any
    // number outside 0..Ribbons() - 1 shows none.
    virtual int CurveOfColumn(int column) const { return column; }
    // The height (0..250 full) of a point; only called while a table is
    // present.
    virtual double HeightOf(int ribbon, int point) const = 0;
    // Called before the heights are computed (limits of the axes); false:
    // the companion's table cannot be read as this chart's (nothing drawn).
    virtual bool PrepareHeights() { return true; }

    void BuildData() override;
    bool HasData() const override;
    void DrawSurface(QOpenGLFunctions_2_1& gl) override;
    void DrawMesh(QOpenGLFunctions_2_1& gl) override;

private:
    static float ModelPoint(int point) { return static_cast<float>(point) * kRowSpacing; }
    // The near and far edge of a ribbon.
    static float NearEdge(int ribbon) { return static_cast<float>(2 * ribbon) * kColumnSpacing; }
    static float FarEdge(int ribbon) { return static_cast<float>(2 * ribbon + 2) * kColumnSpacing; }

    int ribbons_;
    std::array<float, kMaxRibbons * kPoints> heights_{};
    bool hasData_ = false;
    int highlightCurve_ = 0;
    int highlightPoint_ = 0;
};

// The function chart: curve k is the first 16 bytes of the function
// table's column k (bytes 64 k ..), drawn as they are. Grid columns 0 to 4
// (the temperature and pressure corrections) have their ribbon; the
// special functions' columns have none.
class CDOS_FunctionChart : public CFunctionChart {
    Q_OBJECT
public:
    static constexpr int kCurves = 8;
    static constexpr int kBlockSize = 64;
    static constexpr int kLastCurveColumn = 3; // map column 3 = grid column 4
    static constexpr int kNoCurve = 10;

    explicit CDOS_FunctionChart(views::CZamoGridView& companion, QWidget* parent = nullptr);

protected:
    int CurveOfColumn(int column) const override;
    double HeightOf(int ribbon, int point) const override;
};

} // namespace morvex::charts
