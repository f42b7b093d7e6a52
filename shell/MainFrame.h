#pragma once

#include "shell/FrameRules.h"

#include <QFont>
#include <QMainWindow>
#include <QPoint>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class QMenu;
class QToolBar;
class QActionGroup;

namespace platform {
class MessageTarget;
class UserMessages;
} // namespace platform

namespace morvex::views {
class CFuelmapView;
class CZamoGridView;
} // namespace morvex::views

namespace morvex::shell {

// The application's names as the desktop shows them: "Morvex" for the
// command line and the settings folder, and no display name, which Qt
// would append to every window title.
void nameApplication();

class CMorvexApp;
class CommController;
class CZamoStatusbar;
class FileController;
class PaneLayout;
class PortController;
class TableViews;
class CompareController;
class CorrectionController;
class OnlineValuesPane;
class DiagnosticPane;
class UndoController;
class RestorePointController;

// The main window: menus, tool bar and view bar, the panes, the status
// bar. The work is delegated: communication to CommController, ports to
// PortController, files to FileController, the panes to PaneLayout; the
// frame routes commands and keeps their enable and check states.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame(CMorvexApp& app, platform::UserMessages& messages, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Runs a command as its menu item or key would (nothing when disabled).
    bool RunCommand(int id);
    QAction* action(int id) const;
    FrameState state() const;
    void UpdateCommandStates();

    // Pane switching (also used by the transfers).
    void ShowPane(int view);
    int activePane() const;

    // Opening a link: the desktop's browser; tests replace it.
    void setUrlOpener(std::function<bool(const QUrl&)> opener) { openUrl_ = std::move(opener); }

    CommController& comm() { return *comm_; }
    PortController& ports() { return *ports_; }
    FileController& files() { return *files_; }
    PaneLayout& panes() { return *panes_; }
    CZamoStatusbar& statusbar() { return *status_; }
    TableViews& tables() { return *tables_; }
    CompareController& compare() { return *compare_; }
    CorrectionController& correction() { return *correction_; }
    DiagnosticPane& diagnostic() { return *diagnostic_; }
    OnlineValuesPane& onlineValues() { return *onlineValues_; }
    UndoController& undo() { return *undo_; }
    RestorePointController& restorePoints() { return *restorePoints_; }
    views::CFuelmapView& fuelmapView();
    // The table view of the active pane, if it has one.
    views::CZamoGridView* activeGridView() const;

    // A new grid font for every table view (the Font dialog's OK and Apply).
    void ApplyGridFont(const QFont& font);
    const QFont& gridFont() const { return gridFont_; }

    // The document's contents were replaced (new, open, reload): every
    // view shows them anew.
    void OnDocumentReplaced();

    // The window's part of start-up, as `morvex` runs it: the stored window
    // state (maximised over a default size when none is stored), the
    // start-up document (command line or most recent file), the window shown
    // and active with the grid of the active pane taking the keyboard.
    void StartUp();
    // Restores the window state stored in the settings (start-up).
    void RestoreWindowState();
    // Stores it into the settings (close).
    void SaveWindowState();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // A data file dropped on the window is opened.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QAction* addCommand(QMenu* menu, int id, const QString& text, const QKeySequence& key = {});
    void buildMenus();
    void buildToolBars();
    void buildViews();
    void updateViews(int hint);
    void buildRecentFiles();
    void buildLambdaMenu(QMenu* menu);
    void connectControllers();
    void onCommand(int id);
    void updateTitle();
    void openHelp();
    void showInfo(bool edit);
    void startTransfer(int id);
    void toggleOnline();
    void hideBars();
    void chooseGridFont();
    void resetBars();
    void returnKeyboardAfterDialogs();

    CMorvexApp& app_;
    platform::UserMessages& messages_;
    CommController* comm_;
    PortController* ports_;
    FileController* files_;
    PaneLayout* panes_;
    CZamoStatusbar* status_;
    QToolBar* toolBar_ = nullptr;
    QToolBar* viewBar_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* recentMenuAnchor_ = nullptr;
    QMenu* portMenu_ = nullptr;
    QMenu* lambdaMenu_ = nullptr;
    QAction* recentSeparator_ = nullptr;
    std::vector<QAction*> recentActions_;
    std::map<int, QAction*> actions_;
    QAction* statusBarAction_ = nullptr;
    QAction* simulatedBoxAction_ = nullptr;
    QAction* reloadAction_ = nullptr;
    QAction* saveAction_ = nullptr;
    // New, Open and Reload: not while a transfer writes into the document.
    std::vector<QAction*> replaceActions_;
    std::function<bool(const QUrl&)> openUrl_;
    std::unique_ptr<platform::MessageTarget> frameTarget_;
    TableViews* tables_ = nullptr;
    CompareController* compare_ = nullptr;
    CorrectionController* correction_ = nullptr;
    OnlineValuesPane* onlineValues_ = nullptr;
    DiagnosticPane* diagnostic_ = nullptr;
    UndoController* undo_ = nullptr;
    RestorePointController* restorePoints_ = nullptr;
    QFont gridFont_;
    std::optional<QPoint> fontDialogPlace_;
    // The grid cell of the table pane shown before the Diagnostic pane.
    int savedGridPane_ = -1;
    int savedGridRow_ = -1;
    int savedGridColumn_ = -1;
};

} // namespace morvex::shell
