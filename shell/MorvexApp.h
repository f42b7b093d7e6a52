#pragma once

#include "document/AppCore.h"
#include "document/DocManager.h"
#include "document/LambdaSensors.h"
#include "document/MorvexDoc.h"
#include "platform/IniFile.h"
#include "platform/SerialLine.h"
#include "shell/AppSettings.h"

#include <filesystem>
#include <memory>
#include <optional>

namespace platform {
class UserMessages;
}

namespace morvex::shell {

// The application object without its windows: everything the editor
// prepares before the first window is shown and writes back at exit.
class CMorvexApp {
public:
    struct Options {
        std::filesystem::path programDir;
        std::optional<std::filesystem::path> file; // named on the command line
        std::filesystem::path userConfigDir;       // where settings go when the program folder is read-only
    };

    CMorvexApp();
    ~CMorvexApp();
    CMorvexApp(const CMorvexApp&) = delete;
    CMorvexApp& operator=(const CMorvexApp&) = delete;

    // The start-up steps in order. False after a failure that ends the
    // program; its message has then been shown through `messages`.
    bool InitInstance(const Options& options, platform::UserMessages& messages);
    // Opens the start-up file (most recent or command line), else a new
    // document. Messages of a failed open go through the document manager.
    void OpenStartupDocument();
    // Writes the settings back in the order of exit.
    void ExitInstance();

    AppSettings& settings() { return settings_; }
    CAppCore& core() { return core_; }
    LambdaSensors& sensors() { return sensors_; }
    CMorvexDoc& doc() { return *doc_; }
    CMorvexDocManager& docManager() { return *docManager_; }
    const platform::SerialTimeouts& timeouts() const { return timeouts_; }
    const std::filesystem::path& settingsPath() const { return settingsPath_; }
    const std::optional<std::filesystem::path>& startupFile() const { return startupFile_; }

    // A document was opened or saved under `path`: it leads the recent files.
    void NoteRecentFile(const std::filesystem::path& path);

private:
    AppSettings settings_;
    CAppCore core_;
    LambdaSensors sensors_;
    platform::IniFile settingsIni_;
    std::filesystem::path settingsPath_;
    platform::SerialTimeouts timeouts_;
    std::optional<std::filesystem::path> startupFile_;
    std::unique_ptr<CMorvexDoc> doc_;
    std::unique_ptr<CMorvexDocManager> docManager_;
    bool started_ = false;
};

} // namespace morvex::shell
