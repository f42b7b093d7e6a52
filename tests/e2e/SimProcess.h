#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace morvex::test {

// morvex-boxsim as a child process: started with options, its pseudo-
// terminal read from its first output line, stopped with SIGTERM.
class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& options)
    {
        int out[2];
        if (pipe(out) != 0) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv;
            std::string program = MORVEX_BOXSIM;
            argv.push_back(program.data());
            std::vector<std::string> copy = options;
            for (std::string& o : copy) {
                argv.push_back(o.data());
            }
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        out_ = out[0];
        // The first line names the pseudo-terminal.
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
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
    ~SimProcess() { stop(); }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const std::string& pty() const { return pty_; }

    // SIGKILL: the box vanishes as a pulled USB adapter does; its side of
    // the pseudo-terminal closes at once.
    void killHard()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
            close(out_);
        }
    }

    // SIGTERM and wait (bounded); true when it ended normally.
    bool stop()
    {
        if (pid_ <= 0) {
            return false;
        }
        kill(pid_, SIGTERM);
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        pid_t r = 0;
        while ((r = waitpid(pid_, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (r == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
        pid_ = -1;
        close(out_);
        return r > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string pty_;
};

struct CommandResult {
    int status = -1;
    std::string out;
};

// A shell command's exit status and output (stderr merged). The command is
// killed after `limitSeconds`, so that a protocol fault fails one test in
// seconds instead of holding the suite until ctest's time-out.
inline CommandResult runCommand(const std::string& command, int limitSeconds = 60)
{
    CommandResult result;
    const std::string limited = "timeout -k 2 " + std::to_string(limitSeconds) + " " + command;
    FILE* pipe = popen((limited + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[4096];
    std::size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.out.append(buffer, n);
    }
    const int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

// A command running beside the test, its output (stderr merged) read as
// it comes. Killed in the destructor if it still runs.
class RunningCommand {
public:
    explicit RunningCommand(const std::vector<std::string>& argv)
    {
        int out[2];
        if (pipe(out) != 0) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(out[1], STDERR_FILENO);
            close(out[0]);
            close(out[1]);
            std::vector<std::string> copy = argv;
            std::vector<char*> args;
            for (std::string& a : copy) {
                args.push_back(a.data());
            }
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        close(out[1]);
        out_ = out[0];
    }
    ~RunningCommand()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) {
            close(out_);
        }
    }
    RunningCommand(const RunningCommand&) = delete;
    RunningCommand& operator=(const RunningCommand&) = delete;

    // Reads until the output holds `text`; false when it ended first or
    // `limit` passed.
    bool readUntil(const std::string& text, std::chrono::milliseconds limit)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (output_.find(text) == std::string::npos) {
            if (!readSome(deadline)) {
                return false;
            }
        }
        return true;
    }
    // Waits for the exit (reading the rest of the output); the exit status,
    // or -1 when it did not end within `limit`.
    int waitExit(std::chrono::milliseconds limit)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (readSome(deadline)) {
        }
        int status = 0;
        if (pid_ <= 0 || std::chrono::steady_clock::now() >= deadline) {
            return -1;
        }
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const std::string& output() const { return output_; }

private:
    bool readSome(std::chrono::steady_clock::time_point deadline)
    {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (out_ < 0 || left.count() <= 0) {
            return false;
        }
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
        char buffer[4096];
        const ssize_t n = read(out_, buffer, sizeof buffer);
        if (n <= 0) {
            close(out_);
            out_ = -1;
            return false;
        }
        output_.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    std::string output_;
};

// The box memory of a --dump-memory file: 2048 bytes.
inline std::vector<uint8_t> readDump(const std::filesystem::path& file)
{
    std::ifstream in(file);
    std::vector<uint8_t> bytes;
    std::string line;
    while (std::getline(in, line)) {
        for (std::size_t i = 0; i + 1 < line.size(); i += 2) {
            bytes.push_back(static_cast<uint8_t>(std::stoi(line.substr(i, 2), nullptr, 16)));
        }
    }
    return bytes;
}

} // namespace morvex::test
