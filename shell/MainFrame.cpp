#include "shell/MainFrame.h"

#include "comm/Operation.h"
#include "comm/PortCodes.h"
#include "document/LambdaSensors.h"
#include "grid/ValueGridCtrl.h"
#include "platform/UserMessages.h"
#include "shell/CommController.h"
#include "shell/FileController.h"
#include "shell/GridFonts.h"
#include "shell/InfoDlg.h"
#include "shell/MorvexApp.h"
#include "shell/PaneLayout.h"
#include "shell/PortController.h"
#include "shell/ZamoStatusbar.h"
#include "views/FuelmapView.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontDialog>
#include <QLocale>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QUrl>

namespace morvex::shell {
namespace {

QByteArray fromHex(const std::string& hex)
{
    return QByteArray::fromHex(QByteArray::fromStdString(hex));
}

std::string toHex(const QByteArray& bytes)
{
    return bytes.toHex().toUpper().toStdString();
}

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

// The window state version of the tool bars: another layout is not taken.
constexpr int kToolbarStateVersion = 1;

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
    setCentralWidget(panes_);
    setStatusBar(status_);
    frameTarget_ = std::make_unique<FrameTarget>(*comm_);
    buildViews();
    buildMenus();
    buildToolBars();
    connectControllers();

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

QAction* CMainFrame::addCommand(QMenu* menu, int id, const QString& text, const QKeySequence& key)
{
    // Qt shows the key beside the menu caption itself.
    auto* a = new QAction(text.section(QLatin1Char('\t'), 0, 0), this);
    a->setData(id);
    if (!key.isEmpty()) {
        a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
    }
    connect(a, &QAction::triggered, this, [this, id] { onCommand(id); });
    actions_[id] = a;
    if (menu != nullptr) {
        menu->addAction(a);
    }
    addAction(a); // keys work with hidden bars and menus too
    return a;
}

void CMainFrame::buildMenus()
{
    QMenuBar* bar = menuBar();

    fileMenu_ = bar->addMenu(tr("&File"));
    replaceActions_.push_back(fileMenu_->addAction(tr("&New"), QKeySequence::New, files_, &FileController::New));
    replaceActions_.push_back(fileMenu_->addAction(tr("&Open..."), QKeySequence::Open, files_, &FileController::Open));
    saveAction_ = fileMenu_->addAction(tr("&Save"), QKeySequence::Save, files_, &FileController::Save);
    fileMenu_->addAction(tr("Save &As..."), files_, &FileController::SaveAs);
    reloadAction_ =
        fileMenu_->addAction(tr("Re&load"), QKeySequence(Qt::CTRL | Qt::Key_L), files_, &FileController::Reload);
    recentSeparator_ = fileMenu_->addSeparator();
    fileMenu_->addSeparator();
    fileMenu_->addAction(tr("E&xit"), QKeySequence::Quit, this, &QWidget::close);
    connect(fileMenu_, &QMenu::aboutToShow, this, &CMainFrame::buildRecentFiles);
    buildRecentFiles();

    QMenu* edit = bar->addMenu(tr("&Edit"));
    addCommand(edit, cmd::kFillRight, tr("Fill In Mean Values &Right"));
    addCommand(edit, cmd::kFillDown, tr("Fill In Mean Values &Down"));
    edit->addSeparator();
    addCommand(edit, cmd::kNextGrid, tr("Next &Grid\tF10"), QKeySequence(Qt::Key_F10));
    addCommand(edit, cmd::kPreviousGrid, tr("Pr&evious Grid\tF9"), QKeySequence(Qt::Key_F9));
    edit->addSeparator();
    addCommand(edit, cmd::kEditInfo, tr("Edit &Info"));
    connect(edit, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);

    QMenu* format = bar->addMenu(tr("F&ormat"));
    addCommand(format, cmd::kGridFont, tr("&Font..."));
    addCommand(format, cmd::kAdjustPane, tr("A&djust Pane"));

    QMenu* fuel = bar->addMenu(tr("F&uel Map"));
    addCommand(fuel, cmd::kLambdaCorrection, tr("&Use Right Cylinder Map for Lambda Correction"));
    connect(fuel, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);

    QMenu* view = bar->addMenu(tr("&View"));
    statusBarAction_ = view->addAction(tr("&Status Bar"));
    statusBarAction_->setCheckable(true);
    statusBarAction_->setChecked(true);
    connect(statusBarAction_, &QAction::toggled, status_, &QWidget::setVisible);
    view->addSeparator();
    addCommand(view, cmd::kOnlineValues, tr("&Online Values\tCtrl+F3"), QKeySequence(Qt::CTRL | Qt::Key_F3));
    addCommand(view, cmd::kTableWindow, tr("T&able Window\tCtrl+F4"), QKeySequence(Qt::CTRL | Qt::Key_F4));
    view->addSeparator();
    const std::array<const char*, 6> paneCaptions = {"&Fuel Map",    "F&unction", "&Ignition",
                                                     "Data &Record", "Inde&x",    "&Diagnostic"};
    for (int i = 0; i < 6; ++i) {
        const auto key = static_cast<Qt::Key>(Qt::Key_1 + i);
        addCommand(view, kFirstPane + i, tr(paneCaptions[static_cast<std::size_t>(i)]), QKeySequence(Qt::CTRL | key));
    }
    addCommand(view, cmd::kNextWindow, tr("Nex&t Window\tF8"), QKeySequence(Qt::Key_F8));
    addCommand(view, cmd::kPreviousWindow, tr("Pre&vious Window\tF7"), QKeySequence(Qt::Key_F7));
    view->addSeparator();
    addCommand(view, cmd::kHideBars, tr("&Hide Bars"));
    addCommand(view, cmd::kResetBars, tr("&Reset Bars"));
    view->addSeparator();
    addCommand(view, cmd::kShowInfo, tr("Show &Info\tCtrl+I"), QKeySequence(Qt::CTRL | Qt::Key_I));

    QMenu* record = bar->addMenu(tr("&Data Record"));
    lambdaMenu_ = record->addMenu(tr("&Lambda Sensor"));
    buildLambdaMenu(lambdaMenu_);

    QMenu* comm = bar->addMenu(tr("&Communication"));
    addCommand(comm, cmd::kOnline, tr("&Online\tF3"), QKeySequence(Qt::Key_F3));
    comm->addSeparator();
    addCommand(comm, cmd::kReceivePane, tr("&Receive Pane Data\tF4"), QKeySequence(Qt::Key_F4));
    addCommand(comm, cmd::kSendPane, tr("&Send Pane Data\tF5"), QKeySequence(Qt::Key_F5));
    addCommand(comm, cmd::kReceiveAll, tr("R&eceive All Data\tShift+F4"), QKeySequence(Qt::SHIFT | Qt::Key_F4));
    addCommand(comm, cmd::kSendAll, tr("Se&nd All Data\tShift+F5"), QKeySequence(Qt::SHIFT | Qt::Key_F5));
    comm->addSeparator();
    addCommand(comm, cmd::kCancel, tr("&Cancel Transmission\tEsc"), QKeySequence(Qt::Key_Escape));
    comm->addSeparator();
    portMenu_ = comm->addMenu(tr("&Port"));
    connect(portMenu_, &QMenu::aboutToShow, this, [this] {
        const FrameState s = state();
        ports_->rebuildMenu(*portMenu_, !s.busy && !s.online && !s.operationRunning);
        UpdateCommandStates();
    });
    ports_->rebuildMenu(*portMenu_, true);
    addCommand(comm, cmd::kPortSettings, tr("Port Sett&ings..."));
    comm->addSeparator();
    simulatedBoxAction_ = comm->addAction(tr("Simulated &Box"));
    simulatedBoxAction_->setStatusTip(tr("Start a simulated Zamo-Box and use it for communication"));
    connect(simulatedBoxAction_, &QAction::triggered, ports_, &PortController::StartSimulatedBox);

    QMenu* help = bar->addMenu(tr("&Help"));
    addCommand(help, cmd::kHelp, tr("Morvex-&Help...\tF1"), QKeySequence(Qt::Key_F1));
    help->addAction(tr("&About Morvex..."), this, [this] {
        messages_.show({std::string(kAppTitle) + " 02-2008\n\nEditor for the Zamo-Box.",
                        platform::UserMessage::Icon::Information});
    });
}

void CMainFrame::buildViews()
{
    views::ViewContext context;
    context.doc = &app_.doc();
    context.labels = &app_.core().labels();
    context.frame = frameTarget_.get();
    context.messages = &messages_;
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

    fuelmap_ = new views::CFuelmapView(context);
    panes_->setTableViews(kFirstPane, fuelmap_, nullptr);
    connect(fuelmap_, &views::CZamoGridView::idealWidthChanged, this,
            [this](int width) { panes_->setGridWidth(kFirstPane, width); });
    connect(fuelmap_, &views::CZamoGridView::documentEdited, this, [this] { setWindowModified(true); });
    comm::PaneTargets targets;
    targets.fuelMap = &fuelmap_->PortTarget();
    comm_->setPaneTargets(targets);
    updateViews(views::kHintAll);
}

void CMainFrame::updateViews(int hint)
{
    fuelmap_->OnUpdate(hint);
}

views::CZamoCylinderView* CMainFrame::activeCylinderView() const
{
    return panes_->activePane() == kFirstPane ? fuelmap_ : nullptr;
}

void CMainFrame::buildToolBars()
{
    toolBar_ = addToolBar(tr("Toolbar"));
    toolBar_->setObjectName(QStringLiteral("toolBar"));
    const std::array<std::pair<int, QStyle::StandardPixmap>, 8> buttons = {{
        {cmd::kOnline, QStyle::SP_MediaPlay},
        {cmd::kReceivePane, QStyle::SP_ArrowDown},
        {cmd::kSendPane, QStyle::SP_ArrowUp},
        {cmd::kReceiveAll, QStyle::SP_ArrowDown},
        {cmd::kSendAll, QStyle::SP_ArrowUp},
        {cmd::kCancel, QStyle::SP_BrowserStop},
        {cmd::kShowInfo, QStyle::SP_MessageBoxInformation},
        {cmd::kHelp, QStyle::SP_DialogHelpButton},
    }};
    for (const auto& [id, icon] : buttons) {
        QAction* a = actions_.at(id);
        a->setIcon(style()->standardIcon(icon));
        a->setToolTip(a->text().remove(QLatin1Char('&')) + QStringLiteral(" (") +
                      a->shortcut().toString(QKeySequence::NativeText) + QStringLiteral(")"));
        toolBar_->addAction(a);
        if (id == cmd::kSendPane || id == cmd::kCancel) {
            toolBar_->addSeparator();
        }
    }
    viewBar_ = addToolBar(tr("View Bar"));
    viewBar_->setObjectName(QStringLiteral("viewBar"));
    viewBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto* group = new QActionGroup(this);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
    for (int id = kFirstPane; id <= kDiagnosticPane; ++id) {
        // The view bar's buttons carry the short names followed by a blank.
        auto* a = new QAction(QString::fromStdString(paneShortName(id)) + QStringLiteral(" "), this);
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, id] { onCommand(id); });
        connect(actions_.at(id), &QAction::changed, a, [a, source = actions_.at(id)] {
            a->setEnabled(source->isEnabled());
            a->setChecked(source->isChecked());
        });
        group->addAction(a);
        viewBar_->addAction(a);
    }
}

void CMainFrame::buildRecentFiles()
{
    for (QAction* a : recentActions_) {
        fileMenu_->removeAction(a);
        delete a;
    }
    recentActions_.clear();
    const auto& recent = app_.settings().recentFiles;
    QAction* before = fileMenu_->actions().value(fileMenu_->actions().indexOf(recentSeparator_) + 1);
    for (std::size_t i = 0; i < recent.size(); ++i) {
        const QString name = QFileInfo(QString::fromStdString(recent[i])).fileName();
        auto* a = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(name), fileMenu_);
        a->setStatusTip(QString::fromStdString(recent[i]));
        const int index = static_cast<int>(i);
        connect(a, &QAction::triggered, files_, [this, index] { files_->OpenRecent(index); });
        fileMenu_->insertAction(before, a);
        a->setEnabled(!comm_->running());
        recentActions_.push_back(a);
    }
    reloadAction_->setEnabled(files_->CanReload() && !comm_->running());
}

void CMainFrame::buildLambdaMenu(QMenu* menu)
{
    menu->clear();
    auto addItem = [this, menu](int id, const QString& text) {
        QAction* a = menu->addAction(text);
        a->setCheckable(true);
        const LambdaMenuState ms = LambdaSensorMenuState(app_.sensors(), id);
        a->setEnabled(ms.enabled);
        a->setChecked(ms.checked);
        connect(a, &QAction::triggered, this, [this, id] {
            if (const auto display = OnLambdaSensorCommand(app_.sensors(), id, app_.core().limits())) {
                status_->setPaneText(CZamoStatusbar::LambdaSensor, QString::fromStdString(display->statusText));
            }
            buildLambdaMenu(lambdaMenu_);
        });
    };
    addItem(kLambdaRawId, tr("&Raw analog data"));
    menu->addSeparator();
    for (const LambdaMenuItem& item : LambdaSensorMenuItems(app_.sensors())) {
        if (item.id == kLambdaNoSensorsId) {
            menu->addAction(QString::fromStdString(item.text))->setEnabled(false);
        } else {
            addItem(item.id, QString::fromStdString(item.text));
        }
    }
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
        updateTitle();
        UpdateCommandStates();
    });
    connect(files_, &FileController::documentReplaced, this, &CMainFrame::OnDocumentReplaced);
    connect(panes_, &PaneLayout::command, this, &CMainFrame::onCommand);
    connect(panes_->mainSplitter(), &QSplitter::splitterMoved, this, &CMainFrame::UpdateCommandStates);
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
    views::CZamoCylinderView* view = activeCylinderView();
    for (const auto& [id, a] : actions_) {
        CommandUi ui = commandState(id, s);
        // The view's own commands.
        switch (id) {
        case cmd::kFillRight:
        case cmd::kFillDown: ui.enabled = view != nullptr && view->CanFillMeanValues(id == cmd::kFillDown); break;
        case cmd::kNextGrid:
        case cmd::kPreviousGrid: ui.enabled = view != nullptr && view->CanSwitchGrid(); break;
        case cmd::kGridFont: ui.enabled = true; break;
        case cmd::kAdjustPane: ui.enabled = s.activeView != kDiagnosticPane; break;
        case cmd::kLambdaCorrection:
            ui.enabled = fuelmap_->CanToggleLambdaCorrection();
            ui.checked = fuelmap_->LambdaCorrection();
            a->setCheckable(true);
            a->setEnabled(ui.enabled);
            a->setChecked(ui.checked);
            continue;
        default: break;
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
    const bool viewCommand = id == cmd::kFillRight || id == cmd::kFillDown || id == cmd::kNextGrid ||
                             id == cmd::kPreviousGrid || id == cmd::kLambdaCorrection || id == cmd::kGridFont;
    if (id != cmd::kAdjustPane && !viewCommand && !commandState(id, state()).enabled) {
        return;
    }
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
        } else if (views::CZamoCylinderView* view = activeCylinderView()) {
            view->AdjustPane();
        }
        break;
    case cmd::kGridFont: chooseGridFont(); break;
    case cmd::kTableWindow: panes_->toggleTableWindow(); break;
    case cmd::kHideBars: hideBars(); break;
    case cmd::kResetBars: resetBars(); break;
    case cmd::kShowInfo: showInfo(false); break;
    case cmd::kEditInfo: showInfo(true); break;
    case cmd::kHelp: openHelp(); break;
    case cmd::kFillRight:
    case cmd::kFillDown:
        if (views::CZamoCylinderView* view = activeCylinderView()) {
            view->FillMeanValues(id == cmd::kFillDown);
        }
        break;
    case cmd::kNextGrid:
    case cmd::kPreviousGrid:
        if (views::CZamoCylinderView* view = activeCylinderView()) {
            id == cmd::kNextGrid ? view->NextGrid() : view->PreviousGrid();
        }
        break;
    case cmd::kLambdaCorrection: fuelmap_->SetLambdaCorrection(!fuelmap_->LambdaCorrection()); break;
    default:
        if (id >= kFirstPane && id <= kDiagnosticPane) {
            ShowPane(id);
        }
        return;
    }
    UpdateCommandStates();
}

void CMainFrame::ShowPane(int view)
{
    if (view == panes_->activePane()) {
        return;
    }
    // The grid cell of a table pane comes back after the Diagnostic pane.
    if (views::CZamoCylinderView* shown = activeCylinderView(); shown != nullptr && view == kDiagnosticPane) {
        const auto focus = shown->Grid().GetFocusCell();
        savedGridRow_ = focus.row;
        savedGridColumn_ = focus.col;
    }
    panes_->showPane(view);
    if (views::CZamoCylinderView* next = activeCylinderView(); next != nullptr && savedGridRow_ >= 0) {
        next->Grid().SetFocusCell(savedGridRow_, savedGridColumn_);
        next->Grid().SetSelectedRange(savedGridRow_, savedGridColumn_, savedGridRow_, savedGridColumn_);
        savedGridRow_ = savedGridColumn_ = -1;
    }
    updateTitle();
    UpdateCommandStates();
}

void CMainFrame::OnDocumentReplaced()
{
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
    fuelmap_->OnGridFontChanged(font);
}

void CMainFrame::chooseGridFont()
{
    QFontDialog dialog(gridFont_, this);
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    // An Apply button: enabled once the choice changed, it applies the font
    // and hands the focus to OK.
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>()) {
        QPushButton* apply = buttons->addButton(QDialogButtonBox::Apply);
        apply->setEnabled(false);
        connect(&dialog, &QFontDialog::currentFontChanged, apply, [apply] { apply->setEnabled(true); });
        connect(apply, &QPushButton::clicked, this, [this, &dialog, apply, buttons] {
            ApplyGridFont(dialog.currentFont());
            apply->setEnabled(false);
            if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok)) {
                ok->setFocus();
            }
        });
    }
    if (fontDialogPlaced_) {
        dialog.move(fontDialogPos_);
    }
    const bool accepted = dialog.exec() == QDialog::Accepted;
    fontDialogPos_ = dialog.pos();
    fontDialogPlaced_ = true;
    if (accepted) {
        ApplyGridFont(dialog.selectedFont());
    }
}

void CMainFrame::hideBars()
{
    status_->hide();
    statusBarAction_->setChecked(false);
    toolBar_->hide();
    viewBar_->hide();
}

void CMainFrame::resetBars()
{
    removeToolBar(toolBar_);
    removeToolBar(viewBar_);
    addToolBar(Qt::TopToolBarArea, toolBar_);
    addToolBar(Qt::TopToolBarArea, viewBar_);
    toolBar_->show();
    viewBar_->show();
    status_->show();
    statusBarAction_->setChecked(true);
}

void CMainFrame::RestoreWindowState()
{
    AppSettings& s = app_.settings();
    const QByteArray geometry = fromHex(s.windowPos);
    if (geometry.isEmpty() || !restoreGeometry(geometry)) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }
    // A state of another layout is refused and the bars keep their defaults.
    restoreState(fromHex(s.toolbar), kToolbarStateVersion);
    panes_->restoreSplitterSizes(fromHex(s.splitterSize));
    status_->setVisible(s.statusbar != 0);
    statusBarAction_->setChecked(s.statusbar != 0);
    UpdateCommandStates();
}

void CMainFrame::SaveWindowState()
{
    AppSettings& s = app_.settings();
    s.windowPos = toHex(saveGeometry());
    s.toolbar = toHex(saveState(kToolbarStateVersion));
    s.splitterSize = toHex(panes_->splitterSizes());
    s.statusbar = status_->isVisible() ? 1 : 0;
    s.lastUsedCom = ports_->settingsPort();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.front().isLocalFile() && !comm_->running()) {
        event->acceptProposedAction();
    }
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.front().isLocalFile() || comm_->running()) {
        return;
    }
    event->acceptProposedAction();
    if (files_->SaveModified()) {
        files_->OpenFile(urls.front().toLocalFile().toStdString());
    }
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!files_->SaveModified()) {
        event->ignore();
        return;
    }
    if (comm_->running()) {
        comm_->Cancel();
    }
    SaveWindowState();
    event->accept();
}

} // namespace morvex::shell
