#pragma once

#include "document/BoxLayout.h"

#include <array>
#include <bitset>

namespace platform {
class IniFile;
}

namespace morvex {

// Cells of the shown fuel map half that the tuner locked against proposed
// corrections (idle, a cell set by hand on the dyno), per cylinder, cells
// numbered like data recording (k = 16 (grid row - 17) + grid column - 1).
//
// In the data file the locks have a section of their own,
// [CorrectionLocks], keys LI16 .. LI01 and RE16 .. RE01 like the map rows
// (the top row last), each 16 characters '0' or '1' from the first column
// on. Without any lock there is no section; a damaged row reads unlocked.
class CCorrectionLocks {
public:
    static constexpr int kCylinders = 2;
    using Cells = std::array<std::bitset<kCells>, kCylinders>;

    bool IsLocked(int cylinder, int cell) const;
    // False (nothing changes) for a cylinder or cell out of range.
    bool SetLocked(int cylinder, int cell, bool locked);
    const Cells& cells() const { return cells_; }
    bool IsEmpty() const { return cells_[0].none() && cells_[1].none(); }
    void Reset() { cells_ = {}; }

    // Read resets first; Write removes the section when nothing is locked.
    void Read(const platform::IniFile& file);
    bool Write(platform::IniFile& file) const;

    bool operator==(const CCorrectionLocks&) const = default;

private:
    Cells cells_{};
};

inline constexpr const char* kCorrectionLocksSection = "CorrectionLocks";

} // namespace morvex
