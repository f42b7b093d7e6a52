#include "document/UndoJournal.h"

#include "document/MorvexDoc.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <utility>

namespace morvex {
namespace {

struct Region {
    BoxAddress address;
    std::size_t size;
};

// The document's arrays in the order of the state's byte string.
constexpr std::array<Region, 6> kRegions{{
    {0, kBoxImageSize},
    {rec::REC_INDEX_VALUES, rec::kIndexValuesAreaSize},
    {rec::REC_IGNITION_T, rec::kFloatRecordSize},
    {rec::REC_IGNITION_P, rec::kFloatRecordSize},
    {rec::REC_FUEL_CONSUMPTION, rec::kFloatRecordSize},
    {rec::REC_DATA_RECEIVED, rec::kDataReceivedSize},
}};

void copyTargetsOut(const CMorvexDoc& doc, uint8_t* out)
{
    for (int cylinder = 0; cylinder < CTargetLambda::kCylinders; ++cylinder) {
        for (int k = 0; k < kCells; ++k) {
            *out++ = static_cast<uint8_t>(doc.TargetLambda().Hundredths(cylinder, k)); // 50..200
        }
    }
}

void copyTargetsIn(CMorvexDoc& doc, const uint8_t* in)
{
    for (int cylinder = 0; cylinder < CTargetLambda::kCylinders; ++cylinder) {
        for (int k = 0; k < kCells; ++k) {
            doc.TargetLambda().Set(cylinder, k, *in++ / 100.0);
        }
    }
}

void copyLocksOut(const CMorvexDoc& doc, uint8_t* out)
{
    for (int cylinder = 0; cylinder < CCorrectionLocks::kCylinders; ++cylinder) {
        for (int k = 0; k < kCells; ++k) {
            *out++ = doc.CorrectionLocks().IsLocked(cylinder, k) ? 1 : 0;
        }
    }
}

void copyLocksIn(CMorvexDoc& doc, const uint8_t* in)
{
    for (int cylinder = 0; cylinder < CCorrectionLocks::kCylinders; ++cylinder) {
        for (int k = 0; k < kCells; ++k) {
            doc.CorrectionLocks().SetLocked(cylinder, k, *in++ != 0);
        }
    }
}

// A table the document keeps in a type of its own, after the arrays in the
// byte string: how it is copied out of and back into the document, and
// which flag of a restored step tells the views. A new table is one more
// row here and its size in DocumentState::kByteSize.
struct Piece {
    std::size_t size;
    void (*copyOut)(const CMorvexDoc&, uint8_t*);
    void (*copyIn)(CMorvexDoc&, const uint8_t*);
    bool RestoredStep::*changed;
};
constexpr std::array<Piece, 2> kPieces{{
    {DocumentState::kTargetLambdaSize, copyTargetsOut, copyTargetsIn, &RestoredStep::targetsChanged},
    {DocumentState::kCorrectionLocksSize, copyLocksOut, copyLocksIn, &RestoredStep::locksChanged},
}};

constexpr std::size_t kPiecesBegin = DocumentState::kArraysSize;
static_assert(kPiecesBegin + [] {
    std::size_t n = 0;
    for (const Piece& p : kPieces) {
        n += p.size;
    }
    return n;
}() == DocumentState::kByteSize);

// The sizes of the arrays and pieces in the order of the byte string:
// changes are compared within each, never across two.
constexpr std::array<std::size_t, kRegions.size() + kPieces.size()> kSegments = [] {
    std::array<std::size_t, kRegions.size() + kPieces.size()> sizes{};
    std::size_t i = 0;
    for (const Region& r : kRegions) {
        sizes[i++] = r.size;
    }
    for (const Piece& p : kPieces) {
        sizes[i++] = p.size;
    }
    return sizes;
}();

// Text slots: the index texts, the names, the file versions, the comment.
constexpr std::size_t kIndexTextSlots = static_cast<std::size_t>(kIndexTableCount) * kIndexEntries;
constexpr std::size_t kNameSlots = static_cast<std::size_t>(kTextTableCount) * kTextEntries;
constexpr std::size_t kVersionSlot = kIndexTextSlots + kNameSlots;
constexpr std::size_t kCommentSlot = kVersionSlot + 3;
static_assert(kCommentSlot + 1 == DocumentState::kTextCount);

// Two changed runs closer than this are kept as one range.
constexpr std::size_t kJoinGap = 16;

// The axes: index tables in the image and the index values record.
constexpr std::size_t kIndexTablesBegin = box::TAB_DZI;
constexpr std::size_t kIndexTablesEnd = box::TAB_RES;
constexpr std::size_t kIndexValuesBegin = kBoxImageSize;
constexpr std::size_t kIndexValuesEnd = kBoxImageSize + rec::kIndexValuesAreaSize;

bool overlaps(std::size_t offset, std::size_t length, std::size_t begin, std::size_t end)
{
    return offset < end && offset + length > begin;
}

std::string& fileText(CInfoRecords& info, std::size_t slot)
{
    return slot == kCommentSlot ? info.file.comment : info.file.versions[slot - kVersionSlot];
}

} // namespace

// ---- DocumentState --------------------------------------------------------

DocumentState::DocumentState() : bytes_(kByteSize), texts_(kTextCount) {}

void DocumentState::Capture(const CMorvexDoc& doc)
{
    uint8_t* out = bytes_.data();
    for (const Region& r : kRegions) {
        std::memcpy(out, doc.GetBoxData(r.address), r.size);
        out += r.size;
    }
    for (const Piece& p : kPieces) {
        p.copyOut(doc, out);
        out += p.size;
    }
    std::size_t slot = 0;
    for (int t = 0; t < kIndexTableCount; ++t) {
        for (int i = 0; i < kIndexEntries; ++i) {
            texts_[slot++] = doc.IndexText(static_cast<IndexTable>(t), i);
        }
    }
    for (int t = 0; t < kTextTableCount; ++t) {
        for (int i = 0; i < kTextEntries; ++i) {
            texts_[slot++] = doc.Text(static_cast<TextTable>(t), i);
        }
    }
    for (const std::string& version : doc.Info().file.versions) {
        texts_[slot++] = version;
    }
    texts_[slot] = doc.Info().file.comment;
}

void DocumentState::WriteBytes(CMorvexDoc& doc, std::size_t offset, const uint8_t* bytes, std::size_t length)
{
    for (const Region& r : kRegions) {
        if (offset < r.size) {
            assert(offset + length <= r.size);
            std::memcpy(doc.GetBoxData(r.address) + offset, bytes, length);
            return;
        }
        offset -= r.size;
    }
    for (const Piece& p : kPieces) {
        if (offset < p.size) {
            // A piece is no byte array: patched in a copy, written back whole.
            assert(offset + length <= p.size);
            std::vector<uint8_t> whole(p.size);
            p.copyOut(doc, whole.data());
            std::memcpy(whole.data() + offset, bytes, length);
            p.copyIn(doc, whole.data());
            return;
        }
        offset -= p.size;
    }
    assert(false && "offset beyond the state");
}

void DocumentState::SetText(CMorvexDoc& doc, std::size_t slot, const std::string& text)
{
    if (slot < kIndexTextSlots) {
        doc.SetIndexText(static_cast<IndexTable>(slot / kIndexEntries), static_cast<int>(slot % kIndexEntries), text);
    } else if (slot < kVersionSlot) {
        const std::size_t name = slot - kIndexTextSlots;
        doc.SetText(static_cast<TextTable>(name / kTextEntries), static_cast<int>(name % kTextEntries), text);
    } else {
        fileText(doc.Info(), slot) = text;
    }
}

// ---- UndoJournal ----------------------------------------------------------

UndoJournal::UndoJournal(std::size_t depth, std::size_t byteBudget)
    : maxSteps_(std::max<std::size_t>(depth, 1)), byteBudget_(byteBudget)
{
}

void UndoJournal::Begin(const CMorvexDoc& doc, const std::string& name)
{
    if (depth_++ > 0) {
        return;
    }
    actionName_ = name;
    begin_.Capture(doc);
}

bool UndoJournal::End(const CMorvexDoc& doc)
{
    assert(depth_ > 0);
    if (depth_ == 0 || --depth_ > 0) {
        return false;
    }
    if (std::exchange(actionVoid_, false)) {
        return false;
    }
    end_.Capture(doc);
    Step step = Difference(end_);
    if (step.bytes.empty() && step.texts.empty()) {
        return false;
    }
    step.name = actionName_;
    Push(std::move(step));
    return true;
}

UndoJournal::Step UndoJournal::Difference(const DocumentState& now) const
{
    Step step;
    const std::vector<uint8_t>& a = begin_.bytes();
    const std::vector<uint8_t>& b = now.bytes();
    std::size_t regionBegin = 0;
    for (const std::size_t size : kSegments) {
        const std::size_t regionEnd = regionBegin + size;
        std::size_t i = regionBegin;
        while (i < regionEnd) {
            // Equal stretches are skipped a block at a time.
            constexpr std::size_t kBlock = 64;
            if (i + kBlock <= regionEnd && std::memcmp(&a[i], &b[i], kBlock) == 0) {
                i += kBlock;
                continue;
            }
            if (a[i] == b[i]) {
                ++i;
                continue;
            }
            // A run of changes, joined across short equal gaps.
            const std::size_t first = i;
            std::size_t last = i;
            for (std::size_t j = i + 1; j < regionEnd && j <= last + kJoinGap; ++j) {
                if (a[j] != b[j]) {
                    last = j;
                }
            }
            ByteRange range;
            range.offset = static_cast<uint32_t>(first);
            range.before.assign(a.begin() + static_cast<std::ptrdiff_t>(first),
                                a.begin() + static_cast<std::ptrdiff_t>(last + 1));
            range.after.assign(b.begin() + static_cast<std::ptrdiff_t>(first),
                               b.begin() + static_cast<std::ptrdiff_t>(last + 1));
            step.size += 2 * range.before.size();
            step.bytes.push_back(std::move(range));
            i = last + 1;
        }
        regionBegin = regionEnd;
    }
    for (std::size_t slot = 0; slot < DocumentState::kTextCount; ++slot) {
        if (begin_.texts()[slot] != now.texts()[slot]) {
            step.texts.push_back({static_cast<uint32_t>(slot), begin_.texts()[slot], now.texts()[slot]});
            step.size += begin_.texts()[slot].size() + now.texts()[slot].size();
        }
    }
    step.size += sizeof(Step) + step.bytes.size() * sizeof(ByteRange) + step.texts.size() * sizeof(TextChange);
    return step;
}

void UndoJournal::Push(Step step)
{
    // A new step ends the redo branch; a saved state in it is lost.
    while (steps_.size() > applied_) {
        bytesHeld_ -= steps_.back().size;
        steps_.pop_back();
    }
    if (savedAt_ > static_cast<std::ptrdiff_t>(applied_)) {
        savedAt_ = kNowhere;
    }
    bytesHeld_ += step.size;
    steps_.push_back(std::move(step));
    ++applied_;
    // The oldest steps go, but never the one just made.
    while (steps_.size() > 1 && (steps_.size() > maxSteps_ || bytesHeld_ > byteBudget_)) {
        bytesHeld_ -= steps_.front().size;
        steps_.pop_front();
        --applied_;
        savedAt_ = savedAt_ > 0 ? savedAt_ - 1 : kNowhere;
    }
}

const std::string& UndoJournal::UndoName() const
{
    static const std::string none;
    return CanUndo() ? steps_[applied_ - 1].name : none;
}

const std::string& UndoJournal::RedoName() const
{
    static const std::string none;
    return CanRedo() ? steps_[applied_].name : none;
}

bool UndoJournal::Undo(CMorvexDoc& doc, RestoredStep& restored)
{
    if (!CanUndo() || InAction()) {
        return false;
    }
    --applied_;
    Apply(doc, steps_[applied_], false, restored);
    return true;
}

bool UndoJournal::Redo(CMorvexDoc& doc, RestoredStep& restored)
{
    if (!CanRedo() || InAction()) {
        return false;
    }
    Apply(doc, steps_[applied_], true, restored);
    ++applied_;
    return true;
}

void UndoJournal::Apply(CMorvexDoc& doc, const Step& step, bool forward, RestoredStep& restored)
{
    restored = RestoredStep{};
    restored.name = step.name;
    for (const ByteRange& range : step.bytes) {
        const std::vector<uint8_t>& from = forward ? range.before : range.after;
        const std::vector<uint8_t>& to = forward ? range.after : range.before;
        DocumentState::WriteBytes(doc, range.offset, to.data(), to.size());
        if (overlaps(range.offset, to.size(), kIndexTablesBegin, kIndexTablesEnd) ||
            overlaps(range.offset, to.size(), kIndexValuesBegin, kIndexValuesEnd)) {
            restored.headersChanged = true;
        }
        if (range.offset >= kIndexValuesEnd && range.offset < kPiecesBegin) {
            restored.recordsChanged = true;
        }
        std::size_t pieceBegin = kPiecesBegin;
        for (const Piece& p : kPieces) {
            if (overlaps(range.offset, to.size(), pieceBegin, pieceBegin + p.size)) {
                restored.*p.changed = true;
            }
            pieceBegin += p.size;
        }
        if (range.offset >= kBoxImageSize) {
            continue;
        }
        for (std::size_t k = 0; k < to.size(); ++k) {
            if (to[k] != from[k]) {
                restored.boxBytes.push_back({static_cast<BoxAddress>(range.offset + k), to[k], from[k]});
            }
        }
    }
    for (const TextChange& text : step.texts) {
        DocumentState::SetText(doc, text.slot, forward ? text.after : text.before);
        restored.headersChanged = true;
    }
}

void UndoJournal::Clear(bool saved)
{
    steps_.clear();
    bytesHeld_ = 0;
    applied_ = 0;
    savedAt_ = saved ? 0 : kNowhere;
    // An action still open began on contents that are gone.
    actionVoid_ = InAction();
}

} // namespace morvex
