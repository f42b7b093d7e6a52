#pragma once

// The box's side of the serial protocol as a state machine over timed
// bytes: bytes come in with the time the line delivered them, bytes go out
// with the time they are due at the other end. No I/O of its own, so that
// tests drive it on a virtual clock and the executable on the real one.
//
// Line timing. Each byte occupies the line for one byte time, 10 bits at
// the emulated baud rate (start bit, 8 data bits, stop bit); 0 baud means
// no pacing. A byte that arrives at time t has been received completely at
// max(t, end of the previous received byte) + byte time. The box answers a
// received byte (its echo, a reply byte, the terminator) after the
// turnaround latency: the answer starts at max(received + latency, end of
// the previous sent byte) and is due at the other end one byte time later.
//
// Faults. For every byte the box sends, one draw from the seeded generator
// decides: with the wrong-byte probability one bit of it is flipped on the
// line, with the lose probability it never arrives, with the late
// probability it starts `lateDelay` later (and holds up everything behind
// it). The box itself believes it sent the right byte.
//
// Box behaviour beyond the message forms:
// - Every byte of a message is echoed as it comes in. A byte that does not
//   fit (a non-digit where a digit is due, anything but the request byte
//   where it is due) abandons the exchange and is dropped without an echo;
//   the box then waits for a command byte again. The silence lets the line
//   drain: the program's next retry, after its time-out and purge, finds
//   the box in step. (Taking such a byte as a new command at once would
//   keep an echo in flight behind every purge and can lock both sides into
//   answering each other's previous byte.)
// - While sending a reply the box waits for each echo up to `echoTimeout`
//   from the moment its byte is due at the other end. A different echo or
//   none abandons the reply; the different byte is consumed. The program
//   then misses the rest of the reply and retries.
// - Diagnostic measurements and actions start with the command byte; the
//   request byte fetches the result (or ends the action) in a later
//   exchange, also after the port was closed and opened again.
// - Unknown bytes in idle state are ignored without an echo.

#include "tools/boxsim/BoxMemory.h"
#include "tools/boxsim/EngineModel.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace boxsim {

namespace cmd {
inline constexpr uint8_t Write = 140;
inline constexpr uint8_t Read = 144;
inline constexpr uint8_t Request = 255;
inline constexpr uint8_t BoxVersion = 158;
inline constexpr uint8_t LiveRpm = 130;         // with the rpm axis point
inline constexpr uint8_t LiveThrottle = 131;    // with the throttle axis point
inline constexpr uint8_t LiveEngineTemp = 132;  // with the engine-temperature axis point
inline constexpr uint8_t LiveAirTemp = 133;     // with the air-temperature axis point
inline constexpr uint8_t LiveAirPressure = 134; // with the air-pressure axis point
inline constexpr uint8_t LiveLambdaLeft = 135;
inline constexpr uint8_t LiveLambdaRight = 136;
inline constexpr uint8_t LiveSupply = 137;
inline constexpr uint8_t LiveInjection = 139;
inline constexpr uint8_t LiveIgnitionMap = 166;
inline constexpr uint8_t DiagTurbo = 159;      // turbo pressure twice, rpm
inline constexpr uint8_t DiagEngineTemp = 160; // engine temperature twice
inline constexpr uint8_t DiagAir = 161;        // air pressure twice, air temperature twice
inline constexpr uint8_t DiagActionFirst = 162;
inline constexpr uint8_t DiagActionLast = 165;
} // namespace cmd

// What the control channel can hold (tools/boxsim/Control.h). The index
// holds name a point k (0..15) of the box's own axis, by its position in
// box memory (the word at base + 2k), which is the cell index the live
// value reports: the sensor is held in the middle of that axis word's
// count, and the live value reports the word itself and index k, also
// where the axis holds the same word twice. The point is looked up again
// whenever the engine runs, so it follows changes of the axis. The others
// hold the engine model's value as EngineState has it.
enum class Hold : uint8_t {
    RpmIndex,         // live value 130, axis DZI
    ThrottleIndex,    // 131, DKI
    EngineTempIndex,  // 132, MTI
    AirTempIndex,     // 133, LTI
    AirPressureIndex, // 134, LDI
    LambdaLeft,       // 135, sensor millivolts
    LambdaRight,      // 136
    InjectionUs,      // 139, microseconds
};
inline constexpr std::size_t kHolds = 8;
inline constexpr std::size_t kIndexHolds = 5;

struct Options {
    uint32_t baud = 0; // 0: no pacing
    Nanos latency{0};
    double wrongByte = 0.0;
    double loseByte = 0.0;
    double lateByte = 0.0;
    Nanos lateDelay = std::chrono::milliseconds(400);
    Nanos echoTimeout = std::chrono::milliseconds(250);
    uint64_t seed = 1;
    std::string boxVersion = "ZB60 2.1"; // at most 8 characters, padded with blanks
};

// What happened, for the log and for tests.
struct Stats {
    uint64_t received = 0;
    uint64_t sent = 0;
    uint64_t wrongBytes = 0;
    uint64_t lostBytes = 0;
    uint64_t lateBytes = 0;
    uint64_t ignored = 0;
    uint64_t abandonedMessages = 0;
    uint64_t abandonedReplies = 0;
    uint64_t writes = 0;
    uint64_t replies = 0; // completed with the terminator
    uint64_t diagnosticsStarted = 0; // command bytes 159..165
    uint64_t actionsEnded = 0;       // request bytes that ended an action 162..165
    uint8_t lastActionEnded = 0;
    // Line activity in the box's clock: when the first byte from the
    // program came in, and when the last byte in either direction has
    // ended on the line.
    std::optional<Nanos> firstIn;
    Nanos lastOnLine{0};
};

class BoxSim {
public:
    // Takes over `memory` and counts this start in the start counter.
    BoxSim(const Options& options, const BoxMemory& memory);

    // A byte from the program, delivered by the line at `now`.
    void receive(uint8_t byte, Nanos now);
    // Lets time pass: the engine runs, a reply waiting too long for its
    // echo is abandoned.
    void advance(Nanos now);
    // When something is due next: a byte to deliver or an echo deadline.
    std::optional<Nanos> nextEvent() const;
    // The next byte due at the other end by `now`, if any.
    std::optional<uint8_t> popDue(Nanos now);
    // The next byte the box has sent, with its due time (for tests).
    std::optional<Nanos> nextDue() const;
    // No one holds the port: bytes on their way are lost and a message or
    // reply in progress is dropped. A started diagnostic stays pending.
    void lineDown(Nanos now);

    Nanos byteTime() const { return byteTime_; }
    BoxMemory& memory() { return memory_; }
    const BoxMemory& memory() const { return memory_; }
    const EngineModel& engine() const { return engine_; }
    const Stats& stats() const { return stats_; }
    // True while nothing is in progress (no message, request or reply).
    bool idle() const { return phase_ == Phase::Idle; }

    // Holds a quantity until it is released (see Hold); the engine first
    // runs up to `now`. Index holds take a point 0..15 (clamped).
    void hold(Hold what, double value, Nanos now);
    void release(Hold what, Nanos now);
    std::optional<double> held(Hold what) const;
    // The word last sent for live command `command`, if any was.
    std::optional<uint16_t> lastLive(uint8_t command) const { return lastLive_[command]; }

    // Fixes what the measurement `command` (159..161) reports until it is
    // cleared: physical values in its order (mbar, rpm, degC; 3, 2 or 4 of
    // them), converted by the box's sensors. Without, the engine model's
    // values. False (nothing changed) for another command or count.
    bool setMeasurement(uint8_t command, const std::vector<double>& values);
    void clearMeasurement(uint8_t command);
    // The diagnostic started and waiting for its request byte, 0 if none.
    uint8_t pendingDiagnostic() const { return pendingDiagnostic_; }

private:
    enum class Phase { Idle, Message, AwaitRequest, Reply };

    void handle(uint8_t byte, Nanos t);
    void idleByte(uint8_t byte, Nanos t);
    void messageComplete(Nanos t);
    void startReply(Nanos t);
    std::string buildReply();
    static void appendModelMeasurement(std::string& r, uint8_t command, const EngineState& e);
    static void appendMeasurement(std::string& r, uint8_t command, const std::vector<double>& values);
    void sendReplyByte(Nanos t);
    void abandonReply(const char* why);
    Nanos send(uint8_t byte, Nanos readyAt);
    void runEngine(Nanos t);
    // Hands the held axis points to the engine model as sensor values.
    void resolveIndexHolds();
    int axisPoint(uint16_t base, double value, bool rpmAxis) const;
    // A live value with a cell index: the raw value and the axis point,
    // or the held point and its word.
    void appendIndexed(std::string& r, Hold which, uint16_t raw, double value, bool rpmAxis) const;

    Options options_;
    BoxMemory memory_;
    EngineModel engine_;
    std::mt19937_64 faults_;
    Stats stats_;
    Nanos byteTime_{0};

    Nanos rxFree_{0};
    Nanos txFree_{0};
    std::deque<std::pair<uint8_t, Nanos>> out_;

    Phase phase_ = Phase::Idle;
    uint8_t command_ = 0;
    std::string digits_;
    std::size_t digitsNeeded_ = 0;
    uint32_t address_ = 0;
    std::string reply_;
    std::size_t replyPos_ = 0;
    Nanos echoDeadline_{0};
    uint8_t pendingDiagnostic_ = 0;
    std::array<std::optional<int>, kIndexHolds> heldIndex_{};
    std::array<std::vector<double>, 3> measured_{}; // 159..161; empty: the model's
    std::array<std::optional<uint16_t>, 256> lastLive_{};
};

} // namespace boxsim
