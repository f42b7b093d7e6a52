// Saves and opens a completely filled parameter set many times and prints
// the time per save, per open and per plain reading of the file's bytes, all
// measured in the same run, with the ratios to the plain reading.
//
//   DataFileBench [--iterations N] [--warmup N] [--dir DIR] [--program-dir DIR]
//
// The file goes to DIR (default: the system's temp folder). A save is the
// plain Save of the editor (the existing file is read, updated and replaced
// atomically, flushed to disk); "save as" starts from an empty file. Two
// more rows split a save into its parts: the writer on the file's text in
// memory, and the atomic replacement of the file with its flushes.
// Target: save and open each under 10 ms. Nothing here fails on time; the
// exit code is non-zero only when a save or an open does not work.

#include "document/AppCore.h"
#include "document/BoxLayout.h"
#include "document/DataFile.h"
#include "document/MorvexDoc.h"
#include "platform/IniFile.h"
#include "platform/OleDate.h"
#include "tools/common/RandomParameterSet.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <numeric>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace morvex;
using tools::Random;
using Clock = std::chrono::steady_clock;

constexpr double kTargetMs = 10.0;

// Every table, record, text and info field holds a value that is neither
// zero nor a default.
void fillCompletely(CMorvexDoc& doc, CInfoRecords& info)
{
    Random random(4711);
    tools::fillTablesRandomly(doc, random);
    for (int k = 0; k < kCells; ++k) {
        doc.SetWord(box::LAMBDA_RECORD_LEFT, k, static_cast<uint16_t>(random.upTo(1023)));
        doc.SetWord(box::LAMBDA_RECORD_RIGHT, k, static_cast<uint16_t>(random.upTo(1023)));
        doc.SetFloat(box::MEASURE_COUNTS, k, static_cast<float>(20 * random.upTo(3000)));
        doc.SetFloat(rec::REC_IGNITION_T, k, random.between(0.1f, 15.0f));
        doc.SetFloat(rec::REC_IGNITION_P, k, random.between(-10.0f, 45.0f));
        doc.SetFloat(rec::REC_FUEL_CONSUMPTION, k, random.between(0.0f, 40.0f));
        doc.GetBoxData(rec::REC_DATA_RECEIVED)[k] = random.byte(7);
    }
    for (uint8_t& flag : doc.BoxSpan(box::LAMBDA_FLAGS, 512)) {
        flag = random.byte(1);
    }
    for (int i = 0; i < kMinMaxRecords; ++i) {
        MinMaxRecord record;
        for (float& v : record.values) {
            v = random.between(-40.0f, 14000.0f);
        }
        doc.SetMinMax(i, record);
    }
    doc.ComputeLambdaValues();
    for (int t = 0; t < kTextTableCount; ++t) {
        for (int i = 0; i < kTextEntries; ++i) {
            doc.SetText(static_cast<TextTable>(t), i, random.text(kMaxTextLength));
        }
    }
    info.file.versions = {random.text(40), random.text(40), random.text(40)};
    std::string comment;
    for (int line = 0; line < 12; ++line) {
        comment += (line == 0 ? "" : "\r\n") + random.text(70);
    }
    info.file.comment = comment;
}

bool sameContents(const CMorvexDoc& a, const CInfoRecords& aInfo, const CMorvexDoc& b, const CInfoRecords& bInfo)
{
    const auto x = a.BoxSpan(0, static_cast<std::size_t>(box::IGNITION_WORK_1));
    const auto y = b.BoxSpan(0, static_cast<std::size_t>(box::IGNITION_WORK_1));
    if (!std::equal(x.begin(), x.end(), y.begin(), y.end())) {
        return false;
    }
    for (BoxAddress r : {rec::REC_IGNITION_T, rec::REC_IGNITION_P, rec::REC_FUEL_CONSUMPTION}) {
        for (int k = 0; k < kCells; ++k) {
            if (a.GetFloat(r, k) != b.GetFloat(r, k)) {
                return false;
            }
        }
    }
    for (int t = 0; t < kTextTableCount; ++t) {
        for (int i = 0; i < kTextEntries; ++i) {
            if (a.Text(static_cast<TextTable>(t), i) != b.Text(static_cast<TextTable>(t), i)) {
                return false;
            }
        }
    }
    return aInfo.file.comment == bInfo.file.comment && aInfo.file.versions == bInfo.file.versions;
}

struct Stats {
    double mean = 0.0;
    double median = 0.0;
    double min = 0.0;
    double max = 0.0;
};

Stats statsOf(std::vector<double> ms)
{
    Stats s;
    if (ms.empty()) {
        return s;
    }
    std::sort(ms.begin(), ms.end());
    s.mean = std::accumulate(ms.begin(), ms.end(), 0.0) / static_cast<double>(ms.size());
    const std::size_t n = ms.size();
    s.median = n % 2 == 1 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2.0;
    s.min = ms.front();
    s.max = ms.back();
    return s;
}

double millisecondsOf(const std::function<bool()>& step, bool& ok)
{
    const auto start = Clock::now();
    ok = step() && ok;
    const auto end = Clock::now();
    return std::chrono::duration<double, std::milli>(end - start).count();
}

void printRow(const char* what, const Stats& s)
{
    std::printf("  %-12s mean %8.3f ms   median %8.3f ms   min %8.3f ms   max %8.3f ms\n", what, s.mean, s.median,
                s.min, s.max);
}

bool parseCount(const char* text, int& value)
{
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || n < 1 || n > 1000000) {
        return false;
    }
    value = static_cast<int>(n);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int iterations = 300;
    int warmup = 20;
    std::filesystem::path folder = std::filesystem::temp_directory_path();
    std::filesystem::path programDir = MORVEX_PROGRAM_DIR; // the build tree's installation
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--iterations" && hasValue && parseCount(argv[i + 1], iterations)) {
            ++i;
        } else if (arg == "--warmup" && hasValue && parseCount(argv[i + 1], warmup)) {
            ++i;
        } else if (arg == "--dir" && hasValue) {
            folder = argv[++i];
        } else if (arg == "--program-dir" && hasValue) {
            programDir = argv[++i];
        } else {
            std::cerr << "usage: DataFileBench [--iterations N] [--warmup N] [--dir DIR] [--program-dir DIR]\n";
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
    fillCompletely(doc, core.info());

    const std::filesystem::path path = folder / ("morvex-bench-" + std::to_string(std::random_device{}()) + ".M60");
    const platform::OleDateTime now = platform::OleDateTime::now();
    const FileOutcome first = SaveDataFile(doc, path, false, now);
    if (!first.ok) {
        std::cerr << first.message << "\n";
        return 1;
    }

    // The measured open must really read the whole set back.
    CInfoRecords loadedInfo;
    CMorvexDoc loaded(core.adapt(), core.limits(), loadedInfo);
    const FileOutcome check = OpenDataFile(loaded, path);
    if (!check.ok || !check.message.empty() || !sameContents(doc, core.info(), loaded, loadedInfo)) {
        std::cerr << "the saved file does not open as the same parameter set: " << check.message << "\n";
        std::filesystem::remove(path);
        return 1;
    }

    std::string fileBytes;
    {
        std::error_code ec;
        platform::readWholeFile(path, fileBytes, ec);
    }
    struct Step {
        const char* name;
        std::function<bool()> run;
        std::vector<double> ms;
    };
    std::vector<Step> steps{
        // The plain Save of the editor: read the file, update it, replace it.
        {"save", [&] { return SaveDataFile(doc, path, true, now).ok; }, {}},
        {"open", [&] { return OpenDataFile(loaded, path).ok; }, {}},
        {"read bytes",
         [&] {
             std::string bytes;
             std::error_code ec;
             return platform::readWholeFile(path, bytes, ec) && bytes.size() == fileBytes.size();
         },
         {}},
        {"save as", [&] { return SaveDataFile(doc, path, false, now).ok; }, {}},
        // The parts of a save: the writer on the file's text in memory, and
        // the atomic replacement of the file with its flushes to disk.
        {"save, memory",
         [&] {
             platform::IniFile file = platform::IniFile::fromText(fileBytes);
             return WriteDataFile(file, doc, now) && file.text().size() == fileBytes.size();
         },
         {}},
        {"replace file",
         [&] {
             std::error_code ec;
             return platform::writeFileAtomically(path, fileBytes, ec);
         },
         {}},
    };
    bool ok = true;
    // The steps take turns, so that whatever else the machine does affects
    // all of them alike.
    for (int i = 0; i < warmup + iterations; ++i) {
        for (Step& step : steps) {
            const double ms = millisecondsOf(step.run, ok);
            if (i >= warmup) {
                step.ms.push_back(ms);
            }
        }
    }
    std::error_code ec;
    std::filesystem::remove(path, ec);
    if (!ok) {
        std::cerr << "a save or an open failed during the run\n";
        return 1;
    }

    std::printf("Data file save/open, full parameter set: %zu bytes in %s\n", fileBytes.size(),
                folder.string().c_str());
    std::printf("%d iterations after %d warm-up rounds\n\n", iterations, warmup);
    std::vector<Stats> stats;
    for (const Step& step : steps) {
        stats.push_back(statsOf(step.ms));
        printRow(step.name, stats.back());
    }
    const Stats& sSave = stats[0];
    const Stats& sLoad = stats[1];
    const Stats& sRead = stats[2];
    std::printf("\nratios to read bytes (median / mean):\n");
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (i != 2) {
            std::printf("  %-12s / read bytes %8.1f / %8.1f\n", steps[i].name, stats[i].median / sRead.median,
                        stats[i].mean / sRead.mean);
        }
    }
    std::printf("\ntarget: save and open each under %.0f ms (median): save %s, open %s\n", kTargetMs,
                sSave.median < kTargetMs ? "met" : "MISSED", sLoad.median < kTargetMs ? "met" : "MISSED");
    return 0;
}
