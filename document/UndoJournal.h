#pragma once

#include "document/BoxLayout.h"
#include "document/CorrectionLocks.h"
#include "document/TargetLambda.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace morvex {

class CMorvexDoc;

// What a user's edit can change in a document, copied for comparing: the
// box image, the index values, the per-cell records of data recording, the
// target lambda table, the index texts, the special-function names and the
// file info texts (versions and comment). The premap records and the
// ignition view's premap display are configuration and display, not
// edits, and stay out.
class DocumentState {
public:
    // The document's byte arrays: the box image first (so an offset below
    // kBoxImageSize is a box address), then the records.
    static constexpr std::size_t kArraysSize =
        kBoxImageSize + rec::kIndexValuesAreaSize + 3 * rec::kFloatRecordSize + rec::kDataReceivedSize;
    // Tables the document keeps in types of their own follow as fixed-size
    // pieces (UndoJournal.cpp lists them): the target lambda table, one
    // byte of hundredths per cell and cylinder; the correction locks, one
    // byte 0 or 1 per cell and cylinder.
    static constexpr std::size_t kTargetLambdaSize = std::size_t{CTargetLambda::kCylinders} * kCells;
    static constexpr std::size_t kCorrectionLocksSize = std::size_t{CCorrectionLocks::kCylinders} * kCells;
    static constexpr std::size_t kByteSize = kArraysSize + kTargetLambdaSize + kCorrectionLocksSize;
    static constexpr std::size_t kTextCount = kIndexTableCount * kIndexEntries + kTextTableCount * kTextEntries + 4;

    DocumentState();
    // Copies the document's state into this one, reusing its memory.
    void Capture(const CMorvexDoc& doc);

    const std::vector<uint8_t>& bytes() const { return bytes_; }
    const std::vector<std::string>& texts() const { return texts_; }

    // Writes `length` bytes of the byte string from `offset` back into the
    // document (they lie inside one array or piece); and text slot `slot`.
    static void WriteBytes(CMorvexDoc& doc, std::size_t offset, const uint8_t* bytes, std::size_t length);
    static void SetText(CMorvexDoc& doc, std::size_t slot, const std::string& text);

private:
    std::vector<uint8_t> bytes_;
    std::vector<std::string> texts_;
};

// A box byte an undo or redo changed: its box address and both values.
struct RestoredByte {
    BoxAddress address = 0;
    uint8_t value = 0;
    uint8_t previous = 0;
};

// What an undo or redo changed, for the views and the box.
struct RestoredStep {
    std::string name;
    std::vector<RestoredByte> boxBytes; // ascending addresses
    // Index tables, index values or texts changed: the axis headers too.
    bool headersChanged = false;
    // The per-cell records of data recording outside the image changed.
    bool recordsChanged = false;
    // The target lambda table changed (the Data Record pane shows it).
    bool targetsChanged = false;
    // Cells were locked or unlocked against corrections (the Fuel Map pane).
    bool locksChanged = false;
};

// The undo history of one document: per user action the byte ranges and
// texts it changed, before and after, found by comparing the state when the
// action began with the state when it ended. Actions nest; the outermost
// one makes the step and gives its name, whatever the inner ones did. An
// action that changed nothing leaves no step. Changes made outside any
// action (received or recorded data) never become steps.
//
// The journal also knows where the saved state lies in the history, so an
// undo or redo back to it can clear the modified flag.
class UndoJournal {
public:
    // At most `depth` steps and about `byteBudget` bytes of them are kept;
    // the oldest go first.
    explicit UndoJournal(std::size_t depth = 1000, std::size_t byteBudget = std::size_t{16} << 20);

    void Begin(const CMorvexDoc& doc, const std::string& name);
    // True when the outermost action ended with a new step.
    bool End(const CMorvexDoc& doc);
    bool InAction() const { return depth_ > 0; }

    bool CanUndo() const { return applied_ > 0; }
    bool CanRedo() const { return applied_ < steps_.size(); }
    // The name of the step an undo (redo) would take back (do again).
    const std::string& UndoName() const;
    const std::string& RedoName() const;
    // Writes the step's old (new) bytes and texts into `doc`; nothing when
    // there is no step or an action is open.
    bool Undo(CMorvexDoc& doc, RestoredStep& restored);
    bool Redo(CMorvexDoc& doc, RestoredStep& restored);

    // No history; `saved`: the document as it is now is the saved one. An
    // action still open leaves no step.
    void Clear(bool saved);
    // The document as it is now was saved.
    void MarkSaved() { savedAt_ = static_cast<std::ptrdiff_t>(applied_); }
    // The document changed outside the history since it was saved (data
    // recorded online): no undo leads back to the saved state.
    void ForgetSavedState() { savedAt_ = kNowhere; }
    bool AtSavedState() const { return savedAt_ == static_cast<std::ptrdiff_t>(applied_); }
    std::size_t StepCount() const { return steps_.size(); }

private:
    struct ByteRange {
        uint32_t offset = 0;
        std::vector<uint8_t> before;
        std::vector<uint8_t> after;
    };
    struct TextChange {
        uint32_t slot = 0;
        std::string before;
        std::string after;
    };
    struct Step {
        std::string name;
        std::vector<ByteRange> bytes;
        std::vector<TextChange> texts;
        std::size_t size = 0;
    };
    static constexpr std::ptrdiff_t kNowhere = -1;

    Step Difference(const DocumentState& now) const;
    void Push(Step step);
    static void Apply(CMorvexDoc& doc, const Step& step, bool forward, RestoredStep& restored);

    std::size_t maxSteps_;
    std::size_t byteBudget_;
    std::size_t bytesHeld_ = 0;
    std::deque<Step> steps_;
    std::size_t applied_ = 0;
    std::ptrdiff_t savedAt_ = 0;
    int depth_ = 0;
    bool actionVoid_ = false;
    std::string actionName_;
    DocumentState begin_;
    DocumentState end_;
};

} // namespace morvex
