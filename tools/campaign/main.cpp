// morvex-campaign: the fault campaign of the box link, run by hand (not in
// CI). Against the simulated box with injected faults it repeats Send All,
// an online session with edits and Receive All, and compares the box's
// memory with the documents after each; then it kills the simulator at a
// random byte of each kind of transfer and the editor's save at a random
// moment, and prints what came of it.

#include "tools/campaign/Campaign.h"
#include "tools/campaign/SaveKill.h"

#include "document/AppCore.h"
#include "document/MorvexDoc.h"
#include "platform/NumberFormat.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using campaign::Clock;

constexpr int kExitClean = 0;
constexpr int kExitFindings = 1;
constexpr int kExitUsage = 2;
// What a vanished device must come to: the end within a second, with one
// port error and the line closed.
constexpr auto kKillEndLimit = std::chrono::seconds(1);

void printUsage(std::FILE* to)
{
    std::fputs("usage: morvex-campaign [options]\n"
               "\n"
               "  --minutes M        soak time: Send All / online / Receive All cycles against\n"
               "                     injected faults (default 30; 0 skips the soak; the cycle under\n"
               "                     way is finished)\n"
               "  --fault-rate P     probability of each fault kind per byte the box sends: wrong\n"
               "                     echo, lost byte, late byte (default 0.02)\n"
               "  --seed S           seed of documents, faults and kill points (default 1)\n"
               "  --baud N           line speed of the simulated box (default 19200)\n"
               "  --online-seconds S length of each online session (default 15)\n"
               "  --lanes N          soak cycles side by side, each against its own simulator\n"
               "                     (default 3)\n"
               "  --kills N          simulator kills per transfer kind (default 10)\n"
               "  --save-kills N     kills of the editor's save (default 200)\n"
               "  --work-dir DIR     where the memory dumps and saved files go (default: a new\n"
               "                     folder in /tmp)\n"
               "\n"
               "Exit status: 0 nothing lost and every kill handled, 1 findings (see the summary),\n"
               "2 usage error or set-up failure.\n",
               to);
}

bool parseNumber(std::string_view text, double& value)
{
    const std::string s(text);
    char* end = nullptr;
    value = std::strtod(s.c_str(), &end);
    return !s.empty() && end == s.c_str() + s.size() && value >= 0.0;
}

bool parseArguments(int argc, char** argv, campaign::Settings& s)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view arg = argv[i];
        double v = 0.0;
        if (!parseNumber(argv[i + 1], v) && arg != "--work-dir") {
            return false;
        }
        if (arg == "--minutes") {
            s.soak = std::chrono::seconds(static_cast<long>(v * 60.0));
        } else if (arg == "--fault-rate" && v <= 1.0 / 3.0) {
            s.faultRate = v;
        } else if (arg == "--seed") {
            s.seed = static_cast<uint32_t>(v);
        } else if (arg == "--baud" && v >= 1.0) {
            s.baud = static_cast<uint32_t>(v);
        } else if (arg == "--online-seconds") {
            s.onlineSession = std::chrono::seconds(static_cast<long>(v));
        } else if (arg == "--lanes" && v >= 1.0) {
            s.lanes = static_cast<int>(v);
        } else if (arg == "--kills") {
            s.killsPerKind = static_cast<int>(v);
        } else if (arg == "--save-kills") {
            s.saveKills = static_cast<int>(v);
        } else if (arg == "--work-dir") {
            s.workDir = argv[i + 1];
        } else {
            return false;
        }
    }
    return argc % 2 == 1;
}

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

std::string count(const campaign::OperationCount& c)
{
    return std::to_string(c.run) + " (done " + std::to_string(c.done) + ", aborted " + std::to_string(c.aborted) +
           ", did not end " + std::to_string(c.limited) + "; values failed and tried again " +
           std::to_string(c.valueFailures) + "; mean " +
           platform::formatFixed(c.run == 0 ? 0.0 : seconds(c.time) / c.run, 1) + " s)";
}

std::string compared(const campaign::Comparison& c)
{
    std::string text = std::to_string(c.compared) + " bytes compared, " + std::to_string(c.differing) + " differing";
    if (c.firstDifference) {
        text += " (first at line address " + std::to_string(*c.firstDifference) + ")";
    }
    return text;
}

// Prints the soak's numbers; returns the bytes lost after transfers that
// reported success.
uint64_t printSoak(const campaign::Settings& s, const campaign::SoakTotals& t)
{
    std::printf("== soak: %d cycles in %s min (%d lanes), fault rate %s %% of each kind, seed %u, %u baud\n", t.cycles,
                platform::formatFixed(static_cast<double>(s.soak.count()) / 60.0, 1).c_str(), s.lanes,
                platform::formatFixed(s.faultRate * 100.0, 1).c_str(), s.seed, s.baud);
    std::printf("Send All     %s\n", count(t.sendAll).c_str());
    std::printf("online       %s\n", count(t.online).c_str());
    std::printf("Receive All  %s\n", count(t.receiveAll).c_str());
    std::printf("live values %d; values edited online %d, reported as not sent %d\n", t.liveValues, t.onlineWrites,
                t.onlineWritesPending);
    std::printf("faults injected: %llu wrong echo, %llu lost, %llu late = %llu of %llu bytes the box sent "
                "(%llu bytes received by it)%s\n",
                static_cast<unsigned long long>(t.sim.wrongBytes), static_cast<unsigned long long>(t.sim.lostBytes),
                static_cast<unsigned long long>(t.sim.lateBytes), static_cast<unsigned long long>(t.sim.faults()),
                static_cast<unsigned long long>(t.sim.sent), static_cast<unsigned long long>(t.sim.received),
                t.simWithoutStats > 0 ? (" [" + std::to_string(t.simWithoutStats) + " runs without statistics]").c_str()
                                      : "");
    std::printf("simulator memory vs sent document + confirmed online edits (Send All done): %s\n",
                compared(t.afterSend).c_str());
    std::printf("received document vs simulator memory (Receive All done):                  %s\n",
                compared(t.afterReceive).c_str());
    std::printf("the same after a Send All that did not end with done:                       %s\n",
                compared(t.afterFailedSend).c_str());
    if (t.unreadableDumps > 0) {
        std::printf("memory dumps missing or unreadable: %d\n", t.unreadableDumps);
    }
    return t.afterSend.differing + t.afterReceive.differing + static_cast<uint64_t>(t.unreadableDumps);
}

// Prints one line per kind; returns the kills not handled as they must be.
int printKills(campaign::KillKind kind, const std::vector<campaign::KillResult>& results)
{
    int good = 0;
    int endedLate = 0;
    int notEnded = 0;
    int missed = 0;
    int oneError = 0;
    int noError = 0;
    int moreErrors = 0;
    int closed = 0;
    int failedValues = 0;
    std::vector<double> times;
    for (const campaign::KillResult& r : results) {
        if (!r.triggered) {
            ++missed;
            continue;
        }
        const bool inTime = r.ended && r.toEnd <= kKillEndLimit;
        notEnded += r.ended ? 0 : 1;
        endedLate += r.ended && !inTime ? 1 : 0;
        if (r.ended) {
            times.push_back(seconds(r.toEnd) * 1000.0);
        }
        (r.portErrors == 1 ? oneError : r.portErrors == 0 ? noError : moreErrors) += 1;
        closed += r.closedBeforeEnd ? 1 : 0;
        failedValues += r.valueFailures;
        good += inTime && r.portErrors == 1 && r.closedBeforeEnd && !r.portOpenAfterStop ? 1 : 0;
    }
    std::sort(times.begin(), times.end());
    const std::string median = times.empty() ? "-" : platform::formatFixed(times[times.size() / 2], 0);
    const std::string worst = times.empty() ? "-" : platform::formatFixed(times.back(), 0);
    std::printf("%-10s %5zu %8d %8d %8d %8s %8s %6d %6d %6d %8d %8d %6d\n", campaign::killKindName(kind),
                results.size(), static_cast<int>(results.size()) - notEnded - endedLate - missed, endedLate, notEnded,
                median.c_str(), worst.c_str(), oneError, noError, moreErrors, closed, failedValues, missed);
    return static_cast<int>(results.size()) - good;
}

} // namespace

int main(int argc, char** argv)
{
    campaign::Settings settings;
    if (argc == 2 && (std::string_view(argv[1]) == "-h" || std::string_view(argv[1]) == "--help")) {
        printUsage(stdout);
        return kExitClean;
    }
    if (!parseArguments(argc, argv, settings)) {
        printUsage(stderr);
        return kExitUsage;
    }
    settings.boxsim = MORVEX_BOXSIM;
    if (settings.workDir.empty()) {
        char folder[] = "/tmp/morvex-campaign-XXXXXX";
        if (mkdtemp(folder) == nullptr) {
            std::perror("morvex-campaign: mkdtemp");
            return kExitUsage;
        }
        settings.workDir = folder;
    }
    std::filesystem::create_directories(settings.workDir);
    morvex::CAppCore core;
    std::string message;
    if (!core.Start(MORVEX_PROGRAM_DIR, "en", message)) {
        std::fprintf(stderr, "morvex-campaign: %s\n", message.c_str());
        return kExitUsage;
    }
    const campaign::Context ctx{settings, core};
    std::fprintf(stderr, "morvex-campaign: working in %s\n", settings.workDir.c_str());

    // Every transfer of the soak compares these bytes; fewer would mean the
    // comparison misses tables.
    constexpr uint64_t kBytesATransferDetermines = 1570;
    if (const std::string broken =
            campaign::checkComparison(*ctx.randomDocument(settings.seed), kBytesATransferDetermines);
        !broken.empty()) {
        std::fprintf(stderr, "morvex-campaign: the memory comparison is broken: %s\n", broken.c_str());
        return kExitUsage;
    }

    uint64_t lost = 0;
    if (settings.soak.count() > 0) {
        // One core per lane, all started here: starting one sets the
        // conversion library's parameters.
        std::vector<std::unique_ptr<morvex::CAppCore>> cores;
        for (int i = 0; i < settings.lanes; ++i) {
            cores.push_back(std::make_unique<morvex::CAppCore>());
            if (!cores.back()->Start(MORVEX_PROGRAM_DIR, "en", message)) {
                std::fprintf(stderr, "morvex-campaign: %s\n", message.c_str());
                return kExitUsage;
            }
        }
        lost = printSoak(settings, campaign::runSoak(settings, cores));
        std::fflush(stdout);
    }

    std::printf("== simulator killed at a random byte (end expected within %lld ms, one port error, line "
                "closed)\n",
                static_cast<long long>(std::chrono::milliseconds(kKillEndLimit).count()));
    std::printf("%-10s %5s %8s %8s %8s %8s %8s %6s %6s %6s %8s %8s %6s\n", "kind", "kills", "in-time", "late", "no-end",
                "med-ms", "max-ms", "1-err", "0-err", ">1-err", "closed", "val-fail", "missed");
    int badKills = 0;
    for (const campaign::KillKind kind : campaign::kKillKinds) {
        const auto results = campaign::runKills(ctx, kind);
        badKills += printKills(kind, results);
        std::fflush(stdout);
    }

    const campaign::SaveKillCounts saves =
        campaign::runSaveKills(core, settings.workDir / "save", settings.saveKills, settings.seed);
    std::printf("== save killed at a random moment (undisturbed save %lld us)\n",
                static_cast<long long>(saves.saveTime.count()));
    std::printf("killed %d, ended before the kill %d: old file %d, new file %d, torn %d; temporary files left "
                "behind %d\n",
                saves.kills, saves.endedFirst, saves.oldFile, saves.newFile, saves.torn, saves.strayTemps);

    const bool clean = lost == 0 && badKills == 0 && saves.torn == 0;
    std::printf("== %s: %llu bytes lost after transfers reported as done, %d kills not handled as required, %d "
                "torn files\n",
                clean ? "CLEAN" : "FINDINGS", static_cast<unsigned long long>(lost), badKills, saves.torn);
    return clean ? kExitClean : kExitFindings;
}
