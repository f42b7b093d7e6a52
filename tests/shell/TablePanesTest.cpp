// The Function and Ignition panes against the simulated box, driven by
// keys: what a receive shows, what an online step changes in the box, the
// live markers and the ignition map number while online, and a data file
// that goes to the box byte for byte.
#include "EditorHarness.h"
#include "comm/Operation.h"
#include "comm/Walks.h"
#include "document/BoxLayout.h"
#include "document/MorvexDoc.h"
#include "grid/ValueGridCtrl.h"
#include "shell/CommController.h"
#include "shell/FileController.h"
#include "shell/FrameRules.h"
#include "shell/PortController.h"
#include "shell/SimulatedBox.h"
#include "shell/TableViews.h"
#include "views/FunctionView.h"
#include "views/GridIds.h"
#include "views/IgnitionView.h"

#include <QSignalSpy>
#include <QTest>

#include <vector>

using namespace morvex;
using namespace morvex::shell;
using testing_support::Editor;

namespace {

// An editor talking to its built-in simulated box at full speed.
struct BoxEditor : Editor {
    BoxEditor() : Editor("[Misc]\r\nLastUsedBAUD=115200\r\n")
    {
        if (!started) {
            return;
        }
        boxReady = startSimulatedBox();
    }
    bool transferDone() { return transferText().startsWith(QStringLiteral("OK (")); }

    views::CDOS_FunctionView& function() { return frame->tables().function(); }
    views::CDOS_IgnitionView& ignition() { return frame->tables().ignition(); }
    uint8_t* image() { return app.doc().GetBoxData(0); }

    bool boxReady = false;
};

// Every byte the send walk of the pane's job takes from the document, with
// its line address.
std::vector<comm::WalkStep> sendWalk(CMorvexDoc& doc, int pane)
{
    comm::TransferBuffers buffers;
    const auto plan = comm::planTableTransfer(comm::OperationId::SendPane, pane, doc, {}, buffers, 0.0);
    std::vector<comm::WalkStep> steps;
    if (plan) {
        for (const comm::TransferJob& job : plan->jobs) {
            const bool table =
                job.variant == comm::variant::SpecialFunctions || job.variant == comm::variant::IgnitionMap;
            if (table && job.viewId == pane) {
                if (const auto walk = comm::buildWalk(job, true)) {
                    steps.insert(steps.end(), walk->begin(), walk->end());
                }
            }
        }
    }
    return steps;
}

} // namespace

class TablePanesTest : public QObject {
    Q_OBJECT
private slots:
    void receivePaneFillsBothPanesFromTheBox()
    {
        BoxEditor e;
        QVERIFY(e.boxReady);
        // Engine temperature point 0, the ignition map number, teeth 36 and
        // static point 10, and 4 steps in the left map's first shown cell.
        for (const char* poke : {"poke 1024 77", "poke 1218 5", "poke 1200 36", "poke 1201 10", "poke 512 4"}) {
            QCOMPARE(e.control(QString::fromLatin1(poke)), QStringLiteral("OK"));
        }
        e.key(Qt::Key_2, Qt::ControlModifier);
        QCOMPARE(e.frame->activePane(), kFunctionPane);
        e.key(Qt::Key_F4);
        QTRY_VERIFY_WITH_TIMEOUT(e.transferDone(), 30000);
        QCOMPARE(e.image()[box::TAB_MTD], uint8_t{77});
        QCOMPARE(e.function().Grid().GetItemText(33, 0).trimmed(), QStringLiteral("77"));
        // The premap follows the received ignition map number at once.
        QCOMPARE(e.ignition().PremapShown(), 5);

        e.key(Qt::Key_3, Qt::ControlModifier);
        e.key(Qt::Key_F4);
        QTRY_VERIFY_WITH_TIMEOUT(e.transferDone(), 30000);
        QCOMPARE(e.image()[box::PARAMETERS], uint8_t{36});
        QCOMPARE(e.image()[box::PARAMETERS + 1], uint8_t{10});
        QCOMPARE(e.image()[box::TAB_DDZ_LINKS + 256], uint8_t{4});
        QCOMPARE(e.image()[box::IGNITION_WORK_1 + 256], uint8_t{30});
        // F10 from the Premap tab to the left cylinder: 4 steps of 5 after 10.
        QCOMPARE(e.ignition().ActiveGrid(), views::kGridPremap);
        e.key(Qt::Key_F10);
        QCOMPARE(e.ignition().ActiveGrid(), views::kGridLeft);
        QCOMPARE(e.ignition().Grid().GetItemText(17, 1), QStringLiteral("30"));
        QCOMPARE(e.frame->statusbar().paneText(CZamoStatusbar::IgnitionAngle), QStringLiteral("BTDC (vOT): 10\u00B0"));
        QVERIFY(e.messages.shown.empty());
    }

    void onlineStepsChangeExactlyTheirBytesInTheBox()
    {
        BoxEditor e;
        QVERIFY(e.boxReady);
        // The engine held in the bottom right cell of the maps.
        QCOMPARE(e.control(QStringLiteral("hold rpm-index 0")), QStringLiteral("OK"));
        QCOMPARE(e.control(QStringLiteral("hold throttle-index 0")), QStringLiteral("OK"));
        QVERIFY(e.ignition().ApplyTeethAndOffset(36, 10));
        e.key(Qt::Key_3, Qt::ControlModifier);
        e.key(Qt::Key_F10);
        QCOMPARE(e.ignition().ActiveGrid(), views::kGridLeft);
        const std::vector<int> before = e.peek(512, 512);
        QCOMPARE(before.size(), std::size_t{512});

        e.key(Qt::Key_F3);
        QVERIFY(e.frame->comm().online());
        auto& grid = e.ignition().Grid();
        QTRY_COMPARE_WITH_TIMEOUT(grid.GetFocusCell(), grid::CCellID(32, 16), 20000);
        const uint8_t* steps = e.image() + box::TAB_DDZ_LINKS;
        const int stepped = steps[511] + 1;
        QTest::keyClick(&grid, Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(int{steps[511]}, stepped);
        // Map position 511 of the left steps: line address 767.
        const auto stepByte = [&] {
            const std::vector<int> v = e.peek(767, 1);
            return v.empty() ? -1 : v[0];
        };
        QTRY_COMPARE_WITH_TIMEOUT(stepByte(), stepped, 20000);
        // The right cylinder follows the left one through its percentage:
        // its step byte at 1023 goes with it; nothing else changes.
        const std::vector<int> after = e.peek(512, 512);
        const uint8_t* rightSteps = e.image() + box::TAB_DDZ_RECHTS;
        for (std::size_t i = 0; i < after.size(); ++i) {
            QCOMPARE(after[i], i == 255 ? stepped : i == 511 ? int{rightSteps[511]} : before[i]);
        }

        // The box's ignition map number shows its premap while online; the
        // end of online mode says that the document's differs.
        QCOMPARE(e.control(QStringLiteral("poke 1218 7")), QStringLiteral("OK"));
        QTRY_COMPARE_WITH_TIMEOUT(e.ignition().PremapShown(), 7, 20000);

        // The function pane's markers follow the air temperature point.
        e.key(Qt::Key_2, Qt::ControlModifier);
        auto& functions = e.function().Grid();
        const auto marked = [&](int row) {
            return functions.GetCell(row, 1)->GetBackClr() == views::CFunctionView::kMarkerBack;
        };
        QCOMPARE(e.control(QStringLiteral("hold air-temp-index 3")), QStringLiteral("OK"));
        QTRY_VERIFY_WITH_TIMEOUT(marked(21), 20000);
        QCOMPARE(e.control(QStringLiteral("hold air-temp-index 5")), QStringLiteral("OK"));
        QTRY_VERIFY_WITH_TIMEOUT(marked(23), 20000);
        QVERIFY(!marked(21));

        // A locked step on the revolution limit: the two bytes 1186/1187.
        const std::vector<int> functionsBefore = e.peek(1024, 240);
        QTest::keyClick(&functions, Qt::Key_Right);
        QTest::keyClick(&functions, Qt::Key_Right);
        QTest::keyClick(&functions, Qt::Key_Right);
        QCOMPARE(functions.GetFocusCell().col, 5);
        while (functions.GetFocusCell().row != 30 && functions.GetFocusCell().row < 33) {
            QTest::keyClick(&functions, Qt::Key_Down);
        }
        QCOMPARE(functions.GetFocusCell(), grid::CCellID(30, 5));
        const int limitBefore = functionsBefore[162] * 256 + functionsBefore[163];
        QTest::keyClick(&functions, Qt::Key_Plus, Qt::KeypadModifier);
        QTRY_VERIFY_WITH_TIMEOUT(e.peek(1186, 2) != (std::vector<int>{functionsBefore[162], functionsBefore[163]}),
                                 20000);
        // The box's own counters (1202..1209) count on while it runs.
        const std::vector<int> functionsAfter = e.peek(1024, 240);
        for (std::size_t i = 0; i < functionsAfter.size(); ++i) {
            const bool counter = i >= 178 && i <= 185;
            if (i != 162 && i != 163 && !counter) {
                QVERIFY2(functionsAfter[i] == functionsBefore[i],
                         qPrintable(QStringLiteral("line address %1").arg(1024 + i)));
            }
        }
        QVERIFY(functionsAfter[162] * 256 + functionsAfter[163] != limitBefore);

        e.key(Qt::Key_F3);
        QTRY_VERIFY_WITH_TIMEOUT(!e.frame->comm().running(), 10000);
        QCOMPARE(e.messages.shown.size(), std::size_t{1});
        QVERIFY(e.messages.shown[0].text.find("BOX:\t\t  7") != std::string::npos);
        // After the warning the document's number is shown again.
        QCOMPARE(e.ignition().PremapShown(), int{e.image()[box::TAB_SFD2 + 2]});
    }

    void anEditedFileGoesToTheBoxByteForByte()
    {
        BoxEditor e;
        QVERIFY(e.boxReady);
        QVERIFY(e.ignition().ApplyTeethAndOffset(36, 10));
        // Edits in both panes, by keys.
        e.key(Qt::Key_2, Qt::ControlModifier);
        auto& functions = e.function().Grid();
        functions.SetFocusCell(33, 9);
        functions.SetSelectedRange(33, 9, 33, 9);
        QTest::keyClicks(&functions, QStringLiteral("31000"));
        QTest::keyClick(functions.GetEditWnd(), Qt::Key_Return);
        e.key(Qt::Key_3, Qt::ControlModifier);
        e.key(Qt::Key_F10);
        auto& ignition = e.ignition().Grid();
        ignition.SetFocusCell(20, 3);
        ignition.SetSelectedRange(20, 3, 20, 3);
        QTest::keyClicks(&ignition, QStringLiteral("45"));
        QTest::keyClick(ignition.GetEditWnd(), Qt::Key_Return);
        QVERIFY(e.app.doc().IsModified());

        const std::filesystem::path file = e.folder.path() / "edited.M60";
        e.frame->files().setFileDialog(
            [&](QWidget*, bool, const QString&, const QString&) { return QString::fromStdString(file.string()); });
        QVERIFY(e.frame->files().SaveAs());
        QVERIFY(!e.app.doc().IsModified());
        QVERIFY(e.frame->files().OpenFile(file));
        e.key(Qt::Key_F5, Qt::ShiftModifier);
        QTRY_VERIFY_WITH_TIMEOUT(e.transferDone(), 60000);

        for (const int pane : {kFunctionPane, kIgnitionPane}) {
            const std::vector<comm::WalkStep> walk = sendWalk(e.app.doc(), pane);
            QVERIFY(!walk.empty());
            const std::vector<int> memory = e.peek(0, 2048);
            QCOMPARE(memory.size(), std::size_t{2048});
            for (const comm::WalkStep& step : walk) {
                QVERIFY2(memory[step.lineAddress] == int{*step.byte},
                         qPrintable(QStringLiteral("line address %1: box %2, file %3")
                                        .arg(step.lineAddress)
                                        .arg(memory[step.lineAddress])
                                        .arg(int{*step.byte})));
            }
        }
        QCOMPARE(e.peek(1232, 2), (std::vector<int>{31000 / 256, 31000 % 256}));
        QVERIFY(e.messages.shown.empty());
    }
};

QTEST_MAIN(TablePanesTest)
#include "TablePanesTest.moc"
