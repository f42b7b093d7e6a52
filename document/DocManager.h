#pragma once

#include "document/RestorePoints.h"

#include <filesystem>
#include <functional>
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

    // Runs before the document's tables are replaced without a question
    // (New, Open or Reload over unsaved changes) and before an existing file
    // is overwritten by a save; `file` is the document's file, or the file
    // about to be overwritten. Returning false cancels the operation.
    using BeforeReplace = std::function<bool(RestoreReason reason, const std::filesystem::path& file)>;
    void setBeforeReplace(BeforeReplace hook) { beforeReplace_ = std::move(hook); }

    // A new, default parameter set without a file. False when the hook
    // cancelled it.
    bool NewDocument();
    // Opens `path` even when it is the open document (that is what Reload
    // uses). A file that fails to read leaves the open document as it was.
    bool OpenDocumentFile(const std::filesystem::path& path);
    // Opens `path` as a modified document without a file name, so that Save
    // asks for one (a restore point).
    bool OpenCopy(const std::filesystem::path& path);
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
    bool beforeReplace(RestoreReason reason, const std::filesystem::path& file) const;

    CMorvexDoc& doc_;
    platform::UserMessages& messages_;
    std::filesystem::path dataFolder_;
    bool showDataPathAlwaysFirst_;
    bool firstDialog_ = true;
    std::filesystem::path path_;
    BeforeReplace beforeReplace_;
};

inline constexpr const char* kReloadQuestion =
    "Do you really want to reload this file?\n\nAll changes since last save will be lost!\n";

} // namespace morvex
