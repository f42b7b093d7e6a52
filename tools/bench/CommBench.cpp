// Transfer speed against the simulated box, as ratios to the line limit.
//
//   CommBench [--baud N ...] [--seconds S] [--latency-us N]
//
// For each baud rate, Send All (the demo set), Receive All and S seconds of
// online mode, each through morvex-cli against a fresh morvex-boxsim paced
// at that rate. The simulator counts the bytes on the line in both
// directions (the protocol is strictly half-duplex, so their byte times add
// up) and notes when the first byte came in and when the last one ended.
// The line limit is that byte count times 10 bits at the baud rate, plus
// the emulated adapter latency before every byte the box sends.
//
// Two ratios to the line limit: "line" is the time from the first byte to
// the end of the last one, "run" the whole command from its start to its
// exit (program start, port open and close included). Also the program's
// CPU time per byte against one byte time, and the simulator's own CPU
// share (it spins the last stretch before each due byte). Last, Send All's
// messages from a bare client without the editor's code, which shows what
// the transport alone costs. Nothing here is a test.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

// What the protocol puts on the line for one value, both directions.
// Values of Send All: time stamp 8, fuel 512, functions 96 + 32, ignition
// 2 + 512, axes 5 x 32, names 4 x 64.
constexpr long kSendAllValues = 8 + 512 + 128 + 514 + 160 + 256;
constexpr long kReceiveAllValues = kSendAllValues - 8;
constexpr long kWriteBytes = 10 + 10;              // message and echoes
constexpr long kReadBytes = 7 + 7 + 1 + 3 + 3 + 1; // message, echoes, request, reply, echoes, terminator

struct Child {
    pid_t pid = -1;
    int out = -1;
};

Child spawn(const std::vector<std::string>& args)
{
    int pipeFds[2] = {-1, -1};
    if (pipe(pipeFds) != 0) {
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDERR_FILENO);
        std::vector<std::string> copy = args;
        std::vector<char*> argv;
        for (std::string& a : copy) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    return {pid, pipeFds[0]};
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

double seconds(const timeval& t)
{
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

// Waits for the child; its exit status (-1 when it did not exit) and the
// CPU time it used.
int reap(pid_t pid, double& cpu)
{
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

long long steadyNs(std::chrono::steady_clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

struct Run {
    bool ok = false;
    double runSeconds = 0;   // the command from start to exit
    double lineSeconds = 0;  // first byte in to the end of the last byte
    double startSeconds = 0; // command start to its first byte
    long bytes = 0;          // on the line, both directions, as the box counted them
    long boxBytes = 0;       // of which the box sent
    double cpu = 0;          // the command's CPU time
    double simCpu = 0;
    double lateUs = 0; // mean lateness of the box's bytes
    double lateMaxUs = 0;
    double answerUs = 0; // the program's mean turnaround as the box saw it
    std::string out;
};

// Send All's write messages from a minimal client in this process: plain
// termios, one byte written, its echo awaited with poll() and read. What
// the editor needs beyond this is its own cost; what this needs beyond the
// line limit is the transport's (the pseudo-terminal and the simulator).
bool bareSend(const std::string& device, long baud)
{
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    const speed_t speed = baud == 19200 ? B19200 : baud == 38400 ? B38400 : baud == 57600 ? B57600 : B115200;
    cfsetspeed(&t, speed);
    tcsetattr(fd, TCSANOW, &t);
    bool ok = true;
    for (long value = 0; ok && value < kSendAllValues; ++value) {
        char text[16];
        std::snprintf(text, sizeof text, "%c%03ld%03ld%03ld", 140, value / 256 % 8, value % 256, value % 256);
        for (std::size_t i = 0; ok && i < 10; ++i) {
            const auto byte = static_cast<uint8_t>(text[i]);
            uint8_t echo = 0;
            pollfd p{fd, POLLIN, 0};
            ok = write(fd, &byte, 1) == 1 && poll(&p, 1, 250) == 1 && read(fd, &echo, 1) == 1 && echo == byte;
        }
    }
    close(fd);
    return ok;
}

// One command against a fresh simulator: morvex-cli with `cli` as its
// arguments, or the bare client when `cli` is empty.
Run measure(const std::vector<std::string>& cli, long baud, long latencyUs)
{
    Run r;
    Child sim = spawn(
        {MORVEX_BOXSIM, "--baud", std::to_string(baud), "--latency-us", std::to_string(latencyUs), "--print-stats"});
    std::string first;
    char c = 0;
    while (first.find('\n') == std::string::npos && read(sim.out, &c, 1) == 1) {
        first += c;
    }
    if (first.rfind("PTY ", 0) != 0) {
        std::cerr << "the simulator did not start\n";
        return r;
    }
    const std::string device = first.substr(4, first.size() - 5);
    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    if (cli.empty()) {
        rusage before{};
        rusage after{};
        getrusage(RUSAGE_SELF, &before);
        status = bareSend(device, baud) ? 0 : 1;
        getrusage(RUSAGE_SELF, &after);
        r.cpu = seconds(after.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_utime) - seconds(before.ru_stime);
    } else {
        std::vector<std::string> args = cli;
        args.insert(args.end(), {"--port", device, "--baud", std::to_string(baud)});
        Child command = spawn(args);
        r.out = readAll(command.out);
        close(command.out);
        status = reap(command.pid, r.cpu);
    }
    r.runSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    kill(sim.pid, SIGTERM);
    const std::string stats = readAll(sim.out);
    close(sim.out);
    reap(sim.pid, r.simCpu);
    const auto at = stats.find("STATS ");
    if (at == std::string::npos) {
        std::cerr << "the simulator gave no statistics\n";
        return r;
    }
    std::istringstream in(stats.substr(at));
    std::string word;
    long received = 0;
    long sent = 0;
    long long firstNs = 0;
    long long lastNs = 0;
    long long lateNs = 0;
    long long lateMaxNs = 0;
    long long answerNs = 0;
    in >> word >> word >> received >> word >> sent >> word >> firstNs >> word >> lastNs >> word >> lateNs >> word >>
        lateMaxNs >> word >> answerNs;
    r.lateUs = static_cast<double>(lateNs) * 1e-3;
    r.lateMaxUs = static_cast<double>(lateMaxNs) * 1e-3;
    r.answerUs = static_cast<double>(answerNs) * 1e-3;
    r.bytes = received + sent;
    r.boxBytes = sent;
    r.lineSeconds = static_cast<double>(lastNs - firstNs) * 1e-9;
    r.startSeconds = static_cast<double>(firstNs - steadyNs(start)) * 1e-9;
    r.ok = status == 0 && in && r.bytes > 0;
    return r;
}

void report(const char* what, const Run& r, long expectedBytes, long baud, long latencyUs)
{
    const double byteTime = 10.0 / static_cast<double>(baud);
    const double limit = static_cast<double>(r.bytes) * byteTime +
                         static_cast<double>(r.boxBytes) * static_cast<double>(latencyUs) * 1e-6;
    std::printf("  %-11s line %7.3f s  run %7.3f s (first byte after %5.3f s)  %6ld bytes", what, r.lineSeconds,
                r.runSeconds, r.startSeconds, r.bytes);
    if (expectedBytes > 0 && expectedBytes != r.bytes) {
        std::printf(" (protocol: %ld)", expectedBytes);
    }
    std::printf(
        "  limit %7.3f s  ratio line %5.3f run %5.3f  CPU/byte %5.1f us (byte time %5.1f us)  box CPU %3.0f %%%s\n",
        limit, r.lineSeconds / limit, r.runSeconds / limit, r.cpu / static_cast<double>(r.bytes) * 1e6, byteTime * 1e6,
        r.simCpu / r.runSeconds * 100.0, r.ok ? "" : "  FAILED");
    std::printf("  %-11s per byte of the box: written %.1f us late (max %.0f us), program's turnaround %.1f us\n", "",
                r.lateUs, r.lateMaxUs, r.answerUs);
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<long> bauds;
    double onlineSeconds = 3.0;
    long latencyUs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--baud" && i + 1 < argc) {
            bauds.push_back(std::atol(argv[++i]));
        } else if (arg == "--seconds" && i + 1 < argc) {
            onlineSeconds = std::atof(argv[++i]);
        } else if (arg == "--latency-us" && i + 1 < argc) {
            latencyUs = std::atol(argv[++i]);
        } else {
            std::cerr << "usage: CommBench [--baud N ...] [--seconds S] [--latency-us N]\n";
            return 2;
        }
    }
    if (bauds.empty()) {
        bauds = {19200, 115200};
    }
    const std::string cli = MORVEX_CLI;
    const std::string demo = std::string(MORVEX_SOURCE_DIR) + "/install/DATA/Demo.M60";
    for (const long baud : bauds) {
        if (baud <= 0) {
            std::cerr << "the baud rate must be positive\n";
            return 2;
        }
        std::printf("%ld baud%s\n", baud,
                    latencyUs > 0 ? (", adapter latency " + std::to_string(latencyUs) + " us").c_str() : "");
        report("Send All", measure({cli, "send", demo}, baud, latencyUs), kSendAllValues * kWriteBytes, baud,
               latencyUs);
        report("Receive All", measure({cli, "receive", "/tmp/commbench-received.M60"}, baud, latencyUs),
               kReceiveAllValues * kReadBytes, baud, latencyUs);
        const Run online = measure({cli, "online", "--seconds", std::to_string(onlineSeconds)}, baud, latencyUs);
        report("Online", online, 0, baud, latencyUs);
        long queries = 0;
        for (std::size_t at = online.out.find("{\"command\":"); at != std::string::npos;
             at = online.out.find("{\"command\":", at + 1)) {
            ++queries;
        }
        std::printf("  %-11s %.1f queries/s\n", "", static_cast<double>(queries) / online.lineSeconds);
        report("Bare send", measure({}, baud, latencyUs), kSendAllValues * kWriteBytes, baud, latencyUs);
    }
    return 0;
}
