#pragma once

#include "grid/GridDefs.h"

namespace morvex::views::transfer {

// Cell colours while a table travels (0x00BBGGRR): white text on blue while
// a value is sent, navy once sent; on green while read, dark green once
// read; on red when a value failed.
inline constexpr grid::ColorRef kText = 0xFFFFFF;
inline constexpr grid::ColorRef kSending = 0xFF0000;
inline constexpr grid::ColorRef kSent = 0x800000;
inline constexpr grid::ColorRef kReading = 0x00FF00;
inline constexpr grid::ColorRef kRead = 0x008000;
inline constexpr grid::ColorRef kError = 0x0000FF;

} // namespace morvex::views::transfer
