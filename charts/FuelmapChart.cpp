#include "charts/FuelmapChart.h"

#include "views/ZamoGridView.h"

#include <QOpenGLFunctions_2_1>

namespace morvex::charts {

void CFuelmapChart::SetHighlight(int row, int column)
{
    highlightRow_ = row;
    highlightColumn_ = column;
    Redraw();
}

void CFuelmapChart::BuildData()
{
    hasData_ = tablePresent_;
    if (!hasData_) {
        return;
    }
    constexpr double scale = 2.0 * static_cast<double>(kHalfSize) / 256.0;
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            heights_[static_cast<std::size_t>(row * kColumns + column)] =
                static_cast<float>(HeightOf(ValueAt(row, column)) * scale);
        }
    }
}

void CFuelmapChart::DrawSurface(QOpenGLFunctions_2_1& gl)
{
    const Rgb surface = SurfaceColour();
    gl.glColor3f(surface.r, surface.g, surface.b);
    gl.glBegin(GL_QUADS);
    for (int row = 0; row + 1 < kRows; ++row) {
        const float z0 = ModelRow(row);
        const float z1 = z0 + kRowSpacing;
        for (int column = 0; column + 1 < kColumns; ++column) {
            const float x0 = ModelColumn(column);
            const float x1 = x0 + kColumnSpacing;
            gl.glVertex3f(x0, HeightAt(row, column), z0);
            gl.glVertex3f(x1, HeightAt(row, column + 1), z0);
            gl.glVertex3f(x1, HeightAt(row + 1, column + 1), z1);
            gl.glVertex3f(x0, HeightAt(row + 1, column), z1);
        }
    }
    gl.glEnd();
}

void CFuelmapChart::DrawMesh(QOpenGLFunctions_2_1& gl)
{
    const Rgb line = LineColour();
    auto pen = [&gl, &line](bool highlighted, const Rgb& colour) {
        // Thin lines are one pixel: thinner ones would vanish when smoothed.
        gl.glLineWidth(highlighted ? 4.0f : 1.0f);
        const Rgb& c = highlighted ? colour : line;
        gl.glColor3f(c.r, c.g, c.b);
    };
    // Last row and column first; an index outside the table highlights
    // nothing.
    for (int row = kRows - 1; row >= 0; --row) {
        pen(row == highlightRow_, kHighlightRow);
        gl.glBegin(GL_LINE_STRIP);
        for (int column = 0; column < kColumns; ++column) {
            gl.glVertex3f(ModelColumn(column), HeightAt(row, column), ModelRow(row));
        }
        gl.glEnd();
    }
    for (int column = kColumns - 1; column >= 0; --column) {
        pen(column == highlightColumn_, kHighlightColumn);
        gl.glBegin(GL_LINE_STRIP);
        for (int row = 0; row < kRows; ++row) {
            gl.glVertex3f(ModelColumn(column), HeightAt(row, column), ModelRow(row));
        }
        gl.glEnd();
    }
    DrawTrail(gl);
    gl.glLineWidth(1.0f);
}

void CFuelmapChart::DrawTrail(QOpenGLFunctions_2_1& gl)
{
    if (trail_.size() < 2) {
        return;
    }
    // Just above the surface, so the mesh does not hide it; the live
    // colour, darker towards the older end.
    constexpr float kLift = 2.0f;
    gl.glLineWidth(3.0f);
    gl.glBegin(GL_LINE_STRIP);
    for (const views::LiveTrail::Point& p : trail_) {
        const auto shade = static_cast<float>(0.35 + 0.65 * p.weight);
        gl.glColor3f(shade, shade, 0.0f);
        gl.glVertex3f(ModelColumn(p.column), HeightAt(p.row, p.column) + kLift, ModelRow(p.row));
    }
    gl.glEnd();
}

void CFuelmapChart::ShowTrail(const std::vector<views::LiveTrail::Point>& points)
{
    trail_.clear();
    for (views::LiveTrail::Point p : points) {
        p.row -= kFirstRow;
        if (p.row >= 0 && p.row < kRows && p.column >= 0 && p.column < kColumns) {
            trail_.push_back(p);
        }
    }
    Redraw();
}

void CFuelmapChart::SelectCell(int row, int column)
{
    SetHighlight(row - kFirstRow, column);
}

void CFuelmapChart::Rebuild(const uint8_t* table)
{
    SetTable(table);
    tablePresent_ = table != nullptr;
    RequestRebuild();
}

double CFuelmapChart::ValueAt(int row, int column) const
{
    return Table()[(kFirstRow + row) * kColumns + column];
}

} // namespace morvex::charts
