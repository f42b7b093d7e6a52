#pragma once

namespace platform {

// A date as the Windows automation date: days since 30 December 1899,
// local time, the fraction being the time of day; with a validity status
// (a date never set or that failed to parse is invalid).
struct OleDateTime {
    double days = 0.0;
    bool valid = false;

    static OleDateTime invalid() { return {}; }
    static OleDateTime fromDays(double d) { return {d, true}; }
    friend bool operator==(const OleDateTime&, const OleDateTime&) = default;
};

} // namespace platform
