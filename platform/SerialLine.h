#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <system_error>

namespace platform {

// Line settings of the box link: 8 data bits, no parity, 1 stop bit at a
// standard baud rate; DTR and RTS are always held inactive.
struct SerialSettings {
    uint32_t baud = 19200;
    uint8_t dataBits = 8;
    char parity = 'N'; // 'N', 'E', 'O'
    uint8_t stopBits = 1;
};

// The Windows COMMTIMEOUTS the program configures (milliseconds;
// 0xFFFFFFFF is MAXDWORD). Only what they mean for a one-byte read and a
// one-byte write matters here.
struct SerialTimeouts {
    uint32_t readIntervalTimeout = 0xFFFFFFFF;
    uint32_t readTotalTimeoutMultiplier = 0xFFFFFFFF;
    uint32_t readTotalTimeoutConstant = 250;
    uint32_t writeTotalTimeoutMultiplier = 0;
    uint32_t writeTotalTimeoutConstant = 0;
};

// How long a one-byte read waits for its byte under `t`, as ReadFile does:
// 0 = return at once when nothing is there; -1 = wait without limit.
int64_t oneByteReadTimeoutMs(const SerialTimeouts& t);

// A one-byte write waits for the line to take its byte at most
// multiplier + constant ms, as WriteFile does. Where Windows would wait
// without limit (both 0), this bound applies instead, so that a stuck line
// can never hang the port worker.
inline constexpr int64_t kUnlimitedWriteBoundMs = 2000;
int64_t oneByteWriteTimeoutMs(const SerialTimeouts& t);

enum class OpenFailure {
    None,
    NotFound,         // no such device ("not installed")
    Occupied,         // held by another program
    PermissionDenied, // the user may not open it (not in the dialout group)
    Unsupported,      // e.g. a baud rate the line cannot do
    Other,
};

// Failed: this byte failed, a retry may succeed. Lost: the device hung up,
// went away or fails in a way no retry can clear; the error names the cause
// and the line is of no further use until it is opened again.
enum class IoStatus { Ok, TimedOut, Failed, Lost };

// A serial line as the port worker uses it: one byte at a time. The POSIX
// implementation drives a tty with termios; tests use scripted lines.
class SerialLine {
public:
    virtual ~SerialLine() = default;

    // Opens `device` exclusively with the settings. On failure returns
    // false with the kind of failure and the system's error (an errno value;
    // may be empty for a line that has no system behind it).
    virtual bool open(const std::string& device, const SerialSettings& settings, const SerialTimeouts& timeouts,
                      OpenFailure& failure, std::error_code& ec) = 0;
    // Restores the settings found at open and closes. Harmless when closed.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    virtual IoStatus writeByte(uint8_t byte, std::error_code& ec) = 0;
    // Waits for one byte as the timeouts say.
    virtual IoStatus readByte(uint8_t& byte, std::error_code& ec) = 0;
    // Drops everything not yet sent or read.
    virtual bool purge(std::error_code& ec) = 0;
};

// A tty driven through termios (/dev/ttyS*, /dev/ttyUSB*, /dev/ttyACM*, a
// pseudo-terminal). Held exclusively while open (TIOCEXCL and flock); USB
// adapters run in low-latency mode until close. A device that goes away
// makes every call fail at once. Not for use by two threads at a time.
std::unique_ptr<SerialLine> makePosixSerialLine();

} // namespace platform
