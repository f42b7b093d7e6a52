#pragma once

#include "document/BoxLayout.h"

#include <cstdint>
#include <filesystem>
#include <span>

namespace platform {
class IniFile;
}

namespace morvex {

inline constexpr int kPremapCount = 27; // premap numbers 0..26
inline constexpr int kPremapMaxOffset = 8;

using PremapRows = std::span<uint8_t, rec::kPremapRowsSize>;
using PremapOffsets = std::span<uint8_t, rec::kPremapOffsetSize>;

// Reads [Premap-rows] 01..16 (35 two-digit numbers, 104 characters each)
// and [Throttle] OFFSET (16 numbers, 0..8) into the zeroed records. The
// first malformed row stops the load, leaving the rows before it and zero
// offsets. Returns true when everything was read.
bool LoadPremap(const platform::IniFile& file, PremapRows rows, PremapOffsets offsets);
// The same from a file; a missing file leaves the records zero.
bool LoadPremapFile(const std::filesystem::path& path, PremapRows rows, PremapOffsets offsets);

// Lays premap `premap` into rows 16..31 of the 32 x 16 working map, each
// value raised by the static ignition point. Does nothing and returns false
// for a number outside 0..26 or equal to `shown`; sets `shown` otherwise.
bool ComputePremap(int premap, int& shown, std::span<const uint8_t, rec::kPremapRowsSize> rows,
                   std::span<const uint8_t, rec::kPremapOffsetSize> offsets, uint8_t staticPoint,
                   std::span<uint8_t, rec::kIgnitionWorkSize> work);

} // namespace morvex
