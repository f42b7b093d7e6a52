// The restore point written before Receive All: a completely filled
// parameter set written into a restore folder that already holds the kept
// maximum of points (200), and the pruning that follows, as the editor does
// it before the transfer starts.
//
//   RestorePointBench [--iterations N] [--dir DIR] [--program-dir DIR]
//
// The folder is made below DIR (default: the system's temp folder; pass a
// folder on the disk of ~/.local/share to measure there) and removed at
// the end. Rows: the whole step (write and prune), the write alone, the
// pruning alone. Target: the whole step under 16 ms (one frame). Nothing
// here fails on time; the exit code is non-zero only when a write fails.

#include "document/AppCore.h"
#include "document/MorvexDoc.h"
#include "document/RestorePoints.h"
#include "tools/common/RandomParameterSet.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <numeric>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace morvex;
using Clock = std::chrono::steady_clock;

constexpr double kTargetMs = 16.0;
constexpr RestoreLimits kLimits{}; // the defaults: 200 points, 90 days

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void printRow(const char* what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    const double mean = std::accumulate(ms.begin(), ms.end(), 0.0) / static_cast<double>(ms.size());
    const double p95 = ms[std::min(ms.size() - 1, ms.size() * 95 / 100)];
    std::printf("  %-16s mean %7.3f ms   median %7.3f ms   95%% %7.3f ms   max %7.3f ms\n", what, mean,
                ms[ms.size() / 2], p95, ms.back());
}

} // namespace

int main(int argc, char** argv)
{
    int iterations = 200;
    std::filesystem::path base = std::filesystem::temp_directory_path();
    std::filesystem::path programDir = MORVEX_PROGRAM_DIR;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--iterations" && i + 1 < argc && std::atoi(argv[i + 1]) > 0) {
            iterations = std::atoi(argv[++i]);
        } else if (arg == "--dir" && i + 1 < argc) {
            base = argv[++i];
        } else if (arg == "--program-dir" && i + 1 < argc) {
            programDir = argv[++i];
        } else {
            std::cerr << "usage: RestorePointBench [--iterations N] [--dir DIR] [--program-dir DIR]\n";
            return 2;
        }
    }

    CAppCore core;
    std::string message;
    if (!core.Start(programDir, "en", message)) {
        std::cerr << message << "\n";
        return 1;
    }
    CMorvexDoc doc(core.adapt(), core.limits(), core.info());
    doc.OnNewDocument();
    tools::Random random(4711);
    tools::fillTablesRandomly(doc, random);
    for (int t = 0; t < kTextTableCount; ++t) {
        for (int i = 0; i < kTextEntries; ++i) {
            doc.SetText(static_cast<TextTable>(t), i, random.text(20));
        }
    }
    doc.SetModifiedFlag(true);

    const std::filesystem::path folder =
        base / ("morvex-restore-bench-" + std::to_string(std::random_device{}())) / "restore";
    RestorePointStore store(folder);
    const std::filesystem::path source = base / "Track day.M60";
    // A full folder, as after months of use.
    for (int i = 0; i < kLimits.maxCount; ++i) {
        if (!store.Write(doc, RestoreReason::ReceiveAll, source).ok) {
            std::cerr << "cannot write into " << folder << "\n";
            return 1;
        }
    }

    std::vector<double> whole;
    std::vector<double> write;
    std::vector<double> prune;
    bool ok = true;
    for (int i = 0; i < iterations; ++i) {
        const auto start = Clock::now();
        ok = store.Write(doc, RestoreReason::ReceiveAll, source).ok && ok;
        const double written = msSince(start);
        const auto pruneStart = Clock::now();
        store.Prune(kLimits);
        const double pruned = msSince(pruneStart);
        whole.push_back(msSince(start));
        write.push_back(written);
        prune.push_back(pruned);
    }
    const std::size_t kept = store.List().size();
    std::error_code ec;
    std::filesystem::remove_all(folder.parent_path(), ec);
    if (!ok) {
        std::cerr << "a restore point could not be written\n";
        return 1;
    }

    std::printf("Restore point before Receive All: %d runs, folder holding %zu points (%s)\n", iterations, kept,
                base.c_str());
    printRow("write and prune", whole);
    printRow("write", write);
    printRow("prune", prune);
    std::sort(whole.begin(), whole.end());
    std::printf("  target: under %.0f ms (median %s)\n", kTargetMs,
                whole[whole.size() / 2] < kTargetMs ? "met" : "NOT met");
    return 0;
}
