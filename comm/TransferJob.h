#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace platform {
class MessageTarget;
}

namespace morvex::comm {

// The special-function names as they travel: 4 tables x 16 entries x 4
// characters, NUL-padded (TAB_TXT_SFI1, TAB_TXT_SFI2, TAB_TXT_EX, TAB_TXT_EX2).
using NameBytes = std::array<uint8_t, 4 * 16 * 4>;

// The info block as it travels; the UI turns it into the info record.
struct InfoBytes {
    std::array<uint8_t, 8> timeStamp{};   // OLE date, least significant byte first
    std::array<uint8_t, 40> texts{};      // box versions 2..6, 8 characters each
    std::array<uint8_t, 16> text7{};      // box version 7
    std::array<uint8_t, 8> boxVersion{};  // box version 1, read with command 158
    std::array<uint8_t, 8> counters{};    // IE counter, start counter, most significant byte first
};

// The four texts of a diagnostic measurement.
struct DiagnosticTexts {
    std::array<std::string, 4> texts;
};

// One job of a transfer list.
struct TransferJob {
    uint8_t command = 0;                        // 140 write, 144 read, 100 online, 147 carrier, 157..165
    platform::MessageTarget* owner = nullptr;   // receives the job's progress
    int32_t viewId = 0;                         // 501..506, or 141 for the online job
    uint8_t* data = nullptr;                    // the job's values in the box image
    uint8_t* secondData = nullptr;              // the ignition set-up bytes (PARAMETERS)
    int32_t addressBase = 0;                    // first line address (variants 1 and 5)
    int32_t dataIndexBase = 0;                  // first value index in `data` (variants 1 and 5)
    int32_t count = 0;                          // values; the job's share of the progress total
    int32_t variant = 0;                        // how the job walks the box; for 157 the command
    NameBytes* names = nullptr;                 // index job: the names
    InfoBytes* info = nullptr;                  // info and time-stamp jobs
    DiagnosticTexts* diagnostic = nullptr;      // diagnostic replies
};

// A value changed while online, waiting to be written.
struct UpdateEntry {
    uint8_t command = 0;
    uint16_t lineAddress = 0;
    uint8_t newValue = 0;
    uint8_t oldValue = 0; // not sent
};

namespace variant {
inline constexpr int32_t FuelMap = 1;
inline constexpr int32_t NotWalked = 2;
inline constexpr int32_t SpecialFunctions = 4;
inline constexpr int32_t IgnitionMap = 5;
inline constexpr int32_t IndexTables = 6;
inline constexpr int32_t InfoBlock = 7;
inline constexpr int32_t TimeStamp = 8;
inline constexpr int32_t Diagnostic = 9;
} // namespace variant

} // namespace morvex::comm
