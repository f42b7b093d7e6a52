#pragma once

// The simulated box's end of a pseudo-terminal. The program under test
// opens the slave side as its serial port; the box reads and writes the
// master side.

#include "tools/boxsim/Serve.h"

#include <chrono>
#include <string>

namespace boxsim {

// SIGTERM, SIGINT and SIGHUP stay pending instead of ending the process, so
// that one arriving while the box memory is still being loaded ends the
// simulator in order (with --save and --dump-memory) as soon as it serves.
bool BlockStopSignals();

class PtyLine : public LineTransport {
public:
    PtyLine() = default;
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;
    ~PtyLine() override;

    // Creates the pseudo-terminal with raw settings on the slave side;
    // blocks the stop signals, which then end the waits instead of the
    // process. `watchStdin`: end of input on stdin also stops.
    bool open(bool watchStdin, std::string& error);
    const std::string& slavePath() const { return slavePath_; }

    // The box's clock, and where it started on the steady clock.
    Nanos now() override;
    std::chrono::steady_clock::time_point start() const { return start_; }
    Wait wait(std::optional<Nanos> deadline, std::vector<uint8_t>& in) override;
    bool write(uint8_t byte) override;

private:
    int master_ = -1;
    int signals_ = -1;
    bool watchStdin_ = false;
    bool down_ = true; // nobody has the slave open
    std::string slavePath_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

} // namespace boxsim
