// morvex-cli: the command-line face of the editor's own code, for scripts,
// tests and tuners who keep their tunes in version control.

#include "Commands.h"
#include "Transfer.h"

#include "platform/ProgramFolder.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

void printUsage(std::FILE* to)
{
    std::fputs("usage: morvex-cli [--program-dir DIR] [--language CODE] <command> [arguments]\n"
               "\n"
               "commands:\n"
               "  summary                          axes, parameters and names of a new parameter set\n"
               "  new OUT.M60                      write a new default parameter set\n"
               "  dump FILE.M60                    print the whole parameter set as one JSON object\n"
               "  resave FILE.M60                  open and save in place (corrections applied)\n"
               "  diff A.M60 B.M60                 list every differing cell; exit 0 identical, 1 different,\n"
               "                                   2 trouble\n"
               "  export-csv FILE.M60 TABLE [OUT]  one table as CSV (TABLE is the section name, e.g.\n"
               "                                   TAB_DDD_LINKS, TAB_MTD, TAB_DZI, TAB_TXT_SFI1)\n"
               "  import-csv FILE.M60 TABLE IN     replace one table from CSV and save in place\n"
               "  propose [--target L] [--min-samples N] [--window LOW:HIGH] [--limit M] [--sensor S]\n"
               "          [--lambda-correction] FILE.M60 OUT.M60\n"
               "                                   write FILE with its fuel maps corrected from the\n"
               "                                   recorded lambda (value x lambda / target, at most M % per\n"
               "                                   pass; defaults: the file's target table, 20\n"
               "                                   samples, 0.7:1.3, 10 %) and list the changed cells.\n"
               "                                   S: a lambda sensor table (CNF/S.ldt or a path);\n"
               "                                   --lambda-correction: the left map only\n"
               "\n"
               "box commands (over the serial line; progress on stderr):\n"
               "  receive OUT.M60                  receive tables into a new parameter set\n"
               "  send FILE.M60                    send tables of a parameter set\n"
               "  verify FILE.M60                  compare the box's tables with a parameter set; exit 0\n"
               "                                   equal, 1 different (listed), 2 trouble\n"
               "  online [--seconds S] [--set ADDRESS=VALUE ...]\n"
               "                                   live values as JSON lines; --set writes a box byte\n"
               "  info                             the box's info block as JSON\n"
               "  diag COMMAND                     a diagnostic exchange (158..165) as JSON\n"
               "  link options: --port PATH | --com N, --baud N (19200), --timeout MS (250),\n"
               "                --what fuel|function|ignition|index|all (all)\n"
               "\n"
               "Exit status: 0 success, 1 data-file failure (message on stderr), 2 usage error.\n"
               "The installation (CNF, DATA, HELP, libadapt.so) is the folder of this program\n"
               "unless --program-dir names another.\n",
               to);
}

} // namespace

int main(int argc, char** argv)
{
    std::filesystem::path programDir = platform::programFolder();
    std::string language = "en";
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--program-dir" && i + 1 < argc) {
            programDir = argv[++i];
        } else if (arg == "--language" && i + 1 < argc) {
            language = argv[++i];
        } else if (arg == "-h" || arg == "--help") {
            printUsage(stdout);
            return cli::kExitOk;
        } else {
            args.emplace_back(arg);
        }
    }
    auto usage = [] {
        printUsage(stderr);
        return cli::kExitUsage;
    };
    if (args.empty()) {
        return usage();
    }
    const std::string command = args[0];
    cli::LinkOptions link;
    const bool boxCommand = command == "receive" || command == "send" || command == "verify" || command == "online" || command == "info" ||
                            command == "diag";
    if (boxCommand) {
        if (const auto error = cli::parseLinkOptions(args, link)) {
            std::cerr << *error << "\n";
            return cli::kExitUsage;
        }
    }
    cli::ProposeOptions proposeOptions;
    if (command == "propose") {
        if (const auto error = cli::parseProposeOptions(args, proposeOptions)) {
            std::cerr << *error << "\n";
            return cli::kExitUsage;
        }
    }
    const std::size_t n = args.size() - 1;
    const bool known = (command == "summary" && n == 0) || ((command == "new" || command == "dump" ||
                                                             command == "resave") && n == 1) ||
                       (command == "diff" && n == 2) || (command == "export-csv" && (n == 2 || n == 3)) ||
                       (command == "import-csv" && n == 3) || (command == "propose" && n == 2) ||
                       ((command == "receive" || command == "send" || command == "verify" || command == "diag") && n == 1) ||
                       ((command == "online" || command == "info") && n == 0);
    if (!known) {
        return usage();
    }

    morvex::CAppCore core;
    std::string message;
    if (!core.Start(programDir, language, message)) {
        std::cerr << message << "\n";
        return cli::kExitFailure;
    }
    const cli::Context ctx{core, std::cout, std::cerr};
    if (command == "summary") {
        return cli::summary(ctx);
    }
    if (command == "new") {
        return cli::newFile(ctx, args[1]);
    }
    if (command == "dump") {
        return cli::dump(ctx, args[1]);
    }
    if (command == "resave") {
        return cli::resave(ctx, args[1]);
    }
    if (command == "diff") {
        return cli::diff(ctx, args[1], args[2]);
    }
    if (command == "export-csv") {
        return cli::exportCsv(ctx, args[1], args[2], n == 3 ? std::filesystem::path(args[3]) : "");
    }
    if (command == "import-csv") {
        return cli::importCsv(ctx, args[1], args[2], args[3]);
    }
    if (command == "propose") {
        return cli::propose(ctx, proposeOptions, args[1], args[2]);
    }
    if (command == "receive") {
        return cli::receive(ctx, link, args[1]);
    }
    if (command == "send") {
        return cli::send(ctx, link, args[1]);
    }
    if (command == "verify") {
        return cli::verify(ctx, link, args[1]);
    }
    if (command == "online") {
        return cli::online(ctx, link);
    }
    if (command == "info") {
        return cli::info(ctx, link);
    }
    return cli::diag(ctx, link, std::atoi(args[1].c_str()));
}
