#pragma once

#include "comm/TransferJob.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace morvex::comm {

// One step of a table walk: a byte at a line address of the box and where
// it lives on the program's side.
struct WalkStep {
    enum class Kind : uint8_t { Byte, BoxVersion };
    Kind kind = Kind::Byte;
    uint16_t lineAddress = 0;
    uint8_t* byte = nullptr;
    bool text = false;     // a text character: 255 from the box reads as NUL
    bool progress = true;  // counts one progress step (words and texts count once per two bytes)
};

// The steps of a job in the order the box sees them, for sending or
// receiving; nothing for a variant that is not walked.
std::optional<std::vector<WalkStep>> buildWalk(const TransferJob& job, bool sending);

// Characters of the box version reply.
inline constexpr int32_t kBoxVersionLength = 8;

// The progress steps of a walk: the job's share of the progress total.
int32_t progressSteps(const std::vector<WalkStep>& walk);

} // namespace morvex::comm
