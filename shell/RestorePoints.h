#pragma once

#include "document/RestorePoints.h"

#include <QObject>

#include <filesystem>

class QWidget;

namespace platform {
class UserMessages;
}

namespace morvex::shell {

class CMorvexApp;
class CommController;
class FileController;

// Restore points in the editor. Before Receive Pane, Receive All, and New,
// Open or Reload over unsaved changes, the open document is written to the
// restore folder; before a save overwrites a file, that file is copied
// there. File > Restore Points... lists them and opens the chosen one as an
// unsaved document. Installs itself as the document manager's and the
// communication's hook for as long as it lives.
class RestorePointController : public QObject {
    Q_OBJECT
public:
    RestorePointController(CMorvexApp& app, FileController& files, CommController& comm,
                           platform::UserMessages& messages, QWidget* window, QObject* parent = nullptr);
    ~RestorePointController() override;

    // Writes the restore point for `reason` (`file`: the document's file,
    // or for a save the file about to be overwritten), then prunes the
    // folder by the settings. When the point cannot be written the user
    // chooses: go on without it (true) or cancel the operation (false).
    bool BeforeReplace(RestoreReason reason, const std::filesystem::path& file);

    // File > Restore Points...: the list, then the chosen point opened.
    void ShowList();

    RestorePointStore& store() { return store_; }

private:
    CMorvexApp& app_;
    FileController& files_;
    // A sibling in the frame that may be destroyed first (then null).
    CommController* comm_;
    platform::UserMessages& messages_;
    QWidget* window_;
    RestorePointStore store_;
};

} // namespace morvex::shell
