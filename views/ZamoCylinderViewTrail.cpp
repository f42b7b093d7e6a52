// The live trail of the map views: the cells the engine passed through
// lately, painted over their resting background and drawn on the chart.
#include "views/ZamoCylinderView.h"

#include "grid/GridCell.h"
#include "grid/ValueGridCtrl.h"
#include "views/PartnerChart.h"

#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace morvex::views {
namespace {

using grid::ColorRef;

// A change is painted this long after it came, together with whatever
// else came meanwhile; an ageing trail fades in steps of kFadeMs.
constexpr int kCoalesceMs = 40;
constexpr int kFadeMs = 250;

int64_t steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// `amount` (0..1) of the way from `from` to `to`, channel by channel.
ColorRef blend(ColorRef from, ColorRef to, double amount)
{
    const auto channel = [&](int shift) {
        const double a = (from >> shift) & 0xFFu;
        const double b = (to >> shift) & 0xFFu;
        return static_cast<unsigned>(std::lround(a + (b - a) * amount)) << shift;
    };
    return channel(0) | channel(8) | channel(16);
}

} // namespace

void CZamoCylinderView::InitTrail()
{
    trailTimer_ = new QTimer(this);
    trailTimer_->setSingleShot(true);
    connect(trailTimer_, &QTimer::timeout, this, &CZamoCylinderView::RepaintTrail);
}

void CZamoCylinderView::ShowLiveTrail(bool on)
{
    trailShown_ = on;
    trail_.Clear();
    // Shown again while online: the path starts at the live cell.
    if (on && trailOnline_ && previousLive_.IsValid()) {
        trail_.Visit(previousLive_.row, previousLive_.col, steadyMs());
    }
    RepaintTrail();
}

void CZamoCylinderView::SetLiveTrailLength(int points)
{
    trail_.SetLength(points);
    RepaintTrail();
}

void CZamoCylinderView::StartTrail()
{
    trailOnline_ = true;
    trail_.Clear();
}

void CZamoCylinderView::EndTrail()
{
    trailOnline_ = false;
    trail_.Clear();
    RepaintTrail();
}

void CZamoCylinderView::VisitTrail(int row, int column)
{
    if (!trailOnline_ || !trailShown_) {
        return;
    }
    if (row >= 1 && column >= 1) {
        trail_.Visit(row, column, steadyMs());
    } else {
        trail_.Leave(steadyMs());
    }
    ScheduleTrailRepaint();
}

void CZamoCylinderView::ScheduleTrailRepaint()
{
    if (!trailTimer_->isActive() || trailTimer_->remainingTime() > kCoalesceMs) {
        trailTimer_->start(kCoalesceMs);
    }
}

double CZamoCylinderView::TrailWeightOf(const grid::CCellID& cell) const
{
    double weight = 0.0;
    for (const LiveTrail::Point& p : trailPoints_) {
        if (p.row == cell.row && p.column == cell.col) {
            weight = std::max(weight, p.weight);
        }
    }
    return weight;
}

void CZamoCylinderView::RestoreCellBack(const grid::CCellID& cell)
{
    if (cell == previousLive_) {
        grid_->SetItemBkColour(cell.row, cell.col, kLiveBack);
        return;
    }
    const double weight = TrailWeightOf(cell);
    if (weight <= 0.0) {
        CZamoGridView::RestoreCellBack(cell);
        return;
    }
    ColorRef resting = RestingBack(cell);
    if (resting == grid::kColorDefault) {
        const grid::CGridCellBase* normal = grid_->GetDefaultCell(false, false);
        resting = normal != nullptr && normal->GetBackClr() != grid::kColorDefault ? normal->GetBackClr()
                                                                                   : grid::Rgb(255, 255, 255);
    }
    grid_->SetItemBkColour(cell.row, cell.col, blend(resting, kLiveBack, kTrailStrength * weight));
}

void CZamoCylinderView::RepaintTrail()
{
    trailTimer_->stop();
    std::vector<LiveTrail::Point> before;
    before.swap(trailPoints_);
    if (trailOnline_ && trailShown_) {
        trailPoints_ = trail_.Points(steadyMs());
    }
    // Cells that left the trail get their own background back; only the
    // cells whose colour changed are drawn again.
    for (const std::vector<LiveTrail::Point>* points : {&before, &trailPoints_}) {
        for (const LiveTrail::Point& p : *points) {
            const grid::CGridCellBase* cell = grid_->GetCell(p.row, p.column);
            if (cell == nullptr) {
                continue;
            }
            const ColorRef was = cell->GetBackClr();
            RestoreCellBack({p.row, p.column});
            if (cell->GetBackClr() != was) {
                grid_->RedrawCell(p.row, p.column);
            }
        }
    }
    if (partner_ != nullptr && (!before.empty() || !trailPoints_.empty())) {
        std::vector<LiveTrail::Point> chart = trailPoints_;
        for (LiveTrail::Point& p : chart) {
            p.row -= 1;
            p.column = ChartColumnOf(p.column);
        }
        partner_->ShowTrail(chart);
    }
    if (!trailPoints_.empty() && trail_.Ageing()) {
        trailTimer_->start(kFadeMs);
    }
}

} // namespace morvex::views
