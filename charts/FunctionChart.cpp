#include "charts/FunctionChart.h"

#include <QOpenGLFunctions_2_1>

#include <algorithm>

namespace morvex::charts {

CFunctionChart::CFunctionChart(views::CZamoGridView& companion, int ribbons, QWidget* parent)
    : CChartView(companion, parent), ribbons_(std::clamp(ribbons, 0, kMaxRibbons))
{
}

void CFunctionChart::SelectCell(int row, int column)
{
    highlightPoint_ = row - kFirstRow;
    // Another column shows another ribbon (or none); the heights of all
    // ribbons are kept, so only the picture changes.
    highlightCurve_ = CurveOfColumn(column);
    Redraw();
}

void CFunctionChart::Rebuild(const uint8_t* table)
{
    SetTable(table);
    RequestRebuild();
}

void CFunctionChart::BuildData()
{
    hasData_ = Table() != nullptr && PrepareHeights();
    if (!hasData_) {
        return;
    }
    constexpr double scale = 2.0 * static_cast<double>(kHalfSize) / 256.0;
    for (int ribbon = 0; ribbon < ribbons_; ++ribbon) {
        for (int point = 0; point < kPoints; ++point) {
            heights_[static_cast<std::size_t>(ribbon * kPoints + point)] =
                static_cast<float>(HeightOf(ribbon, point) * scale);
        }
    }
}

bool CFunctionChart::HasData() const
{
    return hasData_ && highlightCurve_ >= 0 && highlightCurve_ < ribbons_;
}

void CFunctionChart::DrawSurface(QOpenGLFunctions_2_1& gl)
{
    const int k = highlightCurve_;
    const float x0 = NearEdge(k);
    const float x1 = FarEdge(k);
    const Rgb surface = SurfaceColour();
    gl.glColor3f(surface.r, surface.g, surface.b);
    gl.glBegin(GL_QUADS);
    for (int point = 0; point + 1 < kPoints; ++point) {
        const float h0 = HeightAt(k, point);
        const float h1 = HeightAt(k, point + 1);
        gl.glVertex3f(x0, h0, ModelPoint(point));
        gl.glVertex3f(x1, h0, ModelPoint(point));
        gl.glVertex3f(x1, h1, ModelPoint(point + 1));
        gl.glVertex3f(x0, h1, ModelPoint(point + 1));
    }
    gl.glEnd();
}

void CFunctionChart::DrawMesh(QOpenGLFunctions_2_1& gl)
{
    const int k = highlightCurve_;
    const float x0 = NearEdge(k);
    const float x1 = FarEdge(k);
    const Rgb line = LineColour();
    auto pen = [&gl, &line](bool highlighted, const Rgb& colour) {
        // Thin lines are one pixel: thinner ones would vanish when smoothed.
        gl.glLineWidth(highlighted ? 4.0f : 1.0f);
        const Rgb& c = highlighted ? colour : line;
        gl.glColor3f(c.r, c.g, c.b);
    };
    auto edge = [&](float x) {
        gl.glBegin(GL_LINE_STRIP);
        for (int point = 0; point < kPoints; ++point) {
            gl.glVertex3f(x, HeightAt(k, point), ModelPoint(point));
        }
        gl.glEnd();
    };
    pen(false, line);
    edge(x1);
    for (int point = kPoints - 1; point >= 0; --point) {
        pen(point == highlightPoint_, kHighlightRow);
        gl.glBegin(GL_LINES);
        gl.glVertex3f(x0, HeightAt(k, point), ModelPoint(point));
        gl.glVertex3f(x1, HeightAt(k, point), ModelPoint(point));
        gl.glEnd();
    }
    // The near edge last: the thick green line stays whole where the
    // red cross line meets it.
    pen(true, kHighlightColumn);
    edge(x0);
    gl.glLineWidth(1.0f);
}

CDOS_FunctionChart::CDOS_FunctionChart(views::CZamoGridView& companion, QWidget* parent)
    : CFunctionChart(companion, kCurves, parent)
{
}

int CDOS_FunctionChart::CurveOfColumn(int column) const
{
    return column <= kLastCurveColumn ? column + 1 : kNoCurve;
}

double CDOS_FunctionChart::HeightOf(int ribbon, int point) const
{
    return Table()[kBlockSize * ribbon + (kPoints - 1 - point)];
}

} // namespace morvex::charts
