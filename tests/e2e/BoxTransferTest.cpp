#include "SimProcess.h"

#include <gtest/gtest.h>

#include <chrono>

namespace morvex::test {
namespace {

const std::string kDemo = std::string(MORVEX_SOURCE_DIR) + "/install/DATA/Demo.M60";

class BoxTransfer : public ::testing::Test {
protected:
    BoxTransfer()
    {
        std::random_device rd;
        dir = std::filesystem::temp_directory_path() / ("morvex-e2e-" + std::to_string(rd()));
        std::filesystem::create_directories(dir);
    }
    ~BoxTransfer() override { std::filesystem::remove_all(dir); }

    std::string path(const char* name) const { return (dir / name).string(); }

    // Each run is limited to a few seconds past what it takes.
    static CommandResult cli(const std::string& args, int limitSeconds = 30)
    {
        return runCommand(std::string(MORVEX_CLI) + " " + args, limitSeconds);
    }

    // The memory a box has after loading `file` with its own reading of the
    // line-address map.
    std::vector<uint8_t> memoryOf(const std::string& file)
    {
        const std::string dump = path("loaded.hex");
        {
            SimProcess sim({"--load", file, "--dump-memory", dump});
            EXPECT_FALSE(sim.pty().empty());
            EXPECT_TRUE(sim.stop());
        }
        return readDump(dump);
    }

    // Compares two box memories where the program's tables live: the time
    // stamp, the counters and the info texts are not part of the tables.
    static void expectSameTables(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
    {
        ASSERT_EQ(a.size(), 2048u);
        ASSERT_EQ(b.size(), 2048u);
        int differences = 0;
        for (std::size_t i = 0; i < a.size(); ++i) {
            const bool notTables = (i >= 1202 && i <= 1209) || (i >= 1664 && i <= 1727);
            if (!notTables && a[i] != b[i] && ++differences <= 10) {
                ADD_FAILURE() << "line address " << i << ": " << int{a[i]} << " vs " << int{b[i]};
            }
        }
        EXPECT_EQ(differences, 0);
    }

    std::filesystem::path dir;
};

TEST_F(BoxTransfer, SendAllFillsEveryLineAddress)
{
    const std::string dump = path("sent.hex");
    {
        SimProcess sim({"--dump-memory", dump});
        ASSERT_FALSE(sim.pty().empty());
        const CommandResult send = cli("send --port " + sim.pty() + " " + kDemo);
        EXPECT_EQ(send.status, 0) << send.out;
        EXPECT_NE(send.out.find("1354/1354"), std::string::npos) << send.out;
        EXPECT_NE(send.out.find("OK ("), std::string::npos) << send.out;
        ASSERT_TRUE(sim.stop());
    }
    expectSameTables(readDump(dump), memoryOf(kDemo));
}

TEST_F(BoxTransfer, ReceiveAllBringsTheBoxTablesBack)
{
    const std::string received = path("received.M60");
    {
        SimProcess sim({"--load", kDemo});
        ASSERT_FALSE(sim.pty().empty());
        const CommandResult receive = cli("receive --port " + sim.pty() + " " + received);
        EXPECT_EQ(receive.status, 0) << receive.out;
        EXPECT_NE(receive.out.find("1346/1346"), std::string::npos) << receive.out;
        EXPECT_NE(receive.out.find("OK ("), std::string::npos);
    }
    expectSameTables(memoryOf(received), memoryOf(kDemo));
    // The fixed names whatever the box holds.
    const CommandResult dump = cli("dump " + received);
    EXPECT_NE(dump.out.find("\"TAB_TXT_SFI1\":[\"LTRH\",\"IPCS\",\"\",\"RLI\""), std::string::npos);
}

TEST_F(BoxTransfer, FaultyLineStillEndsWithIdenticalMemory)
{
    const std::vector<std::string> faults{"--wrong-echo", "0.004",     "--lose-byte", "0.003",  "--late-byte",
                                          "0.003",        "--late-ms", "120",         "--seed", "7"};
    const std::string dump = path("faulty.hex");
    {
        std::vector<std::string> options = faults;
        options.insert(options.end(), {"--dump-memory", dump});
        SimProcess sim(options);
        ASSERT_FALSE(sim.pty().empty());
        const CommandResult send = cli("send --timeout 40 --port " + sim.pty() + " " + kDemo, 60);
        EXPECT_EQ(send.status, 0) << send.out.substr(0, 2000);
        // The retries show the likely cause while they go on.
        EXPECT_TRUE(send.out.find("CABLE?") != std::string::npos || send.out.find("BAUD?") != std::string::npos);
        ASSERT_TRUE(sim.stop());
    }
    expectSameTables(readDump(dump), memoryOf(kDemo));

    const std::string received = path("faulty.M60");
    {
        std::vector<std::string> options = faults;
        options.insert(options.end(), {"--load", kDemo});
        SimProcess sim(options);
        const CommandResult receive = cli("receive --timeout 40 --port " + sim.pty() + " " + received, 60);
        EXPECT_EQ(receive.status, 0) << receive.out.substr(0, 2000);
    }
    expectSameTables(memoryOf(received), memoryOf(kDemo));
}

TEST_F(BoxTransfer, InterruptCancelsWithAClosedPort)
{
    SimProcess sim({"--baud", "4800"}); // slow enough to interrupt midway
    ASSERT_FALSE(sim.pty().empty());
    const auto started = std::chrono::steady_clock::now();
    const CommandResult receive = runCommand("timeout --preserve-status -s INT 2 " + std::string(MORVEX_CLI) +
                                             " receive --port " + sim.pty() + " " + path("never.M60"));
    EXPECT_EQ(receive.status, 1);
    EXPECT_NE(receive.out.find("Canceled"), std::string::npos) << receive.out;
    EXPECT_EQ(receive.out.find("Transmission aborted"), std::string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(8));
    EXPECT_FALSE(std::filesystem::exists(path("never.M60")));
    // The port was closed: the next command can open it at once.
    const CommandResult info = cli("info --port " + sim.pty());
    EXPECT_EQ(info.status, 0) << info.out;
}

TEST_F(BoxTransfer, MissingDeviceIsReported)
{
    const CommandResult r = cli("receive --port /dev/no-such-box " + path("x.M60"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Sorry, can't open /dev/no-such-box! Not installed? Error 2: There is no such serial device"),
              std::string::npos)
        << r.out;
}

TEST_F(BoxTransfer, OnlinePollsEveryCommandAndWritesQueuedValues)
{
    const std::string dump = path("online.hex");
    {
        SimProcess sim({"--dump-memory", dump});
        ASSERT_FALSE(sim.pty().empty());
        const auto started = std::chrono::steady_clock::now();
        const CommandResult online = cli("online --seconds 1 --set 1024=77 --set 1231=5 --port " + sim.pty());
        EXPECT_EQ(online.status, 0) << online.out.substr(0, 2000);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
        for (int command : {130, 131, 132, 133, 134, 135, 136, 137, 139, 166}) {
            EXPECT_NE(online.out.find("{\"command\":" + std::to_string(command) + ",\"raw\":"), std::string::npos)
                << command;
        }
        EXPECT_NE(online.out.find("OFFLINE"), std::string::npos);
        ASSERT_TRUE(sim.stop());
    }
    const auto memory = readDump(dump);
    ASSERT_EQ(memory.size(), 2048u);
    EXPECT_EQ(memory[1024], 77);
    EXPECT_EQ(memory[1231], 5);
}

TEST_F(BoxTransfer, InfoBlockAndDiagnostics)
{
    SimProcess sim({"--box-version", "ZB60 9.9", "--start-counter", "41"});
    ASSERT_FALSE(sim.pty().empty());
    const CommandResult info = cli("info --port " + sim.pty());
    EXPECT_EQ(info.status, 0) << info.out;
    EXPECT_NE(info.out.find("\"BoxVersion1\":\"ZB60 9.9\""), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\"Start-Counter\":42"), std::string::npos) << info.out;
    const CommandResult diag = cli("diag 160 --port " + sim.pty());
    EXPECT_EQ(diag.status, 0) << diag.out;
    EXPECT_NE(diag.out.find("{\"command\":160,\"texts\":[\""), std::string::npos) << diag.out;
}

std::size_t occurrences(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

// The box vanishes in the middle (killed, as a pulled USB adapter): the
// tool ends at once with one line naming the cause and a failure status.
TEST_F(BoxTransfer, AVanishedBoxEndsEachTransferOnceWithTheCause)
{
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string running; // output that shows the transfer is under way
    };
    const std::vector<Case> cases{
        {"receive", {"receive", path("lost.M60")}, "100/"},
        {"send", {"send", kDemo}, "100/"},
        {"online", {"online", "--seconds", "60", "--set", "1024=77"}, "\"raw\":"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimProcess sim({"--baud", "9600"});
        ASSERT_FALSE(sim.pty().empty());
        std::vector<std::string> argv{MORVEX_CLI};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        argv.insert(argv.end(), {"--port", sim.pty()});
        RunningCommand tool(argv);
        ASSERT_TRUE(tool.readUntil(c.running, std::chrono::seconds(20))) << tool.output();
        const auto killed = std::chrono::steady_clock::now();
        sim.killHard();
        const int status = tool.waitExit(std::chrono::seconds(10));
        const auto took = std::chrono::steady_clock::now() - killed;
        EXPECT_NE(status, 0);
        EXPECT_NE(status, -1) << "still running 10 s after the box vanished";
        // Normally milliseconds; the bound only catches retries and hangs.
        EXPECT_LT(took, std::chrono::seconds(3));
        const std::string after = tool.output();
        EXPECT_EQ(occurrences(after, "was lost!"), 1u) << after.substr(after.size() > 3000 ? after.size() - 3000 : 0);
        EXPECT_NE(after.find("unplugged"), std::string::npos); // gone away or I/O error, not "in use"
        EXPECT_EQ(after.find("Transmission aborted"), std::string::npos);
        EXPECT_LE(occurrences(after, "CABLE?") + occurrences(after, "HARDWARE?"), 1u);
        EXPECT_FALSE(std::filesystem::exists(path("lost.M60")));
    }
}


TEST_F(BoxTransfer, VerifyTellsWhetherTheBoxHoldsTheFile)
{
    const std::string other = path("new.M60");
    ASSERT_EQ(cli("new " + other).status, 0);
    {
        SimProcess sim({"--load", kDemo});
        ASSERT_FALSE(sim.pty().empty());
        const CommandResult same = cli("verify --what fuel --port " + sim.pty() + " " + kDemo);
        EXPECT_EQ(same.status, 0) << same.out;
        EXPECT_NE(same.out.find("identical"), std::string::npos) << same.out;
        const CommandResult differs = cli("verify --what fuel --port " + sim.pty() + " " + other);
        EXPECT_EQ(differs.status, 1) << differs.out;
        EXPECT_NE(differs.out.find("TAB_DDD_LINKS"), std::string::npos) << differs.out.substr(0, 2000);
        // Only the fuel maps were read: the other tables are the file's own.
        EXPECT_EQ(differs.out.find("TAB_DDZ_LINKS"), std::string::npos) << differs.out.substr(0, 2000);
    }
    EXPECT_EQ(cli("verify --port /dev/no-such-box " + std::string(kDemo)).status, 2);
}

} // namespace
} // namespace morvex::test
