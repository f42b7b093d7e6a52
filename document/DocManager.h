#pragma once

#include <filesystem>
#include <string>

namespace platform {
class UserMessages;
}

namespace morvex {

class CMorvexDoc;

// The document manager's side of open, save, Save As and Reload, without
// the dialogs: the GUI asks it where a file dialog starts, runs the dialog
// and hands the chosen path back.
class CMorvexDocManager {
public:
    CMorvexDocManager(CMorvexDoc& doc, platform::UserMessages& messages, std::filesystem::path dataFolder,
                      bool showDataPathAlwaysFirst);

    // Where a file dialog starts: the DATA folder for the first dialog after
    // start-up and, with ShowDataPathAlwaysFirst, for every dialog; an empty
    // folder leaves the dialog where it was. Save As proposes the current
    // file name inside that folder.
    struct DialogStart {
        std::filesystem::path folder;
        std::filesystem::path proposedFile;
    };
    DialogStart StartFileDialog(bool saveAs);

    // A new, default parameter set without a file.
    void NewDocument();
    // Opens `path` even when it is the open document (that is what Reload
    // uses). A file that fails to read leaves the open document as it was.
    bool OpenDocumentFile(const std::filesystem::path& path);
    // Save to the current file, keeping what this program does not write.
    bool Save();
    // Save to `path`, starting from an empty file; the document takes the path.
    bool SaveAs(const std::filesystem::path& path);

    // Reload is offered for a modified document that has a file.
    bool CanReload() const;
    // Asks, then reads the current file again. False when the user declined
    // or the file could not be read.
    bool Reload();

    const std::filesystem::path& PathName() const { return path_; }

private:
    bool save(const std::filesystem::path& path, bool inPlace);

    CMorvexDoc& doc_;
    platform::UserMessages& messages_;
    std::filesystem::path dataFolder_;
    bool showDataPathAlwaysFirst_;
    bool firstDialog_ = true;
    std::filesystem::path path_;
};

inline constexpr const char* kReloadQuestion =
    "Do you really want to reload this file?\n\nAll changes since last save will be lost!\n";

} // namespace morvex
