// The target lambda tabs of the Data Record pane, used as a tuner uses
// them: reached with F10, typed, stepped, filled, pasted and cleared with
// the map keys, each action one undo step, left alone by Reset All, back
// from the saved file after a reload, and typed while online.
#include "EditorHarness.h"
#include "document/BoxLayout.h"
#include "document/MorvexDoc.h"
#include "grid/ValueGridCtrl.h"
#include "platform/IniFile.h"
#include "shell/CommController.h"
#include "shell/FileController.h"
#include "shell/FrameRules.h"
#include "shell/TableViews.h"
#include "shell/UndoController.h"
#include "views/DataRecordingView.h"
#include "views/GridIds.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QTabBar>
#include <QTest>

#include <fstream>
#include <sstream>

using namespace morvex;
using namespace morvex::shell;
using testing_support::Editor;

namespace {

// Cell k of the shown map half at grid row r, column c.
constexpr int cellAt(int row, int column)
{
    return 16 * (row - 17) + column - 1;
}

void typeInto(grid::CValueGridCtrl& grid, int row, int column, const QString& text)
{
    grid.SetFocusCell(row, column);
    grid.SetSelectedRange(row, column, row, column);
    QTest::keyClicks(&grid, text);
    QTest::keyClick(grid.GetEditWnd(), Qt::Key_Return);
}

} // namespace

class TargetLambdaTabTest : public QObject {
    Q_OBJECT
private slots:
    void targetsAreEditedUndoneSavedAndReloaded()
    {
        Editor e;
        QVERIFY(e.started);
        const std::filesystem::path file = e.folder.path() / "targets.M60";
        QVERIFY(e.frame->files().OpenFile(e.folder.path() / "DATA" / "Demo.M60"));
        CMorvexDoc& doc = e.app.doc();
        views::CDataRecordingView& view = e.frame->tables().dataRecording();
        grid::CValueGridCtrl& grid = view.Grid();
        QAction* undo = e.frame->undo().undoAction();
        const UndoJournal& journal = e.frame->undo().journal();

        e.key(Qt::Key_4, Qt::ControlModifier);
        for (int tab = 0; tab < views::tabOfGrid(views::kGridTargetLeft); ++tab) {
            e.key(Qt::Key_F10);
        }
        QCOMPARE(view.ActiveGrid(), views::kGridTargetLeft);
        QCOMPARE(view.TabBar()->tabText(view.TabBar()->currentIndex()), QStringLiteral("Left Target Lambda"));
        QCOMPARE(grid.GetItemText(20, 3), QStringLiteral("1.00"));
        QVERIFY(!e.frame->RunCommand(cmd::kResetGridRecords));

        // Typed: the document holds it, one step named as the grid names it.
        typeInto(grid, 20, 3, QStringLiteral("1.05"));
        QCOMPARE(doc.TargetLambda().Hundredths(0, cellAt(20, 3)), 105);
        QCOMPARE(grid.GetItemText(20, 3), QStringLiteral("1.05"));
        QVERIFY(doc.IsModified());
        QCOMPARE(undo->text(), QStringLiteral("&Undo Typing"));
        QCOMPARE(journal.StepCount(), std::size_t{1});

        // Plus steps by 0.01.
        QTest::keyClick(&grid, Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(doc.TargetLambda().Hundredths(0, cellAt(20, 3)), 106);

        // Fill Down interpolates between the ends of the selection.
        grid.SetSelectedRange(17, 3, 20, 3);
        e.frame->UpdateCommandStates(); // as the Edit menu does when it opens
        QVERIFY(e.frame->RunCommand(cmd::kFillDown));
        QCOMPARE(doc.TargetLambda().Hundredths(0, cellAt(18, 3)), 102);
        QCOMPARE(grid.GetItemText(19, 3), QStringLiteral("1.04"));
        QCOMPARE(undo->text(), QStringLiteral("&Undo Fill Down"));

        // A pasted block is one step; beyond 2.00 it is limited silently.
        QGuiApplication::clipboard()->setText(QStringLiteral("0.90\t0.95\n1.10\t2.50\n"));
        grid.SetFocusCell(17, 1);
        grid.SetSelectedRange(17, 1, 17, 1);
        QTest::keyClick(&grid, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(undo->text(), QStringLiteral("&Undo Paste"));
        QCOMPARE(journal.StepCount(), std::size_t{4});
        QCOMPARE(doc.TargetLambda().Hundredths(0, cellAt(18, 2)), 200);
        QCOMPARE(grid.GetItemText(17, 2), QStringLiteral("0.95"));

        // Undone and done again as a whole; the grid follows.
        e.key(Qt::Key_Z, Qt::ControlModifier);
        for (const int k : {cellAt(17, 1), cellAt(17, 2), cellAt(18, 1), cellAt(18, 2)}) {
            QCOMPARE(doc.TargetLambda().Hundredths(0, k), 100);
        }
        QCOMPARE(doc.TargetLambda().Hundredths(0, cellAt(20, 3)), 106);
        QCOMPARE(grid.GetItemText(17, 2), QStringLiteral("1.00"));
        e.key(Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(doc.TargetLambda().Hundredths(0, cellAt(17, 1)), 90);
        QCOMPARE(grid.GetItemText(17, 2), QStringLiteral("0.95"));

        // Delete clears a target to 1.00 instead of resetting recordings.
        grid.SetFocusCell(17, 1);
        grid.SetSelectedRange(17, 1, 17, 1);
        QTest::keyClick(&grid, Qt::Key_Delete);
        QCOMPARE(doc.TargetLambda().Hundredths(0, cellAt(17, 1)), 100);
        QCOMPARE(grid.GetItemText(17, 1), QStringLiteral("1.00"));

        // In lambda correction mode (the default) the right map is the
        // box's correction map: its target tab is passed over.
        QVERIFY(!view.TabBar()->isTabEnabled(views::tabOfGrid(views::kGridTargetRight)));
        e.key(Qt::Key_F10);
        QCOMPARE(view.ActiveGrid(), views::kGridLeft);

        // With the mode off the right cylinder has a table of its own.
        e.key(Qt::Key_1, Qt::ControlModifier);
        QVERIFY(e.frame->RunCommand(cmd::kLambdaCorrection));
        e.key(Qt::Key_4, Qt::ControlModifier);
        e.key(Qt::Key_F9);
        QCOMPARE(view.ActiveGrid(), views::kGridTargetRight);
        typeInto(grid, 32, 16, QStringLiteral("0.8"));
        QCOMPARE(doc.TargetLambda().Hundredths(1, 255), 80);
        QCOMPARE(doc.TargetLambda().Hundredths(0, 255), 100);

        // Resetting the recordings keeps the targets.
        QVERIFY(e.frame->RunCommand(cmd::kResetAllRecords));
        QCOMPARE(doc.TargetLambda().Hundredths(1, 255), 80);
        QCOMPARE(grid.GetItemText(32, 16), QStringLiteral("0.80"));

        // Saved, edited again, reloaded: the saved targets come back.
        e.frame->files().setFileDialog(
            [&](QWidget*, bool, const QString&, const QString&) { return QString::fromStdString(file.string()); });
        QVERIFY(e.frame->files().SaveAs());
        std::ifstream in(file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        const platform::IniFile saved = platform::IniFile::fromText(text.str());
        QCOMPARE(saved.getString(kTargetLambdaSection, "RE01").substr(60), std::string("080"));
        typeInto(grid, 32, 16, QStringLiteral("1.5"));
        QCOMPARE(doc.TargetLambda().Hundredths(1, 255), 150);
        QVERIFY2(e.messages.shown.empty(), e.messages.shown.empty() ? "" : e.messages.shown.front().text.c_str());
        e.frame->files().Reload(); // asks before the edit is dropped
        QCOMPARE(doc.TargetLambda().Hundredths(1, 255), 80);
        QCOMPARE(doc.TargetLambda().Hundredths(0, cellAt(20, 3)), 106);
        QCOMPARE(doc.TargetLambda().Hundredths(0, cellAt(18, 2)), 200);
        QCOMPARE(grid.GetItemText(32, 16), QStringLiteral("0.80"));
        QVERIFY(!doc.IsModified());
        QCOMPARE(e.messages.shown.size(), std::size_t{1});
    }

    // Targets are no box data: typed while the box is online and the
    // pane records, the focus staying where the tuner typed.
    void targetsAreEditedWhileOnline()
    {
        Editor e("[Misc]\r\nLastUsedBAUD=115200\r\n");
        QVERIFY(e.started);
        QVERIFY(e.frame->files().OpenFile(e.folder.path() / "DATA" / "Demo.M60"));
        QVERIFY(e.startSimulatedBox());
        for (const char* hold : {"hold rpm-index 3", "hold throttle-index 2", "hold lambda-left 450"}) {
            QCOMPARE(e.control(QString::fromLatin1(hold)), QStringLiteral("OK"));
        }
        CMorvexDoc& doc = e.app.doc();
        views::CDataRecordingView& view = e.frame->tables().dataRecording();
        grid::CValueGridCtrl& grid = view.Grid();
        e.key(Qt::Key_4, Qt::ControlModifier);
        for (int tab = 0; tab < views::tabOfGrid(views::kGridTargetLeft); ++tab) {
            e.key(Qt::Key_F10);
        }
        e.key(Qt::Key_F3);
        QVERIFY(e.frame->comm().online());

        // Revolutions index 3, throttle index 2: grid row 29, column 14.
        QTRY_VERIFY_WITH_TIMEOUT(doc.GetFloat(box::MEASURE_COUNTS, cellAt(29, 14)) >= 2.0F, 30000);
        typeInto(grid, 20, 3, QStringLiteral("0.95"));
        QCOMPARE(doc.TargetLambda().Hundredths(0, cellAt(20, 3)), 95);
        // The engine moves on to throttle index 3 (column 13).
        QCOMPARE(e.control(QStringLiteral("hold throttle-index 3")), QStringLiteral("OK"));
        QTRY_VERIFY_WITH_TIMEOUT(doc.GetFloat(box::MEASURE_COUNTS, cellAt(29, 13)) >= 2.0F, 30000);
        QCOMPARE(grid.GetFocusCell(), grid::CCellID(20, 3));
        QCOMPARE(grid.GetItemText(20, 3), QStringLiteral("0.95"));
        e.key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(doc.TargetLambda().Hundredths(0, cellAt(20, 3)), 100);

        // Back on a recording tab the grid only shows again.
        e.key(Qt::Key_F10);
        QCOMPARE(view.ActiveGrid(), views::kGridLeft);
        QVERIFY(!grid.IsInputEnabled());
        e.key(Qt::Key_F3);
        QTRY_VERIFY_WITH_TIMEOUT(!e.frame->comm().running(), 10000);
        QVERIFY(e.messages.shown.empty());
    }
};

QTEST_MAIN(TargetLambdaTabTest)
#include "TargetLambdaTabTest.moc"
