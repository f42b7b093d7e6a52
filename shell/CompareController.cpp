#include "shell/CompareController.h"

#include "document/AppCore.h"
#include "document/DataFile.h"
#include "document/InfoRecords.h"
#include "document/MorvexDoc.h"
#include "platform/Encoding.h"
#include "platform/UserMessages.h"
#include "shell/AppSettings.h"
#include "shell/CommController.h"
#include "shell/FrameRules.h"
#include "shell/MorvexApp.h"
#include "shell/PaneLayout.h"
#include "shell/TableViews.h"
#include "views/ZamoGridView.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace morvex::shell {
namespace {

// A parameter set read from a file for comparing, with file records of its
// own so the open document's stay untouched.
struct FileSide {
    CInfoRecords info;
    std::unique_ptr<CMorvexDoc> doc;
};

QString number(double value)
{
    return QString::number(value, 'g', 6);
}

QDialog* reportDialog(const std::vector<TableDifferenceCount>& report, const QString& title, const QString& summary,
                      QWidget* parent)
{
    auto* dialog = new QDialog(parent);
    dialog->setObjectName(QStringLiteral("compareReport"));
    dialog->setWindowTitle(title);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(dialog);
    auto* text = new QLabel(summary, dialog);
    text->setWordWrap(true);
    layout->addWidget(text);
    if (!report.empty()) {
        auto* list = new QTableWidget(static_cast<int>(report.size()), 3, dialog);
        list->setHorizontalHeaderLabels({QObject::tr("Table"), QObject::tr("Differing cells"),
                                         QObject::tr("Largest difference")});
        list->verticalHeader()->hide();
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list->setSelectionBehavior(QAbstractItemView::SelectRows);
        for (std::size_t i = 0; i < report.size(); ++i) {
            const auto row = static_cast<int>(i);
            list->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(
                                      platform::cp1252ToUtf8(std::string(report[i].name)))));
            list->setItem(row, 1, new QTableWidgetItem(QString::number(report[i].cells)));
            list->setItem(row, 2, new QTableWidgetItem(number(report[i].largest)));
        }
        list->resizeColumnsToContents();
        list->horizontalHeader()->setStretchLastSection(true);
        list->setMinimumWidth(420);
        layout->addWidget(list);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    layout->addWidget(buttons);
    return dialog;
}

} // namespace

CompareController::CompareController(CMorvexApp& app, CommController& comm, TableViews& tables, PaneLayout& panes,
                                     platform::UserMessages& messages, QWidget* frame)
    : QObject(frame), app_(app), comm_(comm), tables_(tables), panes_(panes), messages_(messages), frame_(frame),
      chooseFile_([](QWidget* parent) {
          return QFileDialog::getOpenFileName(parent, tr("Compare With"), QString(),
                                              tr("Zamo-Box data (*.M60 *.m60);;All files (*)"));
      })
{
    connect(&comm_, &CommController::compareReceived, this, &CompareController::Received);
    // Marks last until the next edit or transfer.
    connect(&tables_, &TableViews::documentEdited, this, &CompareController::ClearMarks);
    connect(&comm_, &CommController::documentReceived, this, &CompareController::ClearMarks);
    connect(&comm_, &CommController::stateChanged, this, [this] {
        if (comm_.running() && !comm_.comparing()) {
            ClearMarks();
        }
        UpdateActions();
    });
    connect(&comm_, &CommController::allSent, this, [this] {
        if (app_.settings().verifyAfterSendAll != 0) {
            verifying_ = CompareWithBox(true);
        }
    });

    compareFile_ = new QAction(tr("Compare &With..."), this);
    connect(compareFile_, &QAction::triggered, this, qOverload<>(&CompareController::CompareWithFile));
    comparePane_ = new QAction(tr("Compare &Pane with Box\tCtrl+F6"), this);
    comparePane_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F6));
    connect(comparePane_, &QAction::triggered, this, [this] { CompareWithBox(false); });
    compareAll_ = new QAction(tr("Compare &All with Box\tCtrl+Shift+F6"), this);
    compareAll_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F6));
    connect(compareAll_, &QAction::triggered, this, [this] { CompareWithBox(true); });
    verify_ = new QAction(tr("&Verify after Send All"), this);
    verify_->setCheckable(true);
    verify_->setChecked(app_.settings().verifyAfterSendAll != 0);
    connect(verify_, &QAction::toggled, this, [this](bool on) { app_.settings().verifyAfterSendAll = on ? 1 : 0; });
    for (QAction* a : {comparePane_, compareAll_}) {
        a->setShortcutContext(Qt::WindowShortcut);
        frame_->addAction(a); // the keys work with hidden menus too
    }
    UpdateActions();
}

void CompareController::UpdateActions()
{
    const bool idle = !comm_.busy() && !comm_.online() && !comm_.running();
    for (QAction* a : {comparePane_, compareAll_, compareFile_}) {
        if (a != nullptr) {
            a->setEnabled(idle);
        }
    }
}

bool CompareController::CompareWithBox(bool all)
{
    const int pane = panes_.activePane();
    if (!all && (pane == kDataRecordPane || pane == kDiagnosticPane)) {
        messages_.show({"The box holds no tables of this pane to compare with.",
                        platform::UserMessage::Icon::Information});
        return false;
    }
    return comm_.StartCompare(all, pane == kDiagnosticPane ? kFirstPane : pane);
}

void CompareController::Received(std::shared_ptr<const CMorvexDoc> box, bool complete)
{
    const bool verifying = std::exchange(verifying_, false);
    if (!complete) {
        // Whatever the transfer said is already on the screen; a half read
        // box proves nothing either way.
        messages_.show({verifying ? "The box could not be read back completely: it was not verified."
                                  : "The box could not be read completely: nothing was compared.",
                        platform::UserMessage::Icon::Exclamation});
        return;
    }
    Report(std::move(box), verifying ? tr("Verify after Send All") : tr("Compare with Box"), tr("The box"), true);
}

void CompareController::CompareWithFile()
{
    const QString file = chooseFile_(frame_);
    if (!file.isEmpty()) {
        CompareWithFile(std::filesystem::path(file.toStdString()));
    }
}

bool CompareController::CompareWithFile(const std::filesystem::path& file)
{
    auto side = std::make_shared<FileSide>();
    CMorvexDoc& open = app_.doc();
    side->doc = std::make_unique<CMorvexDoc>(open.Adapt(), open.Limits(), side->info, app_.core().paths().premapFile());
    const FileOutcome outcome = OpenDataFile(*side->doc, file);
    if (!outcome.ok) {
        messages_.show({outcome.message, platform::UserMessage::Icon::Exclamation});
        return false;
    }
    std::shared_ptr<const CMorvexDoc> other(side, side->doc.get());
    Report(std::move(other), tr("Compare With File"), QString::fromStdString(file.filename().string()), false);
    return true;
}

void CompareController::Report(std::shared_ptr<const CMorvexDoc> other, const QString& title,
                               const QString& against, bool box)
{
    report_ = CountTableDifferences(app_.doc(), *other);
    int cells = 0;
    for (const TableDifferenceCount& t : report_) {
        cells += t.cells;
    }
    const QString summary =
        report_.empty() ? (box ? tr("%1 holds the same tables as the open document: box matches.").arg(against)
                               : tr("%1 holds the same tables as the open document.").arg(against))
                        : tr("%1 differs from the open document in %2 of %3. The differing cells of the shown "
                             "tables are marked until the next edit or transfer.")
                              .arg(against, cells == 1 ? tr("1 cell") : tr("%1 cells").arg(cells),
                                   report_.size() == 1 ? tr("1 table") : tr("%1 tables").arg(report_.size()));
    MarkPanes(report_.empty() ? nullptr : std::move(other));
    marked_ = !report_.empty();
    if (dialog_ != nullptr) {
        dialog_->close();
    }
    dialog_ = reportDialog(report_, title, summary, frame_);
    connect(dialog_, &QObject::destroyed, this, [this] { dialog_ = nullptr; });
    dialog_->open();
    emit reportShown();
}

void CompareController::ClearMarks()
{
    if (!marked_) {
        return;
    }
    marked_ = false;
    MarkPanes(nullptr);
}

void CompareController::MarkPanes(const std::shared_ptr<const CMorvexDoc>& other)
{
    // Every table pane (a view without box tables marks nothing).
    for (const int pane : {kFirstPane, kFirstPane + 1, kFirstPane + 2, kFirstPane + 3, kIndexPane}) {
        if (views::CZamoGridView* view = tables_.viewOf(pane)) {
            view->MarkDifferences(other);
        }
    }
}

} // namespace morvex::shell
