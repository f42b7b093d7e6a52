#pragma once

#include "tools/campaign/MemoryCompare.h"
#include "tools/campaign/OperationRun.h"
#include "tools/campaign/SimChild.h"

#include "platform/Log.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace morvex {
class CAppCore;
class CMorvexDoc;
} // namespace morvex

namespace campaign {

// The campaign's one logging category.
const platform::LogCategory& campaignLog();

struct Settings {
    std::chrono::seconds soak{std::chrono::minutes(30)};
    double faultRate = 0.02; // of each kind: wrong echo, lost byte, late byte
    uint32_t seed = 1;
    uint32_t baud = 19200;
    int lanes = 3; // soak cycles side by side, each with its own simulator
    int killsPerKind = 10;
    int saveKills = 200;
    std::chrono::seconds onlineSession{15};
    int onlineWrites = 8;
    std::filesystem::path boxsim;
    std::filesystem::path workDir;
};

// What the application offers the phases.
struct Context {
    const Settings& settings;
    morvex::CAppCore& core;

    std::unique_ptr<morvex::CMorvexDoc> newDocument() const;
    std::unique_ptr<morvex::CMorvexDoc> randomDocument(uint32_t seed) const;
    // A simulator with the campaign's pacing and these faults, its memory
    // dumped to `dump` on exit (none when empty).
    std::unique_ptr<SimChild> startSim(double faultRate, uint32_t seed, const std::filesystem::path& dump) const;
    OperationRequest request(morvex::comm::OperationId op, morvex::comm::TransferPlan plan,
                             const std::string& device) const;
};

// ---- soak: Send All, online with edits, Receive All, against faults ----

struct OperationCount {
    int run = 0;
    int done = 0;    // ended with done
    int aborted = 0; // ended otherwise (reported to the user)
    int limited = 0; // did not end by the limit
    int valueFailures = 0;
    uint64_t bytes = 0;
    Clock::duration time{};

    void add(const OperationOutcome& o);
    OperationCount& operator+=(const OperationCount& other);
};

struct SoakTotals {
    int cycles = 0;
    OperationCount sendAll;
    OperationCount online;
    OperationCount receiveAll;
    int liveValues = 0;
    int onlineWrites = 0;
    int onlineWritesPending = 0; // reported as not sent
    SimStats sim;                // summed over the cycles
    int simWithoutStats = 0;
    Comparison afterSend; // the simulator's memory vs the sent document and its confirmed online edits (Send All done)
    Comparison afterReceive;    // the received document vs the simulator's memory (after a done Receive All)
    Comparison afterFailedSend; // the same as afterSend after a Send All that did not end with done
    int unreadableDumps = 0;

    SoakTotals& operator+=(const SoakTotals& other);
};

// Runs the soak in `cores.size()` lanes at once, each with its own
// application core (documents share their core's records).
SoakTotals runSoak(const Settings& settings, const std::vector<std::unique_ptr<morvex::CAppCore>>& cores);

// ---- kills of the simulator at a random byte of a transfer ----

enum class KillKind { Table, Info, Diagnostic, Online };
inline constexpr std::array<KillKind, 4> kKillKinds{KillKind::Table, KillKind::Info, KillKind::Diagnostic,
                                                    KillKind::Online};
const char* killKindName(KillKind kind);

struct KillResult {
    bool triggered = false;  // the kill happened (the byte was reached)
    bool ended = false;      // the operation ended by itself
    bool done = false;       // ... with done (a kill after its last byte)
    Clock::duration toEnd{}; // the kill to the end message (or to our cancel)
    std::size_t portErrors = 0;
    int valueFailures = 0;
    bool closedBeforeEnd = false; // the worker closed the line before reporting the end
    bool portOpenAfterStop = false;
    bool workerStopped = false;
    uint64_t atByte = 0;
    uint64_t ofBytes = 0;
};

std::vector<KillResult> runKills(const Context& ctx, KillKind kind);

} // namespace campaign
