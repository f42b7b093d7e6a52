// Compare with Box against the simulated box and Compare With File: the
// report counts exactly the differing cells, the grid marks exactly them,
// and the open document is never touched.
#include "EditorHarness.h"
#include "document/BoxLayout.h"
#include "document/MorvexDoc.h"
#include "grid/ValueGridCtrl.h"
#include "shell/CommController.h"
#include "shell/CompareController.h"
#include "shell/FileController.h"
#include "shell/PortController.h"
#include "shell/TableViews.h"
#include "views/CylinderMap.h"
#include "views/FuelmapView.h"
#include "views/FunctionTable.h"
#include "views/FunctionView.h"
#include "views/IndexTable.h"
#include "views/IndexView.h"

#include <QAction>
#include <QDialog>
#include <QSignalSpy>

#include <vector>

using namespace morvex;
using namespace morvex::shell;
using testing_support::Editor;

namespace {

std::vector<uint8_t> image(const CMorvexDoc& doc)
{
    const uint8_t* start = doc.GetBoxData(0);
    return {start, start + kBoxImageSize};
}

int cellsOf(const std::vector<TableDifferenceCount>& report)
{
    int cells = 0;
    for (const TableDifferenceCount& t : report) {
        cells += t.cells;
    }
    return cells;
}

} // namespace

class CompareTest : public QObject {
    Q_OBJECT
private slots:
    void theBoxIsComparedWithoutTouchingTheDocument()
    {
        Editor e("[Misc]\r\nLastUsedBAUD=115200\r\n");
        QVERIFY(e.started);
        QVERIFY(e.frame->files().OpenFile(e.folder.path() / "DATA" / "Demo.M60"));
        QVERIFY(e.startSimulatedBox());
        CompareController& compare = e.frame->compare();
        QSignalSpy shown(&compare, &CompareController::reportShown);

        // The box holds the demo set as it was opened (everything is read
        // in the verification below).
        e.key(Qt::Key_F6, Qt::ControlModifier);
        QVERIFY(shown.wait(60000));
        QCOMPARE(cellsOf(compare.LastReport()), 0);
        QVERIFY(compare.ReportDialog() != nullptr);
        compare.ReportDialog()->accept();

        // One typed cell: the document differs from the box there alone.
        CMorvexDoc& doc = e.app.doc();
        views::CFuelmapView& fuel = e.frame->tables().fuelmap();
        const int row = 20;
        const int column = 5;
        fuel.Grid().SetFocusCell(row, column);
        fuel.Grid().setFocus();
        const uint8_t before = doc.GetBoxData(box::TAB_DDD_LINKS)[views::positionOf(row, column)];
        for (const char c : std::to_string(before == 99 ? 98 : 99)) {
            QTest::keyClick(&fuel.Grid(), c);
        }
        QTest::keyClick(&fuel.Grid(), Qt::Key_Return);
        QVERIFY(doc.GetBoxData(box::TAB_DDD_LINKS)[views::positionOf(row, column)] != before);
        const std::vector<uint8_t> edited = image(doc);

        // A bare display gives the window no activation back by itself.
        e.frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(e.frame.get()));
        e.key(Qt::Key_F6, Qt::ControlModifier);
        QVERIFY(shown.wait(60000));
        QCOMPARE(compare.LastReport().size(), std::size_t{1});
        QCOMPARE(cellsOf(compare.LastReport()), 1);
        QCOMPARE(compare.LastReport()[0].largest, std::abs(double(before) - (before == 99 ? 98 : 99)));
        QCOMPARE(fuel.MarkedDifferences(), 1);
        QCOMPARE(fuel.Grid().GetCell(row, column)->GetBackClr(), views::CZamoCylinderView::kDifferenceBack);
        QVERIFY(image(doc) == edited);
        QVERIFY(doc.IsModified());
        compare.ReportDialog()->accept();

        // The next edit takes the marks away; an undo is one too.
        e.frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(e.frame.get()));
        e.key(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(image(doc) != edited);
        QCOMPARE(fuel.MarkedDifferences(), 0);
        QVERIFY(e.messages.shown.empty());
    }

    // With the setting on, Send All ends with a read-back of the box.
    void sendAllIsVerifiedWhenTheTunerAsksForIt()
    {
        Editor e("[Misc]\r\nLastUsedBAUD=115200\r\n");
        QVERIFY(e.started);
        QVERIFY(e.startSimulatedBox());
        CompareController& compare = e.frame->compare();
        compare.verifyAction()->setChecked(true);
        QCOMPARE(e.app.settings().verifyAfterSendAll, 1);
        QSignalSpy shown(&compare, &CompareController::reportShown);
        e.key(Qt::Key_F5, Qt::ShiftModifier);
        QVERIFY(shown.wait(120000));
        QCOMPARE(cellsOf(compare.LastReport()), 0);
        QCOMPARE(compare.ReportDialog()->windowTitle(), QStringLiteral("Verify after Send All"));
        QVERIFY(e.messages.shown.empty());
    }

    void aFileIsComparedWithTheOpenDocument()
    {
        Editor e;
        QVERIFY(e.started);
        QVERIFY(e.frame->files().OpenFile(e.folder.path() / "DATA" / "Demo.M60"));
        CMorvexDoc& doc = e.app.doc();
        const std::filesystem::path demo = e.folder.path() / "DATA" / "Demo.M60";
        CompareController& compare = e.frame->compare();
        QVERIFY(compare.CompareWithFile(demo));
        QVERIFY(compare.LastReport().empty());
        compare.ReportDialog()->accept();

        // Three ignition steps and an index text differ; the file's own
        // records (versions, comment) are not the open document's.
        uint8_t* steps = doc.GetBoxData(box::TAB_DDZ_LINKS);
        for (int p : {300, 301, 400}) {
            steps[p] = static_cast<uint8_t>(steps[p] + 1);
        }
        // And one point of the function pane's first curve.
        const int point = views::functiontable::cellBytes(20, 0).offsets[0];
        uint8_t* curves = doc.GetBoxData(box::TAB_MTD);
        curves[point] = static_cast<uint8_t>(curves[point] + 2);
        // And a function name of the Index pane.
        namespace it = views::indextable;
        const TextTable names = it::textTableOf(it::kFirstTextColumn);
        doc.SetText(names, 5, doc.Text(names, 5) == "ABCD" ? "ABCE" : "ABCD");
        const std::string fileVersion = e.app.core().info().file.versions[0];
        compare.setFileChooser([&](QWidget*) { return QString::fromStdString(demo.string()); });
        compare.CompareWithFile();
        QCOMPARE(cellsOf(compare.LastReport()), 5);
        QCOMPARE(e.frame->tables().index().MarkedDifferences(), 1);
        QCOMPARE(e.frame->tables().index().Grid().GetCell(it::rowOfPoint(5), it::kFirstTextColumn)->GetBackClr(),
                 views::CZamoGridView::kDifferenceBack);
        QCOMPARE(e.frame->tables().function().MarkedDifferences(), 1);
        QCOMPARE(e.frame->tables().function().Grid().GetCell(20, 0)->GetBackClr(),
                 views::CZamoCylinderView::kDifferenceBack);
        QCOMPARE(e.app.core().info().file.versions[0], fileVersion);

        QVERIFY(!compare.CompareWithFile(e.folder.path() / "missing.M60"));
        QCOMPARE(e.messages.shown.size(), std::size_t{1});
    }
};

QTEST_MAIN(CompareTest)
#include "CompareTest.moc"
