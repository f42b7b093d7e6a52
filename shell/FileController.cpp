#include "shell/FileController.h"

#include "platform/UserMessages.h"
#include "shell/MorvexApp.h"

#include <QFileDialog>

namespace morvex::shell {
namespace {

QString runFileDialog(QWidget* parent, bool saveAs, const QString& folder, const QString& proposed)
{
    const QString filter = QObject::tr("Morvex data files (*.M60 *.m60);;All files (*)");
    if (saveAs) {
        QFileDialog dialog(parent, QObject::tr("Save As"), folder, filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("M60"));
        if (!proposed.isEmpty()) {
            dialog.selectFile(proposed);
        }
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    }
    return QFileDialog::getOpenFileName(parent, QObject::tr("Open"), folder, filter);
}

} // namespace

FileController::FileController(CMorvexApp& app, platform::UserMessages& messages, QWidget* window, QObject* parent)
    : QObject(parent), app_(app), messages_(messages), window_(window), dialog_(runFileDialog)
{
}

QString FileController::documentName() const
{
    const std::filesystem::path& path = app_.docManager().PathName();
    return path.empty() ? tr("Untitled") : QString::fromStdString(path.filename().string());
}

bool FileController::SaveModified()
{
    if (!app_.doc().IsModified()) {
        return true;
    }
    platform::UserMessage m;
    m.text = "Save changes to " + documentName().toStdString() + "?";
    m.icon = platform::UserMessage::Icon::Exclamation;
    m.buttons = platform::UserMessage::Buttons::YesNoCancel;
    switch (messages_.show(m)) {
    case platform::UserAnswer::Yes: return Save();
    case platform::UserAnswer::No: return true;
    default: return false;
    }
}

void FileController::New()
{
    if (!SaveModified()) {
        return;
    }
    if (app_.docManager().NewDocument()) {
        emit documentReplaced();
    }
    emit fileStateChanged();
}

void FileController::Open()
{
    if (!SaveModified()) {
        return;
    }
    const auto start = app_.docManager().StartFileDialog(false);
    const QString file = dialog_(window_, false, QString::fromStdString(start.folder.string()), {});
    if (!file.isEmpty()) {
        OpenFile(file.toStdString());
    }
}

bool FileController::OpenFile(const std::filesystem::path& path)
{
    if (!app_.docManager().OpenDocumentFile(path)) {
        emit fileStateChanged();
        return false;
    }
    app_.NoteRecentFile(path);
    emit documentReplaced();
    emit fileStateChanged();
    return true;
}

bool FileController::OpenCopy(const std::filesystem::path& path)
{
    if (!SaveModified()) {
        return false;
    }
    const bool ok = app_.docManager().OpenCopy(path);
    if (ok) {
        emit documentReplaced();
    }
    emit fileStateChanged();
    return ok;
}

void FileController::OpenRecent(int index)
{
    auto& recent = app_.settings().recentFiles;
    if (index < 0 || static_cast<std::size_t>(index) >= recent.size() || !SaveModified()) {
        return;
    }
    const std::string file = recent[static_cast<std::size_t>(index)];
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        // A recent file that is gone leaves the list.
        std::erase(recent, file);
        messages_.show(
            {"Cannot open " + file + ":\nthe file does not exist any more.", platform::UserMessage::Icon::Exclamation});
        emit fileStateChanged();
        return;
    }
    OpenFile(file);
}

bool FileController::Save()
{
    if (app_.docManager().PathName().empty()) {
        return SaveAs();
    }
    const bool ok = app_.docManager().Save();
    emit fileStateChanged();
    return ok;
}

bool FileController::SaveAs()
{
    const auto start = app_.docManager().StartFileDialog(true);
    const QString file = dialog_(window_, true, QString::fromStdString(start.folder.string()),
                                 QString::fromStdString(start.proposedFile.string()));
    if (file.isEmpty()) {
        return false;
    }
    const bool ok = app_.docManager().SaveAs(file.toStdString());
    if (ok) {
        app_.NoteRecentFile(file.toStdString());
    }
    emit fileStateChanged();
    return ok;
}

bool FileController::CanReload() const
{
    return app_.docManager().CanReload();
}

void FileController::Reload()
{
    if (app_.docManager().Reload()) {
        emit documentReplaced();
    }
    emit fileStateChanged();
}

} // namespace morvex::shell
