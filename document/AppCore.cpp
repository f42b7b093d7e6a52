#include "document/AppCore.h"

#include "document/DocumentLog.h"
#include "platform/IniFile.h"

namespace morvex {
namespace {

bool isDirectory(const std::filesystem::path& p)
{
    std::error_code ec;
    return std::filesystem::is_directory(p, ec);
}

} // namespace

InstallationPaths InstallationPaths::below(const std::filesystem::path& programDir)
{
    InstallationPaths p;
    p.program = programDir;
    p.data = programDir / "DATA";
    p.cnf = programDir / "CNF";
    p.diag = p.cnf / "DIAG";
    p.help = programDir / "HELP";
    return p;
}

bool InstallationPaths::complete() const
{
    return isDirectory(data) && isDirectory(cnf) && isDirectory(diag) && isDirectory(help);
}

bool CAppCore::Start(const std::filesystem::path& programDir, std::string_view language, std::string& message)
{
    paths_ = InstallationPaths::below(programDir);
    if (!paths_.complete()) {
        message = kInstallationIncompleteMessage;
        return false;
    }
    paths_.diag /= plainLanguage(language);

    if (adapt_.BindFromProgramFolder(programDir) != AdaptLibrary::Status::Bound) {
        message = adapt_.message();
        return false;
    }

    platform::IniFile initValues;
    std::error_code ec;
    if (!initValues.load(paths_.initValuesFile(), ec)) {
        documentLog().warning("cannot read " + paths_.initValuesFile().string() + ": " + ec.message());
    }
    ApplyConversionParameters(initValues, adapt_.functions());
    limits_.Read(initValues);
    LoadLabels(labelFilePath(paths_.cnf, language), labels_);
    return true;
}

} // namespace morvex
