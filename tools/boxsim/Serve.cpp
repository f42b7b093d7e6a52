#include "tools/boxsim/Serve.h"

#include <algorithm>

namespace boxsim {

namespace {
// The engine runs on while the line is quiet, so that a query after a long
// pause finds the model current instead of catching up first.
constexpr Nanos kEngineTick = std::chrono::milliseconds(100);
} // namespace

void Serve(BoxSim& sim, LineTransport& line)
{
    std::vector<uint8_t> in;
    for (;;) {
        const Nanos now = line.now();
        sim.advance(now);
        while (const std::optional<uint8_t> b = sim.popDue(now)) {
            if (!line.write(*b)) {
                sim.lineDown(now);
                break;
            }
        }
        in.clear();
        const std::optional<Nanos> next = sim.nextEvent();
        switch (line.wait(next ? std::min(*next, now + kEngineTick) : now + kEngineTick, in)) {
        case LineTransport::Wait::Stop: return;
        case LineTransport::Wait::LineDown: sim.lineDown(line.now()); break;
        case LineTransport::Wait::Ready: {
            const Nanos t = line.now();
            for (const uint8_t b : in) {
                sim.receive(b, t);
            }
            break;
        }
        }
    }
}

} // namespace boxsim
