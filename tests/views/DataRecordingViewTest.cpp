#include "views/DataRecordingView.h"
#include "ViewHarness.h"
#include "comm/PortThread.h"
#include "document/BoxLayout.h"
#include "document/LambdaSensors.h"
#include "grid/ValueGridCtrl.h"
#include "tests/comm/FakeBox.h"
#include "views/PartnerChart.h"

#include <QSignalSpy>
#include <QTabBar>
#include <QTest>

#include <memory>

using namespace morvex;
using namespace morvex::views;
using recording::Statistic;

namespace {

constexpr int kRow = 32;   // revolutions index 0
constexpr int kColumn = 1; // throttle index 15
constexpr int kCell = 240;

class CountingChart : public PartnerChart {
public:
    void SelectCell(int, int) override {}
    void Rebuild(const uint8_t*) override { ++rebuilds; }
    void TransferProgress(int, int) override {}
    void TurnKey(int) override {}
    int rebuilds = 0;
};

struct Fixture : test::ViewHarness {
    Fixture()
    {
        sensors.Enumerate(core.paths().cnf);
        context.sensors = &sensors;
        view = std::make_unique<CDataRecordingView>(context);
        view->SetPartnerChart(&chart);
        view->resize(900, 600);
        view->OnUpdate(kHintAll);
        view->show();
    }
    grid::CValueGridCtrl& grid() { return view->Grid(); }
    void live(int parameter, int value)
    {
        view->OnBoxEvent(comm::PT_LIVE_VALUE, static_cast<intptr_t>(parameter) | (static_cast<intptr_t>(value) << 16));
    }
    void online(int revolutionsIndex, int throttleIndex)
    {
        view->OnBoxEvent(comm::PT_ONLINE_STARTED, 0);
        live(kLiveRevolutionsIndex, revolutionsIndex);
        live(kLiveThrottleIndex, throttleIndex);
    }
    QString minMax(Statistic statistic, int column)
    {
        return view->MinMaxGrid().GetItemText(recording::minMaxRow(static_cast<int>(statistic)),
                                              recording::minMaxColumn(column));
    }
    float count(int cell) { return doc->GetFloat(box::MEASURE_COUNTS, cell); }

    LambdaSensors sensors;
    CountingChart chart; // outlives the view
    std::unique_ptr<CDataRecordingView> view;
};

} // namespace

class DataRecordingViewTest : public QObject {
    Q_OBJECT
private slots:
    void tabsAndTheMinMaxGridTakingTheMapGridsPlace()
    {
        Fixture f;
        QVERIFY(f.started);
        QTabBar* tabs = f.view->TabBar();
        QCOMPARE(tabs->count(), 10);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Left Lambda"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Right Lambda %"));
        QCOMPARE(tabs->tabText(3), QStringLiteral("INJ T ms"));
        QCOMPARE(tabs->tabText(6), QStringLiteral("Measure Count"));
        QCOMPARE(tabs->tabText(7), QStringLiteral("Min / Max"));
        QCOMPARE(tabs->tabText(8), QStringLiteral("Left Target Lambda"));
        QCOMPARE(tabs->tabText(9), QStringLiteral("Right Target Lambda"));
        QCOMPARE(f.grid().GetItemText(0, 0), QStringLiteral("L"));
        QCOMPARE(f.view->ColumnCaption(), QStringLiteral("Left Lambda: TPS %"));
        QCOMPARE(f.grid().GetRowHeight(16), 0);
        QCOMPARE(f.grid().GetFocusCell(), grid::CCellID(17, 1));

        tabs->setCurrentIndex(7);
        QCOMPARE(f.view->ActiveGrid(), kGridMinMax);
        grid::CRecordingGridCtrl& minMax = f.view->MinMaxGrid();
        QVERIFY(minMax.isVisible());
        QVERIFY(!f.grid().isVisible());
        QCOMPARE(minMax.GetControlId(), kGridControlId);
        QCOMPARE(f.grid().GetControlId(), kMinMaxControlId);
        QCOMPARE(&f.view->ActiveGridCtrl(), static_cast<grid::CValueGridCtrl*>(&minMax));
        QCOMPARE(f.view->RowCaption(), QStringLiteral("Min / Max: Name / Unit"));
        QCOMPARE(f.view->ColumnCaption(), QStringLiteral("Min / Max"));
        QCOMPARE(minMax.GetItemText(0, 2), QStringLiteral("Min 1"));
        QCOMPARE(minMax.GetItemText(0, 7), QStringLiteral("Max 3"));
        QCOMPARE(minMax.GetItemText(0, 9), QStringLiteral("Max Error"));
        QCOMPARE(minMax.GetRowCount(), 12); // no row for statistics record 11
        QCOMPARE(minMax.GetItemText(9, 0), QStringLiteral("LS L"));
        // Raw analog values: the analog unit.
        QCOMPARE(minMax.GetItemText(9, 1), QString::fromStdString(f.core.labels().unit(Channel::LambdaAnalog)));
        QVERIFY(!f.view->ChartRange().has_value());

        // The target tabs follow with the map grid back in its place.
        f.view->NextGrid();
        QCOMPARE(f.view->ActiveGrid(), kGridTargetLeft);
        QVERIFY(f.grid().isVisible());
        QVERIFY(!minMax.isVisible());
        QCOMPARE(f.grid().GetControlId(), kGridControlId);
        QCOMPARE(f.grid().GetItemText(32, 16), QStringLiteral("1.00"));
        QCOMPARE(f.view->ChartRange(), std::optional(std::pair{0.5, 2.0}));
        f.view->SwitchGrid(kGridLeft);
        QVERIFY(f.grid().GetItemText(32, 16).isEmpty());

        // Typed values are not stored; the Right Lambda % tab has no reset.
        test::typeInto(f.grid(), 20, 3, QStringLiteral("7"));
        QVERIFY(!f.doc->IsModified());
        QVERIFY(f.view->CanResetActiveGrid());
        f.view->SwitchGrid(kGridPercent);
        QVERIFY(!f.view->CanResetActiveGrid());
        QVERIFY(f.view->CanResetAll());
    }

    // The live values the port worker posts, as it packs them, recorded
    // and shown as the box sent them.
    void valuesOfTheRealWorkerAreDecodedAsSent()
    {
        Fixture f;
        auto line = std::make_unique<test::FakeBox>();
        comm::CPortThread worker(std::move(line), f.frame);
        worker.Configure("fake", {}, {});
        QVERIFY(worker.Create());
        using comm::TransferJob;
        std::vector<TransferJob> jobs{
            {comm::CMD_ONLINE, &f.frame, 141, nullptr, nullptr, 0, 0, 0, comm::variant::NotWalked},
            {comm::CMD_CARRIER, &f.view->PortTarget(), 504, nullptr, nullptr, 0, 0, 0, comm::variant::NotWalked},
        };
        QVERIFY(worker.StartJobs(comm::CPortThread::Kind::Online, jobs));
        QVERIFY(f.view->IsOnline());
        // The fake box answers 135 with low byte 135, high byte 2, and 136
        // with 136, 2; its operating point lies in the hidden half.
        QTRY_COMPARE_WITH_TIMEOUT(f.minMax(Statistic::LambdaRight, recording::kLowest), QStringLiteral("648"), 10000);
        QCOMPARE(f.minMax(Statistic::LambdaLeft, recording::kLowest), QStringLiteral("647"));
        QCOMPARE(f.minMax(Statistic::LambdaLeft, recording::kHighest), QStringLiteral("647"));
        worker.Cancel();
        worker.Join();
        QVERIFY(f.doc->IsModified());
        for (int k = 0; k < kCells; ++k) {
            QCOMPARE(f.count(k), 0.0f);
        }
    }

    void aBurstOfValuesReachesTheScreenOnce()
    {
        Fixture f;
        f.online(0, 15);
        QCOMPARE(f.view->Live().row, kRow - 1);
        f.view->FlushChanges();
        QSignalSpy edited(f.view.get(), &CZamoGridView::documentEdited);
        const int flushes = f.view->FlushCount();
        const int rebuilds = f.chart.rebuilds;
        f.live(recording::kLiveLambdaLeft, 800);
        for (int i = 0; i < 300; ++i) {
            f.live(recording::kLiveLambdaLeft, 700 + i % 50);
            f.live(recording::kLiveLambdaRight, 450);
            f.live(recording::kLiveRevolutions, 2304);
            f.live(recording::kLiveInjectionTime, 4608);
        }
        QVERIFY(f.view->FlushPending());
        QCOMPARE(f.grid().GetItemText(kRow, kColumn), QString()); // not yet on the screen
        QTRY_COMPARE(f.view->FlushCount(), flushes + 1);
        QVERIFY(!f.view->FlushPending());
        QCOMPARE(f.chart.rebuilds, rebuilds + 1);
        QCOMPARE(edited.count(), 1);
        const QString shown = f.grid().GetItemText(kRow, kColumn);
        QCOMPARE(shown, QString::number(f.doc->GetWord(box::LAMBDA_RECORD_LEFT, kCell)));
        QVERIFY(shown.toInt() > 700 && shown.toInt() < 800);
        QCOMPARE(f.count(kCell), 601.0f);
        QCOMPARE(f.minMax(Statistic::Revolutions, recording::kLowest), QStringLiteral("6000"));

        // The first sample of an empty cell is stored as it came; the
        // chosen sensor shows it in lambda.
        f.live(kLiveThrottleIndex, 14); // column 2
        f.live(recording::kLiveLambdaLeft, 800);
        const auto it = std::find_if(f.sensors.sensors().begin(), f.sensors.sensors().end(),
                                     [](const LambdaSensorTable& s) { return s.name == "Narrowband 1-wire unheated"; });
        QVERIFY(it != f.sensors.sensors().end());
        QVERIFY(f.sensors.Select(kLambdaFirstSensorId + static_cast<int>(it - f.sensors.sensors().begin())));
        ApplyLambdaSelection(f.sensors, f.core.limits());
        f.view->OnLambdaSensorChanged();
        QCOMPARE(f.grid().GetItemText(kRow, 2), QStringLiteral("0.90"));
        QCOMPARE(f.minMax(Statistic::LambdaLeft, recording::kHighest), QStringLiteral("0.90"));
        QCOMPARE(f.view->MinMaxGrid().GetItemText(9, 1),
                 QString::fromStdString(f.core.labels().unit(Channel::LambdaLeft)));
    }

    void resetsActOnTheSelectionAndMarkTheDocument()
    {
        Fixture f;
        f.grid().SetSelectedRange(kRow, kColumn, kRow, kColumn);
        f.online(0, 15);
        QCOMPARE(f.grid().GetSelectedCount(), 1); // kept while online
        for (int i = 0; i < 20; ++i) {
            f.live(recording::kLiveLambdaLeft, 450);
            f.live(recording::kLiveLambdaRight, 500);
        }
        f.view->FlushChanges();
        QCOMPARE(f.count(kCell), 40.0f);
        QCOMPARE(f.grid().GetItemText(kRow, kColumn), QStringLiteral("450"));

        f.doc->SetModifiedFlag(false);
        QSignalSpy edited(f.view.get(), &CZamoGridView::documentEdited);
        QTest::keyClick(&f.grid(), Qt::Key_Delete);
        QCOMPARE(f.grid().GetItemText(kRow, kColumn), QString());
        QCOMPARE(f.count(kCell), 20.0f);
        QCOMPARE(f.doc->GetWord(box::LAMBDA_RECORD_RIGHT, kCell), 500);
        QVERIFY(f.doc->IsModified());
        QCOMPARE(edited.count(), 1);
        f.view->SwitchGrid(kGridMeasureCount);
        QCOMPARE(f.grid().GetItemText(kRow, kColumn), QStringLiteral("1"));

        // A statistic cleared on the Min / Max tab.
        f.view->OnBoxEvent(comm::PT_ONLINE_ENDED, 0);
        f.view->SwitchGrid(kGridMinMax);
        grid::CRecordingGridCtrl& minMax = f.view->MinMaxGrid();
        const int lambdaRow = recording::minMaxRow(static_cast<int>(Statistic::LambdaRight));
        QCOMPARE(minMax.GetItemText(lambdaRow, 2), QStringLiteral("500"));
        minMax.SetSelectedRange(lambdaRow, 2, lambdaRow, 2);
        f.doc->SetModifiedFlag(false);
        QTest::keyClick(&minMax, Qt::Key_Delete);
        QCOMPARE(minMax.GetItemText(lambdaRow, 2), QString());
        QVERIFY(f.doc->IsModified());

        // Reset All asks nothing and leaves nothing; the document is modified.
        f.doc->SetModifiedFlag(false);
        f.view->ResetAll();
        QVERIFY(f.doc->IsModified());
        QCOMPARE(edited.count(), 3);
        QVERIFY(f.messages.shown.empty());
        QCOMPARE(minMax.GetItemText(recording::minMaxRow(static_cast<int>(Statistic::LambdaLeft)), 2), QString());
        f.view->SwitchGrid(kGridRight);
        QCOMPARE(f.grid().GetItemText(kRow, kColumn), QString());
        f.doc->SetModifiedFlag(false);
        f.view->ResetActiveGrid();
        QVERIFY(f.doc->IsModified());
    }
};

QTEST_MAIN(DataRecordingViewTest)
#include "DataRecordingViewTest.moc"
