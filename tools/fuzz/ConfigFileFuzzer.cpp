// libFuzzer target for the readers of the configuration files: every input
// is read as a label file, as InitValues.cfg (limits and display control),
// as a lambda sensor table (*.ldt) and as Premap.cfg, as the program reads
// them at start-up. Checked for each one:
//  - the label reader's write-back gives a file that reads back to the same
//    labels and needs no further write-back (so the file is complete and
//    nothing of it was lost);
//  - a sensor table that is valid falls strictly, and every raw value
//    converts to a lambda of the table's range;
//  - a premap that loads gives offsets 0..8 and every premap number lays
//    its values into the working map without leaving the records.
// A broken property ends the run with a trap and the message on stderr.

#include "document/BoxLayout.h"
#include "document/Labels.h"
#include "document/LambdaSensors.h"
#include "document/Limits.h"
#include "document/Premap.h"
#include "platform/IniFile.h"
#include "platform/Log.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

using platform::IniFile;

[[noreturn]] void fail(const char* reader, const char* what)
{
    std::fprintf(stderr, "ConfigFileFuzzer: %s: %s\n", reader, what);
    __builtin_trap();
}

bool sameLabels(const morvex::CLabels& a, const morvex::CLabels& b)
{
    for (int i = 0; i < morvex::kChannelCount; ++i) {
        const auto c = static_cast<morvex::Channel>(i);
        if (a.label(c) != b.label(c) || a.unit(c) != b.unit(c)) {
            return false;
        }
    }
    for (int i = 0; i < morvex::kGridLabelCount; ++i) {
        if (a.grid(static_cast<morvex::GridLabel>(i)) != b.grid(static_cast<morvex::GridLabel>(i))) {
            return false;
        }
    }
    for (int i = 0; i < morvex::kInfoLabelCount; ++i) {
        if (a.info(static_cast<morvex::InfoLabel>(i)) != b.info(static_cast<morvex::InfoLabel>(i))) {
            return false;
        }
    }
    for (int i = 0; i < morvex::kDiagnosticLabelCount; ++i) {
        const auto d = static_cast<morvex::DiagnosticLabel>(i);
        if (a.diagnostic(d) != b.diagnostic(d)) {
            return false;
        }
    }
    return true;
}

void readLabels(IniFile file)
{
    morvex::CLabels labels;
    labels.Read(file);
    // What LoadLabels would save, read at the next start.
    IniFile saved = IniFile::fromText(file.text());
    morvex::CLabels next;
    next.Read(saved);
    if (saved.isModified()) {
        fail("labels", "the written-back file needs another write-back");
    }
    if (!sameLabels(labels, next)) {
        fail("labels", "the written-back file reads other labels");
    }
}

void readLimits(const IniFile& file)
{
    morvex::CLimits limits;
    limits.Read(file);
    for (int i = 0; i < morvex::kLimitCount; ++i) {
        const morvex::LimitRecord& r = limits.record(static_cast<morvex::Limit>(i));
        // The index defaults interpolate between these; only a number may
        // come out of the file (atof gives inf for "1e999", never NaN).
        if (r.minimum != r.minimum || r.maximum != r.maximum) {
            fail("limits", "a limit is not a number");
        }
    }
}

void readSensor(const IniFile& file)
{
    const std::optional<morvex::LambdaSensorTable> sensor = morvex::ReadLambdaSensorTable(file);
    if (!sensor) {
        return;
    }
    if (sensor->name.empty()) {
        fail("sensor", "a sensor without a name was accepted");
    }
    if (sensor->valid) {
        for (std::size_t i = 1; i < sensor->thresholds.size(); ++i) {
            if (sensor->thresholds[i] >= sensor->thresholds[i - 1]) {
                fail("sensor", "a valid table does not fall");
            }
        }
    }
    for (const int16_t raw : {int16_t{-32768}, int16_t{-1}, int16_t{0}, int16_t{500}, int16_t{32767}}) {
        const double lambda = morvex::LambdaFromRaw(*sensor, raw);
        if (!(lambda >= 0.674 && lambda <= 1.426)) {
            fail("sensor", "a lambda outside the table's range");
        }
    }
}

void readPremap(const IniFile& file)
{
    std::array<uint8_t, morvex::rec::kPremapRowsSize> rows{};
    std::array<uint8_t, morvex::rec::kPremapOffsetSize> offsets{};
    const bool loaded = morvex::LoadPremap(file, rows, offsets);
    for (const uint8_t offset : offsets) {
        if (offset > morvex::kPremapMaxOffset) {
            fail("premap", "an offset above 8");
        }
    }
    if (!loaded) {
        return;
    }
    std::array<uint8_t, morvex::rec::kIgnitionWorkSize> work{};
    int shown = -1;
    for (int p = 0; p < morvex::kPremapCount; ++p) {
        if (!morvex::ComputePremap(p, shown, rows, offsets, 5, work)) {
            fail("premap", "a premap number in range was not laid");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/)
{
    // The readers' warnings about damaged files would flood the output;
    // errors (a programming fault) still show.
    platform::setLogSink([](const platform::LogCategory& category, platform::LogLevel level, std::string_view text) {
        if (level == platform::LogLevel::Error) {
            std::fprintf(stderr, "%s: error: %.*s\n", category.name(), static_cast<int>(text.size()), text.data());
        }
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const IniFile file = IniFile::fromText(std::string_view(reinterpret_cast<const char*>(data), size));
    readLimits(file);
    readSensor(file);
    readPremap(file);
    readLabels(file); // a copy: the label reader writes into it
    return 0;
}
