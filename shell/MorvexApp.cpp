#include "shell/MorvexApp.h"

#include "platform/Log.h"
#include "platform/UserMessages.h"

namespace morvex::shell {
namespace {

const platform::LogCategory& log()
{
    static const platform::LogCategory category("morvex.shell");
    return category;
}

void fail(platform::UserMessages& messages, const std::string& text, bool systemModal)
{
    platform::UserMessage m;
    m.text = text;
    m.icon = platform::UserMessage::Icon::Stop;
    m.systemModal = systemModal;
    messages.show(m);
}

} // namespace

CMorvexApp::CMorvexApp() = default;

CMorvexApp::~CMorvexApp() = default;

bool CMorvexApp::InitInstance(const Options& options, platform::UserMessages& messages)
{
    const InstallationPaths paths = InstallationPaths::below(options.programDir);
    if (!paths.complete()) {
        fail(messages, kInstallationIncompleteMessage, true);
        return false;
    }

    settingsPath_ = settingsFile(options.programDir, options.userConfigDir);
    std::error_code ec;
    if (!settingsIni_.load(settingsPath_, ec)) {
        log().warning("cannot read " + settingsPath_.string() + ": " + ec.message());
    }

    sensors_.Enumerate(paths.cnf);
    settings_.Read(settingsIni_);
    if (const std::string message = sensors_.SelectByName(settings_.lamdaSensor); !message.empty()) {
        platform::UserMessage m;
        m.text = message;
        m.icon = platform::UserMessage::Icon::Exclamation;
        messages.show(m);
    }

    std::string message;
    if (!core_.Start(options.programDir, settings_.language, message)) {
        fail(messages, message, message == kInstallationIncompleteMessage);
        return false;
    }
    ApplyLambdaSelection(sensors_, core_.limits());

    platform::IniFile initValues;
    if (!initValues.load(core_.paths().initValuesFile(), ec)) {
        log().warning("cannot read " + core_.paths().initValuesFile().string() + ": " + ec.message());
    }
    timeouts_ = serialTimeouts(initValues, settings_.timeout);

    doc_ = std::make_unique<CMorvexDoc>(core_.adapt(), core_.limits(), core_.info(), core_.paths().premapFile());
    docManager_ = std::make_unique<CMorvexDocManager>(*doc_, messages, core_.paths().data,
                                                      settings_.showDataPathAlwaysFirst != 0);
    startupFile_ = shell::startupFile(settings_.recentFiles, options.file);
    started_ = true;
    return true;
}

void CMorvexApp::OpenStartupDocument()
{
    if (startupFile_ && docManager_->OpenDocumentFile(*startupFile_)) {
        NoteRecentFile(*startupFile_);
        return;
    }
    docManager_->NewDocument();
}

void CMorvexApp::NoteRecentFile(const std::filesystem::path& path)
{
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    addRecentFile(settings_.recentFiles, (ec ? path : absolute).string(), settings_.mruCount);
}

void CMorvexApp::ExitInstance()
{
    if (!started_) {
        return;
    }
    settings_.lamdaSensor = sensors_.SettingValue();
    settings_.Write(settingsIni_);
    std::error_code ec;
    if (!settingsIni_.save(settingsPath_, ec)) {
        log().warning("cannot write " + settingsPath_.string() + ": " + ec.message());
    }
    started_ = false;
}

} // namespace morvex::shell
