// Writes the seed data files of the data-file fuzzer with the program's own
// writer: a new parameter set, one with recorded data, a file of the older
// format, one with a comment of several lines and a completely filled one.
//
//   DataFileSeeds [--program-dir DIR] OUTPUT-FOLDER
//
// The contents are fixed (fixed random seed and save date), so running it
// again gives the same files.

#include "document/AppCore.h"
#include "document/BoxLayout.h"
#include "document/DataFile.h"
#include "document/MorvexDoc.h"
#include "platform/IniFile.h"
#include "platform/OleDate.h"
#include "platform/ProgramFolder.h"
#include "tools/common/RandomParameterSet.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <string_view>

namespace {

using namespace morvex;
using tools::Random;

const platform::OleDateTime kSaveTime = platform::OleDateTime::fromParts({2024, 3, 9, 16, 20, 45});

// What data recording leaves behind after a ride.
void fillRecords(CMorvexDoc& doc, Random& random)
{
    for (int k = 0; k < kCells; ++k) {
        doc.SetWord(box::LAMBDA_RECORD_LEFT, k, static_cast<uint16_t>(300 + random.upTo(500)));
        doc.SetWord(box::LAMBDA_RECORD_RIGHT, k, static_cast<uint16_t>(300 + random.upTo(500)));
        doc.SetFloat(box::MEASURE_COUNTS, k, static_cast<float>(20 * random.upTo(400)));
        doc.SetFloat(rec::REC_IGNITION_T, k, random.between(0.5f, 12.0f));
        doc.SetFloat(rec::REC_IGNITION_P, k, random.between(-5.0f, 40.0f));
        doc.SetFloat(rec::REC_FUEL_CONSUMPTION, k, random.between(0.0f, 35.0f));
        doc.GetBoxData(rec::REC_DATA_RECEIVED)[k] = random.byte(7);
    }
    const auto flags = doc.BoxSpan(box::LAMBDA_FLAGS, 512);
    for (uint8_t& flag : flags) {
        flag = random.byte(1);
    }
    for (int i = 0; i < kMinMaxRecords; ++i) {
        MinMaxRecord record;
        for (std::size_t v = 0; v < record.values.size(); ++v) {
            record.values[v] = random.between(-50.0f, 13000.0f);
        }
        doc.SetMinMax(i, record);
    }
    doc.ComputeLambdaValues();
}

// Every byte and word table with values of the whole range (maps up to 250).
void fillTables(CMorvexDoc& doc, Random& random)
{
    tools::fillTablesRandomly(doc, random);
    for (int t = 0; t < kTextTableCount; ++t) {
        for (int i = 0; i < kTextEntries; ++i) {
            std::string text;
            const int length = 1 + random.upTo(static_cast<int>(kMaxTextLength) - 1);
            for (int c = 0; c < length; ++c) {
                text += static_cast<char>('A' + random.upTo(25));
            }
            doc.SetText(static_cast<TextTable>(t), i, text);
        }
    }
}

bool save(CMorvexDoc& doc, const std::filesystem::path& path)
{
    const FileOutcome outcome = SaveDataFile(doc, path, false, kSaveTime);
    if (!outcome.ok) {
        std::cerr << outcome.message << "\n";
        return false;
    }
    std::cout << "wrote " << path.string() << "\n";
    return true;
}

// The file as an older program version wrote it: without the sections that
// came later.
bool dropLaterSections(const std::filesystem::path& path)
{
    platform::IniFile file;
    std::error_code ec;
    if (!file.load(path, ec)) {
        return false;
    }
    for (std::string_view section : {"TAB_SFD_EX", "TAB_SFD_INT16", "PARAMETERS", "TAB_TXT_EX", "TAB_TXT_EX2"}) {
        if (!file.removeSection(section)) {
            return false;
        }
    }
    return file.save(path, ec);
}

} // namespace

int main(int argc, char** argv)
{
    std::filesystem::path programDir = platform::programFolder();
    std::filesystem::path out;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--program-dir" && i + 1 < argc) {
            programDir = argv[++i];
        } else if (out.empty() && !arg.starts_with("-")) {
            out = arg;
        } else {
            out.clear();
            break;
        }
    }
    if (out.empty()) {
        std::cerr << "usage: DataFileSeeds [--program-dir DIR] OUTPUT-FOLDER\n";
        return 2;
    }
    CAppCore core;
    std::string message;
    if (!core.Start(programDir, "en", message)) {
        std::cerr << message << "\n";
        return 1;
    }
    std::error_code ec;
    std::filesystem::create_directories(out, ec);

    CMorvexDoc doc(core.adapt(), core.limits(), core.info());
    Random random(20240309);
    bool ok = true;

    doc.OnNewDocument();
    ok = ok && save(doc, out / "new.M60");

    doc.OnNewDocument();
    fillRecords(doc, random);
    ok = ok && save(doc, out / "records.M60");

    doc.OnNewDocument();
    core.info().file.versions = {"1.07", "ZB-60", ""};
    ok = ok && save(doc, out / "old-format.M60") && dropLaterSections(out / "old-format.M60");

    doc.OnNewDocument();
    core.info().file.versions = {"2.3", "ZB-60 twin", "left cyl. new plug"};
    core.info().file.comment = "Test bench 12.2.2024\r\nAir filter open, 44 mm throttle\r\n\r\n"
                               "Rich at part load; lean above 8000 rpm\r\nNext: check injector right";
    ok = ok && save(doc, out / "comment.M60");

    doc.OnNewDocument();
    fillTables(doc, random);
    fillRecords(doc, random);
    core.info().file.versions = {"3.0", "ZB-60 race", "A"};
    core.info().file.comment = "Full set\r\nevery table filled";
    ok = ok && save(doc, out / "full.M60");

    return ok ? 0 : 1;
}
