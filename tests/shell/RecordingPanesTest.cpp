// The Index and Data Record panes in the editor: an axis edit reaches the
// other panes' headers when the tuner leaves the Index pane, and a ride
// held at one operating point of the simulated box is recorded into that
// cell alone and comes back from the saved file.
#include "EditorHarness.h"
#include "document/BoxLayout.h"
#include "document/MorvexDoc.h"
#include "grid/ValueGridCtrl.h"
#include "shell/CommController.h"
#include "shell/FileController.h"
#include "shell/FrameRules.h"
#include "shell/PortController.h"
#include "shell/SimulatedBox.h"
#include "shell/TableViews.h"
#include "views/DataRecordingView.h"
#include "views/FuelmapView.h"
#include "views/GridIds.h"
#include "views/IndexView.h"

#include <QSignalSpy>
#include <QTest>

#include <cstring>
#include <vector>

using namespace morvex;
using namespace morvex::shell;
using testing_support::Editor;

namespace {

float floatAt(const uint8_t* record, int cell)
{
    float f = 0.0F;
    std::memcpy(&f, record + 4 * cell, sizeof f);
    return f;
}

// What the recording keeps in the document and the data file carries: the
// lambda averages (raw and shown), the flags, the statistics, the injection
// records and the counts. The file keeps a count in twenties; the right
// lambda percentage is derived again when a file is read.
std::vector<uint8_t> recordedBytes(CMorvexDoc& doc)
{
    std::vector<uint8_t> bytes;
    const auto append = [&](BoxAddress address, std::size_t length) {
        const uint8_t* data = doc.GetBoxData(address);
        bytes.insert(bytes.end(), data, data + length);
    };
    append(box::LAMBDA_RECORD_LEFT, box::LAMBDA_RATIO - box::LAMBDA_RECORD_LEFT);
    append(box::LAMBDA_FLAGS, box::IGNITION_WORK_1 - box::LAMBDA_FLAGS);
    append(rec::REC_IGNITION_T, rec::kFloatRecordSize);
    append(rec::REC_IGNITION_P, rec::kFloatRecordSize);
    append(rec::REC_FUEL_CONSUMPTION, rec::kFloatRecordSize);
    append(rec::REC_DATA_RECEIVED, 256);
    const uint8_t* counts = doc.GetBoxData(box::MEASURE_COUNTS);
    for (int cell = 0; cell < 256; ++cell) {
        bytes.push_back(static_cast<uint8_t>(static_cast<int>(floatAt(counts, cell)) / 20));
    }
    return bytes;
}

} // namespace

class RecordingPanesTest : public QObject {
    Q_OBJECT
private slots:
    void leavingTheIndexPaneRefreshesTheFuelMapHeaders()
    {
        Editor e;
        QVERIFY(e.started);
        auto& fuel = e.frame->fuelmapView().Grid();
        const QString before = fuel.GetItemText(32, 0);
        e.key(Qt::Key_5, Qt::ControlModifier);
        QCOMPARE(e.frame->activePane(), kIndexPane);
        // The lowest revolutions point: row 33 of column 1.
        auto& index = e.frame->tables().index().Grid();
        index.SetFocusCell(33, 1);
        index.SetSelectedRange(33, 1, 33, 1);
        QTest::keyClicks(&index, QStringLiteral("1250"));
        QTest::keyClick(index.GetEditWnd(), Qt::Key_Return);
        QCOMPARE(fuel.GetItemText(32, 0), before);
        e.key(Qt::Key_1, Qt::ControlModifier);
        QCOMPARE(e.frame->activePane(), kFirstPane);
        QVERIFY(fuel.GetItemText(32, 0) != before);
        QVERIFY(
            fuel.GetItemText(32, 0).remove(QLatin1Char(',')).remove(QLatin1Char('.')).startsWith(QStringLiteral("12")));
        // Fill Right belongs to the maps, not to the axes.
        e.key(Qt::Key_5, Qt::ControlModifier);
        e.frame->UpdateCommandStates();
        QVERIFY(!e.frame->action(cmd::kFillRight)->isEnabled());
        QVERIFY(e.messages.shown.empty());
    }

    void aHeldOperatingPointIsRecordedIntoItsCellAlone()
    {
        Editor e("[Misc]\r\nLastUsedBAUD=115200\r\n");
        QVERIFY(e.started);
        // The simulated box holds the demo set: the same ignition map number.
        QVERIFY(e.frame->files().OpenFile(e.folder.path() / "DATA" / "Demo.M60"));
        QVERIFY(e.startSimulatedBox());
        for (const char* hold : {"hold rpm-index 3", "hold throttle-index 2", "hold lambda-left 450",
                                 "hold lambda-right 520", "hold injection-us 2500"}) {
            QCOMPARE(e.control(QString::fromLatin1(hold)), QStringLiteral("OK"));
        }
        e.key(Qt::Key_4, Qt::ControlModifier);
        QCOMPARE(e.frame->activePane(), kDataRecordPane);
        e.key(Qt::Key_F3);
        QVERIFY(e.frame->comm().online());

        // Revolutions index 3 and throttle index 2: grid row 29, column 14.
        constexpr int kCell = 16 * (29 - 17) + (14 - 1);
        CMorvexDoc& doc = e.app.doc();
        const uint8_t* counts = doc.GetBoxData(box::MEASURE_COUNTS);
        QTRY_VERIFY_WITH_TIMEOUT(floatAt(counts, kCell) >= 20.0F, 30000);
        e.key(Qt::Key_F3);
        QTRY_VERIFY_WITH_TIMEOUT(!e.frame->comm().running(), 10000);

        const uint8_t* flags = doc.GetBoxData(box::LAMBDA_FLAGS);
        const uint8_t* injection = doc.GetBoxData(rec::REC_DATA_RECEIVED);
        for (int cell = 0; cell < 256; ++cell) {
            const bool held = cell == kCell;
            QCOMPARE(flags[2 * cell] != 0, held);
            QCOMPARE(flags[2 * cell + 1] != 0, held);
            QCOMPARE(floatAt(counts, cell) > 0.0F, held);
            QCOMPARE(injection[cell] == 0x07, held);
        }
        // A constant value averages to itself: the cell holds what Min / Max
        // saw as the lowest and the highest value.
        const MinMaxRecord left = doc.GetMinMax(8);
        const MinMaxRecord right = doc.GetMinMax(9);
        const MinMaxRecord time = doc.GetMinMax(3);
        QCOMPARE(left.values[0], left.values[5]);
        QCOMPARE(time.values[0], time.values[5]);
        QVERIFY(std::abs(floatAt(doc.GetBoxData(box::LAMBDA_VALUES_LEFT), kCell) - left.values[0]) < 0.011F);
        QVERIFY(std::abs(floatAt(doc.GetBoxData(box::LAMBDA_VALUES_RIGHT), kCell) - right.values[0]) < 0.011F);
        QVERIFY(std::abs(floatAt(doc.GetBoxData(rec::REC_IGNITION_T), kCell) - time.values[0]) < 0.011F);
        QVERIFY(std::abs(time.values[0] - 2.5F) < 0.05F);
        auto& grid = e.frame->tables().dataRecording().Grid();
        QVERIFY(!grid.GetItemText(29, 14).isEmpty());
        QVERIFY(grid.GetItemText(28, 14).isEmpty());

        // Saved and opened again: the same numbers.
        const std::vector<uint8_t> recorded = recordedBytes(doc);
        const std::filesystem::path file = e.folder.path() / "ride.M60";
        e.frame->files().setFileDialog(
            [&](QWidget*, bool, const QString&, const QString&) { return QString::fromStdString(file.string()); });
        QVERIFY(e.frame->files().SaveAs());
        e.frame->files().New();
        QVERIFY(recordedBytes(doc) != recorded);
        QVERIFY(e.frame->files().OpenFile(file));
        QVERIFY(recordedBytes(doc) == recorded);
        QVERIFY(e.messages.shown.empty());
    }
};

QTEST_MAIN(RecordingPanesTest)
#include "RecordingPanesTest.moc"
