// morvex-cli: the command-line face of the editor's own code, for scripts,
// tests and tuners who keep their tunes in version control.

#include "document/AppCore.h"
#include "document/MorvexDoc.h"
#include "platform/Encoding.h"
#include "platform/ProgramFolder.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void printUsage(std::FILE* to)
{
    std::fputs("usage: morvex-cli [--program-dir DIR] [--language CODE] <command>\n"
               "\n"
               "commands:\n"
               "  summary   show the axes, parameters and names of a new parameter set\n"
               "\n"
               "The installation (CNF, DATA, HELP, libadapt.so) is the folder of this\n"
               "program unless --program-dir names another.\n",
               to);
}

std::string utf8(std::string_view fileText) { return platform::cp1252ToUtf8(fileText); }

void printSummary(const morvex::CAppCore& core, const morvex::CMorvexDoc& doc)
{
    using morvex::Channel;
    using morvex::IndexTable;
    const morvex::CLabels& labels = core.labels();
    std::cout << "New parameter set (installation " << core.paths().program.string() << ")\n\n";

    struct Axis {
        IndexTable table;
        Channel channel;
    };
    const Axis axes[] = {{IndexTable::DZI, Channel::Revolutions},      {IndexTable::DKI, Channel::ThrottlePosition},
                         {IndexTable::MTI, Channel::MotorTemperature}, {IndexTable::LTI, Channel::AirTemperature},
                         {IndexTable::LDI, Channel::AirPressure},      {IndexTable::TDI, Channel::TurboPressure},
                         {IndexTable::LAI, Channel::Lambda}};
    for (const Axis& axis : axes) {
        const auto& info = morvex::indexTableInfo(axis.table);
        std::cout << info.section << "  " << utf8(labels.label(axis.channel)) << " ["
                  << utf8(labels.unit(axis.channel)) << "]\n  values:";
        for (int i = 0; i < info.defaultPoints; ++i) {
            std::cout << ' ' << doc.IndexText(axis.table, i);
        }
        std::cout << "\n  words: ";
        for (int i = 0; i < info.defaultPoints; ++i) {
            std::cout << ' ' << doc.GetWord(info.address, i);
        }
        std::cout << "\n";
    }

    const uint8_t* params = doc.GetBoxData(morvex::box::PARAMETERS);
    std::cout << "\nPARAMETERS  teeth " << int{params[0]} << ", static ignition point " << int{params[1]} << "\n";

    const morvex::TextTable tables[] = {morvex::TextTable::SFI1, morvex::TextTable::SFI2, morvex::TextTable::EX,
                                        morvex::TextTable::EX2};
    for (morvex::TextTable t : tables) {
        std::cout << morvex::kTextTableSections[static_cast<std::size_t>(t)] << ":";
        for (int i = 0; i < 8; ++i) {
            std::cout << " \"" << utf8(doc.Text(t, i)) << '"';
        }
        std::cout << " ...\n";
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::filesystem::path programDir = platform::programFolder();
    std::string language = "en";
    std::vector<std::string_view> args;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--program-dir" && i + 1 < argc) {
            programDir = argv[++i];
        } else if (arg == "--language" && i + 1 < argc) {
            language = argv[++i];
        } else if (arg == "-h" || arg == "--help") {
            printUsage(stdout);
            return kExitOk;
        } else {
            args.push_back(arg);
        }
    }
    if (args.size() != 1 || args[0] != "summary") {
        printUsage(stderr);
        return kExitUsage;
    }

    morvex::CAppCore core;
    std::string message;
    if (!core.Start(programDir, language, message)) {
        std::cerr << message << "\n";
        return kExitFailure;
    }
    morvex::CMorvexDoc doc(core.adapt(), core.limits(), core.info(), core.paths().premapFile());
    doc.OnNewDocument();
    printSummary(core, doc);
    return kExitOk;
}
