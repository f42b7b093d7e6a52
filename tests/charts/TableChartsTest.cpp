#include "ChartPixels.h"
#include "ViewHarness.h"
#include "charts/ChartFactory.h"
#include "charts/DataRecordingChart.h"
#include "charts/FunctionChart.h"
#include "charts/IgnitionChart.h"
#include "charts/IndexChart.h"
#include "document/BoxLayout.h"
#include "document/LambdaSensors.h"
#include "views/DataRecordingView.h"
#include "views/FunctionView.h"
#include "views/IgnitionView.h"
#include "views/IndexView.h"

#include <QHBoxLayout>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <vector>

using namespace morvex;
using namespace morvex::views;
using charts::CChartView;
using test::greenOf;
using test::redOf;

namespace {

// A view of the pane and the factory's chart beside it. The chart is made
// even where OpenGL cannot start: its data and highlights still follow the
// grid, only the pictures are skipped.
template <class View>
struct ChartPane : test::ViewHarness {
    explicit ChartPane(int pane)
    {
        // 36 teeth, static ignition point 10: 5 degrees a step.
        doc->GetBoxData(box::PARAMETERS)[0] = 36;
        doc->GetBoxData(box::PARAMETERS)[1] = 10;
        sensors.Enumerate(core.paths().cnf);
        context.sensors = &sensors;
        auto* layout = new QHBoxLayout(&window);
        view = new View(context, &window);
        layout->addWidget(view);
        view->OnUpdate(kHintAll);
        chart = charts::MakeChart(pane, *view);
        layout->addWidget(chart);
        window.resize(1100, 600);
        window.show();
    }
    grid::CValueGridCtrl& grid() { return view->Grid(); }
    void type(int row, int column, const QString& text) { test::typeInto(grid(), row, column, text); }

    LambdaSensors sensors;
    QWidget window;
    View* view = nullptr;
    CChartView* chart = nullptr;
};

// The chart's data as its next frame draws them.
template <class Chart>
Chart& built(CChartView* chart)
{
    chart->UpdateData();
    return *dynamic_cast<Chart*>(chart);
}

// The chart's picture; null where this display cannot draw it.
QImage picture(CChartView& chart)
{
    for (int i = 0; i < 300 && chart.RenderingAvailable() && chart.grabFramebuffer().isNull(); ++i) {
        QTest::qWait(10);
    }
    return chart.RenderingAvailable() ? chart.grabFramebuffer() : QImage();
}

// Both highlight lines are drawn at the grid's focus cell and follow it:
// Down moves the dark red one, Right the dark green one. Returns the last
// picture, null when a line was missing or stayed.
QImage highlightsFollowFocus(CChartView& chart, grid::CValueGridCtrl& grid, int row, int column)
{
    grid.SetFocusCell(row - 1, column);
    QTest::keyClick(&grid, Qt::Key_Down);
    const QImage first = picture(chart);
    QTest::keyClick(&grid, Qt::Key_Down);
    const QImage down = picture(chart);
    QTest::keyClick(&grid, Qt::Key_Right);
    const QImage right = picture(chart);
    const bool drawn = redOf(first).size() > 20 && greenOf(first).size() > 20 && redOf(right).size() > 20 &&
                       greenOf(right).size() > 20;
    const bool followed = redOf(down) != redOf(first) && greenOf(right) != greenOf(down);
    return drawn && followed ? right : QImage();
}

// Types `text` into the focus cell (the highlight stays where it is):
// whether the picture differs from `before` afterwards.
bool editChangesPicture(CChartView& chart, grid::CValueGridCtrl& grid, const QString& text, const QImage& before)
{
    const grid::CCellID focus = grid.GetFocusCell();
    test::typeInto(grid, focus.row, focus.col, text);
    return grid.GetItemText(focus.row, focus.col) == text && picture(chart) != before;
}

} // namespace

class TableChartsTest : public QObject {
    Q_OBJECT
private slots:
    void ignitionChartShowsTheActiveTabScaledToItsRange()
    {
        ChartPane<CDOS_IgnitionView> f(charts::kIgnitionPane);
        QVERIFY(f.started);
        QCOMPARE(f.view->ActiveGrid(), kGridPremap);
        QCOMPARE(built<charts::CDOS_IgnitionChart>(f.chart).Scale().range, 60.0);
        // 60 degrees stand at full height on the degree tabs.
        f.view->NextGrid();
        f.type(17, 3, QStringLiteral("60"));
        QCOMPARE(f.view->LeftTable()[256 + 2], 60);
        auto& chart = built<charts::CDOS_IgnitionChart>(f.chart);
        QCOMPARE(chart.HeightAt(0, 2), 250.0f);
        // The per cent tab draws its own table on its own scale.
        f.view->SwitchGrid(kGridPercent);
        built<charts::CDOS_IgnitionChart>(f.chart);
        QCOMPARE(chart.Scale().range, 250.0);
        QCOMPARE(chart.HeightAt(0, 2), static_cast<float>(f.view->PercentTable()[256 + 2]));

        f.view->SwitchGrid(kGridLeft);
        if (picture(*f.chart).isNull()) {
            QSKIP("no OpenGL on this display: the pictures are not checked");
        }
        const QImage moved = highlightsFollowFocus(*f.chart, f.grid(), 20, 4);
        QVERIFY(!moved.isNull());
        const bool at45 = f.grid().GetItemText(f.grid().GetFocusCell().row, 5) == QStringLiteral("45");
        QVERIFY(editChangesPicture(*f.chart, f.grid(), at45 ? QStringLiteral("20") : QStringLiteral("45"), moved));
    }

    void dataRecordingChartFollowsTheTabsAndHasNoMapForMinMax()
    {
        ChartPane<CDataRecordingView> f(charts::kDataRecordPane);
        QVERIFY(f.started);
        for (int k = 0; k < kCells; ++k) {
            f.doc->SetFloat(box::LAMBDA_RATIO, k, static_cast<float>(-300 + 2 * k));
        }
        f.view->SwitchGrid(kGridPercent);
        auto& chart = built<charts::CDataRecordingChart>(f.chart);
        // -300..300 per cent: -300 at the floor, 0 at mid height.
        QCOMPARE(chart.HeightAt(0, 0), 0.0f);
        QCOMPARE(chart.HeightAt(9, 6), 125.0f); // cell 150: 0 per cent
        // Nothing recorded yet: the injection scale ends at 0 and the map
        // lies flat instead of dividing by it.
        f.view->SwitchGrid(kGridInjectionTime);
        built<charts::CDataRecordingChart>(f.chart);
        QCOMPARE(chart.HeightAt(7, 7), 0.0f);

        f.view->SwitchGrid(kGridPercent);
        if (picture(*f.chart).isNull()) {
            QSKIP("no OpenGL on this display: the pictures are not checked");
        }
        const QImage moved = highlightsFollowFocus(*f.chart, f.grid(), 20, 4);
        QVERIFY(!moved.isNull());
        // Recorded data (typed texts are not stored) change the picture.
        f.doc->SetFloat(box::LAMBDA_RATIO, 100, 300.0f);
        f.view->OnUpdate(kHintTables);
        QVERIFY(picture(*f.chart) != moved);
        f.view->SwitchGrid(kGridMinMax);
        const QImage minMax = picture(*f.chart);
        QVERIFY(redOf(minMax).empty() && greenOf(minMax).empty());
        QVERIFY(!test::originMarkerOf(minMax).empty());
    }

    void functionChartShowsTheFocusColumnsCurveAsARibbon()
    {
        ChartPane<CDOS_FunctionView> f(charts::kFunctionPane);
        QVERIFY(f.started);
        const uint8_t* table = f.view->FunctionTable();
        // Grid column 1 is curve 1, bytes 64..79; its point j is byte
        // 79 - j, grid row 18 + j.
        f.grid().SetFocusCell(25, 1);
        QTest::keyClick(&f.grid(), Qt::Key_Down);
        auto& chart = built<charts::CDOS_FunctionChart>(f.chart);
        QCOMPARE(chart.HighlightedCurve(), 1);
        QCOMPARE(chart.HighlightedPoint(), 26 - 18);
        for (int j = 0; j < 16; ++j) {
            QCOMPARE(chart.HeightAt(1, j), static_cast<float>(table[79 - j]));
        }

        if (picture(*f.chart).isNull()) {
            QSKIP("no OpenGL on this display: the pictures are not checked");
        }
        const QImage moved = highlightsFollowFocus(*f.chart, f.grid(), 24, 1);
        QVERIFY(!moved.isNull());
        const int row = f.grid().GetFocusCell().row;
        QVERIFY(editChangesPicture(*f.chart, f.grid(), table[128 + 33 - row] > 100 ? "20" : "200", moved));
        // The special functions' columns have no ribbon: the floor alone.
        f.grid().SetFocusCell(row, 5);
        QTest::keyClick(&f.grid(), Qt::Key_Down);
        const QImage none = picture(*f.chart);
        QVERIFY(redOf(none).empty() && greenOf(none).empty());
    }

    void indexChartScalesEachAxisToItsDisplayLimits()
    {
        ChartPane<CDOS_IndexView> f(charts::kIndexPane);
        QVERIFY(f.started);
        const indextable::AxisRules rules = f.view->Rules(indextable::kThrottleColumn);
        // The throttle axis' point 15 (grid row 18) typed at its maximum
        // stands at full height on the throttle ribbon (ribbon 1).
        f.type(18, indextable::kThrottleColumn, QString::number(rules.maximum, 'f', 0));
        f.grid().SetFocusCell(19, indextable::kThrottleColumn);
        QTest::keyClick(&f.grid(), Qt::Key_Up);
        auto& chart = built<charts::CDOS_IndexChart>(f.chart);
        QCOMPARE(chart.HighlightedCurve(), 1);
        const double point15 = f.doc->IndexValue(IndexTable::DKI, 15);
        QCOMPARE(chart.HeightAt(1, 0), static_cast<float>(charts::scaledHeight(point15, rules.minimum, rules.maximum)));
        QVERIFY(chart.HeightAt(1, 0) > 240.0f);

        if (picture(*f.chart).isNull()) {
            QSKIP("no OpenGL on this display: the pictures are not checked");
        }
        const QImage moved = highlightsFollowFocus(*f.chart, f.grid(), 24, 1);
        QVERIFY(!moved.isNull());
        QVERIFY(editChangesPicture(*f.chart, f.grid(), QString::number(rules.minimum, 'f', 0), moved));
    }

    void transfersTurnEvery25MsFromOneSharedBaseAndEditsRebuildOnceAFrame()
    {
        ChartPane<CDOS_FunctionView> f(charts::kFunctionPane);
        QVERIFY(f.started);
        CChartView* other = charts::MakeChart(charts::kIndexPane, *f.view, {.animate = true});
        other->setParent(&f.window);
        CChartView* a = charts::MakeChart(charts::kFunctionPane, *f.view, {.animate = true});
        a->setParent(&f.window);
        int64_t now = 1000;
        a->SetAnimationClock([&now] { return now; });
        a->Camera().SetTurn(100, 40);
        a->TransferProgress(1, 0);
        a->TransferProgress(2, 10);
        QCOMPARE(a->Camera().TurnVertical(), 110.0);
        QCOMPARE(a->Camera().TurnHorizontal(), 50.0);
        now += 24; // too soon for the next step
        a->TransferProgress(2, 20);
        QCOMPARE(a->Camera().TurnVertical(), 110.0);
        now += 1;
        a->TransferProgress(2, 280);
        QCOMPARE(a->Camera().TurnVertical(), 20.0);
        QCOMPARE(a->Camera().TurnHorizontal(), 320.0);
        // Every pane's chart goes back to the base the transfer started from.
        a->TransferProgress(0, 0);
        other->TransferProgress(0, 0);
        QCOMPARE(a->Camera().TurnVertical(), 100.0);
        QCOMPARE(other->Camera().TurnVertical(), 100.0);
        QCOMPARE(other->Camera().TurnHorizontal(), 40.0);

        // Fill In Mean Values over a curve, then single edits: each asks
        // for a rebuild, none is done before the next frame.
        f.view->SetPartnerChart(f.chart);
        f.chart->UpdateData();
        const int before = f.chart->RebuildCount();
        f.grid().SetSelectedRange(18, 1, 33, 1);
        f.view->FillMeanValues(true);
        for (int row = 18; row < 24; ++row) {
            f.type(row, 2, QString::number(row));
        }
        QCOMPARE(f.chart->RebuildCount(), before);
        if (picture(*f.chart).isNull()) {
            QSKIP("no OpenGL on this display: no frames to count");
        }
        QSignalSpy frames(f.chart, &CChartView::frameDrawn);
        f.type(24, 2, QStringLiteral("7"));
        f.type(25, 2, QStringLiteral("8"));
        const int drawn = f.chart->RebuildCount();
        QTRY_VERIFY(!frames.isEmpty());
        QCOMPARE(f.chart->RebuildCount(), drawn + 1);
    }
};

QTEST_MAIN(TableChartsTest)
#include "TableChartsTest.moc"
