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
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QToolBar>

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
