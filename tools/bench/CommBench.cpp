// Transfer speed against the simulated box, as ratios to the line limit.
//
//   CommBench [--baud N ...] [--seconds S]
//
// For each baud rate: starts morvex-boxsim paced at that rate, runs
// morvex-cli send (Send All of the demo set), receive (Receive All) and
// online for S seconds, and prints the wall time, the bytes on the line,
// the line limit (every byte takes 10 bits, both directions add up: the
// protocol is strictly half-duplex) and the ratio; and the program's CPU
// time per byte against one byte time. Nothing here is a test.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

// Values of Send All: time stamp 8, fuel 512, functions 96 + 32, ignition
// 2 + 512, axes 5 x 32, names 4 x 64.
constexpr long kSendAllValues = 8 + 512 + 128 + 514 + 160 + 256;
constexpr long kReceiveAllValues = kSendAllValues - 8;
constexpr long kWriteBytes = 10 + 10;                 // message and echoes
constexpr long kReadBytes = 7 + 7 + 1 + 3 + 3 + 1;    // message, echoes, request, reply, echoes, terminator

long liveBytes(int command)
{
    const long reply = (command >= 130 && command <= 134) ? 8 : command == 166 ? 2 : 6;
    return 1 + 1 + 1 + reply + reply + 1;
}

struct Child {
    pid_t pid = -1;
    int out = -1;
};

Child spawn(const std::vector<std::string>& args, bool captureStdout)
{
    int pipeFds[2] = {-1, -1};
    if (captureStdout && pipe(pipeFds) != 0) {
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        if (captureStdout) {
            dup2(pipeFds[1], STDOUT_FILENO);
            close(pipeFds[0]);
            close(pipeFds[1]);
        }
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDERR_FILENO);
        std::vector<char*> argv;
        std::vector<std::string> copy = args;
        for (std::string& a : copy) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (captureStdout) {
        close(pipeFds[1]);
    }
    return {pid, captureStdout ? pipeFds[0] : -1};
}

std::string readAll(int fd)
{
    std::string text;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

double cpuOfChildren()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

struct Measured {
    double seconds = 0;
    double cpu = 0;
    std::string out;
    int status = -1;
};

Measured runCli(const std::vector<std::string>& args)
{
    const double cpuBefore = cpuOfChildren();
    const auto start = std::chrono::steady_clock::now();
    Child c = spawn(args, true);
    Measured m;
    m.out = readAll(c.out);
    close(c.out);
    int status = 0;
    waitpid(c.pid, &status, 0);
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.cpu = cpuOfChildren() - cpuBefore;
    m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m;
}

void report(const char* what, const Measured& m, long bytes, long baud)
{
    const double limit = static_cast<double>(bytes) * 10.0 / static_cast<double>(baud);
    const double byteTime = 10.0 / static_cast<double>(baud);
    std::printf("  %-12s %8.2f s  %7ld bytes  line limit %7.2f s  ratio %5.3f  CPU/byte %6.1f us (byte time %6.1f us)%s\n",
                what, m.seconds, bytes, limit, m.seconds / limit, m.cpu / static_cast<double>(bytes) * 1e6,
                byteTime * 1e6, m.status == 0 ? "" : "  FAILED");
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<long> bauds;
    double onlineSeconds = 3.0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--baud" && i + 1 < argc) {
            bauds.push_back(std::atol(argv[++i]));
        } else if (arg == "--seconds" && i + 1 < argc) {
            onlineSeconds = std::atof(argv[++i]);
        } else {
            std::cerr << "usage: CommBench [--baud N ...] [--seconds S]\n";
            return 2;
        }
    }
    if (bauds.empty()) {
        bauds = {19200, 115200};
    }
    const std::string cli = MORVEX_CLI;
    const std::string demo = std::string(MORVEX_SOURCE_DIR) + "/install/DATA/Demo.M60";
    for (const long baud : bauds) {
        Child sim = spawn({MORVEX_BOXSIM, "--baud", std::to_string(baud)}, true);
        std::string first;
        char c = 0;
        while (first.find('\n') == std::string::npos && read(sim.out, &c, 1) == 1) {
            first += c;
        }
        const std::string pty = first.rfind("PTY ", 0) == 0 ? first.substr(4, first.find('\n') - 4) : "";
        if (pty.empty()) {
            std::cerr << "the simulator did not start\n";
            return 1;
        }
        std::printf("%ld baud\n", baud);
        const std::vector<std::string> link{"--port", pty, "--baud", std::to_string(baud)};
        auto with = [&](std::vector<std::string> args) {
            args.insert(args.begin(), cli);
            args.insert(args.end(), link.begin(), link.end());
            return args;
        };
        report("Send All", runCli(with({"send", demo})), kSendAllValues * kWriteBytes, baud);
        report("Receive All", runCli(with({"receive", "/tmp/commbench-received.M60"})), kReceiveAllValues * kReadBytes,
               baud);
        const Measured online = runCli(with({"online", "--seconds", std::to_string(onlineSeconds)}));
        long bytes = 0;
        long queries = 0;
        for (std::size_t at = online.out.find("{\"command\":"); at != std::string::npos;
             at = online.out.find("{\"command\":", at + 1)) {
            bytes += liveBytes(std::atoi(online.out.c_str() + at + 11));
            ++queries;
        }
        report("Online", online, bytes, baud);
        std::printf("  %-12s %8.1f queries/s\n", "", static_cast<double>(queries) / online.seconds);
        kill(sim.pid, SIGTERM);
        waitpid(sim.pid, nullptr, 0);
        close(sim.out);
    }
    return 0;
}
