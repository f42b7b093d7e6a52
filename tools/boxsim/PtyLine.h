#pragma once

// The simulated box's end of a pseudo-terminal. The program under test
// opens the slave side as its serial port; the box reads and writes the
// master side.

#include "tools/boxsim/Control.h"
#include "tools/boxsim/Serve.h"

#include <chrono>
#include <string>

namespace boxsim {

// SIGTERM, SIGINT and SIGHUP stay pending instead of ending the process, so
// that one arriving while the box memory is still being loaded ends the
// simulator in order (with --save and --dump-memory) as soon as it serves.
bool BlockStopSignals();

// What standard input is to the simulator.
enum class StdinUse {
    Ignore,
    StopAtEof, // its end stops the simulator; what comes in is dropped
    Control,   // control commands (Control.h); its end stops the simulator
};

class PtyLine : public LineTransport {
public:
    PtyLine() = default;
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;
    ~PtyLine() override;

    // Creates the pseudo-terminal with raw settings on the slave side;
    // blocks the stop signals, which then end the waits instead of the
    // process. Standard input is watched in the poll with the line, so
    // that control commands never hold up the serving.
    bool open(StdinUse stdinUse, std::string& error);
    const std::string& slavePath() const { return slavePath_; }

    // The box's clock, and where it started on the steady clock.
    Nanos now() override;
    std::chrono::steady_clock::time_point start() const { return start_; }
    Wait wait(std::optional<Nanos> deadline, std::vector<uint8_t>& in) override;
    bool write(uint8_t byte) override;
    std::vector<std::string> takeControlLines() override { return control_.take(); }
    // One line on stdout, flushed at once.
    void answerControl(const std::string& answer) override;

private:
    // Reads what stdin has; false at its end (or an error).
    bool readStdin();

    int master_ = -1;
    int signals_ = -1;
    StdinUse stdin_ = StdinUse::Ignore;
    bool stdinEnded_ = false;
    ControlLines control_;
    bool down_ = true; // nobody has the slave open
    std::string slavePath_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

} // namespace boxsim
