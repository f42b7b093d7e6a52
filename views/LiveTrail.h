#pragma once

#include <cstdint>
#include <deque>
#include <vector>

namespace morvex::views {

// The operating points the engine passed through lately, newest last, for
// the live trail of the map views. A point is a cell (row and column as the
// owner numbers them); the owner passes the time (milliseconds of a steady
// clock) to every call, so a test sets it.
//
// A point starts ageing when the engine leaves it: the current point stays
// fresh however long the engine holds it, and a visit of the current cell
// again adds nothing. A cell left and visited again later is a new point
// (the path goes back to it). At most Length() points are kept, and none
// that was left more than Span() ago.
class LiveTrail {
public:
    static constexpr int kDefaultLength = 16;
    static constexpr int kMaxLength = 64;
    static constexpr int64_t kDefaultSpanMs = 5000;

    struct Point {
        int row = 0;
        int column = 0;
        // 1 for the current point, falling towards 0 with age and with
        // the place in the trail: strictly less for each older point.
        double weight = 1.0;
    };

    explicit LiveTrail(int length = kDefaultLength, int64_t spanMs = kDefaultSpanMs);

    // 0..kMaxLength (clamped); 0 keeps no points at all. Shortening drops
    // the oldest ones.
    void SetLength(int length);
    int Length() const { return length_; }
    int64_t Span() const { return spanMs_; }

    // The engine is at (row, column) at `nowMs`.
    void Visit(int row, int column, int64_t nowMs);
    // The operating point is no longer known: the current one starts
    // ageing.
    void Leave(int64_t nowMs);
    void Clear() { points_.clear(); }
    bool Empty() const { return points_.empty(); }

    // The points still within the span at `nowMs`, oldest first; drops the
    // ones past it.
    std::vector<Point> Points(int64_t nowMs);
    // Whether some point is ageing (its weight changes with time).
    bool Ageing() const;

private:
    struct Entry {
        int row;
        int column;
        bool current; // the engine is still here
        int64_t leftMs;
    };
    void Trim();

    std::deque<Entry> points_;
    int length_;
    int64_t spanMs_;
};

} // namespace morvex::views
