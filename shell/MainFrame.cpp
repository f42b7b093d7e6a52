#include "shell/MainFrame.h"

#include "comm/Operation.h"
#include "comm/PortCodes.h"
#include "document/LambdaSensors.h"
#include "grid/ValueGridCtrl.h"
#include "live/OnlineView.h"
#include "platform/UserMessages.h"
#include "shell/CommController.h"
#include "shell/CompareController.h"
#include "shell/CorrectionController.h"
#include "shell/DiagnosticPane.h"
#include "shell/FileController.h"
#include "shell/FontDialog.h"
#include "shell/GridFonts.h"
#include "shell/OnlineValuesPane.h"
#include "shell/InfoDlg.h"
#include "shell/MorvexApp.h"
#include "shell/PaneLayout.h"
#include "shell/PortController.h"
#include "shell/RestorePoints.h"
#include "shell/TableViews.h"
#include "shell/UndoController.h"
#include "shell/ZamoStatusbar.h"
#include "views/DataRecordingView.h"
#include "views/FuelmapView.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLocale>
#include <QMenu>
#include <QSplitter>
#include <QUrl>

namespace morvex::shell {
namespace {

std::string formatLocalDate(platform::OleDateTime date)
{
    const auto parts = date.toParts();
    if (!parts) {
        return {};
    }
    const QDateTime dt(QDate(parts->year, parts->month, parts->day), QTime(parts->hour, parts->minute, parts->second));
    return QLocale().toString(dt, QLocale::ShortFormat).toStdString();
}

// The frame as the views reach it: a changed value while online.
class FrameTarget : public platform::MessageTarget {
public:
    explicit FrameTarget(CommController& comm) : comm_(comm) {}
    void post(uint32_t message, uintptr_t wParam, intptr_t lParam) override { send(message, wParam, lParam); }
    intptr_t send(uint32_t message, uintptr_t wParam, intptr_t lParam) override
    {
        if (message == comm::WM_BOX_VALUE_CHANGED) {
            comm::UpdateEntry entry;
            entry.command = static_cast<uint8_t>(wParam & 0xFF);
            entry.lineAddress = static_cast<uint16_t>((wParam >> 16) & 0xFFFF);
            entry.newValue = static_cast<uint8_t>(lParam & 0xFF);
            entry.oldValue = static_cast<uint8_t>((lParam >> 16) & 0xFF);
            comm_.ValueChanged(entry);
        }
        return 0;
    }

private:
    CommController& comm_;
};

} // namespace

CMainFrame::CMainFrame(CMorvexApp& app, platform::UserMessages& messages, QWidget* parent)
    : QMainWindow(parent), app_(app), messages_(messages),
      comm_(new CommController(app.doc(), app.core(), messages, this)), ports_(nullptr),
      files_(new FileController(app, messages, this, this)), panes_(new PaneLayout(this)),
      status_(new CZamoStatusbar(this)), openUrl_([](const QUrl& url) { return QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("mainFrame"));
    setAcceptDrops(true);
    comm_->setTimeouts(app.timeouts());
    ports_ = new PortController(app.settings(), *comm_, messages, app.core().paths().program, this);
    restorePoints_ = new RestorePointController(app, *files_, *comm_, messages, this, this);
    setCentralWidget(panes_);
    setStatusBar(status_);
    frameTarget_ = std::make_unique<FrameTarget>(*comm_);
    buildViews();
    undo_ = new UndoController(app.doc(), *comm_, this);
    for (int pane = kFirstPane; pane <= kIndexPane; ++pane) {
        undo_->Watch(tables_->viewOf(pane)->Grid());
    }
    diagnostic_ = new DiagnosticPane(app_, *comm_, *panes_, this);
    buildMenus();
    buildToolBars();
    connectControllers();
    returnKeyboardAfterDialogs();

    status_->setPaneText(CZamoStatusbar::TransferText, QString());
    status_->linkState().SetState(false, QStringLiteral("OFFLINE"));
    status_->setPaneText(CZamoStatusbar::Port, QStringLiteral("COM%1").arg(ports_->selectedPort()));
    status_->setPaneText(CZamoStatusbar::Baud, QString::number(app.settings().lastUsedBaud));
    const LambdaSensorDisplay lambda = ApplyLambdaSelection(app.sensors(), app.core().limits());
    status_->setPaneText(CZamoStatusbar::LambdaSensor, QString::fromStdString(lambda.statusText));
    updateTitle();
    UpdateCommandStates();
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::buildViews()
{
    views::ViewContext context;
    context.doc = &app_.doc();
    context.labels = &app_.core().labels();
    context.frame = frameTarget_.get();
    context.messages = &messages_;
    context.sensors = &app_.sensors();
    const GridFonts fonts = createGridFonts();
    gridFont_ = fonts.grid;
    // A stored font that does not read back leaves the default.
    QFont stored;
    if (!app_.settings().gridFont.empty() && stored.fromString(QString::fromStdString(app_.settings().gridFont))) {
        gridFont_ = stored;
    }
    context.gridFont = gridFont_;
    context.captionFont = fonts.grid;
    context.useRightCylinderForLambdaCorrection = &app_.settings().useRightCylinderForLambdaCorrection;

    tables_ = new TableViews(context, *panes_, app_.settings().animateChart != 0, this);
    tables_->setUpLiveTrail(app_.settings());
    connect(tables_, &TableViews::documentEdited, this, [this] { setWindowModified(true); });
    connect(tables_, &TableViews::staticPointChanged, this, [this](int degrees) {
        status_->setPaneText(CZamoStatusbar::IgnitionAngle, QStringLiteral("BTDC (vOT): %1\u00B0").arg(degrees));
    });
    live::OnlineViewContext online;
    online.doc = &app_.doc();
    online.limits = &app_.core().limits();
    online.labels = &app_.core().labels();
    online.adapt = &app_.core().adapt();
    online.sensors = &app_.sensors();
    online.messages = &messages_;
    onlineValues_ = new OnlineValuesPane(online, app_.settings(), *panes_, this);
    comm::PaneTargets targets = tables_->portTargets();
    targets.onlineValues = &onlineValues_->portTarget();
    comm_->setPaneTargets(targets);
    compare_ = new CompareController(app_, *comm_, *tables_, *panes_, messages_, this);
    correction_ = new CorrectionController(app_.settings(), tables_->fuelmap(), messages_, this);
    updateViews(views::kHintAll);
}

void CMainFrame::updateViews(int hint)
{
    tables_->update(hint);
    // The lambda displays follow the sensor limits of the document.
    onlineValues_->view().OnLambdaSensorChanged();
}

views::CFuelmapView& CMainFrame::fuelmapView()
{
    return tables_->fuelmap();
}

views::CZamoGridView* CMainFrame::activeGridView() const
{
    return tables_->viewOf(panes_->activePane());
}

void CMainFrame::connectControllers()
{
    connect(comm_, &CommController::transferText, this,
            [this](const QString& text, bool error) { status_->transferText().Set(error, text); });
    connect(comm_, &CommController::linkState, this,
            [this](bool active, const QString& text) { status_->linkState().SetState(active, text); });
    connect(comm_, &CommController::pulse, this, [this](bool error) { status_->linkState().Pulse(error); });
    connect(comm_, &CommController::switchToView, this, &CMainFrame::ShowPane);
    connect(comm_, &CommController::stateChanged, this, [this] {
        panes_->switchMode(comm_->online());
        UpdateCommandStates();
    });
    connect(comm_, &CommController::documentReceived, this, [this] {
        // Index tables may have come too: headers and tables.
        undo_->Clear();
        updateViews(views::kHintAll);
        updateTitle();
    });
    connect(comm_, &CommController::waitingForWorker, this, [this](bool waiting) {
        if (waiting) {
            status_->showMessage(tr("Waiting for the port to close..."));
        } else {
            status_->clearMessage();
        }
    });
    connect(ports_, &PortController::portChanged, this, [this](int com) {
        status_->setPaneText(CZamoStatusbar::Port, QStringLiteral("COM%1").arg(com));
        UpdateCommandStates();
    });
    connect(ports_, &PortController::baudChanged, this,
            [this](int baud) { status_->setPaneText(CZamoStatusbar::Baud, QString::number(baud)); });
    connect(ports_, &PortController::simulatedBoxReady, this, [this](bool ok) {
        if (ok) {
            status_->showMessage(
                tr("Simulated box ready on %1").arg(QString::fromStdString(ports_->deviceOf(ports_->selectedPort()))),
                5000);
            ports_->rebuildMenu(*portMenu_, !state().busy && !state().online);
            UpdateCommandStates();
        }
    });
    connect(files_, &FileController::fileStateChanged, this, [this] {
        undo_->NoteFileState();
        updateTitle();
        UpdateCommandStates();
    });
    connect(files_, &FileController::documentReplaced, this, &CMainFrame::OnDocumentReplaced);
    connect(panes_, &PaneLayout::command, this, &CMainFrame::onCommand);
    connect(undo_, &UndoController::documentRestored, this, [this](int hint, const QList<int>& panes) {
        // An undo is an edit: compare marks would no longer be true.
        compare_->ClearMarks();
        for (int pane : panes) {
            tables_->viewOf(pane)->OnUpdate(hint);
        }
        updateTitle();
        UpdateCommandStates();
    });
    connect(panes_->mainSplitter(), &QSplitter::splitterMoved, this, &CMainFrame::UpdateCommandStates);
    connect(correction_, &CorrectionController::showPane, this, &CMainFrame::ShowPane);
    connect(correction_, &CorrectionController::statusMessage, this,
            [this](const QString& text) { status_->showMessage(text, 5000); });
    connect(comm_, &CommController::stateChanged, correction_, &CorrectionController::UpdateActions);
    connect(&tables_->fuelmap(), &views::CFuelmapView::recordsReset, this,
            [this] { tables_->dataRecording().OnUpdate(views::kHintAll); });
}

QAction* CMainFrame::action(int id) const
{
    const auto it = actions_.find(id);
    return it != actions_.end() ? it->second : nullptr;
}

int CMainFrame::activePane() const
{
    return panes_->activePane();
}

FrameState CMainFrame::state() const
{
    FrameState s;
    s.activeView = panes_->activePane();
    s.busy = comm_->busy();
    s.online = comm_->online();
    s.operationRunning = comm_->running();
    s.selectedPortPresent = ports_->selectedPortPresent();
    s.onlineValuesShown = panes_->onlineValuesShown();
    s.tableWindowShown = panes_->tableWindowShown();
    return s;
}

void CMainFrame::UpdateCommandStates()
{
    const FrameState s = state();
    views::CZamoGridView* view = activeGridView();
    for (const auto& [id, a] : actions_) {
        CommandUi ui = commandState(id, s);
        // The view's own commands.
        if (TableViews::isViewCommand(id)) {
            ui = tables_->commandState(id, s.activeView);
            if (isMapToolCommand(id)) {
                // Their keys work on any selection (the tool checks it when
                // run); the open Edit menu greys what cannot run.
                ui.enabled = mapToolsAllowed(s) && tables_->hasMapTools(s.activeView);
            }
        } else if (id == cmd::kGridFont || id == cmd::kOnlineColors) {
            ui.enabled = true;
        } else if (id == cmd::kAdjustPane) {
            ui.enabled = s.activeView != kDiagnosticPane && view != nullptr;
        }
        if (id == cmd::kLambdaCorrection) {
            a->setCheckable(true);
            a->setEnabled(ui.enabled);
            a->setChecked(ui.checked);
            continue;
        }
        a->setEnabled(ui.enabled);
        const bool checkable = id == cmd::kOnline || id == cmd::kOnlineValues || id == cmd::kTableWindow ||
                               (id >= kFirstPane && id <= kDiagnosticPane) ||
                               (id >= cmd::kSendPane && id <= cmd::kReceiveAll);
        a->setCheckable(checkable);
        if (checkable) {
            const bool running = static_cast<int>(comm_->operation()) == id;
            a->setChecked(ui.checked || running);
        }
    }
    portMenu_->setEnabled(!s.busy && !s.online && !s.operationRunning);
    for (QAction* a : replaceActions_) {
        a->setEnabled(!s.operationRunning);
    }
    reloadAction_->setEnabled(files_->CanReload() && !s.operationRunning);
    saveAction_->setEnabled(true);
    diagnostic_->updateCommandStates(s.activeView);
    // Undo writes into the document: not while a transfer does.
    undo_->SetAllowed(!s.operationRunning || s.online);
}

bool CMainFrame::RunCommand(int id)
{
    QAction* a = action(id);
    if (a == nullptr || !a->isEnabled()) {
        return false;
    }
    a->trigger();
    return true;
}

void CMainFrame::onCommand(int id)
{
    const bool viewCommand = TableViews::isViewCommand(id) || id == cmd::kGridFont || id == cmd::kOnlineColors;
    if (id != cmd::kAdjustPane && !viewCommand && !commandState(id, state()).enabled) {
        return;
    }
    const UndoController::Action action = undo_->ForCommand(id);
    switch (id) {
    case cmd::kOnline: comm_->ToggleOnline(); break;
    case cmd::kSendPane:
    case cmd::kReceivePane:
    case cmd::kSendAll:
    case cmd::kReceiveAll: comm_->StartTableTransfer(static_cast<comm::OperationId>(id), panes_->activePane()); break;
    case cmd::kCancel: comm_->Cancel(); break;
    case cmd::kPortSettings: ports_->PortSettings(this); break;
    case cmd::kNextWindow: ShowPane(nextPane(activePane(), comm_->online() || comm_->busy())); break;
    case cmd::kPreviousWindow: ShowPane(previousPane(activePane(), comm_->online() || comm_->busy())); break;
    case cmd::kOnlineValues: panes_->toggleOnlineValues(); break;
    case cmd::kAdjustPane:
        // The header's double-click adjusts the online values column; the
        // menu item the active table pane.
        if (sender() == panes_) {
            panes_->adjustOnlineValues();
        } else if (views::CZamoGridView* view = activeGridView()) {
            view->AdjustPane();
        }
        break;
    case cmd::kGridFont:
        // Format's Font is the font of the pane that has the keyboard.
        if (onlineValues_->hasFocus()) {
            onlineValues_->chooseFont();
        } else {
            chooseGridFont();
        }
        break;
    case cmd::kOnlineColors: onlineValues_->chooseColours(); break;
    case cmd::kTableWindow: panes_->toggleTableWindow(); break;
    case cmd::kHideBars: hideBars(); break;
    case cmd::kResetBars: resetBars(); break;
    case cmd::kShowInfo: showInfo(false); break;
    case cmd::kEditInfo: showInfo(true); break;
    case cmd::kHelp: openHelp(); break;
    case cmd::kFillRight:
    case cmd::kFillDown:
    case cmd::kNextGrid:
    case cmd::kPreviousGrid:
    case cmd::kLambdaCorrection:
    case cmd::kSetTeethAndOffset:
    case cmd::kResetAllRecords:
    case cmd::kResetGridRecords:
    case cmd::kResetSelectedRecords: tables_->run(id, panes_->activePane()); break;
    default:
        if (isMapToolCommand(id) && mapToolsAllowed(state())) {
            tables_->run(id, panes_->activePane());
            break;
        }
        if (id < kFirstPane || id > kDiagnosticPane) {
            return;
        }
        ShowPane(id);
        break;
    }
    UpdateCommandStates();
}

void CMainFrame::ShowPane(int view)
{
    if (view != panes_->activePane()) {
        // The grid cell of a table pane comes back after the Diagnostic
        // pane, in that pane only: another pane's cell means something else.
        if (views::CZamoGridView* shown = activeGridView(); shown != nullptr && view == kDiagnosticPane) {
            const auto focus = shown->Grid().GetFocusCell();
            savedGridPane_ = panes_->activePane();
            savedGridRow_ = focus.row;
            savedGridColumn_ = focus.col;
        }
        tables_->paneLeft(panes_->activePane());
        panes_->showPane(view);
        if (views::CZamoGridView* next = activeGridView(); next != nullptr && savedGridRow_ >= 0) {
            if (view == savedGridPane_) {
                next->Grid().SetFocusCell(savedGridRow_, savedGridColumn_);
                next->Grid().SetSelectedRange(savedGridRow_, savedGridColumn_, savedGridRow_, savedGridColumn_);
            }
            savedGridRow_ = savedGridColumn_ = savedGridPane_ = -1;
        }
        updateTitle();
    }
    // The shown pane's grid takes the keyboard, also when it was shown
    // already (Ctrl+1 on the Fuel Map).
    panes_->focusActivePane();
    UpdateCommandStates();
}

void CMainFrame::OnDocumentReplaced()
{
    undo_->Clear();
    updateViews(views::kHintAll);
    updateTitle();
    UpdateCommandStates();
}

void CMainFrame::updateTitle()
{
    // The title names the pane; the document's name and its unsaved mark
    // follow, as desktop users expect.
    setWindowTitle(QString::fromStdString(shell::windowTitle(panes_->activePane())) + QStringLiteral(" - ") +
                   files_->documentName() + QStringLiteral("[*]"));
    setWindowModified(app_.doc().IsModified());
}

void CMainFrame::openHelp()
{
    const QString file = QString::fromStdString((app_.core().paths().help / "index.html").string());
    if (QFileInfo::exists(file) && openUrl_(QUrl::fromLocalFile(file))) {
        return;
    }
    platform::UserMessage m;
    m.text = "Unable to open hyperlink:\n\n" + (QFileInfo::exists(file)
                                                    ? std::string("No program to show web pages was found.")
                                                    : "The file " + file.toStdString() + " does not exist.");
    m.icon = platform::UserMessage::Icon::Exclamation;
    m.beep = true;
    messages_.show(m);
}

void CMainFrame::showInfo(bool edit)
{
    CInfoDlg dialog(app_.core().info(), app_.core().labels(), edit, *comm_, messages_, formatLocalDate, this);
    // The records take the received block over when the frame's report
    // arrives, which is after the transfer dialog has closed.
    connect(comm_, &CommController::infoTransferEnded, &dialog, &CInfoDlg::refreshBoxInfo);
    dialog.exec();
    if (dialog.fileTextsChanged()) {
        app_.doc().SetModifiedFlag(true);
        updateTitle();
    }
}

void CMainFrame::ApplyGridFont(const QFont& font)
{
    if (font == gridFont_) {
        return;
    }
    gridFont_ = font;
    app_.settings().gridFont = font.toString().toStdString();
    tables_->applyGridFont(font);
}

void CMainFrame::chooseGridFont()
{
    CFontDialog::Show(gridFont_, [this](const QFont& font) { ApplyGridFont(font); }, fontDialogPlace_, this);
}

} // namespace morvex::shell
