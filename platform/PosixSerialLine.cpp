#include "platform/SerialLine.h"

#include "platform/Log.h"

#include <fcntl.h>
#include <linux/major.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <chrono>
#include <optional>
#include <string>

namespace platform {

namespace {

const LogCategory& log()
{
    static const LogCategory category("morvex.platform");
    return category;
}

constexpr uint32_t kMaxDword = 0xFFFFFFFF;

std::error_code lastError()
{
    return {errno, std::system_category()};
}
std::error_code errorFor(int error)
{
    return {error, std::system_category()};
}

struct BaudRate {
    uint32_t baud;
    speed_t code;
};

// Every rate termios names up to 921600. Rates outside this table are
// refused rather than rounded to a neighbour: a wrong rate only shows up
// later as echo errors on every byte.
constexpr BaudRate kBaudRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},       {200, B200},
    {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200}, {230400, B230400},
    {460800, B460800}, {500000, B500000}, {576000, B576000}, {921600, B921600},
};

std::optional<speed_t> speedFor(uint32_t baud)
{
    for (const BaudRate& rate : kBaudRates) {
        if (rate.baud == baud) {
            return rate.code;
        }
    }
    return std::nullopt;
}

// The c_cflag bits of the character frame, or nothing when the settings
// name a frame the line cannot do.
std::optional<tcflag_t> frameFor(const SerialSettings& s)
{
    tcflag_t flags = 0;
    switch (s.dataBits) {
    case 5: flags |= CS5; break;
    case 6: flags |= CS6; break;
    case 7: flags |= CS7; break;
    case 8: flags |= CS8; break;
    default: return std::nullopt;
    }
    switch (s.parity) {
    case 'N': break;
    case 'E': flags |= PARENB; break;
    case 'O': flags |= PARENB | PARODD; break;
    default: return std::nullopt;
    }
    switch (s.stopBits) {
    case 1: break;
    case 2: flags |= CSTOPB; break;
    default: return std::nullopt;
    }
    return flags;
}

constexpr tcflag_t kFrameMask = CSIZE | PARENB | PARODD | CSTOPB;

OpenFailure failureForOpenError(int error)
{
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR: return OpenFailure::NotFound;
    case EBUSY:       // TIOCEXCL held by another program
    case EWOULDBLOCK: // flock held by another program
        return OpenFailure::Occupied;
    case EACCES:
    case EPERM: return OpenFailure::PermissionDenied;
    default: return OpenFailure::Other;
    }
}

// Errors after which no retry on this open line can succeed: the device
// hung up or went away (a pulled USB adapter reads as EIO or ENODEV).
IoStatus statusFor(const std::error_code& ec)
{
    switch (ec.value()) {
    case EIO:
    case ENODEV:
    case ENXIO:
    case EPIPE: return IoStatus::Lost;
    default: return IoStatus::Failed;
    }
}

// A point in time after which a wait gives up; none for "without limit".
class Deadline {
public:
    explicit Deadline(int64_t timeoutMs)
    {
        if (timeoutMs >= 0) {
            end_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        }
    }
    bool passed() const { return end_ && std::chrono::steady_clock::now() >= *end_; }
    // The time left for ppoll(): null without limit, zero once passed. To
    // the nanosecond, so that a wait ends neither early nor a tick late.
    const timespec* left(timespec& ts) const
    {
        if (!end_) {
            return nullptr;
        }
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(*end_ - std::chrono::steady_clock::now());
        const int64_t n = ns.count() > 0 ? ns.count() : 0;
        ts.tv_sec = static_cast<time_t>(n / 1'000'000'000);
        ts.tv_nsec = static_cast<long>(n % 1'000'000'000);
        return &ts;
    }

private:
    std::optional<std::chrono::steady_clock::time_point> end_;
};

// A pseudo-terminal has no character frame: the kernel keeps the rate it
// is given but may force 8 data bits and no parity.
bool isPseudoTerminal(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
        return false;
    }
    const unsigned major = ::major(st.st_rdev);
    return major >= UNIX98_PTY_SLAVE_MAJOR && major < UNIX98_PTY_SLAVE_MAJOR + UNIX98_PTY_MAJOR_COUNT;
}

// termios on a tty: raw bytes in both directions, the given frame and rate,
// receiver on, modem status lines ignored, no flow control of any kind.
termios rawSettings(const termios& found, speed_t speed, tcflag_t frame)
{
    termios t = found;
    cfmakeraw(&t);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | PARMRK | IGNPAR);
    t.c_cflag &= ~static_cast<tcflag_t>(kFrameMask | CRTSCTS | CMSPAR);
    t.c_cflag |= frame | CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    return t;
}

class PosixSerialLine final : public SerialLine {
public:
    ~PosixSerialLine() override { close(); }

    bool open(const std::string& device, const SerialSettings& settings, const SerialTimeouts& timeouts,
              OpenFailure& failure, std::error_code& ec) override
    {
        close();
        failure = OpenFailure::None;
        ec.clear();

        const std::optional<speed_t> speed = speedFor(settings.baud);
        const std::optional<tcflag_t> frame = frameFor(settings);
        if (!speed || !frame) {
            failure = OpenFailure::Unsupported;
            ec = std::make_error_code(std::errc::invalid_argument);
            log().debug(device + ": unsupported line settings (" + std::to_string(settings.baud) + " baud, " +
                        std::to_string(settings.dataBits) + std::string(1, settings.parity) +
                        std::to_string(settings.stopBits) + ")");
            return false;
        }

        // O_NONBLOCK stays on: every wait below is a poll() with its own
        // time-out, and open() must not block on a modem line.
        const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            ec = lastError();
            failure = failureForOpenError(ec.value());
            log().debug(device + ": open failed: " + ec.message());
            return false;
        }
        // The advisory lock comes first: an open that loses it leaves the
        // holder's tty untouched (TIOCEXCL does not keep root out).
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ec = lastError();
            failure = ec.value() == EWOULDBLOCK ? OpenFailure::Occupied : OpenFailure::Other;
            ::close(fd);
            log().debug(device + ": lock failed: " + ec.message());
            return false;
        }
        if (::ioctl(fd, TIOCEXCL) != 0) {
            return fail(fd, device, "TIOCEXCL", OpenFailure::Other, failure, ec, nullptr);
        }
        termios found{};
        if (::tcgetattr(fd, &found) != 0) {
            return fail(fd, device, "tcgetattr", OpenFailure::Other, failure, ec, nullptr);
        }
        const termios wanted = rawSettings(found, *speed, *frame);
        if (::tcsetattr(fd, TCSANOW, &wanted) != 0) {
            return fail(fd, device, "tcsetattr", OpenFailure::Other, failure, ec, &found);
        }
        // tcsetattr succeeds when any part of the change took; a driver that
        // cannot do the rate or the frame keeps its own, so check.
        termios applied{};
        if (::tcgetattr(fd, &applied) != 0) {
            return fail(fd, device, "tcgetattr", OpenFailure::Other, failure, ec, &found);
        }
        if (cfgetospeed(&applied) != *speed || cfgetispeed(&applied) != *speed ||
            (!isPseudoTerminal(fd) && (applied.c_cflag & kFrameMask) != *frame)) {
            errno = EINVAL;
            return fail(fd, device, "line settings not taken by the driver", OpenFailure::Unsupported, failure, ec,
                        &found);
        }

        // DTR and RTS held inactive. Pseudo-terminals have no modem lines.
        int lines = TIOCM_DTR | TIOCM_RTS;
        if (::ioctl(fd, TIOCMBIC, &lines) != 0 && errno != ENOTTY && errno != EINVAL) {
            return fail(fd, device, "TIOCMBIC", OpenFailure::Other, failure, ec, &found);
        }

        // Every byte waits for its echo, so the adapter's latency timer
        // (16 ms by default on USB serial chips) would dominate a transfer.
        lowLatencySet_ = false;
        serial_struct serial{};
        if (::ioctl(fd, TIOCGSERIAL, &serial) == 0) {
            if ((static_cast<unsigned>(serial.flags) & ASYNC_LOW_LATENCY) == 0) {
                serial.flags = static_cast<int>(static_cast<unsigned>(serial.flags) | ASYNC_LOW_LATENCY);
                if (::ioctl(fd, TIOCSSERIAL, &serial) == 0) {
                    lowLatencySet_ = true;
                } else {
                    log().debug(device + ": low-latency mode not available: " + lastError().message());
                }
            }
        }

        // A new handle starts with empty queues, as on Windows: nothing that
        // arrived before the open may be taken for an echo.
        ::tcflush(fd, TCIOFLUSH);

        fd_ = fd;
        device_ = device;
        baud_ = static_cast<int>(settings.baud);
        found_ = found;
        readTimeoutMs_ = oneByteReadTimeoutMs(timeouts);
        writeTimeoutMs_ = oneByteWriteTimeoutMs(timeouts);
        log().debug(device + ": open at " + std::to_string(settings.baud) + " baud, read time-out " +
                    std::to_string(readTimeoutMs_) + " ms" + (lowLatencySet_ ? ", low latency on" : ""));
        return true;
    }

    void close() override
    {
        if (fd_ < 0) {
            return;
        }
        // The last byte written may get no answer (the request that ends a
        // diagnostic action): it goes out before the close. Only output
        // that does not drain in time is dropped, so that restoring the
        // settings and closing cannot wait on output that never leaves;
        // what came in is dropped as PurgeComm at close does. Failures here
        // are expected after a hang-up.
        if (!drainOutput()) {
            ::tcflush(fd_, TCOFLUSH);
        }
        ::tcflush(fd_, TCIFLUSH);
        if (lowLatencySet_) {
            serial_struct serial{};
            if (::ioctl(fd_, TIOCGSERIAL, &serial) == 0) {
                serial.flags = static_cast<int>(static_cast<unsigned>(serial.flags) & ~ASYNC_LOW_LATENCY);
                if (::ioctl(fd_, TIOCSSERIAL, &serial) != 0) {
                    log().debug(device_ + ": low-latency mode not restored: " + lastError().message());
                }
            }
            lowLatencySet_ = false;
        }
        if (::tcsetattr(fd_, TCSANOW, &found_) != 0) {
            log().debug(device_ + ": settings not restored: " + lastError().message());
        }
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_); // also releases the lock
        fd_ = -1;
        log().debug(device_ + ": closed");
    }

    bool isOpen() const override { return fd_ >= 0; }

    // The byte is handed to the driver, which sends it at once; there is no
    // tcdrain() per byte. The protocol reads the echo of every byte next,
    // and that echo cannot come before the byte has gone out, so waiting
    // for the transmitter to empty would only add the driver's drain
    // latency (milliseconds on USB adapters) to every byte.
    IoStatus writeByte(uint8_t byte, std::error_code& ec) override
    {
        ec.clear();
        if (fd_ < 0) {
            ec = std::make_error_code(std::errc::bad_file_descriptor);
            return IoStatus::Failed;
        }
        const Deadline deadline(writeTimeoutMs_);
        bool hungUp = false;
        for (;;) {
            const ssize_t n = ::write(fd_, &byte, 1);
            if (n == 1) {
                return IoStatus::Ok;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                ec = lastError();
                return statusFor(ec);
            }
            if (hungUp) {
                ec = errorFor(ENODEV);
                return IoStatus::Lost;
            }
            // The output queue is full: wait until it takes a byte.
            const IoStatus waited = waitFor(POLLOUT, deadline, hungUp, ec);
            if (waited != IoStatus::Ok) {
                return waited;
            }
        }
    }

    // The answer to a byte needs at least two byte times on the line, so it
    // is hardly ever there when the read starts: wait first, then read, two
    // calls per byte.
    IoStatus readByte(uint8_t& byte, std::error_code& ec) override
    {
        ec.clear();
        if (fd_ < 0) {
            ec = std::make_error_code(std::errc::bad_file_descriptor);
            return IoStatus::Failed;
        }
        const Deadline deadline(readTimeoutMs_);
        bool hungUp = false;
        for (;;) {
            const IoStatus waited = waitFor(POLLIN, deadline, hungUp, ec);
            if (waited != IoStatus::Ok) {
                return waited;
            }
            uint8_t received = 0;
            const ssize_t n = ::read(fd_, &received, 1);
            if (n == 1) {
                byte = received;
                return IoStatus::Ok;
            }
            if (n == 0) {
                // End of file on a tty: the device has gone (hang-up).
                ec = errorFor(ENODEV);
                return IoStatus::Lost;
            }
            if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
                ec = lastError();
                return statusFor(ec);
            }
            if (hungUp) {
                ec = errorFor(ENODEV);
                return IoStatus::Lost;
            }
        }
    }

    bool purge(std::error_code& ec) override
    {
        ec.clear();
        if (fd_ < 0) {
            ec = std::make_error_code(std::errc::bad_file_descriptor);
            return false;
        }
        if (::tcflush(fd_, TCIOFLUSH) != 0) {
            ec = lastError();
            return false;
        }
        return true;
    }

private:
    // Waits a bounded time for the output queue to empty: the bytes queued
    // at the line's rate plus a margin. False when output is still queued.
    bool drainOutput() const
    {
        int queued = 0;
        if (::ioctl(fd_, TIOCOUTQ, &queued) != 0) {
            return false;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(50) +
                              std::chrono::microseconds(int64_t{queued} * 10'000'000 / std::max(baud_, 300));
        while (queued > 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            ::usleep(1000);
            if (::ioctl(fd_, TIOCOUTQ, &queued) != 0) {
                return false;
            }
        }
        return true;
    }

    // Cleans up a failed open after `what` failed with errno.
    bool fail(int fd, const std::string& device, const char* what, OpenFailure kind, OpenFailure& failure,
              std::error_code& ec, const termios* restore)
    {
        ec = lastError();
        failure = kind;
        if (restore != nullptr) {
            ::tcsetattr(fd, TCSANOW, restore);
        }
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        log().debug(device + ": " + what + ": " + ec.message());
        return false;
    }

    // Waits until the line is ready for `events`. Ok means "try now";
    // TimedOut when the deadline passed with the line not ready; Failed on a
    // poll error. A hang-up or device error is noted in `hungUp`: the
    // caller's next read or write then fetches the error (or the last
    // bytes) from the driver.
    IoStatus waitFor(short events, const Deadline& deadline, bool& hungUp, std::error_code& ec) const
    {
        for (;;) {
            pollfd p{fd_, events, 0};
            timespec ts{};
            const int r = ::ppoll(&p, 1, deadline.left(ts), nullptr);
            if (r < 0) {
                if (errno == EINTR) {
                    continue;
                }
                ec = lastError();
                return IoStatus::Failed;
            }
            if (r == 0) {
                if (deadline.passed()) {
                    ec = std::make_error_code(std::errc::timed_out);
                    return IoStatus::TimedOut;
                }
                continue;
            }
            if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                hungUp = true;
            }
            return IoStatus::Ok;
        }
    }

    int fd_ = -1;
    std::string device_;
    int baud_ = 19200; // for the drain at close
    termios found_{};
    bool lowLatencySet_ = false;
    int64_t readTimeoutMs_ = 0;
    int64_t writeTimeoutMs_ = kUnlimitedWriteBoundMs;
};

} // namespace

int64_t oneByteReadTimeoutMs(const SerialTimeouts& t)
{
    // (MAXDWORD, 0, 0): return at once with what is there.
    if (t.readIntervalTimeout == kMaxDword && t.readTotalTimeoutMultiplier == 0 && t.readTotalTimeoutConstant == 0) {
        return 0;
    }
    // (MAXDWORD, MAXDWORD, 0 < c < MAXDWORD): return as soon as a byte is
    // there, give up after c.
    if (t.readIntervalTimeout == kMaxDword && t.readTotalTimeoutMultiplier == kMaxDword &&
        t.readTotalTimeoutConstant > 0 && t.readTotalTimeoutConstant < kMaxDword) {
        return t.readTotalTimeoutConstant;
    }
    // Otherwise the total time-out for one byte. The interval time-out runs
    // only between bytes, so it never limits the wait for the first one.
    const int64_t total = int64_t{t.readTotalTimeoutMultiplier} + int64_t{t.readTotalTimeoutConstant};
    return total == 0 ? -1 : total;
}

int64_t oneByteWriteTimeoutMs(const SerialTimeouts& t)
{
    const int64_t total = int64_t{t.writeTotalTimeoutMultiplier} + int64_t{t.writeTotalTimeoutConstant};
    return total == 0 ? kUnlimitedWriteBoundMs : total;
}

std::unique_ptr<SerialLine> makePosixSerialLine()
{
    return std::make_unique<PosixSerialLine>();
}

} // namespace platform
