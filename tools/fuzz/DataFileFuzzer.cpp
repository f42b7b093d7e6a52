// libFuzzer target for the data-file reader. Every input is a whole data
// file. When the reader accepts it, the document is written back, once into
// a fresh file (Save As) and once into the input itself (Save), and each
// result is read again: the second read must give the same box image.
//
// The conversion library and the limits come from the program folder, as at
// the program's start: MORVEX_FUZZ_PROGRAM_DIR if set, else the folder of
// this binary when libadapt.so lies there, else the build's program folder.
//
// MORVEX_FUZZ_STRICT=1 also requires the document read from the written
// file to write the very same file again, texts and comment included (the
// first write normalises damaged texts, so this is the stricter property;
// for looking, not for the regular runs).

#include "document/AdaptLibrary.h"
#include "document/BoxLayout.h"
#include "document/DataFile.h"
#include "document/InfoRecords.h"
#include "document/Limits.h"
#include "document/MorvexDoc.h"
#include "platform/IniFile.h"
#include "platform/Log.h"
#include "platform/OleDate.h"
#include "platform/ProgramFolder.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#ifndef MORVEX_PROGRAM_DIR
#define MORVEX_PROGRAM_DIR ""
#endif

namespace {

// The image up to the derived ignition work areas: every table, the raw
// and derived lambda data, the counts, flags and min/max records.
constexpr std::size_t kCheckedImageBytes = static_cast<std::size_t>(morvex::box::IGNITION_WORK_1);

struct Setup {
    morvex::AdaptLibrary adapt;
    morvex::CLimits limits;
    morvex::CInfoRecords firstInfo;
    morvex::CInfoRecords secondInfo;
    morvex::CMorvexDoc* first = nullptr;
    morvex::CMorvexDoc* second = nullptr;
    bool strict = false;
};

// Built once and never destroyed: the documents point into it and libFuzzer
// may exit from anywhere.
Setup* setup = nullptr;

std::filesystem::path programDir()
{
    if (const char* dir = std::getenv("MORVEX_FUZZ_PROGRAM_DIR"); dir != nullptr && *dir != '\0') {
        return dir;
    }
    std::error_code ec;
    const std::filesystem::path own = platform::programFolder();
    if (!own.empty() && std::filesystem::exists(own / morvex::kAdaptFileName, ec)) {
        return own;
    }
    return MORVEX_PROGRAM_DIR;
}

[[noreturn]] void fail(const char* how, const char* what)
{
    std::fprintf(stderr, "DataFileFuzzer: round trip by %s broken: %s\n", how, what);
    __builtin_trap();
}

void checkRoundTrip(const morvex::CMorvexDoc& first, const morvex::CMorvexDoc& second, const char* how)
{
    const auto a = first.BoxSpan(0, kCheckedImageBytes);
    const auto b = second.BoxSpan(0, kCheckedImageBytes);
    if (a.size() != kCheckedImageBytes || b.size() != kCheckedImageBytes) {
        fail(how, "box image not reachable");
    }
    for (std::size_t i = 0; i < kCheckedImageBytes; ++i) {
        if (a[i] != b[i]) {
            std::fprintf(stderr, "DataFileFuzzer: box address 0x%04zX: %u after the first read, %u after the second\n",
                         i, unsigned{a[i]}, unsigned{b[i]});
            fail(how, "box image differs");
        }
    }
}

// The first line in which two file texts differ, for the report.
void reportFirstDifference(const std::string& a, const std::string& b)
{
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) {
        ++i;
    }
    const std::size_t line = a.rfind('\n', i == 0 ? 0 : i - 1);
    const std::size_t from = line == std::string::npos ? 0 : line + 1;
    auto lineAt = [from](const std::string& text) {
        const std::size_t end = text.find('\n', from);
        return text.substr(from, end == std::string::npos ? std::string::npos : end - from);
    };
    std::fprintf(stderr, "DataFileFuzzer: first write: \"%s\"\nDataFileFuzzer: second write: \"%s\"\n",
                 lineAt(a).c_str(), lineAt(b).c_str());
}

const platform::OleDateTime kSaveTime = platform::OleDateTime::fromParts({2024, 5, 17, 9, 30, 0});

// Writes the document of the first read into `file`, reads the text that
// would be saved into the second document and checks that it is the same
// parameter set: a file that opened must save, and open again unchanged.
// Returns the text written.
std::string writeAndReadBack(platform::IniFile file, const char* how)
{
    morvex::CMorvexDoc& first = *setup->first;
    morvex::CMorvexDoc& second = *setup->second;
    if (!morvex::WriteDataFile(file, first, kSaveTime)) {
        fail(how, "an opened file cannot be written");
    }
    std::string text = file.text();
    second.DeleteContents();
    if (!morvex::ReadDataFile(platform::IniFile::fromText(text), second)) {
        fail(how, "a written file cannot be read");
    }
    if (second.FileErrorCode() != morvex::fileerr::None) {
        fail(how, "a written file reads with a file error code");
    }
    if (second.ValueLimitCounter() != 0 || second.TextCutCounter() != 0) {
        fail(how, "a written file needs corrections when read");
    }
    checkRoundTrip(first, second, how);
    return text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/)
{
    // The reader's warnings about damaged sections would flood the output;
    // errors (a programming fault) still show.
    platform::setLogSink([](const platform::LogCategory& category, platform::LogLevel level, std::string_view text) {
        if (level == platform::LogLevel::Error) {
            std::fprintf(stderr, "%s: error: %.*s\n", category.name(), static_cast<int>(text.size()), text.data());
        }
    });
    setup = new Setup;
    const std::filesystem::path dir = programDir();
    if (setup->adapt.BindFromProgramFolder(dir) != morvex::AdaptLibrary::Status::Bound) {
        std::fprintf(stderr, "DataFileFuzzer: cannot bind %s from %s: %s\n", morvex::kAdaptFileName,
                     dir.string().c_str(), setup->adapt.detail().c_str());
        std::exit(1);
    }
    platform::IniFile initValues;
    std::error_code ec;
    const std::filesystem::path initFile = dir / "CNF" / "InitValues.cfg";
    if (!std::filesystem::is_regular_file(initFile, ec) || !initValues.load(initFile, ec)) {
        std::fprintf(stderr, "DataFileFuzzer: cannot read %s\n", initFile.string().c_str());
        std::exit(1);
    }
    morvex::ApplyConversionParameters(initValues, setup->adapt.functions());
    setup->limits.Read(initValues);
    setup->first = new morvex::CMorvexDoc(setup->adapt.functions(), setup->limits, setup->firstInfo);
    setup->second = new morvex::CMorvexDoc(setup->adapt.functions(), setup->limits, setup->secondInfo);
    const char* strict = std::getenv("MORVEX_FUZZ_STRICT");
    setup->strict = strict != nullptr && std::strcmp(strict, "1") == 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    morvex::CMorvexDoc& first = *setup->first;
    first.DeleteContents();
    if (!morvex::ReadDataFile(platform::IniFile::fromText(bytes), first)) {
        return 0;
    }

    // Save As: a fresh file.
    const std::string written = writeAndReadBack(platform::IniFile{}, "save as");
    if (setup->strict) {
        // What the program wrote, read and written again, gives the same file.
        platform::IniFile again;
        if (!morvex::WriteDataFile(again, *setup->second, kSaveTime)) {
            fail("save as", "a written file cannot be written again");
        }
        const std::string secondText = again.text();
        if (written != secondText) {
            reportFirstDifference(written, secondText);
            fail("save as", "the second write differs from the first");
        }
    }
    // Save: the opened file updated in place, its other lines kept.
    writeAndReadBack(platform::IniFile::fromText(bytes), "save");
    return 0;
}
