#include "tools/boxsim/PtyLine.h"

#include "platform/Log.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

namespace boxsim {
namespace {

const platform::LogCategory& log()
{
    static const platform::LogCategory category("morvex.boxsim");
    return category;
}

// While no one holds the slave, the master reports a hang-up at once;
// look again this often.
constexpr Nanos kHangUpRecheck = std::chrono::milliseconds(20);

std::string systemError(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

sigset_t stopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

bool BlockStopSignals()
{
    const sigset_t set = stopSignals();
    return ::sigprocmask(SIG_BLOCK, &set, nullptr) == 0;
}

PtyLine::~PtyLine()
{
    if (master_ >= 0) {
        ::close(master_);
    }
    if (signals_ >= 0) {
        ::close(signals_);
    }
}

bool PtyLine::open(StdinUse stdinUse, std::string& error)
{
    stdin_ = stdinUse;
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        error = systemError("posix_openpt");
        return false;
    }
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        error = systemError("grantpt/unlockpt");
        return false;
    }
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0) {
        error = systemError("ptsname_r");
        return false;
    }
    slavePath_ = name;

    // Raw settings on the slave, so that whatever the program sets up on
    // top of them, no byte is translated, echoed by the terminal or taken
    // as a control character. The settings stay with the pseudo-terminal
    // when this descriptor is closed again.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        error = systemError("open slave");
        return false;
    }
    termios t{};
    if (::tcgetattr(slave, &t) == 0) {
        ::cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        ::cfsetispeed(&t, B19200);
        ::cfsetospeed(&t, B19200);
        ::tcsetattr(slave, TCSANOW, &t);
    }
    ::close(slave);

    const int flags = ::fcntl(master_, F_GETFL);
    if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = systemError("fcntl");
        return false;
    }

    if (!BlockStopSignals()) {
        error = systemError("sigprocmask");
        return false;
    }
    const sigset_t set = stopSignals();
    signals_ = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (signals_ < 0) {
        error = systemError("signalfd");
        return false;
    }
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

namespace {
// A timer wake-up on a virtual machine comes some 20 to 50 us late, at
// times over 100 us, which is much of a byte time at high rates (87 us at
// 115200 baud). So the wait for a due byte sleeps only until this long
// before it and spins the rest; at 115200 baud and above, where a byte is
// due two byte times after the one that caused it, that is the whole wait.
constexpr Nanos kSpinMargin = std::chrono::microseconds(200);
} // namespace

Nanos PtyLine::now()
{
    return std::chrono::duration_cast<Nanos>(std::chrono::steady_clock::now() - start_);
}

bool PtyLine::readStdin()
{
    char buffer[256];
    const ssize_t k = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (k > 0) {
        if (stdin_ == StdinUse::Control) {
            control_.feed(std::string_view(buffer, static_cast<std::size_t>(k)));
        }
        return true;
    }
    return k < 0 && (errno == EINTR || errno == EAGAIN);
}

void PtyLine::answerControl(const std::string& answer)
{
    std::fputs(answer.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

LineTransport::Wait PtyLine::wait(std::optional<Nanos> deadline, std::vector<uint8_t>& in)
{
    if (stdinEnded_) {
        // The last control line without a line end has been answered.
        log().debug("end of standard input: stopping");
        return Wait::Stop;
    }
    for (;;) {
        pollfd fds[3]{};
        nfds_t n = 0;
        fds[n++] = {signals_, POLLIN, 0};
        int stdinIndex = -1;
        if (stdin_ != StdinUse::Ignore) {
            stdinIndex = static_cast<int>(n);
            fds[n++] = {STDIN_FILENO, POLLIN, 0};
        }
        int masterIndex = -1;
        if (!down_) {
            masterIndex = static_cast<int>(n);
            fds[n++] = {master_, POLLIN, 0};
        }

        const Nanos t = now();
        std::optional<Nanos> limit;
        bool spin = false;
        if (down_) {
            limit = deadline ? std::min(std::max(Nanos(0), *deadline - t), kHangUpRecheck) : kHangUpRecheck;
        } else if (deadline && *deadline - t <= kSpinMargin) {
            spin = true;
        } else if (deadline) {
            limit = *deadline - t - kSpinMargin;
        }
        const timespec zero{};
        timespec ts{};
        if (limit) {
            ts.tv_sec = static_cast<time_t>(limit->count() / 1'000'000'000);
            ts.tv_nsec = static_cast<long>(limit->count() % 1'000'000'000);
        }
        const int ready = ::ppoll(fds, n, spin ? &zero : limit ? &ts : nullptr, nullptr);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            log().error(systemError("ppoll"));
            return Wait::Stop;
        }
        if (ready == 0 && !down_) {
            if (deadline && now() >= *deadline) {
                return Wait::Ready;
            }
            continue;
        }

        if (fds[0].revents != 0) {
            signalfd_siginfo info{};
            if (::read(signals_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                log().debug(std::string("signal ") + strsignal(static_cast<int>(info.ssi_signo)) + " from process " +
                            std::to_string(info.ssi_pid) + ": stopping");
            }
            return Wait::Stop;
        }
        if (stdinIndex >= 0 && fds[stdinIndex].revents != 0 && !readStdin()) {
            control_.finish();
            if (control_.hasLines()) {
                stdinEnded_ = true;
                return Wait::Ready;
            }
            log().debug("end of standard input: stopping");
            return Wait::Stop;
        }

        if (down_) {
            pollfd m{master_, POLLIN, 0};
            if (::poll(&m, 1, 0) < 0) {
                return Wait::Ready;
            }
            if ((m.revents & POLLHUP) == 0) {
                down_ = false;
                log().debug("port opened by the program");
                return Wait::Ready;
            }
            if ((m.revents & POLLIN) != 0) {
                // The program opened the port, wrote and closed it again
                // between two looks (the request that ends a diagnostic
                // action): a box hears every byte on the wire.
                uint8_t buffer[256];
                const ssize_t k = ::read(master_, buffer, sizeof buffer);
                if (k > 0) {
                    log().debug("port opened and closed again by the program: " + std::to_string(k) + " byte(s)");
                    in.insert(in.end(), buffer, buffer + k);
                }
            }
            return Wait::Ready;
        }

        const short events = fds[masterIndex].revents;
        if ((events & POLLIN) != 0) {
            uint8_t buffer[256];
            const ssize_t k = ::read(master_, buffer, sizeof buffer);
            if (k > 0) {
                in.insert(in.end(), buffer, buffer + k);
                return Wait::Ready;
            }
            if (k < 0 && errno == EIO) {
                down_ = true;
                log().debug("port closed by the program");
                return Wait::LineDown;
            }
            if (k < 0 && errno != EAGAIN && errno != EINTR) {
                log().error(systemError("read"));
                return Wait::Stop;
            }
        }
        if ((events & (POLLHUP | POLLERR)) != 0) {
            down_ = true;
            log().debug("port closed by the program");
            return Wait::LineDown;
        }
        if (control_.hasLines()) {
            return Wait::Ready;
        }
    }
}

bool PtyLine::write(uint8_t byte)
{
    if (down_) {
        return false;
    }
    for (;;) {
        const ssize_t k = ::write(master_, &byte, 1);
        if (k == 1) {
            return true;
        }
        if (k < 0 && errno == EINTR) {
            continue;
        }
        if (k < 0 && errno == EAGAIN) {
            log().warning("the program does not read: byte dropped");
            return true;
        }
        down_ = true;
        log().debug("port closed by the program");
        return false;
    }
}

} // namespace boxsim
