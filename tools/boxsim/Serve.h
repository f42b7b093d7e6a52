#pragma once

// Runs a simulated box on a byte line: hands incoming bytes to the box with
// the time they came, puts the box's bytes on the line when they are due,
// and sleeps in between.

#include "tools/boxsim/BoxSim.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace boxsim {

class LineTransport {
public:
    enum class Wait {
        Ready,    // bytes came in, or the deadline passed
        LineDown, // no one holds the other end any more
        Stop,     // the simulator is to end
    };

    virtual ~LineTransport() = default;

    // The box's clock.
    virtual Nanos now() = 0;
    // Waits until bytes come in (appended to `in`), the deadline passes
    // (none: no deadline), the line goes down, or the simulator is to stop.
    virtual Wait wait(std::optional<Nanos> deadline, std::vector<uint8_t>& in) = 0;
    // Puts one byte on the line; false when the line is down.
    virtual bool write(uint8_t byte) = 0;

    // The control channel (tools/boxsim/Control.h), if the transport has
    // one: the command lines that came in since the last call, and where
    // the answer to each goes. A wait returns once a line is complete.
    virtual std::vector<std::string> takeControlLines() { return {}; }
    virtual void answerControl(const std::string& answer) { (void)answer; }
};

// Where the time between the box's bytes goes, for benchmarks: how late
// the box began to put its bytes on the line against their due time, and
// how long from there until the program's next byte came in (the
// program's turnaround with both ways through the transport, the write
// itself included).
struct ServeTiming {
    uint64_t written = 0;
    Nanos lateness{0}; // summed over the written bytes
    Nanos maxLateness{0};
    uint64_t answers = 0;
    Nanos answerTime{0}; // summed
};

// Serves until the transport says stop. Control lines are carried out on
// the box's clock as they come, between the line's bytes.
void Serve(BoxSim& sim, LineTransport& line, ServeTiming* timing = nullptr);

} // namespace boxsim
