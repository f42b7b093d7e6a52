#pragma once

#include "document/DocDiff.h"

#include <QObject>
#include <QString>

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QDialog;
class QWidget;

namespace platform {
class UserMessages;
}

namespace morvex {
class CMorvexDoc;
}

namespace morvex::shell {

class CMorvexApp;
class CommController;
class PaneLayout;
class TableViews;

// Compare with Box and Compare With File: a difference report per table,
// and the differing cells marked in the grids until the next edit or
// transfer. Optionally verifies the box after Send All.
class CompareController : public QObject {
    Q_OBJECT
public:
    CompareController(CMorvexApp& app, CommController& comm, TableViews& tables, PaneLayout& panes,
                      platform::UserMessages& messages, QWidget* frame);

    // The commands, for the File and Communication menus (their keys work
    // in the whole window).
    QAction* compareFileAction() const { return compareFile_; }
    QAction* comparePaneAction() const { return comparePane_; }
    QAction* compareAllAction() const { return compareAll_; }
    QAction* verifyAction() const { return verify_; }

    bool CompareWithBox(bool all);
    // Asks for the file (tests replace the question).
    void CompareWithFile();
    bool CompareWithFile(const std::filesystem::path& file);
    using FileChooser = std::function<QString(QWidget* parent)>;
    void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }

    // The tables of the last report (empty: all equal) and its dialog.
    const std::vector<TableDifferenceCount>& LastReport() const { return report_; }
    QDialog* ReportDialog() const { return dialog_; }
    // The marks go at the next edit or transfer.
    void ClearMarks();

signals:
    void reportShown();

private:
    void Received(std::shared_ptr<const CMorvexDoc> box, bool complete);
    void Report(std::shared_ptr<const CMorvexDoc> other, const QString& title, const QString& against, bool box);
    void UpdateActions();
    // The differing cells marked in every table pane (null: none).
    void MarkPanes(const std::shared_ptr<const CMorvexDoc>& other);

    CMorvexApp& app_;
    CommController& comm_;
    TableViews& tables_;
    PaneLayout& panes_;
    platform::UserMessages& messages_;
    QWidget* frame_;
    QAction* comparePane_ = nullptr;
    QAction* compareAll_ = nullptr;
    QAction* compareFile_ = nullptr;
    QAction* verify_ = nullptr;
    FileChooser chooseFile_;
    std::vector<TableDifferenceCount> report_;
    QDialog* dialog_ = nullptr;
    bool verifying_ = false; // the compare after Send All runs
    bool marked_ = false;
};

} // namespace morvex::shell
