#pragma once

// Keys of the per-cell tables of the shown map half that the data file
// keeps in sections of their own (targets, locks): one key per map row,
// numbered like the map sections, the top row last.
#include "document/BoxLayout.h"

#include <cstdio>
#include <string>

namespace morvex {

inline constexpr int kHalfMapRowCells = 16;
inline constexpr int kHalfMapRows = kCells / kHalfMapRowCells;

// Cell row i (grid row 17 + i) of the left (0) or right (1) cylinder:
// "LI16" .. "LI01", "RE16" .. "RE01".
inline std::string HalfMapRowKey(int cylinder, int row)
{
    char key[16];
    std::snprintf(key, sizeof key, "%s%02d", cylinder == 0 ? "LI" : "RE", kHalfMapRows - row);
    return key;
}

} // namespace morvex
