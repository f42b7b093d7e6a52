// morvex-boxsim: a simulated Zamo-Box on a pseudo-terminal, for trying the
// editor without a bike and for the end-to-end tests.

#include "tools/boxsim/BoxImage.h"
#include "tools/boxsim/BoxSim.h"
#include "tools/boxsim/PtyLine.h"
#include "tools/boxsim/Serve.h"

#include "document/AppCore.h"
#include "document/DataFile.h"
#include "document/MorvexDoc.h"
#include "platform/Log.h"
#include "platform/OleDate.h"
#include "platform/ProgramFolder.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <sys/prctl.h>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void printUsage(std::FILE* to)
{
    std::fputs("usage: morvex-boxsim [options]\n"
               "\n"
               "Opens a pseudo-terminal, prints \"PTY <slave path>\" as the first line on stdout\n"
               "and plays a Zamo-Box on it until SIGTERM, SIGINT or SIGHUP (or, with\n"
               "--exit-on-stdin-eof or --control-stdin, the end of standard input). The program\n"
               "under test may close and reopen the port as often as it likes.\n"
               "\n"
               "options:\n"
               "  --baud N             emulated line speed: every byte takes 10 bits at N baud, in\n"
               "                       both directions (default 0: no pacing)\n"
               "  --latency-us N       extra turnaround before every byte the box sends (default 0)\n"
               "  --wrong-echo P       probability that a byte the box sends arrives with one bit\n"
               "                       flipped (0..1, default 0)\n"
               "  --lose-byte P        probability that a byte the box sends is lost\n"
               "  --late-byte P        probability that a byte the box sends is held back by\n"
               "                       --late-ms (default 400 ms, beyond the program's time-out)\n"
               "  --late-ms N          delay of a late byte\n"
               "  --echo-timeout-ms N  how long the box waits for the echo of a reply byte\n"
               "                       (default 250)\n"
               "  --seed S             seed of the engine model and the faults (default 1)\n"
               "  --box-version TEXT   reply to the box version query, at most 8 characters\n"
               "                       (default \"ZB60 2.1\")\n"
               "  --ie-counter N       IE counter at start (default 0)\n"
               "  --start-counter N    start counter before this start (default 0)\n"
               "  --load FILE.M60      take the box's tables and names from a data file\n"
               "  --save FILE.M60      write the box's tables and names into a data file on exit\n"
               "                       (the parts the box does not hold from --load, or defaults)\n"
               "  --dump-memory FILE   write the 2048 bytes of box memory on exit: lower-case hex,\n"
               "                       line n holds the line addresses 32n .. 32n+31\n"
               "  --program-dir DIR    installation for --load/--save (default: this program's folder)\n"
               "  --exit-on-stdin-eof  also stop at the end of standard input\n"
               "  --control-stdin      read control commands from standard input, one per line\n"
               "                       (see below); implies --exit-on-stdin-eof\n"
               "  --print-stats        on exit print \"STATS received R sent S first F last L late T\n"
               "                       late-max M answer A\" on stdout: the bytes in each direction,\n"
               "                       when the first byte came in and when the last byte ended on\n"
               "                       the line (steady clock), how late the box wrote its bytes\n"
               "                       (mean, max) and the program's mean turnaround (all in ns)\n"
               "                       and a second line \"FAULTS wrong W lost L late T\": the bytes\n"
               "                       sent with a flipped bit, lost and held back\n"
               "  --verbose            log every exchange and ignored byte to stderr\n"
               "\n"
               "Control commands (--control-stdin). Each line gets exactly one answer line on\n"
               "stdout, after the PTY line, flushed at once: \"OK ...\" or \"ERR <reason>\"; a\n"
               "command that is not understood changes nothing. Numbers are decimal.\n"
               "  poke <address> <value>   set one byte of box memory (line address 0..2047,\n"
               "                           value 0..255); answers \"OK\"\n"
               "  peek <address> [count]   answers \"OK <v1> <v2> ...\": count bytes from the line\n"
               "                           address (default 1, at most 2048 - address)\n"
               "  hold <quantity> <value>  hold a quantity of the engine model at a value; the\n"
               "                           model runs on for the rest; answers \"OK\"\n"
               "  release [<quantity>]     release one quantity (none: all); answers \"OK\"\n"
               "  help                     answers \"OK <summary of the commands>\"\n"
               "Quantities:\n"
               "  rpm-index, throttle-index, engine-temp-index, air-temp-index,\n"
               "  air-pressure-index       a point 0..15 of the box's own axis (DZI, DKI, MTI,\n"
               "                           LTI, LDI), counted as the words lie in box memory: the\n"
               "                           sensor is held at that axis word, and live values\n"
               "                           130..134 report the word and exactly that index\n"
               "  lambda-left, lambda-right  sensor millivolts 0..5000 (live values 135, 136)\n"
               "  injection-us             injection time in microseconds 0..71000 (live value\n"
               "                           139)\n"
               "For example \"poke 1218 5\" makes live value 166 (ignition map) report 05.\n"
               "\n"
               "Exit status: 0 normal end, 1 failure (message on stderr), 2 usage error.\n",
               to);
}

const platform::LogCategory& log()
{
    static const platform::LogCategory category("morvex.boxsim");
    return category;
}

template <typename T> bool parseInteger(std::string_view text, T& value)
{
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool parseProbability(std::string_view text, double& value)
{
    const std::string s(text);
    char* end = nullptr;
    value = std::strtod(s.c_str(), &end);
    return !s.empty() && end == s.c_str() + s.size() && value >= 0.0 && value <= 1.0;
}

struct Settings {
    boxsim::Options sim;
    uint32_t ieCounter = 0;
    uint32_t startCounter = 0;
    std::optional<std::filesystem::path> load;
    std::optional<std::filesystem::path> save;
    std::optional<std::filesystem::path> dump;
    std::filesystem::path programDir;
    bool exitOnStdinEof = false;
    bool controlStdin = false;
    bool verbose = false;
    bool printStats = false;
};

// Returns false on a usage error (with the message printed).
bool parseArguments(int argc, char** argv, Settings& s, bool& help)
{
    auto bad = [](const std::string& message) {
        std::fprintf(stderr, "morvex-boxsim: %s\n", message.c_str());
        return false;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            help = true;
            return true;
        }
        if (arg == "--exit-on-stdin-eof") {
            s.exitOnStdinEof = true;
            continue;
        }
        if (arg == "--control-stdin") {
            s.controlStdin = true;
            continue;
        }
        if (arg == "--verbose") {
            s.verbose = true;
            continue;
        }
        if (arg == "--print-stats") {
            s.printStats = true;
            continue;
        }
        if (i + 1 >= argc) {
            return bad("unknown option or missing value: " + std::string(arg));
        }
        const std::string_view value = argv[++i];
        int64_t n = 0;
        const auto number = [&](int64_t max) { return parseInteger(value, n) && n >= 0 && n <= max; };
        if (arg == "--baud") {
            if (!number(10'000'000)) {
                return bad("--baud wants a whole number");
            }
            s.sim.baud = static_cast<uint32_t>(n);
        } else if (arg == "--latency-us") {
            if (!number(10'000'000)) {
                return bad("--latency-us wants a whole number of microseconds");
            }
            s.sim.latency = std::chrono::microseconds(n);
        } else if (arg == "--wrong-echo" || arg == "--lose-byte" || arg == "--late-byte") {
            double p = 0.0;
            if (!parseProbability(value, p)) {
                return bad(std::string(arg) + " wants a probability from 0 to 1");
            }
            (arg == "--wrong-echo" ? s.sim.wrongByte : arg == "--lose-byte" ? s.sim.loseByte : s.sim.lateByte) = p;
        } else if (arg == "--late-ms" || arg == "--echo-timeout-ms") {
            if (!number(600'000)) {
                return bad(std::string(arg) + " wants a whole number of milliseconds");
            }
            (arg == "--late-ms" ? s.sim.lateDelay : s.sim.echoTimeout) = std::chrono::milliseconds(n);
        } else if (arg == "--seed") {
            if (!parseInteger(value, s.sim.seed)) {
                return bad("--seed wants a whole number");
            }
        } else if (arg == "--box-version") {
            if (value.size() > 8) {
                return bad("--box-version is at most 8 characters");
            }
            s.sim.boxVersion = value;
        } else if (arg == "--ie-counter" || arg == "--start-counter") {
            if (!number(0xFFFFFFFF)) {
                return bad(std::string(arg) + " wants a 32-bit whole number");
            }
            (arg == "--ie-counter" ? s.ieCounter : s.startCounter) = static_cast<uint32_t>(n);
        } else if (arg == "--load") {
            s.load = value;
        } else if (arg == "--save") {
            s.save = value;
        } else if (arg == "--dump-memory") {
            s.dump = value;
        } else if (arg == "--program-dir") {
            s.programDir = value;
        } else {
            return bad("unknown option: " + std::string(arg));
        }
    }
    if (s.sim.wrongByte + s.sim.loseByte + s.sim.lateByte > 1.0) {
        return bad("the fault probabilities add up to more than 1");
    }
    return true;
}

// Debug output of this tool's category is what --verbose turns on.
void enableVerboseLog()
{
    const char* current = std::getenv("MORVEX_LOG");
    std::string list = current != nullptr ? current : "";
    if (list != "*") {
        list += list.empty() ? "morvex.boxsim" : ",morvex.boxsim";
        ::setenv("MORVEX_LOG", list.c_str(), 1);
    }
}

} // namespace

int main(int argc, char** argv)
{
    boxsim::BlockStopSignals();
    Settings settings;
    bool help = false;
    if (!parseArguments(argc, argv, settings, help)) {
        printUsage(stderr);
        return kExitUsage;
    }
    if (help) {
        printUsage(stdout);
        return kExitOk;
    }
    if (settings.verbose) {
        enableVerboseLog();
    }

    boxsim::BoxMemory memory = boxsim::BoxMemory::factoryDefaults();
    memory.setCounter(boxsim::line::IeCounter, settings.ieCounter);
    memory.setCounter(boxsim::line::StartCounter, settings.startCounter);

    // The data file goes through the editor's own document code.
    morvex::CAppCore core;
    std::unique_ptr<morvex::CMorvexDoc> doc;
    if (settings.load || settings.save) {
        const std::filesystem::path dir = settings.programDir.empty() ? platform::programFolder() : settings.programDir;
        std::string message;
        if (!core.Start(dir, "en", message)) {
            std::fprintf(stderr, "morvex-boxsim: %s\n", message.c_str());
            return kExitFailure;
        }
        doc = std::make_unique<morvex::CMorvexDoc>(core.adapt(), core.limits(), core.info(), core.paths().premapFile());
        if (settings.load) {
            const morvex::FileOutcome outcome = morvex::OpenDataFile(*doc, *settings.load);
            if (!outcome.ok) {
                std::fprintf(stderr, "morvex-boxsim: %s\n", outcome.message.c_str());
                return kExitFailure;
            }
            boxsim::LoadFromDocument(*doc, memory);
        } else {
            doc->OnNewDocument();
        }
    }

    boxsim::PtyLine pty;
    std::string error;
    const boxsim::StdinUse stdinUse = settings.controlStdin     ? boxsim::StdinUse::Control
                                      : settings.exitOnStdinEof ? boxsim::StdinUse::StopAtEof
                                                                : boxsim::StdinUse::Ignore;
    if (!pty.open(stdinUse, error)) {
        std::fprintf(stderr, "morvex-boxsim: %s\n", error.c_str());
        return kExitFailure;
    }
    // Byte times at 115200 baud are under 100 us: wake up when asked to.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

    boxsim::BoxSim sim(settings.sim, memory);
    std::printf("PTY %s\n", pty.slavePath().c_str());
    std::fflush(stdout);

    boxsim::ServeTiming timing;
    boxsim::Serve(sim, pty, settings.printStats ? &timing : nullptr);
    sim.advance(pty.now());

    const boxsim::Stats& st = sim.stats();
    log().debug("received " + std::to_string(st.received) + ", sent " + std::to_string(st.sent) + ", writes " +
                std::to_string(st.writes) + ", replies " + std::to_string(st.replies) + ", abandoned replies " +
                std::to_string(st.abandonedReplies) + ", faults " +
                std::to_string(st.wrongBytes + st.lostBytes + st.lateBytes));
    if (settings.printStats) {
        // Both times on the steady clock, so that a benchmark can set them
        // against its own; without any byte both are the start.
        const auto steady = [&](boxsim::Nanos t) {
            return static_cast<long long>(
                std::chrono::duration_cast<std::chrono::nanoseconds>(pty.start().time_since_epoch() + t).count());
        };
        const auto mean = [](boxsim::Nanos sum, uint64_t n) {
            return n == 0 ? 0LL : static_cast<long long>(sum.count() / static_cast<int64_t>(n));
        };
        std::printf("STATS received %llu sent %llu first %lld last %lld late %lld late-max %lld answer %lld\n",
                    static_cast<unsigned long long>(st.received), static_cast<unsigned long long>(st.sent),
                    steady(st.firstIn.value_or(boxsim::Nanos(0))), steady(st.lastOnLine),
                    mean(timing.lateness, timing.written), static_cast<long long>(timing.maxLateness.count()),
                    mean(timing.answerTime, timing.answers));
        std::printf("FAULTS wrong %llu lost %llu late %llu\n", static_cast<unsigned long long>(st.wrongBytes),
                    static_cast<unsigned long long>(st.lostBytes), static_cast<unsigned long long>(st.lateBytes));
        std::fflush(stdout);
    }

    int status = kExitOk;
    if (settings.save) {
        boxsim::StoreIntoDocument(sim.memory(), *doc);
        std::error_code ec;
        const bool inPlace = std::filesystem::exists(*settings.save, ec);
        const morvex::FileOutcome outcome =
            morvex::SaveDataFile(*doc, *settings.save, inPlace, platform::OleDateTime::now());
        if (!outcome.ok) {
            std::fprintf(stderr, "morvex-boxsim: %s\n", outcome.message.c_str());
            status = kExitFailure;
        }
    }
    if (settings.dump) {
        std::ofstream out(*settings.dump, std::ios::binary | std::ios::trunc);
        out << sim.memory().hexDump();
        if (!out.flush()) {
            std::fprintf(stderr, "morvex-boxsim: cannot write %s\n", settings.dump->c_str());
            status = kExitFailure;
        }
    }
    return status;
}
