#pragma once

#include "comm/Operation.h"
#include "tools/campaign/TapLine.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace morvex {
struct AdaptFunctions;
}

namespace campaign {

using Clock = std::chrono::steady_clock;

// One operation as the frame runs it: a fresh port worker on a tapped line,
// the job list, the worker's messages taken in order, then Stop.
struct OperationRequest {
    morvex::comm::OperationId op = morvex::comm::OperationId::None;
    morvex::comm::TransferPlan plan;
    std::string device;
    uint32_t baud = 19200;
    const morvex::AdaptFunctions* adapt = nullptr;
    // Online: the session is cancelled after this long, as the user would.
    std::chrono::milliseconds onlineFor{0};
    // Online: values changed while online, queued one by one, evenly spread
    // over the session.
    std::vector<morvex::comm::UpdateEntry> writes;
    // Cancel when the operation has not ended by then (from the start).
    std::chrono::milliseconds limit{std::chrono::minutes(20)};
    // Kill: the line's trigger runs after this byte of this operation.
    uint64_t triggerAtByte = 0;
    std::function<void()> trigger;
    // After the trigger, cancel when the operation has not ended by then.
    std::chrono::milliseconds afterTriggerLimit{std::chrono::seconds(5)};
};

struct OperationOutcome {
    bool started = false;
    bool done = false;  // ended with the done code of its kind
    bool ended = false; // an end message came before any cancel of ours
    bool cancelledByLimit = false;
    bool workerStopped = false; // the worker ended within Stop's wait
    bool portOpenAfterStop = true;
    uint32_t endCode = 0;
    uint64_t bytes = 0;    // over the line, both directions
    int valuesDone = 0;    // progress steps
    int valueFailures = 0; // failed values, each tried again
    int liveValues = 0;
    std::vector<uint32_t> portErrors;               // WM_PORT_ERROR codes, until the worker ended
    std::size_t writesQueued = 0;                   // online: the first ones of the request's writes
    std::vector<morvex::comm::UpdateEntry> pending; // online values not written
    bool triggered = false;
    Clock::duration triggerToEnd{};                // the kill to the end message
    std::optional<Clock::duration> triggerToClose; // the kill to the worker's close of the line
    Clock::duration took{};
};

OperationOutcome runOperation(const OperationRequest& request);

} // namespace campaign
