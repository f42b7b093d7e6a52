#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace campaign {

// What the simulator said about its run with --print-stats.
struct SimStats {
    uint64_t received = 0;
    uint64_t sent = 0;
    uint64_t wrongBytes = 0;
    uint64_t lostBytes = 0;
    uint64_t lateBytes = 0;

    uint64_t faults() const { return wrongBytes + lostBytes + lateBytes; }
};

// The statistics lines of the simulator's output, or nothing when the
// STATS line is missing (a killed simulator prints none).
std::optional<SimStats> parseSimStats(const std::string& output);

// morvex-boxsim as a child process: started with options, its pseudo-
// terminal read from the first line it prints. kill() may be called from
// any thread; everything else belongs to the thread that made the object.
class SimChild {
public:
    SimChild(const std::filesystem::path& program, const std::vector<std::string>& options);
    ~SimChild();
    SimChild(const SimChild&) = delete;
    SimChild& operator=(const SimChild&) = delete;

    // Empty when the simulator did not start.
    const std::string& pty() const { return pty_; }
    pid_t pid() const { return pid_; }

    // SIGKILL: the device vanishes at once. Safe from the port worker's
    // thread; the process is reaped by stop() or the destructor.
    void kill() const;
    // SIGTERM, then everything it printed after the first line and its
    // exit; false when it did not end normally within the wait.
    bool stop(std::string& output, std::chrono::milliseconds wait = std::chrono::seconds(10));

private:
    bool reap(std::chrono::milliseconds wait, int& status);

    pid_t pid_ = -1;
    int out_ = -1;
    std::string pty_;
};

} // namespace campaign
