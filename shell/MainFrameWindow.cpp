// The main window's state: bars, stored window state, dropped files, closing.
#include "shell/MainFrame.h"

#include "shell/AppSettings.h"
#include "shell/CommController.h"
#include "shell/FileController.h"
#include "shell/MorvexApp.h"
#include "shell/PaneLayout.h"
#include "shell/PortController.h"
#include "shell/ZamoStatusbar.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <QWindow>

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

// The window state version of the tool bars: another layout is not taken.
constexpr int kToolbarStateVersion = 1;

// The share of the screen the window takes when no size was stored.
constexpr double kDefaultShare = 0.8;

} // namespace

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

void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("Morvex"));
}

void CMainFrame::StartUp()
{
    RestoreWindowState();
    app_.OpenStartupDocument();
    OnDocumentReplaced();
    show();
    activateWindow();
    panes_->focusActivePane();
}

void CMainFrame::RestoreWindowState()
{
    AppSettings& s = app_.settings();
    const QByteArray geometry = fromHex(s.windowPos);
    if (geometry.isEmpty() || !restoreGeometry(geometry)) {
        // Maximised; where nothing maximises it (no window manager) and
        // once the user restores it, the window keeps a default size.
        const QRect available = screen()->availableGeometry();
        const QSize size = available.size() * kDefaultShare;
        setGeometry(QRect(available.topLeft() +
                              QPoint((available.width() - size.width()) / 2, (available.height() - size.height()) / 2),
                          size));
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

void CMainFrame::returnKeyboardAfterDialogs()
{
    // Closing a dialog of this window hands the keyboard back to the window
    // (a window manager does that itself; without one nothing would).
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* dialog) {
        if (dialog == nullptr || dialog == windowHandle() || dialog->transientParent() != windowHandle()) {
            return;
        }
        connect(dialog, &QWindow::visibleChanged, this, [this](bool visible) {
            if (visible) {
                return;
            }
            QTimer::singleShot(0, this, [this] {
                const QWindow* focus = QGuiApplication::focusWindow();
                if (isVisible() && (focus == nullptr || !focus->isVisible()) &&
                    QApplication::activeModalWidget() == nullptr) {
                    activateWindow();
                }
            });
        });
    });
}

void CMainFrame::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Back from a dialog or another window: the keyboard returns to the
    // widget that had it; when that is gone, to the active pane's grid.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() &&
        (focusWidget() == nullptr || !focusWidget()->isVisible())) {
        panes_->focusActivePane();
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
