// The simulator as a process: its pseudo-terminal opened with plain POSIX
// calls, as any serial program would.

#include "document/AppCore.h"
#include "document/DataFile.h"
#include "document/MorvexDoc.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;

// The simulator as a child process with pipes on stdin and stdout.
class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& args)
    {
        int in[2];
        int out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        std::vector<std::string> all{MORVEX_BOXSIM};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, MORVEX_BOXSIM, &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        stdin_ = in[1];
        stdout_ = out[0];
    }

    ~SimProcess()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        closeStdin();
        if (stdout_ >= 0) {
            ::close(stdout_);
        }
    }

    bool started() const { return pid_ > 0; }

    // The next line of stdout, within `timeout` (empty if none came).
    std::string readLine(std::chrono::milliseconds timeout)
    {
        std::string line;
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (line.find('\n') == std::string::npos) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            pollfd p{stdout_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                return {};
            }
            char c = 0;
            if (::read(stdout_, &c, 1) != 1) {
                return {};
            }
            line += c;
        }
        line.pop_back();
        return line;
    }

    // Everything on stdout after the first line, up to its end (call after
    // the process ended).
    std::string rest()
    {
        std::string text;
        char buffer[256];
        ssize_t n = 0;
        while ((n = ::read(stdout_, buffer, sizeof buffer)) > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        }
        return text;
    }

    bool writeLine(const std::string& line)
    {
        const std::string bytes = line + '\n';
        return ::write(stdin_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // A control command and its answer line.
    std::string command(const std::string& line) { return writeLine(line) ? readLine(5s) : std::string(); }

    void closeStdin()
    {
        if (stdin_ >= 0) {
            ::close(stdin_);
            stdin_ = -1;
        }
    }

    // Exit status after `signal` (0: none sent), or nullopt if the process
    // did not end within `timeout` (it is killed then).
    std::optional<int> stop(int signal, std::chrono::milliseconds timeout)
    {
        if (signal != 0) {
            ::kill(pid_, signal);
        }
        const auto end = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        while (std::chrono::steady_clock::now() < end) {
            const pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(10ms);
        }
        return std::nullopt;
    }

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
};

// The program's side: a raw serial port on the slave.
class Port {
public:
    explicit Port(const std::string& path)
    {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) {
            return;
        }
        termios t{};
        ::tcgetattr(fd_, &t);
        ::cfmakeraw(&t);
        ::cfsetspeed(&t, B115200);
        ::tcsetattr(fd_, TCSANOW, &t);
    }
    ~Port()
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    bool isOpen() const { return fd_ >= 0; }

    bool put(uint8_t b) { return ::write(fd_, &b, 1) == 1; }

    // Sends `b` and waits for its echo; the time from the write to the echo,
    // or nothing when the echo did not come or was another byte.
    std::optional<std::chrono::nanoseconds> echoTime(uint8_t b)
    {
        const auto start = std::chrono::steady_clock::now();
        if (!put(b) || take() != b) {
            return std::nullopt;
        }
        return std::chrono::steady_clock::now() - start;
    }

    std::optional<uint8_t> take(std::chrono::milliseconds timeout = 1000ms)
    {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) {
            return std::nullopt;
        }
        uint8_t b = 0;
        if (::read(fd_, &b, 1) != 1) {
            return std::nullopt;
        }
        return b;
    }

    bool message(const std::string& bytes)
    {
        for (const char c : bytes) {
            const auto b = static_cast<uint8_t>(c);
            if (!put(b) || take() != b) {
                return false;
            }
        }
        return true;
    }

    std::optional<std::string> reply(uint8_t command, std::size_t n)
    {
        if (!put(0xFF)) {
            return std::nullopt;
        }
        std::string text;
        for (std::size_t i = 0; i < n; ++i) {
            const std::optional<uint8_t> b = take();
            if (!b || !put(*b)) {
                return std::nullopt;
            }
            text += static_cast<char>(*b);
        }
        if (take() != command) {
            return std::nullopt;
        }
        return text;
    }

private:
    int fd_ = -1;
};

std::string slavePath(SimProcess& sim)
{
    const std::string line = sim.readLine(10s);
    if (line.rfind("PTY /dev/", 0) != 0) {
        ADD_FAILURE() << "first line: \"" << line << "\"";
        return {};
    }
    return line.substr(4);
}

class BoxSimPty : public ::testing::Test {
protected:
    BoxSimPty()
    {
        std::random_device rd;
        dir = std::filesystem::temp_directory_path() / ("morvex-boxsim-" + std::to_string(rd()));
        std::filesystem::create_directories(dir);
    }
    ~BoxSimPty() override { std::filesystem::remove_all(dir); }
    std::filesystem::path dir;
};

TEST_F(BoxSimPty, WorkedExchangeOverThePseudoTerminal)
{
    const std::filesystem::path dump = dir / "memory.hex";
    SimProcess sim({"--baud", "115200", "--dump-memory", dump.string()});
    ASSERT_TRUE(sim.started());
    const std::string path = slavePath(sim);
    ASSERT_FALSE(path.empty());
    {
        Port port(path);
        ASSERT_TRUE(port.isOpen());
        ASSERT_TRUE(port.message("\x8C"
                                 "004000037"));
        ASSERT_TRUE(port.message("\x90"
                                 "004000"));
        EXPECT_EQ(port.reply(0x90, 3), "037");
    }
    // The port closed and opened again: the box is still there.
    {
        Port port(path);
        ASSERT_TRUE(port.isOpen());
        ASSERT_TRUE(port.message("\x90"
                                 "004000"));
        EXPECT_EQ(port.reply(0x90, 3), "037");
        ASSERT_TRUE(port.message("\x9E"));
        EXPECT_EQ(port.reply(0x9E, 8), "ZB60 2.1");
    }
    EXPECT_EQ(sim.stop(SIGTERM, 5000ms), 0);
    std::ifstream in(dump);
    std::stringstream text;
    text << in.rdbuf();
    std::string hex;
    for (const char c : text.str()) {
        if (c != '\n') {
            hex += c;
        }
    }
    ASSERT_EQ(hex.size(), 4096u);
    EXPECT_EQ(hex.substr(2 * 1024, 2), "25");
}

// The benchmark measures the editor against this pacing, so the box must
// never be faster than the line: an echo takes the byte's time in and the
// echo's time out, plus the adapter latency. Only lower bounds are checked;
// how much later the echo comes depends on the machine.
TEST_F(BoxSimPty, EchoesNeverComeFasterThanTheLineAllowsAndAreCounted)
{
    using std::chrono::nanoseconds;
    const nanoseconds byteTime(10'000'000'000LL / 9600);
    const std::string message = "\x8C"
                                "004000037";
    for (const long latencyUs : {0L, 3000L}) {
        SCOPED_TRACE(latencyUs);
        SimProcess sim({"--baud", "9600", "--latency-us", std::to_string(latencyUs), "--print-stats"});
        ASSERT_TRUE(sim.started());
        const std::string path = slavePath(sim);
        ASSERT_FALSE(path.empty());
        const auto start = std::chrono::steady_clock::now();
        {
            Port port(path);
            ASSERT_TRUE(port.isOpen());
            for (const char c : message) {
                const std::optional<nanoseconds> t = port.echoTime(static_cast<uint8_t>(c));
                ASSERT_TRUE(t.has_value());
                EXPECT_GE(*t, 2 * byteTime + std::chrono::microseconds(latencyUs));
            }
            // A byte in idle state that the box does not know: on the line,
            // but not echoed.
            ASSERT_TRUE(port.put(0x20));
            EXPECT_EQ(port.take(50ms), std::nullopt);
        }
        const auto end = std::chrono::steady_clock::now();
        ASSERT_EQ(sim.stop(SIGTERM, 5000ms), 0);

        // "STATS received R sent S first F last L ...", times on this
        // process's steady clock.
        std::istringstream stats(sim.rest());
        std::string word;
        long long received = 0;
        long long sent = 0;
        long long first = 0;
        long long last = 0;
        stats >> word;
        ASSERT_EQ(word, "STATS");
        stats >> word >> received >> word >> sent >> word >> first >> word >> last;
        ASSERT_TRUE(stats);
        EXPECT_EQ(received, 11);
        EXPECT_EQ(sent, 10);
        const auto steady = [](std::chrono::steady_clock::time_point t) {
            return std::chrono::duration_cast<nanoseconds>(t.time_since_epoch()).count();
        };
        EXPECT_GE(first, steady(start));
        EXPECT_LE(first, last);
        // The stray byte ends the line's activity one byte time after it
        // came in; the message took 20 byte times and 10 turnarounds.
        EXPECT_GE(last - first, (20 * byteTime + 10 * std::chrono::microseconds(latencyUs)).count());
        EXPECT_LE(last, steady(end));
    }
}

TEST_F(BoxSimPty, EndOfStandardInputEndsItWhenAskedTo)
{
    SimProcess sim({"--exit-on-stdin-eof"});
    ASSERT_TRUE(sim.started());
    ASSERT_FALSE(slavePath(sim).empty());
    EXPECT_EQ(sim.stop(0, 200ms), std::nullopt); // still serving
    sim.closeStdin();
    EXPECT_EQ(sim.stop(0, 5000ms), 0);
}

TEST_F(BoxSimPty, ControlCommandsOnStandardInputChangeWhatTheBoxReports)
{
    SimProcess sim({"--control-stdin", "--baud", "115200"});
    ASSERT_TRUE(sim.started());
    const std::string path = slavePath(sim);
    ASSERT_FALSE(path.empty());
    // Commands before the port is opened are served as well.
    EXPECT_EQ(sim.command("poke 1218 5"), "OK");
    EXPECT_EQ(sim.command("peek 1218"), "OK 5");
    {
        Port port(path);
        ASSERT_TRUE(port.isOpen());
        ASSERT_TRUE(port.message("\xA6"));
        EXPECT_EQ(port.reply(0xA6, 2), "05");
        // While the port is open, between the program's exchanges.
        EXPECT_EQ(sim.command("poke 1218 12"), "OK");
        ASSERT_TRUE(port.message("\xA6"));
        EXPECT_EQ(port.reply(0xA6, 2), "12");
        EXPECT_EQ(sim.command("peek 1216 4"), "OK 0 0 12 0");
        // A byte the program wrote over the line, seen by peek.
        ASSERT_TRUE(port.message("\x8C"
                                 "004000037"));
        EXPECT_EQ(sim.command("peek 1024"), "OK 37");
        EXPECT_EQ(sim.command("poke 1218 300").rfind("ERR ", 0), 0u);
        EXPECT_EQ(sim.command("peek 1218"), "OK 12");
        EXPECT_EQ(sim.command("hold throttle-index 3"), "OK");
        ASSERT_TRUE(port.message("\x83"));
        const std::optional<std::string> throttle = port.reply(0x83, 8);
        ASSERT_TRUE(throttle);
        EXPECT_EQ(throttle->substr(6), "03");
    }
    // The end of standard input still ends the simulator.
    sim.closeStdin();
    EXPECT_EQ(sim.stop(0, 5000ms), 0);
    EXPECT_EQ(sim.rest(), "");
}

TEST_F(BoxSimPty, LoadsAndSavesTheDataFile)
{
    const std::filesystem::path demo = std::filesystem::path(MORVEX_PROGRAM_DIR) / "DATA" / "Demo.M60";
    const std::filesystem::path saved = dir / "saved.M60";
    SimProcess sim({"--load", demo.string(), "--save", saved.string()});
    ASSERT_TRUE(sim.started());
    const std::string path = slavePath(sim);
    ASSERT_FALSE(path.empty());

    morvex::CAppCore core;
    std::string message;
    ASSERT_TRUE(core.Start(MORVEX_PROGRAM_DIR, "en", message)) << message;
    morvex::CMorvexDoc expected(core.adapt(), core.limits(), core.info(), core.paths().premapFile());
    ASSERT_TRUE(morvex::OpenDataFile(expected, demo).ok);
    const uint16_t dki0 = expected.GetWord(morvex::box::TAB_DKI, 0);
    {
        Port port(path);
        ASSERT_TRUE(port.isOpen());
        // TAB_DKI word 0 lies at the end of the box's reversed axis: 1470.
        ASSERT_TRUE(port.message("\x90"
                                 "005190"));
        EXPECT_EQ(port.reply(0x90, 3), std::to_string(1000 + (dki0 >> 8)).substr(1));
        ASSERT_TRUE(port.message("\x90"
                                 "005191"));
        EXPECT_EQ(port.reply(0x90, 3), std::to_string(1000 + (dki0 & 0xFF)).substr(1));
        // TAB_MTD byte 0 becomes 99.
        ASSERT_TRUE(port.message("\x8C"
                                 "004000099"));
    }
    ASSERT_EQ(sim.stop(SIGTERM, 5000ms), 0);

    morvex::CMorvexDoc doc(core.adapt(), core.limits(), core.info(), core.paths().premapFile());
    ASSERT_TRUE(morvex::OpenDataFile(doc, saved).ok);
    EXPECT_EQ(doc.GetBoxData(morvex::box::TAB_MTD)[0], 99);
    expected.GetBoxData(morvex::box::TAB_MTD)[0] = 99;
    const auto image = [](const morvex::CMorvexDoc& d) {
        const auto span = d.BoxSpan(0, 0x0CC0); // the tables, before the recorded data
        return std::vector<uint8_t>(span.begin(), span.end());
    };
    EXPECT_EQ(image(doc), image(expected));
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(doc.Text(morvex::TextTable::SFI1, i), expected.Text(morvex::TextTable::SFI1, i)) << i;
    }
}

} // namespace
