#pragma once

#include "document/AdaptLibrary.h"
#include "document/InfoRecords.h"
#include "document/Labels.h"
#include "document/Limits.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace morvex {

// The folders of an installation, all below the program folder.
struct InstallationPaths {
    std::filesystem::path program;
    std::filesystem::path data;
    std::filesystem::path cnf;
    std::filesystem::path diag; // CNF/DIAG/<language>/ once the language is known
    std::filesystem::path help;

    static InstallationPaths below(const std::filesystem::path& programDir);
    // DATA, CNF, CNF/DIAG and HELP all exist.
    bool complete() const;
    std::filesystem::path initValuesFile() const { return cnf / "InitValues.cfg"; }
    std::filesystem::path premapFile() const { return cnf / "Premap.cfg"; }
};

inline constexpr const char* kInstallationIncompleteMessage =
    "Installation incomplete!\nNo data directory found!\n\nProgram aborted!";

// What the application owns for the whole run and every document uses: the
// bound conversion library, labels, limits and the info records. Shared by
// the editor and the command-line tool so both start the same way.
class CAppCore {
public:
    // Checks the installation, binds the conversion library, applies the
    // conversion parameters and reads limits and labels. On failure returns
    // false with the message to show.
    bool Start(const std::filesystem::path& programDir, std::string_view language, std::string& message);

    const InstallationPaths& paths() const { return paths_; }
    const AdaptFunctions& adapt() const { return adapt_.functions(); }
    const CLabels& labels() const { return labels_; }
    CLimits& limits() { return limits_; }
    const CLimits& limits() const { return limits_; }
    CInfoRecords& info() { return info_; }

private:
    InstallationPaths paths_;
    AdaptLibrary adapt_;
    CLabels labels_;
    CLimits limits_;
    CInfoRecords info_;
};

} // namespace morvex
