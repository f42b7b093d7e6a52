// The live trail against the simulated box: the engine steered across the
// map leaves fading cells behind the live cell in the Fuel Map and Ignition
// grids and a path on the chart; the View menu's toggle and the end of
// online mode take every trail colour away again.
#include "EditorHarness.h"
#include "charts/ChartFactory.h"
#include "charts/FuelmapChart.h"
#include "grid/GridCell.h"
#include "grid/ValueGridCtrl.h"
#include "shell/CommController.h"
#include "shell/FrameRules.h"
#include "shell/TableViews.h"
#include "views/FuelmapView.h"
#include "views/IgnitionView.h"

#include <QAction>
#include <QTest>

#include <utility>
#include <vector>

using namespace morvex;
using namespace morvex::shell;
using testing_support::Editor;

namespace {

using Cell = std::pair<int, int>; // grid row, column

struct BoxEditor : Editor {
    BoxEditor() : Editor("[Misc]\r\nLastUsedBAUD=115200\r\n")
    {
        boxReady = started && startSimulatedBox();
    }
    views::CFuelmapView& fuelmap() { return frame->tables().fuelmap(); }
    views::CDOS_IgnitionView& ignition() { return frame->tables().ignition(); }
    // Holds the engine at a map cell: revolutions index 0 is the last row,
    // throttle index 0 the last column.
    bool holdAt(Cell cell)
    {
        return control(QStringLiteral("hold rpm-index %1").arg(32 - cell.first)) == QStringLiteral("OK") &&
               control(QStringLiteral("hold throttle-index %1").arg(16 - cell.second)) == QStringLiteral("OK");
    }
    bool boxReady = false;
};

grid::ColorRef back(views::CZamoCylinderView& view, Cell cell)
{
    return view.Grid().GetCell(cell.first, cell.second)->GetBackClr();
}

bool isLive(views::CZamoCylinderView& view, Cell cell)
{
    return view.Live().row + 1 == cell.first && view.Live().column + 1 == cell.second;
}

std::vector<Cell> trailOf(views::CZamoCylinderView& view)
{
    std::vector<Cell> cells;
    for (const views::LiveTrail::Point& p : view.LiveTrailPoints()) {
        cells.emplace_back(p.row, p.column);
    }
    return cells;
}

// How much of the live colour a cell carries: white has no share, the
// live yellow all of it (the trail only lowers the blue).
int liveShare(views::CZamoCylinderView& view, Cell cell)
{
    const grid::ColorRef c = back(view, cell);
    return c == grid::kColorDefault ? 0 : 255 - static_cast<int>((c >> 16) & 0xFFu);
}

// No data cell of the shown lower half has a colour of its own.
bool allPlain(views::CZamoCylinderView& view)
{
    for (int row = 17; row <= 32; ++row) {
        for (int column = 1; column <= 16; ++column) {
            if (back(view, {row, column}) != grid::kColorDefault) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

class LiveTrailTest : public QObject {
    Q_OBJECT
private slots:
    void trailFollowsTheBoxAndGoesWithTheToggleAndOffline()
    {
        BoxEditor e;
        QVERIFY(e.boxReady);
        QVERIFY(e.frame->tables().liveTrailAction()->isChecked()); // on by default
        const std::vector<Cell> path = {{32, 16}, {31, 16}, {31, 15}, {30, 15}};
        QVERIFY(e.holdAt(path[0]));
        e.key(Qt::Key_1, Qt::ControlModifier);
        QCOMPARE(e.frame->activePane(), kFuelMapPane);
        e.key(Qt::Key_F3);
        QVERIFY(e.frame->comm().online());
        auto& fuel = e.fuelmap();
        QTRY_VERIFY_WITH_TIMEOUT(isLive(fuel, path[0]), 20000);
        for (std::size_t i = 1; i < path.size(); ++i) {
            QVERIFY(e.holdAt(path[i]));
            QTRY_VERIFY_WITH_TIMEOUT(isLive(fuel, path[i]), 20000);
        }
        QTRY_COMPARE_WITH_TIMEOUT(trailOf(fuel), path, 5000);

        // The live cell keeps its colour; behind it the older a cell, the
        // less of it.
        QCOMPARE(back(fuel, path[3]), views::CZamoCylinderView::kLiveBack);
        const int newest = liveShare(fuel, path[2]);
        const int middle = liveShare(fuel, path[1]);
        const int oldest = liveShare(fuel, path[0]);
        QVERIFY2(newest < 255 && newest > middle && middle > oldest && oldest > 0,
                 qPrintable(QStringLiteral("%1 %2 %3").arg(newest).arg(middle).arg(oldest)));
        QCOMPARE(back(fuel, {32, 1}), grid::kColorDefault);

        // The Ignition grid follows the same cells.
        auto& ignition = e.ignition();
        QTRY_COMPARE_WITH_TIMEOUT(trailOf(ignition), path, 5000);
        QVERIFY(liveShare(ignition, path[2]) > liveShare(ignition, path[0]));
        QVERIFY(liveShare(ignition, path[0]) > 0);

        // The chart draws the path over its rows (the lower half's first
        // row is the chart's row 0); without OpenGL there is no chart.
        auto* chart = dynamic_cast<charts::CFuelmapChart*>(fuel.GetPartnerChart());
        QCOMPARE(chart != nullptr, charts::ChartsCanRender());
        if (chart != nullptr) {
            QCOMPARE(chart->Trail().size(), path.size());
            QCOMPARE(chart->Trail().front().row, 15);
            QCOMPARE(chart->Trail().front().column, 15);
            QCOMPARE(chart->Trail().back().row, 13);
            QCOMPARE(chart->Trail().back().column, 14);
        }

        // Off: the trail colours go, the live cell stays; the choice is kept.
        QAction* toggle = e.frame->tables().liveTrailAction();
        toggle->trigger();
        QVERIFY(!toggle->isChecked());
        QCOMPARE(e.app.settings().liveTrail, 0);
        for (std::size_t i = 0; i < 3; ++i) {
            QCOMPARE(back(fuel, path[i]), grid::kColorDefault);
            QCOMPARE(back(ignition, path[i]), grid::kColorDefault);
        }
        QCOMPARE(back(fuel, path[3]), views::CZamoCylinderView::kLiveBack);
        if (chart != nullptr) {
            QVERIFY(chart->Trail().empty());
        }

        // On again: the path starts at the live cell.
        toggle->trigger();
        const Cell next{30, 14};
        QVERIFY(e.holdAt(next));
        QTRY_VERIFY_WITH_TIMEOUT(isLive(fuel, next), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(trailOf(fuel), (std::vector<Cell>{path[3], next}), 5000);
        QVERIFY(liveShare(fuel, path[3]) > 0 && liveShare(fuel, path[3]) < 255);

        // Offline: nothing of the trail or the live cell stays.
        e.key(Qt::Key_F3);
        QTRY_VERIFY_WITH_TIMEOUT(!e.frame->comm().running(), 10000);
        QVERIFY(allPlain(fuel));
        QVERIFY(allPlain(ignition));
        QVERIFY(trailOf(fuel).empty());
    }
};

QTEST_MAIN(LiveTrailTest)
#include "LiveTrailTest.moc"
