#include "shell/RestorePoints.h"

#include "comm/Operation.h"
#include "platform/Log.h"
#include "platform/UserMessages.h"
#include "shell/CommController.h"
#include "shell/FileController.h"
#include "shell/MorvexApp.h"
#include "shell/RestorePointsDlg.h"

namespace morvex::shell {
namespace {

const platform::LogCategory& log()
{
    static const platform::LogCategory category("morvex.restore");
    return category;
}

} // namespace

RestorePointController::RestorePointController(CMorvexApp& app, FileController& files, CommController& comm,
                                               platform::UserMessages& messages, QWidget* window, QObject* parent)
    : QObject(parent), app_(app), files_(files), comm_(&comm), messages_(messages), window_(window),
      store_(defaultRestoreFolder())
{
    app_.docManager().setBeforeReplace(
        [this](RestoreReason reason, const std::filesystem::path& file) { return BeforeReplace(reason, file); });
    connect(&comm, &QObject::destroyed, this, [this] { comm_ = nullptr; });
    comm.setBeforeReceive([this](comm::OperationId op) {
        return BeforeReplace(op == comm::OperationId::ReceiveAll ? RestoreReason::ReceiveAll
                                                                 : RestoreReason::ReceivePane,
                             app_.docManager().PathName());
    });
}

RestorePointController::~RestorePointController()
{
    // The document manager outlives the window.
    app_.docManager().setBeforeReplace({});
    if (comm_ != nullptr) {
        comm_->setBeforeReceive({});
    }
}

bool RestorePointController::BeforeReplace(RestoreReason reason, const std::filesystem::path& file)
{
    const RestorePointStore::Written written =
        reason == RestoreReason::Save ? store_.Keep(file, reason) : store_.Write(app_.doc(), reason, file);
    if (written.ok) {
        const AppSettings& s = app_.settings();
        store_.Prune({.maxCount = s.restorePointCount, .maxAgeDays = s.restorePointDays});
        return true;
    }
    const std::string folder = store_.folder().empty() ? std::string("(no data folder: HOME is not set)")
                                                       : store_.folder().string();
    log().warning("restore point not written to " + folder + ": " + written.error.message());
    platform::UserMessage m;
    m.text = "The restore point before " + std::string(reasonText(reason)) + " could not be written to\n" + folder +
             "\n(" + written.error.message() + ").\n\nGo on without a restore point?";
    m.icon = platform::UserMessage::Icon::Exclamation;
    m.buttons = platform::UserMessage::Buttons::YesNo;
    return messages_.show(m) == platform::UserAnswer::Yes;
}

void RestorePointController::ShowList()
{
    RestorePointsDlg dialog(store_.folder(), store_.List(), app_.doc(), window_);
    if (dialog.exec() == QDialog::Accepted && !dialog.chosen().empty()) {
        files_.OpenCopy(dialog.chosen());
    }
}

} // namespace morvex::shell
