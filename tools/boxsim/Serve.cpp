#include "tools/boxsim/Serve.h"

#include "tools/boxsim/Control.h"

#include <algorithm>

namespace boxsim {

namespace {
// The engine runs on while the line is quiet, so that a query after a long
// pause finds the model current instead of catching up first.
constexpr Nanos kEngineTick = std::chrono::milliseconds(100);
} // namespace

void Serve(BoxSim& sim, LineTransport& line, ServeTiming* timing)
{
    std::vector<uint8_t> in;
    // When the box last put a byte on the line, while the program owes an
    // answer to it.
    bool answerOwed = false;
    Nanos lastWritten{0};
    for (;;) {
        const Nanos now = line.now();
        sim.advance(now);
        for (;;) {
            const std::optional<Nanos> due = sim.nextDue();
            const std::optional<uint8_t> b = sim.popDue(now);
            if (!b) {
                break;
            }
            const Nanos writing = timing != nullptr ? line.now() : now;
            if (!line.write(*b)) {
                sim.lineDown(now);
                answerOwed = false;
                break;
            }
            if (timing != nullptr) {
                const Nanos late = writing - *due;
                ++timing->written;
                timing->lateness += late;
                timing->maxLateness = std::max(timing->maxLateness, late);
                lastWritten = writing;
                answerOwed = true;
            }
        }
        in.clear();
        const std::optional<Nanos> next = sim.nextEvent();
        switch (line.wait(next ? std::min(*next, now + kEngineTick) : now + kEngineTick, in)) {
        case LineTransport::Wait::Stop: return;
        case LineTransport::Wait::LineDown:
            sim.lineDown(line.now());
            answerOwed = false;
            break;
        case LineTransport::Wait::Ready: {
            const Nanos t = line.now();
            if (timing != nullptr && answerOwed && !in.empty()) {
                // Only a byte that the program sent with nothing of the box
                // still on its way was an answer to the box's last byte.
                if (!sim.nextDue()) {
                    ++timing->answers;
                    timing->answerTime += t - lastWritten;
                }
                answerOwed = false;
            }
            for (const uint8_t b : in) {
                sim.receive(b, t);
            }
            break;
        }
        }
        for (const std::string& command : line.takeControlLines()) {
            line.answerControl(ApplyControl(sim, command, line.now()));
        }
    }
}

} // namespace boxsim
