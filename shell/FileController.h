#pragma once

#include <QObject>
#include <QString>

#include <filesystem>
#include <functional>

class QWidget;

namespace platform {
class UserMessages;
}

namespace morvex::shell {

class CMorvexApp;

// The File menu: New, Open, Save, Save As, Reload and the recent files, on
// the document manager; asks before unsaved changes are dropped.
class FileController : public QObject {
    Q_OBJECT
public:
    // Runs a file dialog: empty result when the user cancelled.
    using FileDialog =
        std::function<QString(QWidget* parent, bool saveAs, const QString& folder, const QString& proposed)>;

    FileController(CMorvexApp& app, platform::UserMessages& messages, QWidget* window, QObject* parent = nullptr);

    void setFileDialog(FileDialog dialog) { dialog_ = std::move(dialog); }

    void New();
    void Open();
    bool OpenFile(const std::filesystem::path& path);
    // Asks before unsaved changes are dropped, then opens `path` as an
    // unsaved document without a name (a restore point): Save asks for one.
    bool OpenCopy(const std::filesystem::path& path);
    void OpenRecent(int index);
    bool Save();
    bool SaveAs();
    void Reload();
    bool CanReload() const;
    // Before the document is replaced or the program ends: false when the
    // user chose Cancel or the save failed.
    bool SaveModified();

    // The file name shown in the title ("Untitled" without a file).
    QString documentName() const;

signals:
    // The document's contents were replaced: every view shows them anew.
    void documentReplaced();
    // File name, modified flag or recent files changed.
    void fileStateChanged();

private:
    CMorvexApp& app_;
    platform::UserMessages& messages_;
    QWidget* window_;
    FileDialog dialog_;
};

} // namespace morvex::shell
