#pragma once

#include "tools/boxsim/BoxMemory.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

namespace morvex {
class CMorvexDoc;
}

namespace campaign {

// Bytes of the box memory that a parameter set determines, set against
// what the box holds.
struct Comparison {
    uint64_t compared = 0;
    uint64_t differing = 0;
    std::optional<uint16_t> firstDifference; // line address

    Comparison& operator+=(const Comparison& other);
};

// Compares every box byte that `doc` determines (its tables, axes and
// names as the box holds them) with `memory`; line addresses in `skip` are
// left out.
Comparison compareWithMemory(const morvex::CMorvexDoc& doc, const boxsim::BoxMemory& memory,
                             const std::set<uint16_t>& skip = {});

// A check of the comparison itself before numbers are built on it: the
// memory loaded from `doc` must compare equal over at least `minimum`
// bytes, and one changed byte of it must be found. Empty when it holds,
// else what failed.
std::string checkComparison(const morvex::CMorvexDoc& doc, uint64_t minimum);

// The 2048 bytes of a --dump-memory file, or nothing when it is not one.
std::optional<boxsim::BoxMemory> readMemoryDump(const std::filesystem::path& file);

} // namespace campaign
