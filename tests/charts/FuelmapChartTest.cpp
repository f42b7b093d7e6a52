#include "charts/FuelmapChart.h"
#include "ChartPixels.h"
#include "ViewHarness.h"
#include "charts/ChartFactory.h"
#include "document/BoxLayout.h"
#include "views/FuelmapView.h"

#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QTest>
#include <QWindow>

#include <memory>

using namespace morvex;
using namespace morvex::views;
using test::pixelsOf;

namespace {

constexpr int kFuelMapPane = 501;
constexpr int kRow = 17; // the first shown grid row: map position 256
constexpr int kPos = 256;

// A fuel map view and the factory's chart beside it, as in the pane.
struct Fixture : test::ViewHarness {
    Fixture()
    {
        auto* layout = new QHBoxLayout(&pane);
        view = new CFuelmapView(context, &pane);
        layout->addWidget(view);
        view->OnUpdate(kHintAll);
        chartWidget = charts::CreateChart(kFuelMapPane, *view, &pane);
        layout->addWidget(chartWidget);
        chart = chartWidget->findChild<charts::CDOS_FuelmapChart*>();
        pane.resize(1100, 600);
        pane.show();
    }
    uint8_t* left() { return doc->GetBoxData(box::TAB_DDD_LINKS); }
    grid::CValueGridCtrl& grid() { return view->Grid(); }

    QWidget pane;
    CFuelmapView* view = nullptr;
    QWidget* chartWidget = nullptr;
    charts::CDOS_FuelmapChart* chart = nullptr;
};

} // namespace

class FuelmapChartTest : public QObject {
    Q_OBJECT
private slots:
    void digitsTypedOnTheChartEditTheGridsFocusCell()
    {
        Fixture f;
        QVERIFY(f.started);
        // Without OpenGL the chart itself still passes keys on.
        std::unique_ptr<charts::CDOS_FuelmapChart> own;
        charts::CDOS_FuelmapChart* chart = f.chart;
        if (chart == nullptr) {
            own = std::make_unique<charts::CDOS_FuelmapChart>(*f.view);
            chart = own.get();
            f.view->SetPartnerChart(chart);
        }
        f.grid().SetSelectedRange(kRow, 3, kRow, 3);
        f.grid().SetFocusCell(kRow, 3);
        chart->setFocus();
        if (own == nullptr) {
            // Typed as the user does: into the chart's own window.
            QTest::keyClick(chart->Surface(), '1');
        } else {
            QTest::keyClicks(chart, QStringLiteral("1"));
        }
        QVERIFY(f.grid().GetEditWnd() != nullptr);
        QTest::keyClicks(f.grid().GetEditWnd(), QStringLiteral("23"));
        QTest::keyClick(f.grid().GetEditWnd(), Qt::Key_Return);
        QCOMPARE(f.left()[kPos + 2], 123);
        QVERIFY(f.doc->IsModified());

        if (own == nullptr) {
            // Dragging with the right button turns, one degree a pixel.
            QWindow* surface = chart->Surface();
            QTest::mousePress(surface, Qt::RightButton, {}, QPoint(50, 50));
            QTest::mouseMove(surface, QPoint(60, 47));
            QTest::mouseRelease(surface, Qt::RightButton, {}, QPoint(60, 47));
            QCOMPARE(chart->Camera().TurnVertical(), 40.0);
            QCOMPARE(chart->Camera().TurnHorizontal(), 42.0);
        }

        // Chart keys stay with the chart; the grid's focus stays put.
        chart->Camera().Turn(77, 13);
        QTest::keyClick(chart, Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(chart->Camera().TurnVertical(), 30.0);
        QCOMPARE(chart->Camera().TurnHorizontal(), 45.0);
        QCOMPARE(f.grid().GetFocusCell().row, kRow);

        // A plain arrow moves the grid's focus, and the highlight with it.
        QTest::keyClick(chart, Qt::Key_Down);
        QCOMPARE(f.grid().GetFocusCell().row, kRow + 1);
        QCOMPARE(chart->HighlightedRow(), 1);
        QCOMPARE(chart->HighlightedColumn(), 2);
    }

    void ctrlKeysInTheGridTurnTheChartAndTransfersAnimateIt()
    {
        Fixture f;
        charts::CDOS_FuelmapChart chart(*f.view);
        f.view->SetPartnerChart(&chart);
        f.grid().SetFocusCell(kRow, 1);
        QTest::keyClick(&f.grid(), Qt::Key_Left, Qt::ControlModifier);
        QCOMPARE(chart.Camera().TurnVertical(), 28.0);
        QTest::keyClick(&f.grid(), Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(chart.Camera().Zoom(), 230.0);
        QCOMPARE(f.grid().GetFocusCell().col, 1);

        // Off by default: a transfer leaves the chart where it is.
        chart.TransferProgress(1, 0);
        chart.TransferProgress(2, 100);
        QCOMPARE(chart.Camera().TurnVertical(), 28.0);

        charts::AnimationBase shared;
        chart.SetAnimate(true, &shared);
        chart.TransferProgress(1, 0);
        QCOMPARE(shared.turnVertical, 28);
        chart.TransferProgress(2, 340);
        QCOMPARE(chart.Camera().TurnVertical(), 8.0);
        QCOMPARE(chart.Camera().TurnHorizontal(), 25.0);
        chart.TransferProgress(0, 0);
        QCOMPARE(chart.Camera().TurnVertical(), 28.0);
        QCOMPARE(chart.Camera().TurnHorizontal(), 45.0);
    }

    void theChartRendersOrSaysWhyNot()
    {
        Fixture f;
        QVERIFY(f.started);
        QVERIFY(QTest::qWaitForWindowExposed(&f.pane));
        if (f.chart == nullptr) {
            auto* label = f.chartWidget->findChild<QLabel*>(QStringLiteral("chartUnavailable"));
            if (label == nullptr) {
                label = qobject_cast<QLabel*>(f.chartWidget);
            }
            QVERIFY(label != nullptr);
            QVERIFY(label->text().contains(QStringLiteral("OpenGL")));
            return;
        }
        for (int i = 0; i < 256; ++i) {
            f.left()[kPos + i] = static_cast<uint8_t>(40 + (i % 16) * 8 + (i / 16) * 4);
        }
        f.view->OnUpdate(kHintTables);
        f.chart->SelectCell(kRow - 1 + 4, 5);
        QTRY_VERIFY(!f.chart->grabFramebuffer().isNull() || !f.chart->RenderingAvailable());
        QVERIFY2(f.chart->RenderingAvailable(), "the chart could not draw");
        const QImage first = f.chart->grabFramebuffer();
        // Dark red row and dark green column are in the picture.
        const std::vector<QPoint> red = pixelsOf(first, 191, 0, 0);
        const std::vector<QPoint> green = pixelsOf(first, 0, 191, 0);
        QVERIFY(red.size() > 20);
        QVERIFY(green.size() > 20);

        // A picture of the whole pane has the chart in it.
        const QRect area(f.chart->mapTo(&f.pane, QPoint(0, 0)), f.chart->size());
        const QImage pane = charts::GrabWithCharts(f.pane).toImage().copy(area);
        QVERIFY(pixelsOf(pane, 191, 0, 0).size() > 20);

        // Another focus cell moves both lines.
        f.chart->SelectCell(kRow - 1 + 10, 12);
        const QImage moved = f.chart->grabFramebuffer();
        QVERIFY(pixelsOf(moved, 191, 0, 0) != red);
        QVERIFY(pixelsOf(moved, 0, 191, 0) != green);

        // An edited cell changes the picture.
        f.left()[kPos + 16 * 7 + 7] = 250;
        f.chart->Rebuild(f.view->GetDisplayedTable());
        QVERIFY(f.chart->grabFramebuffer() != moved);

        // Without a table only the floor is drawn: no highlight lines.
        f.chart->Rebuild(nullptr);
        const QImage floorOnly = f.chart->grabFramebuffer();
        QVERIFY(pixelsOf(floorOnly, 191, 0, 0).empty());
        QVERIFY(!pixelsOf(floorOnly, 255, 255, 51).empty());
    }
};

QTEST_MAIN(FuelmapChartTest)
#include "FuelmapChartTest.moc"
