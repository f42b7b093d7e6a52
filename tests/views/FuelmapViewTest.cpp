#include "views/FuelmapView.h"
#include "ViewHarness.h"
#include "document/BoxLayout.h"
#include "document/UndoJournal.h"

#include <QTabBar>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

using namespace morvex;
using namespace morvex::views;

namespace {

// A fuel map view on a new document of the built installation.
struct Fixture : test::ViewHarness {
    explicit Fixture(bool lambdaCorrectionMode)
    {
        lambdaCorrection = lambdaCorrectionMode ? 1 : 0;
        view = std::make_unique<CFuelmapView>(context);
        view->resize(700, 500);
        view->OnUpdate(kHintAll);
        view->show();
    }
    uint8_t* left() { return doc->GetBoxData(box::TAB_DDD_LINKS); }
    uint8_t* right() { return doc->GetBoxData(box::TAB_DDD_RECHTS); }
    grid::CValueGridCtrl& grid() { return view->Grid(); }
    void type(int row, int column, const char* text) { test::typeInto(grid(), row, column, QString::fromLatin1(text)); }
    QString cell(int row, int column) { return grid().GetItemText(row, column); }

    std::unique_ptr<CFuelmapView> view;
};

constexpr int kRow = 17; // the first shown row: map position 256
constexpr int kPos = 256;

} // namespace

class FuelmapViewTest : public QObject {
    Q_OBJECT
private slots:
    void leftEditCarriesTheRightCylinderAlong()
    {
        Fixture f(false);
        QVERIFY(f.started);
        f.left()[kPos] = 100;
        f.right()[kPos] = 120;
        f.view->OnUpdate(kHintTables);
        f.type(kRow, 1, "250");
        QCOMPARE(f.left()[kPos], 250);
        QCOMPARE(f.right()[kPos], 250);
        QCOMPARE(f.view->PercentTable()[kPos], 100);
        QVERIFY(f.doc->IsModified());
        QVERIFY(f.messages.shown.empty());
        // "007" is shown as the stored 7.
        f.type(kRow, 2, "007");
        QCOMPARE(f.cell(kRow, 2), QStringLiteral("7"));
    }

    void percentAndRightLimitsAreReported()
    {
        Fixture f(false);
        f.left()[kPos] = 200;
        f.left()[kPos + 1] = 0;
        f.right()[kPos + 1] = 0;
        f.view->OnUpdate(kHintTables);
        f.view->NextGrid();
        QCOMPARE(f.view->ActiveGrid(), 1212);
        f.type(kRow, 1, "150");
        QCOMPARE(f.messages.shown.size(), std::size_t{1});
        QCOMPARE(f.messages.shown[0].text, std::string("Maximum possible value is 125!"));
        QVERIFY(f.messages.shown[0].beep);
        QCOMPARE(f.cell(kRow, 1), QStringLiteral("125"));
        QCOMPARE(f.right()[kPos], 250);

        f.view->NextGrid();
        QCOMPARE(f.view->ActiveGrid(), 1213);
        f.type(kRow, 2, "5");
        QCOMPARE(f.messages.shown.size(), std::size_t{2});
        QCOMPARE(f.messages.shown[1].text,
                 std::string("Maximum possible value is 0 \nbecause left cylinder value is 0!"));
        QCOMPARE(f.right()[kPos + 1], 0);
        QCOMPARE(f.cell(kRow, 2), QStringLiteral("0"));

        // A bulk edit caps silently.
        f.grid().SetSelectedRange(kRow, 1, kRow + 1, 1);
        f.grid().SetFocusCell(kRow, 1);
        QTest::keyClick(&f.grid(), Qt::Key_Plus, Qt::ShiftModifier);
        QCOMPARE(f.messages.shown.size(), std::size_t{2});
    }

    void tabsWrapBothWays()
    {
        Fixture f(false);
        QCOMPARE(f.view->TabBar()->count(), 3);
        f.view->PreviousGrid();
        QCOMPARE(f.view->ActiveGrid(), 1213);
        QCOMPARE(f.view->TabBar()->currentIndex(), 2);
        QVERIFY(f.view->RowCaption().startsWith(QStringLiteral("Right cylinder: ")));
        f.view->NextGrid();
        QCOMPARE(f.view->ActiveGrid(), 1211);
        QCOMPARE(f.cell(0, 0), QStringLiteral("L"));
    }

    void fillDownSkipsGaps()
    {
        Fixture f(false);
        for (int row = kRow; row < kRow + 4; ++row) {
            f.left()[positionOf(row, 3)] = 0;
        }
        f.left()[positionOf(kRow, 3)] = 10;
        f.left()[positionOf(kRow + 3, 3)] = 40;
        f.view->OnUpdate(kHintTables);
        f.grid().SetSelectedRange(kRow, 3, kRow + 3, 3);
        QVERIFY(f.view->CanFillMeanValues(true));
        QVERIFY(!f.view->CanFillMeanValues(false));
        f.view->FillMeanValues(true);
        QCOMPARE(f.left()[positionOf(kRow + 1, 3)], 20);
        QCOMPARE(f.left()[positionOf(kRow + 2, 3)], 30);
        QCOMPARE(f.cell(kRow + 2, 3), QStringLiteral("30"));
        QVERIFY(f.messages.shown.empty());
        f.grid().SetSelectedRange(kRow, 3, kRow + 1, 3);
        QVERIFY(!f.view->CanFillMeanValues(true));
    }

    void lambdaCorrectionUncouplesTheGrids()
    {
        Fixture f(false);
        f.left()[kPos] = 100;
        f.right()[kPos] = 120;
        f.view->OnUpdate(kHintTables);
        f.view->SwitchGrid(1213);
        f.view->SetLambdaCorrection(true);
        QCOMPARE(f.lambdaCorrection, 1);
        QCOMPARE(f.view->TabBar()->count(), 2);
        QCOMPARE(f.view->TabBar()->currentIndex(), 0);
        QCOMPARE(f.view->ActiveGrid(), 1211);
        QCOMPARE(f.view->TabBar()->tabText(1), QStringLiteral("Lambda Correction"));
        f.type(kRow, 1, "250");
        QCOMPARE(f.left()[kPos], 250);
        QCOMPARE(f.right()[kPos], 120);
        QVERIFY(f.messages.shown.empty());
        f.view->NextGrid();
        QCOMPARE(f.cell(kRow, 1), QStringLiteral("120"));
        f.view->NextGrid();
        QCOMPARE(f.view->ActiveGrid(), 1211); // two tabs wrap

        f.view->SetLambdaCorrection(false);
        QCOMPARE(f.view->TabBar()->count(), 3);
        QCOMPARE(f.view->TabBar()->tabText(1), QStringLiteral("Right cylinder %"));
        QCOMPARE(f.view->PercentTable()[kPos], 48);

        // Not while online.
        f.view->OnBoxEvent(comm::PT_ONLINE_STARTED, 0);
        QVERIFY(!f.view->CanToggleLambdaCorrection());
    }

    void onlineLiveCellAndLockedStep()
    {
        Fixture f(true);
        f.left()[positionOf(32, 16)] = 77;
        f.view->OnUpdate(kHintTables);
        f.view->OnBoxEvent(comm::PT_ONLINE_STARTED, 0);
        QVERIFY(!f.grid().IsEditable());
        // Revolutions index 0 and throttle index 0: the bottom right cell.
        f.view->OnBoxEvent(comm::PT_LIVE_VALUE, 130 | (0 << 16));
        QVERIFY(!f.grid().GetFocusCell().IsValid());
        f.view->OnBoxEvent(comm::PT_LIVE_VALUE, 131 | (0 << 16));
        QCOMPARE(f.grid().GetFocusCell(), grid::CCellID(32, 16));
        // A click changes nothing; numeric-pad plus steps and reports.
        QTest::mouseClick(f.grid().viewport(), Qt::LeftButton);
        QCOMPARE(f.grid().GetFocusCell(), grid::CCellID(32, 16));
        QTest::keyClick(&f.grid(), Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(f.left()[positionOf(32, 16)], 78);
        QCOMPARE(f.frame.changes.size(), std::size_t{1});
        QCOMPARE(f.frame.changes[0].command, 140);
        QCOMPARE(f.frame.changes[0].lineAddress, positionOf(32, 16) - 256);
        QCOMPARE(f.frame.changes[0].newValue, 78);
        QCOMPARE(f.frame.changes[0].oldValue, 77);
        // A revolutions index above 15 puts the live cell into the hidden
        // half, where nothing may be stepped.
        f.view->OnBoxEvent(comm::PT_LIVE_VALUE, 130 | (20 << 16));
        QVERIFY(f.grid().GetFocusCell().row < 0 || f.grid().GetFocusCell().row >= 17);
        QTest::keyClick(&f.grid(), Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(f.frame.changes.size(), std::size_t{1});
        // The upper half of the map is never touched.
        for (int p = 0; p < 256; ++p) {
            QCOMPARE(f.left()[p], uint8_t{0});
        }
        f.view->OnBoxEvent(comm::PT_ONLINE_ENDED, 0);
        QVERIFY(f.grid().IsEditable());
        QVERIFY(f.view->CanToggleLambdaCorrection());
    }

    void trailAndLiveCellGiveCompareMarksBack()
    {
        Fixture f(false);
        f.view->ShowLiveTrail(true);
        // The compared document differs in the two bottom right cells.
        auto other =
            std::make_shared<CMorvexDoc>(f.core.adapt(), f.core.limits(), f.core.info(), f.core.paths().premapFile());
        other->OnNewDocument();
        other->GetBoxData(box::TAB_DDD_LINKS)[positionOf(32, 16)] = 9;
        f.view->MarkDifferences(other);
        const auto back = [&](int row, int column) { return f.grid().GetCell(row, column)->GetBackClr(); };
        QCOMPARE(back(32, 16), CZamoGridView::kDifferenceBack);

        f.view->OnBoxEvent(comm::PT_ONLINE_STARTED, 0);
        f.view->OnBoxEvent(comm::PT_LIVE_VALUE, 130 | (0 << 16));
        f.view->OnBoxEvent(comm::PT_LIVE_VALUE, 131 | (0 << 16));
        QCOMPARE(back(32, 16), CZamoCylinderView::kLiveBack);
        // On to (32, 15): the trail over the mark is blended from the mark,
        // not from white (whose blue would stay above the mark's 64).
        f.view->OnBoxEvent(comm::PT_LIVE_VALUE, 131 | (1 << 16));
        QTRY_COMPARE(f.view->LiveTrailPoints().size(), std::size_t{2});
        const grid::ColorRef trail = back(32, 16);
        QVERIFY(trail != CZamoGridView::kDifferenceBack && trail != CZamoCylinderView::kLiveBack);
        QVERIFY(((trail >> 16) & 0xFFu) < 64 && ((trail >> 8) & 0xFFu) > 160);
        // A compare while online marks the live cell too, but it stays live.
        other->GetBoxData(box::TAB_DDD_LINKS)[positionOf(32, 15)] = 9;
        f.view->MarkDifferences(other);
        QCOMPARE(back(32, 15), CZamoCylinderView::kLiveBack);

        f.view->OnBoxEvent(comm::PT_ONLINE_ENDED, 0);
        QCOMPARE(back(32, 16), CZamoGridView::kDifferenceBack);
        QCOMPARE(back(32, 15), CZamoGridView::kDifferenceBack);
        QCOMPARE(back(32, 14), grid::kColorDefault);
    }

    void limitHitOnlineBeepsWithoutAModalBox()
    {
        Fixture f(false);
        const int p = positionOf(32, 16);
        f.left()[p] = 200;
        f.right()[p] = 250;
        f.view->OnUpdate(kHintTables);
        f.view->NextGrid();
        QCOMPARE(f.grid().GetItemText(32, 16), QStringLiteral("125"));
        f.view->OnBoxEvent(comm::PT_ONLINE_STARTED, 0);
        f.view->OnBoxEvent(comm::PT_LIVE_VALUE, 130 | (0 << 16));
        f.view->OnBoxEvent(comm::PT_LIVE_VALUE, 131 | (0 << 16));
        QTest::keyClick(&f.grid(), Qt::Key_Plus, Qt::KeypadModifier);
        QVERIFY(f.messages.shown.empty());
        QCOMPARE(f.messages.beeps, 1);
        QCOMPARE(f.view->PercentTable()[static_cast<std::size_t>(p)], 125);
        QCOMPARE(f.right()[p], 250);
    }

    void mapToolsWriteBothCylindersAsOneUndoStepAndReportOnline()
    {
        Fixture f(false);
        UndoJournal journal;
        f.grid().SetActionObserver([&](const char* name, bool begin) {
            if (begin) {
                journal.Begin(*f.doc, name);
            } else {
                journal.End(*f.doc);
            }
        });
        const auto image = [&] {
            const auto bytes = f.doc->BoxSpan(0, kBoxImageSize);
            return std::vector<uint8_t>(bytes.begin(), bytes.end());
        };
        // A 3 x 3 block at the first shown row; the right cylinder is 110 %
        // of the left.
        const std::vector<int> lefts = {100, 50, 140, 50, 50, 50, 60, 50, 200};
        const auto at = [](std::size_t i) {
            return positionOf(kRow + static_cast<int>(i) / 3, 1 + static_cast<int>(i) % 3);
        };
        for (std::size_t i = 0; i < lefts.size(); ++i) {
            f.left()[at(i)] = static_cast<uint8_t>(lefts[i]);
            f.right()[at(i)] = static_cast<uint8_t>(roundMap(lefts[i] * 1.1));
        }
        f.view->OnUpdate(kHintTables);
        const std::vector<uint8_t> before = image();

        f.grid().SetSelectedRange(kRow, 1, kRow + 2, 3);
        f.view->ApplyMapTool(MapTool::Interpolate, 0);
        const std::vector<int> left = {100, 120, 140, 80, 125, 170, 60, 130, 200};
        const std::vector<int> right = {110, 132, 154, 88, 138, 187, 66, 143, 220};
        for (std::size_t i = 0; i < left.size(); ++i) {
            QCOMPARE(int{f.left()[at(i)]}, left[i]);
            QCOMPARE(int{f.right()[at(i)]}, right[i]);
        }
        // Each changed byte is reported as a typed one is: five cells, two
        // cylinders.
        QCOMPARE(f.frame.changes.size(), std::size_t{10});
        QCOMPARE(f.frame.changes[1].lineAddress, positionOf(kRow, 2));
        QCOMPARE(f.frame.changes[1].newValue, 132);
        QCOMPARE(f.frame.changes[1].oldValue, 55);
        QCOMPARE(journal.UndoName(), std::string("Interpolate"));
        RestoredStep step;
        QVERIFY(journal.Undo(*f.doc, step));
        QVERIFY(image() == before);
        f.view->OnUpdate(kHintTables);

        // +150 %: 100 becomes 250 and the right cylinder stops at 250 (its
        // percentage follows); 50 becomes 125 and 137.5 rounds up.
        f.grid().SetSelectedRange(kRow, 1, kRow, 2);
        f.view->ApplyMapTool(MapTool::Scale, 150);
        QCOMPARE(int{f.left()[at(0)]}, 250);
        QCOMPARE(int{f.right()[at(0)]}, 250);
        QCOMPARE(int{f.view->PercentTable()[static_cast<std::size_t>(at(0))]}, 100);
        QCOMPARE(int{f.left()[at(1)]}, 125);
        QCOMPARE(int{f.right()[at(1)]}, 138);

        // In lambda correction mode the right map is a map of its own.
        f.view->SetLambdaCorrection(true);
        f.grid().SetSelectedRange(kRow, 3, kRow, 3);
        f.view->ApplyMapTool(MapTool::Add, 5);
        QCOMPARE(int{f.left()[at(2)]}, 145);
        QCOMPARE(int{f.right()[at(2)]}, 154);
        f.view->SetLambdaCorrection(false);

        // Online the tools act on the live cell and every byte goes out.
        f.frame.changes.clear();
        f.view->OnBoxEvent(comm::PT_ONLINE_STARTED, 0);
        f.view->OnBoxEvent(comm::PT_LIVE_VALUE, 130 | (15 << 16));
        f.view->OnBoxEvent(comm::PT_LIVE_VALUE, 131 | (15 << 16));
        QCOMPARE(f.grid().GetFocusCell(), grid::CCellID(kRow, 1));
        f.view->ApplyMapTool(MapTool::Set, 120);
        // The capped cell above left the right cylinder at 100 %.
        QCOMPARE(int{f.right()[at(0)]}, 120);
        QCOMPARE(f.frame.changes.size(), std::size_t{2});
        QCOMPARE(f.frame.changes[0].command, 140);
        QCOMPARE(f.frame.changes[0].lineAddress, 0);
        QCOMPARE(f.frame.changes[0].newValue, 120);
        QCOMPARE(f.frame.changes[1].lineAddress, positionOf(kRow, 1));
        QCOMPARE(f.frame.changes[1].newValue, 120);
    }

    void transferProgressFollowsTheShownHalf()
    {
        Fixture f(false);
        f.view->OnBoxEvent(comm::PT_RECEIVE_STARTED, 0);
        QVERIFY(!f.grid().IsEditable());
        f.left()[256] = 42;
        f.view->OnBoxEvent(comm::PT_VALUE_READ, 0);
        QCOMPARE(f.cell(kRow, 1), QStringLiteral("42"));
        f.view->OnBoxEvent(comm::PT_READ_DONE, 0);
        QVERIFY(f.grid().IsEditable());
    }
};

QTEST_MAIN(FuelmapViewTest)
#include "FuelmapViewTest.moc"
