#pragma once

#include "document/UndoJournal.h"

#include <QList>
#include <QObject>

#include <cstdint>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QWidget;

namespace morvex {
class CMorvexDoc;
}

namespace morvex::grid {
class CGridCtrl;
}

namespace morvex::shell {

class CommController;

// Undo and Redo of the Edit menu: brackets the user's actions (the grids'
// own actions, the frame's editing commands) into steps of the document's
// undo journal, names the menu items after them ("Undo Fill Down"), and on
// Undo or Redo writes the bytes back, tells the frame which views to
// refresh, sets the modified flag from the saved state and, while online,
// queues the restored box bytes for the box as an edit would.
class UndoController : public QObject {
    Q_OBJECT
public:
    UndoController(CMorvexDoc& doc, CommController& comm, QObject* parent = nullptr);
    ~UndoController() override;

    // The grid's actions (typing, paste, Delete, steps ...) become steps.
    void Watch(grid::CGridCtrl& grid);

    // One action of the frame: a step named `name` when it changes the
    // document.
    class Action {
    public:
        Action(UndoController* controller, const std::string& name);
        ~Action();
        Action(const Action&) = delete;
        Action& operator=(const Action&) = delete;

    private:
        UndoController* controller_;
    };
    // The action of frame command `id`: an empty one for commands that do
    // not edit the document.
    Action ForCommand(int id);

    void Undo();
    void Redo();
    // The document's contents were replaced (new, open, reload, receive):
    // the history starts again.
    void Clear();
    // After a save (or a failed one): an unmodified document is the saved
    // state undo leads back to.
    void NoteFileState();
    // False while a transfer writes into the document.
    void SetAllowed(bool allowed);

    // Undo and Redo at the top of `menu`; their keys work in `window` with
    // hidden menus too.
    void AddMenuItems(QMenu& menu, QWidget& window);
    QAction* undoAction() const { return undo_; }
    QAction* redoAction() const { return redo_; }
    const UndoJournal& journal() const { return journal_; }

signals:
    // An undo or redo changed the document: the table views of `panes`
    // show hint `hint` (tables, or everything in every pane when axes or
    // texts changed).
    void documentRestored(int hint, const QList<int>& panes);

private:
    void Begin(const std::string& name);
    void End();
    void Restored(const RestoredStep& step);
    void SendToBox(const RestoredStep& step);
    void EndGridEditing();
    void UpdateActions();

    CMorvexDoc& doc_;
    CommController& comm_;
    UndoJournal journal_;
    // The watched grids, each until it is destroyed.
    std::vector<grid::CGridCtrl*> grids_;
    // Line address of each box byte the box holds, -1 for the others.
    std::vector<int32_t> lineAddresses_;
    QAction* undo_;
    QAction* redo_;
    bool allowed_ = true;
};

} // namespace morvex::shell
