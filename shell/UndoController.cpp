#include "shell/UndoController.h"

#include "comm/Operation.h"
#include "comm/PortCodes.h"
#include "comm/Walks.h"
#include "document/MorvexDoc.h"
#include "grid/GridCtrl.h"
#include "shell/CommController.h"
#include "shell/FrameRules.h"
#include "views/ZamoGridView.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

#include <cstdint>
#include <functional>

namespace morvex::shell {
namespace {

// The line address under which the box holds each byte of the image, as a
// Send All walks it; -1 for bytes the box does not hold.
std::vector<int32_t> boxLineAddresses(CMorvexDoc& doc)
{
    std::vector<int32_t> lines(kBoxImageSize, -1);
    comm::TransferBuffers scratch;
    const auto plan = comm::planTableTransfer(comm::OperationId::SendAll, comm::kFuelMapView, doc, {}, scratch, 0.0);
    if (!plan) {
        return lines;
    }
    const auto image = reinterpret_cast<std::uintptr_t>(doc.GetBoxData(0));
    for (const comm::TransferJob& job : plan->jobs) {
        const auto walk = comm::buildWalk(job, true);
        if (!walk) {
            continue;
        }
        for (const comm::WalkStep& step : *walk) {
            const auto at = reinterpret_cast<std::uintptr_t>(step.byte);
            if (step.kind == comm::WalkStep::Kind::Byte && at >= image && at < image + kBoxImageSize) {
                lines[at - image] = step.lineAddress;
            }
        }
    }
    return lines;
}

// The panes whose views show what an undo or redo changed: the one of each
// table, the ignition view also for the special functions (its premap
// follows the ignition map number) and for its derived degree maps, every
// pane for the axes and the texts (all headers show them).
QList<int> panesShowing(const RestoredStep& step)
{
    if (step.headersChanged) {
        return {kFuelMapPane, kFunctionPane, kIgnitionPane, kDataRecordPane, kIndexPane};
    }
    QList<int> panes;
    const auto add = [&panes](int pane) {
        if (!panes.contains(pane)) {
            panes.append(pane);
        }
    };
    for (const RestoredByte& b : step.boxBytes) {
        if (b.address < box::TAB_MTD) {
            add(kFuelMapPane);
        } else if (b.address < box::PARAMETERS) {
            add(kFunctionPane);
            add(kIgnitionPane);
        } else if (b.address < box::TAB_DZI) {
            add(kIgnitionPane);
        } else if (b.address < box::IGNITION_WORK_1) {
            add(kDataRecordPane);
        } else {
            add(kIgnitionPane);
        }
    }
    if (step.recordsChanged || step.targetsChanged) {
        add(kDataRecordPane);
    }
    if (step.locksChanged) {
        add(kFuelMapPane);
    }
    return panes;
}

// The step names of the frame's editing commands.
const char* commandActionName(int id)
{
    switch (id) {
    case cmd::kFillRight: return "Fill Right";
    case cmd::kFillDown: return "Fill Down";
    case cmd::kEditInfo: return "Edit Info";
    case cmd::kResetAllRecords: return "Reset All Data Records";
    case cmd::kResetGridRecords:
    case cmd::kResetSelectedRecords: return "Reset Data Records";
    default: return nullptr;
    }
}

} // namespace

UndoController::Action::Action(UndoController* controller, const std::string& name) : controller_(controller)
{
    if (controller_ != nullptr) {
        controller_->Begin(name);
    }
}

UndoController::Action::~Action()
{
    if (controller_ != nullptr) {
        controller_->End();
    }
}

UndoController::UndoController(CMorvexDoc& doc, CommController& comm, QObject* parent)
    : QObject(parent), doc_(doc), comm_(comm), undo_(new QAction(this)), redo_(new QAction(this))
{
    undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    redo_->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    for (QAction* a : {undo_, redo_}) {
        a->setShortcutContext(Qt::WindowShortcut);
    }
    connect(undo_, &QAction::triggered, this, &UndoController::Undo);
    connect(redo_, &QAction::triggered, this, &UndoController::Redo);
    journal_.Clear(!doc_.IsModified());
    UpdateActions();
}

UndoController::~UndoController()
{
    for (grid::CGridCtrl* grid : grids_) {
        grid->SetActionObserver({});
    }
}

void UndoController::Watch(grid::CGridCtrl& grid)
{
    grid.SetActionObserver([this](const char* name, bool begin) {
        if (begin) {
            Begin(name);
        } else {
            End();
        }
    });
    grids_.push_back(&grid);
    connect(&grid, &QObject::destroyed, this, [this](QObject* gone) { std::erase(grids_, gone); });
}

UndoController::Action UndoController::ForCommand(int id)
{
    const char* name = commandActionName(id);
    return Action(name != nullptr ? this : nullptr, name != nullptr ? name : "");
}

void UndoController::Begin(const std::string& name)
{
    // Data recorded online since the save changed the document outside
    // the history: no undo leads back to the saved state any more.
    if (!journal_.InAction() && doc_.IsModified() && journal_.AtSavedState()) {
        journal_.ForgetSavedState();
    }
    journal_.Begin(doc_, name);
}

void UndoController::End()
{
    if (journal_.End(doc_)) {
        doc_.SetModifiedFlag(true);
        UpdateActions();
    }
}

void UndoController::Undo()
{
    EndGridEditing();
    RestoredStep step;
    if (allowed_ && journal_.Undo(doc_, step)) {
        Restored(step);
    }
}

void UndoController::Redo()
{
    EndGridEditing();
    RestoredStep step;
    if (allowed_ && journal_.Redo(doc_, step)) {
        Restored(step);
    }
}

void UndoController::EndGridEditing()
{
    // Typing still open in a cell is an action of its own, finished first.
    for (grid::CGridCtrl* grid : grids_) {
        if (grid->IsEditing()) {
            grid->EndEditing();
        }
    }
}

void UndoController::Restored(const RestoredStep& step)
{
    doc_.SetModifiedFlag(!journal_.AtSavedState());
    if (comm_.online()) {
        SendToBox(step);
    }
    UpdateActions();
    emit documentRestored(step.headersChanged ? views::kHintAll : views::kHintTables, panesShowing(step));
}

void UndoController::SendToBox(const RestoredStep& step)
{
    if (lineAddresses_.empty()) {
        lineAddresses_ = boxLineAddresses(doc_);
    }
    // In address order: a word's high byte goes first, as the views send it.
    for (const RestoredByte& b : step.boxBytes) {
        const int32_t line = lineAddresses_[static_cast<std::size_t>(b.address)];
        if (line < 0) {
            continue;
        }
        comm::UpdateEntry entry;
        entry.command = comm::CMD_WRITE;
        entry.lineAddress = static_cast<uint16_t>(line);
        entry.newValue = b.value;
        entry.oldValue = b.previous;
        comm_.ValueChanged(entry);
    }
}

void UndoController::Clear()
{
    journal_.Clear(!doc_.IsModified());
    UpdateActions();
}

void UndoController::NoteFileState()
{
    if (!doc_.IsModified() && !journal_.InAction()) {
        journal_.MarkSaved();
    }
}

void UndoController::SetAllowed(bool allowed)
{
    allowed_ = allowed;
    UpdateActions();
}

void UndoController::AddMenuItems(QMenu& menu, QWidget& window)
{
    QAction* first = menu.actions().value(0);
    menu.insertAction(first, undo_);
    menu.insertAction(first, redo_);
    if (first != nullptr) {
        menu.insertSeparator(first);
    }
    window.addAction(undo_);
    window.addAction(redo_);
}

void UndoController::UpdateActions()
{
    const auto caption = [](const QString& verb, const std::string& name) {
        return name.empty() ? verb : verb + QLatin1Char(' ') + QString::fromStdString(name);
    };
    undo_->setText(caption(tr("&Undo"), journal_.UndoName()));
    redo_->setText(caption(tr("&Redo"), journal_.RedoName()));
    undo_->setEnabled(allowed_ && journal_.CanUndo());
    redo_->setEnabled(allowed_ && journal_.CanRedo());
}

} // namespace morvex::shell
