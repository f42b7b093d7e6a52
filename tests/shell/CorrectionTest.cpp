// The fuel correction from recorded lambda as a tuner uses it: the
// proposal previewed in the Fuel Map pane, rejected and accepted, undone in
// one step, locked cells left alone, the recorded data of the changed cells
// reset; and a lean ride on the simulated box corrected into the box.
#include "EditorHarness.h"
#include "document/BoxLayout.h"
#include "document/FuelCorrection.h"
#include "document/LambdaSensors.h"
#include "document/MorvexDoc.h"
#include "grid/ValueGridCtrl.h"
#include "shell/CommController.h"
#include "shell/CorrectionController.h"
#include "shell/CorrectionDlg.h"
#include "shell/FileController.h"
#include "shell/FrameRules.h"
#include "shell/TableViews.h"
#include "shell/UndoController.h"
#include "views/CorrectionBar.h"
#include "views/DataRecording.h"
#include "views/FuelmapView.h"
#include "views/ViewContext.h"

#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <cstring>

using namespace morvex;
using namespace morvex::shell;
using testing_support::Editor;

namespace {

constexpr int kShownRow = 17; // grid row of cell 0

float floatAt(const uint8_t* record, int k)
{
    float f = 0;
    std::memcpy(&f, record + 4 * k, sizeof f);
    return f;
}

uint8_t& fuel(CMorvexDoc& doc, int cylinder, int k)
{
    return *doc.GetBoxData(FuelMapAddress(cylinder, k));
}

// The narrowband sensor shipped in CNF: raw 110 reads lambda 1.10.
bool selectNarrowband(LambdaSensors& sensors)
{
    for (std::size_t i = 0; i < sensors.sensors().size(); ++i) {
        if (sensors.sensors()[i].name == "Narrowband 1-wire unheated") {
            return sensors.Select(kLambdaFirstSensorId + static_cast<int>(i));
        }
    }
    return false;
}

} // namespace

class CorrectionTest : public QObject {
    Q_OBJECT
private slots:
    void aProposalIsPreviewedRejectedAcceptedAndUndoneInOneStep()
    {
        Editor e;
        QVERIFY(e.started);
        CMorvexDoc& doc = e.app.doc();
        views::CFuelmapView& view = e.frame->tables().fuelmap();
        CorrectionController& correction = e.frame->correction();

        // Without a sensor the recordings are no lambda: nothing proposed.
        QVERIFY(!correction.Propose(correction.StoredSettings()));
        QCOMPARE(e.messages.shown.size(), std::size_t{1});
        QVERIFY(!view.InPreview());
        QVERIFY(selectNarrowband(e.app.sensors()));
        // A raw value the chosen sensor reads about 10 % lean.
        const auto boxToPc = doc.Adapt().BOX_TO_PC_Lambda;
        uint16_t lean = 0;
        for (uint32_t raw = 0; raw < 65536 && lean == 0; ++raw) {
            const double l = e.app.sensors().Convert(static_cast<uint16_t>(raw), boxToPc);
            if (l > 1.09 && l < 1.11) {
                lean = static_cast<uint16_t>(raw);
            }
        }
        QVERIFY(lean != 0);
        const double lambda = e.app.sensors().Convert(lean, boxToPc);
        // Cells 0..3 recorded lean on both sides with enough samples; cell
        // 4 with too few; cell 2 of the left cylinder locked.
        for (int k = 0; k < 8; ++k) {
            fuel(doc, 0, k) = 100;
            fuel(doc, 1, k) = 120;
        }
        for (int k = 0; k < 5; ++k) {
            doc.SetWord(box::LAMBDA_RECORD_LEFT, k, lean);
            doc.SetWord(box::LAMBDA_RECORD_RIGHT, k, lean);
            doc.GetBoxData(box::LAMBDA_FLAGS)[2 * k] = 1;
            doc.GetBoxData(box::LAMBDA_FLAGS)[2 * k + 1] = 1;
            doc.SetFloat(box::MEASURE_COUNTS, k, k == 4 ? 5.0F : 40.0F);
        }
        e.frame->tables().update(views::kHintAll);
        e.key(Qt::Key_1, Qt::ControlModifier);
        // Both maps are fuel maps (not the box's lambda correction map).
        view.SetLambdaCorrection(false);
        auto& grid = view.Grid();
        grid.SetFocusCell(kShownRow, 3);
        grid.SetSelectedRange(kShownRow, 3, kShownRow, 3);
        correction.lockAction()->trigger();
        QVERIFY(doc.CorrectionLocks().IsLocked(0, 2));
        QVERIFY(!doc.CorrectionLocks().IsLocked(1, 2));
        const auto marked = [&grid](int column) { return (grid.GetItemState(kShownRow, column) & grid::GVIS_MARKED) != 0; };
        QVERIFY(marked(3) && !marked(2));
        // A lock is an edit like any other.
        e.key(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(!doc.CorrectionLocks().IsLocked(0, 2));
        QVERIFY(!marked(3));
        e.key(Qt::Key_Y, Qt::ControlModifier);
        QVERIFY(doc.CorrectionLocks().IsLocked(0, 2));

        // The dialog proposes with the settings it shows.
        correction.proposeAction()->trigger();
        QTRY_VERIFY(correction.Dialog() != nullptr && correction.Dialog()->isVisible());
        QCOMPARE(correction.Dialog()->minSamples().value(), 20);
        QTest::keyClick(correction.Dialog(), Qt::Key_Return);
        QVERIFY(view.InPreview());

        const uint8_t leftRaised = ProposeValue(100, lambda, 1.0, 10.0);
        const uint8_t rightRaised = ProposeValue(120, lambda, 1.0, 10.0);
        QVERIFY(leftRaised > 105 && leftRaised <= 110);
        // The grid shows the proposal; the document is untouched.
        for (int k : {0, 1, 3}) {
            QCOMPARE(grid.GetItemText(kShownRow, k + 1).toInt(), int{leftRaised});
            QCOMPARE(grid.GetCell(kShownRow, k + 1)->GetBackClr(), views::CFuelmapView::kRicherBack);
            QCOMPARE(fuel(doc, 0, k), uint8_t{100});
        }
        QCOMPARE(grid.GetItemText(kShownRow, 3).toInt(), 100);
        QCOMPARE(grid.GetCell(kShownRow, 3)->GetBackClr(), views::CFuelmapView::kLockedBack);
        QCOMPARE(grid.GetItemText(kShownRow, 5).toInt(), 100);
        QCOMPARE(grid.GetCell(kShownRow, 5)->GetBackClr(), views::CFuelmapView::kNoDataBack);
        // A cell locked during the preview drops out of it at once.
        grid.SetFocusCell(kShownRow, 2);
        grid.SetSelectedRange(kShownRow, 2, kShownRow, 2);
        e.key(Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(grid.GetItemText(kShownRow, 2).toInt(), 100);
        QCOMPARE(grid.GetCell(kShownRow, 2)->GetBackClr(), views::CFuelmapView::kLockedBack);
        e.key(Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(grid.GetItemText(kShownRow, 2).toInt(), int{leftRaised});
        // No edit reaches the copy shown.
        QVERIFY(!grid.SetItemTextNotify(kShownRow, 7, QStringLiteral("77")));
        QCOMPARE(fuel(doc, 0, 6), uint8_t{100});

        // Reject: everything as it was.
        view.CorrectionBar().secondButton()->click();
        QVERIFY(!view.InPreview());
        QCOMPARE(grid.GetItemText(kShownRow, 1).toInt(), 100);
        QCOMPARE(grid.GetCell(kShownRow, 1)->GetBackClr(), grid::kColorDefault);
        // Accept: the changed cells of both cylinders, as one step.
        const bool modifiedBefore = doc.IsModified();
        QVERIFY(correction.Propose(correction.StoredSettings()));
        view.CorrectionBar().firstButton()->click();
        QVERIFY(!view.InPreview());
        for (int k = 0; k < 8; ++k) {
            const bool raised = k < 4 && k != 2;
            QCOMPARE(fuel(doc, 0, k), raised ? leftRaised : uint8_t{100});
            QCOMPARE(fuel(doc, 1, k), k < 4 ? rightRaised : uint8_t{120});
        }
        QCOMPARE(grid.GetItemText(kShownRow, 1).toInt(), int{leftRaised});
        QVERIFY(doc.IsModified());
        QCOMPARE(view.AcceptedCells(), (std::vector<int>{0, 1, 2, 3}));

        // Reset the recordings of the changed cells: the next ride measures
        // the new map; the cell with too few samples keeps its data.
        QCOMPARE(view.CorrectionBar().mode(), views::CCorrectionBar::Mode::Accepted);
        view.CorrectionBar().firstButton()->click();
        const uint8_t* flags = doc.GetBoxData(box::LAMBDA_FLAGS);
        for (int k = 0; k < 5; ++k) {
            QCOMPARE(flags[2 * k] != 0, k == 4);
            QCOMPARE(flags[2 * k + 1] != 0, k == 4);
            QCOMPARE(floatAt(doc.GetBoxData(box::MEASURE_COUNTS), k), k == 4 ? 5.0F : 0.0F);
        }
        QVERIFY(view.CorrectionBar().isHidden());

        // Two steps back: the recordings, then the whole correction at once.
        e.key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(flags[0], uint8_t{1});
        QCOMPARE(fuel(doc, 0, 0), leftRaised);
        e.key(Qt::Key_Z, Qt::ControlModifier);
        for (int k = 0; k < 4; ++k) {
            QCOMPARE(fuel(doc, 0, k), uint8_t{100});
            QCOMPARE(fuel(doc, 1, k), uint8_t{120});
        }
        QCOMPARE(grid.GetItemText(kShownRow, 1).toInt(), 100);
        QCOMPARE(doc.IsModified(), modifiedBefore);
        e.key(Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(fuel(doc, 0, 0), leftRaised);
        QCOMPARE(fuel(doc, 1, 3), rightRaised);
    }
    void aLeanRideIsCorrectedIntoTheBoxOnline()
    {
        Editor e("[Misc]\r\nLastUsedBAUD=115200\r\n");
        QVERIFY(e.started);
        // The simulated box holds the demo set: the same ignition map number.
        QVERIFY(e.frame->files().OpenFile(e.folder.path() / "DATA" / "Demo.M60"));
        QVERIFY(e.startSimulatedBox());
        for (const char* hold : {"hold rpm-index 3", "hold throttle-index 2", "hold lambda-left 110",
                                 "hold lambda-right 110", "hold injection-us 2500"}) {
            QCOMPARE(e.control(QString::fromLatin1(hold)), QStringLiteral("OK"));
        }
        QVERIFY(selectNarrowband(e.app.sensors()));
        e.key(Qt::Key_4, Qt::ControlModifier);
        e.key(Qt::Key_F3);
        QVERIFY(e.frame->comm().online());

        // Revolutions index 3 and throttle index 2: grid row 29, column 14.
        constexpr int kCell = 16 * (29 - 17) + (14 - 1);
        CMorvexDoc& doc = e.app.doc();
        QTRY_VERIFY_WITH_TIMEOUT(floatAt(doc.GetBoxData(box::MEASURE_COUNTS), kCell) >= 20.0F, 30000);
        const double lambda =
            e.app.sensors().Convert(doc.GetWord(box::LAMBDA_RECORD_LEFT, kCell), doc.Adapt().BOX_TO_PC_Lambda);
        const uint8_t old = fuel(doc, 0, kCell);
        const uint8_t expected = ProposeValue(old, lambda, 1.0, 10.0);
        QVERIFY2(expected > old, qPrintable(QStringLiteral("%1 -> %2").arg(old).arg(expected)));
        QCOMPARE(e.peek(kCell), std::vector<int>{old});

        // Proposed and accepted while online: the edit goes to the box.
        CorrectionController& correction = e.frame->correction();
        QVERIFY(correction.Propose(correction.StoredSettings()));
        QCOMPARE(e.frame->activePane(), kFirstPane);
        // The engine's cell stays marked live over the proposal's colour.
        views::CFuelmapView& view = e.frame->tables().fuelmap();
        QCOMPARE(view.Grid().GetCell(29, 14)->GetBackClr(), views::CZamoCylinderView::kLiveBack);
        view.CorrectionBar().firstButton()->click();
        QCOMPARE(fuel(doc, 0, kCell), expected);
        QTRY_COMPARE_WITH_TIMEOUT(e.peek(kCell), std::vector<int>{expected}, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(e.peek(256 + kCell), std::vector<int>{fuel(doc, 1, kCell)}, 20000);
        e.key(Qt::Key_F3);
        QTRY_VERIFY_WITH_TIMEOUT(!e.frame->comm().running(), 10000);
    }
};

QTEST_MAIN(CorrectionTest)
#include "CorrectionTest.moc"
