// The main window's menus, tool bar and view bar.
#include "shell/MainFrame.h"

#include "document/LambdaSensors.h"
#include "live/OnlineView.h"
#include "platform/UserMessages.h"
#include "shell/CommController.h"
#include "shell/CompareController.h"
#include "shell/CorrectionController.h"
#include "shell/DiagnosticPane.h"
#include "shell/FileController.h"
#include "shell/MorvexApp.h"
#include "shell/OnlineValuesPane.h"
#include "shell/PortController.h"
#include "shell/RestorePoints.h"
#include "shell/TableViews.h"
#include "shell/UndoController.h"
#include "shell/ZamoStatusbar.h"

#include <QActionGroup>
#include <QFileInfo>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>

#include <array>

namespace morvex::shell {

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
    fileMenu_->addAction(compare_->compareFileAction());
    fileMenu_->addSeparator();
    replaceActions_.push_back(fileMenu_->addAction(tr("Restore &Points..."),
                                                   QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R), restorePoints_,
                                                   &RestorePointController::ShowList));
    recentSeparator_ = fileMenu_->addSeparator();
    fileMenu_->addSeparator();
    fileMenu_->addAction(tr("E&xit"), QKeySequence::Quit, this, &QWidget::close);
    connect(fileMenu_, &QMenu::aboutToShow, this, &CMainFrame::buildRecentFiles);
    buildRecentFiles();

    QMenu* edit = bar->addMenu(tr("&Edit"));
    addCommand(edit, cmd::kFillRight, tr("Fill In Mean Values &Right"));
    addCommand(edit, cmd::kFillDown, tr("Fill In Mean Values &Down"));
    addCommand(edit, cmd::kScaleCells, tr("&Scale by %...\tCtrl+Shift+P"),
               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    addCommand(edit, cmd::kAddToCells, tr("&Add Value...\tCtrl+Shift+A"),
               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A));
    addCommand(edit, cmd::kSetCells, tr("Se&t Value...\tCtrl+Shift+T"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
    addCommand(edit, cmd::kSmoothCells, tr("S&mooth\tCtrl+Shift+M"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M));
    addCommand(edit, cmd::kInterpolateCells, tr("I&nterpolate Selection\tCtrl+Shift+I"),
               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I));
    edit->addSeparator();
    addCommand(edit, cmd::kNextGrid, tr("Next &Grid\tF10"), QKeySequence(Qt::Key_F10));
    addCommand(edit, cmd::kPreviousGrid, tr("Pr&evious Grid\tF9"), QKeySequence(Qt::Key_F9));
    edit->addSeparator();
    addCommand(edit, cmd::kEditInfo, tr("Edit &Info"));
    undo_->AddMenuItems(*edit, *this);
    connect(edit, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
    connect(edit, &QMenu::aboutToShow, this, [this] {
        for (int id = cmd::kScaleCells; id <= cmd::kInterpolateCells; ++id) {
            QAction* tool = actions_.at(id);
            tool->setEnabled(tool->isEnabled() && tables_->commandState(id, activePane()).enabled);
        }
    });
    connect(edit, &QMenu::aboutToHide, this, &CMainFrame::UpdateCommandStates);

    QMenu* format = bar->addMenu(tr("F&ormat"));
    addCommand(format, cmd::kGridFont, tr("&Font..."));
    addCommand(format, cmd::kOnlineColors, tr("Online Values &Color..."));
    addCommand(format, cmd::kAdjustPane, tr("A&djust Pane"));

    QMenu* fuel = bar->addMenu(tr("F&uel Map"));
    addCommand(fuel, cmd::kLambdaCorrection, tr("&Use Right Cylinder Map for Lambda Correction"));
    correction_->AddMenuItems(*fuel, *this);
    connect(fuel, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);

    QMenu* ignition = bar->addMenu(tr("&Ignition"));
    addCommand(ignition, cmd::kSetTeethAndOffset, tr("Set the &Teeth and the Offset..."));
    connect(ignition, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);

    QMenu* view = bar->addMenu(tr("&View"));
    statusBarAction_ = view->addAction(tr("&Status Bar"));
    statusBarAction_->setCheckable(true);
    statusBarAction_->setChecked(true);
    connect(statusBarAction_, &QAction::toggled, status_, &QWidget::setVisible);
    view->addSeparator();
    addCommand(view, cmd::kOnlineValues, tr("&Online Values\tCtrl+F3"), QKeySequence(Qt::CTRL | Qt::Key_F3));
    addCommand(view, cmd::kTableWindow, tr("T&able Window\tCtrl+F4"), QKeySequence(Qt::CTRL | Qt::Key_F4));
    view->addAction(tables_->liveTrailAction());
    view->addSeparator();
    const std::array<const char*, 6> paneCaptions = {"&Fuel Map",    "F&unction", "&Ignition",
                                                     "Data &Record", "Inde&x",    "&Diagnostic"};
    for (int i = 0; i < 6; ++i) {
        const auto key = static_cast<Qt::Key>(Qt::Key_1 + i);
        addCommand(view, kFirstPane + i, tr(paneCaptions[static_cast<std::size_t>(i)]), QKeySequence(Qt::CTRL | key));
    }
    addCommand(view, cmd::kNextWindow, tr("Nex&t Window\tF8"), QKeySequence(Qt::Key_F8));
    addCommand(view, cmd::kPreviousWindow, tr("Pre&vious Window\tF7"), QKeySequence(Qt::Key_F7));
    diagnostic_->addFontsMenu(view);
    view->addSeparator();
    addCommand(view, cmd::kHideBars, tr("&Hide Bars"));
    addCommand(view, cmd::kResetBars, tr("&Reset Bars"));
    view->addSeparator();
    addCommand(view, cmd::kShowInfo, tr("Show &Info\tCtrl+I"), QKeySequence(Qt::CTRL | Qt::Key_I));

    QMenu* record = bar->addMenu(tr("&Data Record"));
    addCommand(record, cmd::kResetAllRecords, tr("Reset &All Data Records"));
    addCommand(record, cmd::kResetGridRecords, tr("Reset Data Records For Active &Grid"));
    addCommand(record, cmd::kResetSelectedRecords, tr("Reset Data Records For &Selected Cells"));
    record->addSeparator();
    lambdaMenu_ = record->addMenu(tr("&Lambda Sensor"));
    buildLambdaMenu(lambdaMenu_);
    connect(record, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);

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
    comm->addAction(compare_->comparePaneAction());
    comm->addAction(compare_->compareAllAction());
    comm->addAction(compare_->verifyAction());
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
        // A click toggles the button's check; the pane's command decides it
        // (the shown pane stays checked when chosen again).
        connect(a, &QAction::triggered, this, [this, id, a] {
            onCommand(id);
            a->setChecked(actions_.at(id)->isChecked());
        });
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
                tables_->lambdaSensorChanged();
                onlineValues_->view().OnLambdaSensorChanged();
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

} // namespace morvex::shell
