// Writes the demo parameter set that an installation ships in DATA: a
// plausible 900 cc twin, made with the program's own document and writer.
//
//   make-demo OUT.M60 [--program-dir DIR]

#include "document/AppCore.h"
#include "document/DataFile.h"
#include "document/MorvexDoc.h"
#include "platform/OleDate.h"
#include "platform/ProgramFolder.h"

#include <algorithm>
#include <cmath>
#include <iostream>

namespace {

using morvex::box::PARAMETERS;

// Volumetric efficiency over the rpm axis: torque peak near 7000 rpm.
double efficiency(double rpm) { return 0.62 + 0.38 * std::exp(-std::pow((rpm - 7000.0) / 4200.0, 2.0)); }

uint8_t clampByte(double v, double max) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, std::lround(max))); }

void fuelMaps(morvex::CMorvexDoc& doc)
{
    for (int r = 0; r < 16; ++r) {
        const double rpm = doc.IndexValue(morvex::IndexTable::DZI, r);
        for (int c = 0; c < 16; ++c) {
            const double throttle = doc.IndexValue(morvex::IndexTable::DKI, c) / 100.0;
            const double load = 0.18 + 0.82 * std::sqrt(throttle);
            const double base = 28.0 + 190.0 * load * efficiency(rpm);
            const auto p = static_cast<std::size_t>(16 * (r + 16) + c);
            doc.GetBoxData(morvex::box::TAB_DDD_LINKS)[p] = clampByte(base, morvex::kMaxMapValue);
            // The rear cylinder runs a little hotter and gets 3 % more.
            doc.GetBoxData(morvex::box::TAB_DDD_RECHTS)[p] = clampByte(base * 1.03, morvex::kMaxMapValue);
        }
    }
}

// Steps after the static point with 180 teeth (one degree per step).
void ignitionMaps(morvex::CMorvexDoc& doc)
{
    const int staticPoint = doc.GetBoxData(PARAMETERS)[1];
    for (int r = 0; r < 16; ++r) {
        const double rpm = doc.IndexValue(morvex::IndexTable::DZI, r);
        const double advance = 12.0 + 26.0 * std::min(1.0, std::max(0.0, (rpm - 1000.0) / 6500.0));
        for (int c = 0; c < 16; ++c) {
            const double throttle = doc.IndexValue(morvex::IndexTable::DKI, c) / 100.0;
            const double degrees = advance - 6.0 * throttle;
            const auto p = static_cast<std::size_t>(16 * (r + 16) + c);
            doc.GetBoxData(morvex::box::TAB_DDZ_LINKS)[p] = clampByte(degrees - staticPoint, 60);
            doc.GetBoxData(morvex::box::TAB_DDZ_RECHTS)[p] = clampByte(degrees - staticPoint - 1.0, 60);
        }
    }
}

// Corrections in percent of the base map, 100 meaning none; both cylinders alike.
void corrections(morvex::CMorvexDoc& doc)
{
    auto table = [&](morvex::BoxAddress address, morvex::IndexTable axis, auto percent) {
        uint8_t* bytes = doc.GetBoxData(address);
        for (int i = 0; i < 16; ++i) {
            const uint8_t value = clampByte(percent(doc.IndexValue(axis, i)), 255);
            bytes[i] = value;
            bytes[32 + i] = value;
        }
    };
    table(morvex::box::TAB_MTD, morvex::IndexTable::MTI, [](double t) { return t < 70.0 ? 100.0 + (70.0 - t) * 0.55 : 100.0; });
    table(morvex::box::TAB_LTD, morvex::IndexTable::LTI, [](double t) { return 100.0 - (t - 20.0) * 0.17; });
    table(morvex::box::TAB_LDD, morvex::IndexTable::LDI, [](double p) { return 100.0 * p / 1013.0; });
    table(morvex::box::TAB_TDD, morvex::IndexTable::TDI, [](double) { return 100.0; });
    table(morvex::box::TAB_LAD, morvex::IndexTable::LAI, [](double) { return 100.0; });
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
        } else {
            out = arg;
        }
    }
    if (out.empty()) {
        std::cerr << "usage: make-demo OUT.M60 [--program-dir DIR]\n";
        return 2;
    }
    morvex::CAppCore core;
    std::string message;
    if (!core.Start(programDir, "en", message)) {
        std::cerr << message << "\n";
        return 1;
    }
    morvex::CMorvexDoc doc(core.adapt(), core.limits(), core.info(), core.paths().premapFile());
    doc.OnNewDocument();
    doc.GetBoxData(PARAMETERS)[0] = 180; // teeth: one degree per step
    doc.GetBoxData(PARAMETERS)[1] = 5;   // static ignition point, degrees BTDC
    doc.GetBoxData(morvex::box::TAB_SFD2)[2] = 12; // the premap the box expects (IGMN)
    fuelMaps(doc);
    ignitionMaps(doc);
    corrections(doc);
    core.info().file.versions = {"Demo 1.0", "Zamo-Box 60", "Twin 900 cc"};
    core.info().file.comment = "Demo parameter set: 900 cc twin, stock airbox, open exhaust, 98 RON.\r\n"
                               "Fuel and ignition maps are a starting point for the dyno, not a finished tune.";
    const morvex::FileOutcome outcome = morvex::SaveDataFile(doc, out, false, platform::OleDateTime::now());
    if (!outcome.ok) {
        std::cerr << outcome.message << "\n";
        return 1;
    }
    return 0;
}
