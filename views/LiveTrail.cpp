#include "views/LiveTrail.h"

#include <algorithm>

namespace morvex::views {

LiveTrail::LiveTrail(int length, int64_t spanMs) : length_(std::clamp(length, 0, kMaxLength)), spanMs_(spanMs) {}

void LiveTrail::SetLength(int length)
{
    length_ = std::clamp(length, 0, kMaxLength);
    Trim();
}

void LiveTrail::Trim()
{
    while (static_cast<int>(points_.size()) > length_) {
        points_.pop_front();
    }
}

void LiveTrail::Visit(int row, int column, int64_t nowMs)
{
    if (!points_.empty() && points_.back().current && points_.back().row == row && points_.back().column == column) {
        return;
    }
    Leave(nowMs);
    points_.push_back({.row = row, .column = column, .current = true, .leftMs = nowMs});
    Trim();
}

void LiveTrail::Leave(int64_t nowMs)
{
    if (!points_.empty() && points_.back().current) {
        points_.back().current = false;
        points_.back().leftMs = nowMs;
    }
}

bool LiveTrail::Ageing() const
{
    return std::any_of(points_.begin(), points_.end(), [](const Entry& e) { return !e.current; });
}

std::vector<LiveTrail::Point> LiveTrail::Points(int64_t nowMs)
{
    // Older points left earlier, so the expired ones are at the front.
    while (!points_.empty() && !points_.front().current && nowMs - points_.front().leftMs >= spanMs_) {
        points_.pop_front();
    }
    std::vector<Point> points;
    const auto count = static_cast<double>(points_.size());
    for (std::size_t i = 0; i < points_.size(); ++i) {
        const Entry& e = points_[i];
        const double age = e.current ? 0.0 : static_cast<double>(std::max<int64_t>(0, nowMs - e.leftMs));
        const double fresh = std::clamp(1.0 - age / static_cast<double>(spanMs_), 0.0, 1.0);
        // The place in the trail keeps the order strict when points were
        // left within the same millisecond.
        const double place = static_cast<double>(i + 1) / count;
        points.push_back({.row = e.row, .column = e.column, .weight = fresh * place});
    }
    return points;
}

} // namespace morvex::views
