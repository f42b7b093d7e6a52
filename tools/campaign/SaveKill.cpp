#include "tools/campaign/SaveKill.h"

#include "document/AppCore.h"
#include "document/DataFile.h"
#include "document/MorvexDoc.h"
#include "platform/OleDate.h"
#include "tools/common/RandomParameterSet.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace campaign {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kTimedSaves = 7;
// Kills are spread a little past the measured save, so that the very end
// (the rename) is hit as well.
constexpr double kKillSpread = 1.2;
// Fixed save times: the same document gives the same bytes.
constexpr double kOldSaveDay = 46000.25;
constexpr double kNewSaveDay = 46001.75;

std::string readBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::string bytes;
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    return bytes;
}

bool writeBytes(const fs::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out.flush());
}

std::unique_ptr<morvex::CMorvexDoc> randomDocument(morvex::CAppCore& core, uint32_t seed)
{
    auto doc =
        std::make_unique<morvex::CMorvexDoc>(core.adapt(), core.limits(), core.info(), core.paths().premapFile());
    doc->OnNewDocument();
    morvex::tools::Random random(seed);
    morvex::tools::fillTablesRandomly(*doc, random);
    return doc;
}

bool saveInPlace(morvex::CMorvexDoc& doc, const fs::path& file, double day)
{
    return morvex::SaveDataFile(doc, file, true, platform::OleDateTime::fromDays(day)).ok;
}

// Counts and removes everything in `dir` but `keep`.
int removeOthers(const fs::path& dir, const fs::path& keep)
{
    int n = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path() != keep) {
            fs::remove(entry.path());
            ++n;
        }
    }
    return n;
}

} // namespace

SaveKillCounts runSaveKills(morvex::CAppCore& core, const fs::path& dir, int count, uint32_t seed)
{
    SaveKillCounts counts;
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path target = dir / "TUNE.M60";
    const fs::path reference = dir / "REFERENCE.M60";

    auto oldDoc = randomDocument(core, seed);
    auto newDoc = randomDocument(core, seed + 1);
    if (!morvex::SaveDataFile(*oldDoc, target, false, platform::OleDateTime::fromDays(kOldSaveDay)).ok) {
        return counts;
    }
    const std::string oldBytes = readBytes(target);
    writeBytes(reference, oldBytes);
    saveInPlace(*newDoc, reference, kNewSaveDay);
    const std::string newBytes = readBytes(reference);
    fs::remove(reference);

    std::vector<Clock::duration> times;
    for (int i = 0; i < kTimedSaves; ++i) {
        writeBytes(target, oldBytes);
        const auto start = Clock::now();
        saveInPlace(*newDoc, target, kNewSaveDay);
        times.push_back(Clock::now() - start);
        if (readBytes(target) != newBytes) {
            counts.torn = -1; // the save is not reproducible: nothing below would mean anything
            return counts;
        }
    }
    std::nth_element(times.begin(), times.begin() + kTimedSaves / 2, times.end());
    counts.saveTime = std::chrono::duration_cast<std::chrono::microseconds>(times[kTimedSaves / 2]);

    std::mt19937 random(seed);
    std::uniform_int_distribution<int64_t> delayUs(
        0, static_cast<int64_t>(static_cast<double>(counts.saveTime.count()) * kKillSpread));
    for (int i = 0; i < count; ++i) {
        writeBytes(target, oldBytes);
        int ready[2];
        if (pipe2(ready, O_CLOEXEC) != 0) {
            break;
        }
        const pid_t pid = fork();
        if (pid == 0) {
            close(ready[0]);
            const char go = 'g';
            (void)!write(ready[1], &go, 1);
            _exit(saveInPlace(*newDoc, target, kNewSaveDay) ? 0 : 1);
        }
        close(ready[1]);
        char go = 0;
        (void)!read(ready[0], &go, 1);
        close(ready[0]);
        const auto killAt = Clock::now() + std::chrono::microseconds(delayUs(random));
        while (Clock::now() < killAt) {
            // Spinning keeps the moment of the kill exact to a few microseconds.
        }
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        (WIFSIGNALED(status) ? counts.kills : counts.endedFirst) += 1;
        const std::string now = fs::exists(target) ? readBytes(target) : std::string();
        if (now == oldBytes) {
            ++counts.oldFile;
        } else if (now == newBytes) {
            ++counts.newFile;
        } else {
            ++counts.torn;
        }
        counts.strayTemps += removeOthers(dir, target);
    }
    return counts;
}

} // namespace campaign
