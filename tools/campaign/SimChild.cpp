#include "tools/campaign/SimChild.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <thread>

namespace campaign {
namespace {

constexpr auto kStartWait = std::chrono::seconds(10);
constexpr auto kReapPoll = std::chrono::milliseconds(5);

// Reads from `fd` until end of file or the deadline.
std::string readUntilEof(int fd, std::chrono::steady_clock::time_point deadline)
{
    std::string text;
    char buffer[512];
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) {
            continue;
        }
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

} // namespace

std::optional<SimStats> parseSimStats(const std::string& output)
{
    SimStats s;
    const auto stats = output.find("STATS ");
    if (stats == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream in(output.substr(stats));
    std::string word;
    in >> word >> word >> s.received >> word >> s.sent;
    if (!in) {
        return std::nullopt;
    }
    const auto faults = output.find("FAULTS ");
    if (faults != std::string::npos) {
        std::istringstream f(output.substr(faults));
        f >> word >> word >> s.wrongBytes >> word >> s.lostBytes >> word >> s.lateBytes;
    }
    return s;
}

SimChild::SimChild(const std::filesystem::path& program, const std::vector<std::string>& options)
{
    // Everything the child needs is built before the fork: between fork and
    // exec only async-signal-safe calls are allowed.
    std::string path = program.string();
    std::vector<std::string> args = options;
    std::vector<char*> argv{path.data()};
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    // Close-on-exec: a simulator started by another lane must not hold this
    // pipe open.
    int pipeFds[2] = {-1, -1};
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    out_ = pipeFds[0];
    if (pid_ < 0) {
        return;
    }
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + kStartWait;
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            char c = 0;
            if (read(out_, &c, 1) != 1) {
                break;
            }
            line += c;
        }
    }
    if (line.rfind("PTY ", 0) == 0) {
        pty_ = line.substr(4, line.find('\n') - 4);
    }
}

SimChild::~SimChild()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    if (out_ >= 0) {
        close(out_);
    }
}

void SimChild::kill() const
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
    }
}

bool SimChild::reap(std::chrono::milliseconds wait, int& status)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    pid_t r = 0;
    while ((r = waitpid(pid_, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kReapPoll);
    }
    if (r == 0) {
        ::kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    return r > 0;
}

bool SimChild::stop(std::string& output, std::chrono::milliseconds wait)
{
    if (pid_ <= 0) {
        return false;
    }
    ::kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    output = readUntilEof(out_, deadline);
    int status = 0;
    const bool ended = reap(std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::max(deadline - std::chrono::steady_clock::now(),
                                         std::chrono::steady_clock::duration(std::chrono::milliseconds(100)))),
                            status);
    return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace campaign
