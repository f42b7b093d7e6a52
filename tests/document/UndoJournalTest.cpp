// The undo journal on a real document: only actions that change something
// make steps, changes outside them stay, and the saved state is followed
// through undo, redo, new steps and the depth limit. (Every kind of edit
// undone byte for byte: tests/shell/UndoTest.cpp.)
#include "DocumentFixture.h"

#include "document/MorvexDoc.h"
#include "document/UndoJournal.h"

#include <gtest/gtest.h>

namespace morvex::test {
namespace {

class UndoJournalTest : public BoundAdapt {
protected:
    UndoJournalTest() : limits(shippedLimits()), doc(adapt(), limits, info, shippedCnf() / "Premap.cfg")
    {
        doc.OnNewDocument();
    }

    // One action that writes `value` into the left fuel map cell `p`.
    void edit(UndoJournal& journal, int p, uint8_t value, const std::string& name = "Typing")
    {
        journal.Begin(doc, name);
        doc.GetBoxData(box::TAB_DDD_LINKS)[p] = value;
        journal.End(doc);
    }

    CLimits limits;
    CInfoRecords info;
    CMorvexDoc doc;
};

TEST_F(UndoJournalTest, OnlyActionsThatChangeSomethingMakeStepsAndChangesOutsideThemStay)
{
    UndoJournal journal;
    journal.Begin(doc, "Typing");
    EXPECT_FALSE(journal.End(doc));
    EXPECT_FALSE(journal.CanUndo());

    edit(journal, 300, 40);
    // Recorded online between two actions: no step, and undo leaves it.
    doc.SetFloat(box::MEASURE_COUNTS, 10, 20.0F);
    edit(journal, 301, 41);
    EXPECT_EQ(journal.StepCount(), 2U);
    RestoredStep step;
    ASSERT_TRUE(journal.Undo(doc, step));
    ASSERT_TRUE(journal.Undo(doc, step));
    EXPECT_EQ(doc.GetBoxData(box::TAB_DDD_LINKS)[300], 0);
    EXPECT_EQ(doc.GetBoxData(box::TAB_DDD_LINKS)[301], 0);
    EXPECT_EQ(doc.GetFloat(box::MEASURE_COUNTS, 10), 20.0F);
    EXPECT_FALSE(step.headersChanged);

    // Contents replaced while an action is open: that action makes no step.
    journal.Begin(doc, "Typing");
    doc.GetBoxData(box::TAB_DDD_LINKS)[5] = 1;
    journal.Clear(true);
    EXPECT_FALSE(journal.End(doc));
    EXPECT_FALSE(journal.CanUndo());
    EXPECT_FALSE(journal.CanRedo());
}

TEST_F(UndoJournalTest, ATargetEditUndoesExactlyItAndTellsTheViewsButNotTheBox)
{
    UndoJournal journal;
    // Set outside any action: no step, and undo leaves it.
    ASSERT_TRUE(doc.SetTargetLambda(1, 200, 0.95));
    const CTargetLambda before = doc.TargetLambda();
    // The first and the last byte of the target piece, the record before it.
    journal.Begin(doc, "Paste");
    doc.SetTargetLambda(0, 0, 1.05);
    doc.SetTargetLambda(1, 255, 0.5);
    doc.GetBoxData(rec::REC_DATA_RECEIVED)[255] = 7;
    ASSERT_TRUE(journal.End(doc));
    const CTargetLambda after = doc.TargetLambda();

    RestoredStep step;
    ASSERT_TRUE(journal.Undo(doc, step));
    EXPECT_TRUE(doc.TargetLambda() == before);
    EXPECT_EQ(doc.GetBoxData(rec::REC_DATA_RECEIVED)[255], 0);
    EXPECT_EQ(step.name, "Paste");
    EXPECT_TRUE(step.targetsChanged);
    EXPECT_TRUE(step.recordsChanged);
    EXPECT_TRUE(step.boxBytes.empty());
    ASSERT_TRUE(journal.Redo(doc, step));
    EXPECT_TRUE(doc.TargetLambda() == after);
    EXPECT_EQ(doc.GetBoxData(rec::REC_DATA_RECEIVED)[255], 7);

    // A map edit leaves the targets and their flag alone.
    edit(journal, 300, 9);
    ASSERT_TRUE(journal.Undo(doc, step));
    EXPECT_FALSE(step.targetsChanged);
    EXPECT_FALSE(step.recordsChanged);
    EXPECT_TRUE(doc.TargetLambda() == after);
}

TEST_F(UndoJournalTest, TheSavedStateIsFollowedThroughUndoRedoNewStepsAndTheDepthLimit)
{
    UndoJournal journal(3);
    journal.Clear(true);
    edit(journal, 256, 1);
    journal.MarkSaved();
    edit(journal, 257, 2);
    EXPECT_FALSE(journal.AtSavedState());
    RestoredStep step;
    journal.Undo(doc, step);
    EXPECT_TRUE(journal.AtSavedState());
    journal.Undo(doc, step);
    EXPECT_FALSE(journal.AtSavedState());
    journal.Redo(doc, step);
    EXPECT_TRUE(journal.AtSavedState());

    // Data recorded after the save: no way back to it.
    journal.ForgetSavedState();
    journal.Undo(doc, step);
    journal.Redo(doc, step);
    EXPECT_FALSE(journal.AtSavedState());

    // A new step after an undo drops the redo branch and the saved state in it.
    journal.MarkSaved();
    journal.Undo(doc, step);
    edit(journal, 258, 3, "Step");
    EXPECT_FALSE(journal.CanRedo());
    journal.Undo(doc, step);
    EXPECT_FALSE(journal.AtSavedState());
    journal.Redo(doc, step);

    // Past three steps the oldest go; the saved state goes with its step.
    journal.Clear(true);
    for (int i = 0; i < 5; ++i) {
        edit(journal, 260 + i, static_cast<uint8_t>(10 + i), "Step " + std::to_string(i));
        if (i == 2) {
            journal.MarkSaved();
        }
    }
    EXPECT_EQ(journal.StepCount(), 3U);
    int undone = 0;
    while (journal.Undo(doc, step)) {
        ++undone;
        EXPECT_EQ(journal.AtSavedState(), undone == 2);
    }
    EXPECT_EQ(undone, 3);
    EXPECT_EQ(step.name, "Step 2");
    EXPECT_EQ(doc.GetBoxData(box::TAB_DDD_LINKS)[261], 11);
    EXPECT_EQ(doc.GetBoxData(box::TAB_DDD_LINKS)[262], 0);
}

} // namespace
} // namespace morvex::test
