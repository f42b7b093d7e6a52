#include "views/FunctionView.h"
#include "ViewHarness.h"
#include "comm/Walks.h"
#include "document/BoxLayout.h"
#include "grid/GridCellTypes.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace morvex;
using namespace morvex::views;
namespace ft = morvex::views::functiontable;

namespace {

// A function view on a new document of the built installation.
template <class View> struct FixtureOf : test::ViewHarness {
    FixtureOf()
    {
        view = std::make_unique<View>(context);
        view->resize(700, 600);
        view->OnUpdate(kHintAll);
        view->show();
    }
    uint8_t* table() { return doc->GetBoxData(box::TAB_MTD); }
    int word(int offset) { return readWordBE(table() + offset); }
    grid::CValueGridCtrl& grid() { return view->Grid(); }
    void type(int row, int column, const char* text) { test::typeInto(grid(), row, column, QString::fromLatin1(text)); }
    QString cell(int row, int column) { return grid().GetItemText(row, column).trimmed(); }
    grid::ColorRef back(int row, int column) { return grid().GetCell(row, column)->GetBackClr(); }
    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(&grid(), k, m); }
    std::unique_ptr<View> view;
};
using Fixture = FixtureOf<CDOS_FunctionView>;

// The view with transfer positions given straight as lParam, so that a
// position of a block's second half can be reported.
class PositionView : public CDOS_FunctionView {
public:
    using CDOS_FunctionView::CDOS_FunctionView;

protected:
    int PositionOfStep(int step) const override { return step; }
};

uint16_t revLimitRaw(test::ViewHarness& h, int hundreds)
{
    return h.doc->Adapt().PC_TO_BOX_Drehzahl(hundreds * 100.0);
}

} // namespace

class FunctionViewTest : public QObject {
    Q_OBJECT
private slots:
    void gridShowsThePointsTheBoxHolds()
    {
        Fixture f;
        QVERIFY(f.started);
        QCOMPARE(f.grid().GetRowCount(), 34);
        QCOMPARE(f.grid().GetColumnCount(), 10);
        QCOMPARE(f.grid().GetFixedRowCount(), 18);
        QCOMPARE(f.grid().GetFixedColumnCount(), 0);
        for (int column : {3, 4, 7}) {
            QCOMPARE(f.grid().GetColumnWidth(column), 0);
        }
        QVERIFY(f.grid().GetColumnWidth(9) > 0);
        QCOMPARE(f.grid().GetRowHeight(17), 0);
        QVERIFY(f.grid().GetRowHeight(18) > 0);
        QCOMPARE(f.view->RowCaption(), QStringLiteral("Function: Indexno"));
        QCOMPARE(f.view->ColumnCaption(), QStringLiteral("Function name / Unit"));
        auto label = [&](int row, int column) {
            return static_cast<grid::CGridCellLabel*>(f.grid().GetCell(row, column))->GetLabelText();
        };
        QCOMPARE(label(30, 5), QStringLiteral("RLI"));
        QCOMPARE(label(31, 6), QStringLiteral("IGMN"));
        QCOMPARE(label(33, 0), QString::fromStdString(f.doc->IndexText(IndexTable::MTI, 0)));
        QCOMPARE(f.grid().GetFocusCell(), grid::CCellID(18, 0));
        QVERIFY(!f.view->CanPreviousGrid());
        // The high byte of the revolution limit is blank and never edited.
        QCOMPARE(f.back(31, 5), f.grid().GetGridBkColor());
        f.type(31, 5, "7");
        QCOMPARE(f.table()[ft::kRevLimitHigh], 0);
    }

    void editsStayWithinTheirCells()
    {
        Fixture f;
        f.type(30, 5, "2");
        QCOMPARE(f.word(ft::kRevLimitHigh), int{revLimitRaw(f, 3)});
        QCOMPARE(f.cell(30, 5), QStringLiteral("3"));
        QCOMPARE(f.messages.beeps, 1);
        QVERIFY(f.messages.shown.empty());
        QVERIFY(f.doc->IsModified());
        // A value above 32000 in column 9 (pasted: the editor refuses it).
        f.grid().SetSelectedRange(33, 9, 33, 9);
        f.grid().SetFocusCell(33, 9);
        f.grid().PasteText(QStringLiteral("40000"));
        QCOMPARE(f.table()[576], 32000 >> 8);
        QCOMPARE(f.table()[577], 32000 & 0xFF);
        QCOMPARE(f.cell(33, 9), QStringLiteral("32000"));
        // Fill Down keeps column 9's words whole (1000, x, 2000: 1500).
        writeWordBE(f.table() + 576 + 2 * 15, 1000);
        writeWordBE(f.table() + 576 + 2 * 13, 2000);
        f.view->OnUpdate(kHintTables);
        f.grid().SetSelectedRange(18, 9, 20, 9);
        QVERIFY(f.view->CanFillMeanValues(true));
        f.view->FillMeanValues(true);
        QCOMPARE(f.word(576 + 2 * 14), 1500);
    }

    void ignitionMapNumberIsAnnounced()
    {
        Fixture f;
        QSignalSpy spy(f.view.get(), &CFunctionView::ignitionMapNumberChanged);
        f.type(31, 6, "5");
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 5);
        QCOMPARE(f.doc->GetBoxData(box::TAB_SFD2)[2], 5);
        f.type(30, 6, "5");
        QCOMPARE(spy.count(), 1);
    }

    void onlineTuningStepsTheRevolutionLimit()
    {
        Fixture f;
        writeWordBE(f.table() + ft::kRevLimitHigh, revLimitRaw(f, 107));
        f.view->OnUpdate(kHintTables);
        QCOMPARE(f.cell(30, 5), QStringLiteral("107"));
        f.view->OnBoxEvent(comm::PT_ONLINE_STARTED, 0);
        QVERIFY(!f.grid().IsEditable());
        // Live markers of the temperature and pressure points; column 0
        // is tuned, so its live point is the focus cell.
        f.view->OnBoxEvent(comm::PT_LIVE_VALUE, 133 | (4 << 16));
        QCOMPARE(f.back(22, 1), CFunctionView::kMarkerBack);
        QVERIFY(!f.grid().GetFocusCell().IsValid());
        f.view->OnBoxEvent(comm::PT_LIVE_VALUE, 133 | (40 << 16));
        QCOMPARE(f.back(22, 1), grid::kColorDefault);
        QCOMPARE(f.back(33, 1), CFunctionView::kMarkerBack);
        f.view->OnBoxEvent(comm::PT_LIVE_VALUE, 132 | (5 << 16));
        QCOMPARE(f.back(23, 0), CZamoCylinderView::kLiveBack);
        QCOMPARE(f.grid().GetFocusCell(), grid::CCellID(23, 0));
        f.view->OnBoxEvent(comm::PT_LIVE_VALUE, 134 | (255 << 16));
        f.view->OnBoxEvent(comm::PT_LIVE_VALUE, 133 | (255 << 16));
        QCOMPARE(f.back(33, 1), grid::kColorDefault);

        // Right to column 5 (point 15, the top row), down to the limit.
        for (int i = 0; i < 3; ++i) {
            f.key(Qt::Key_Right);
        }
        QCOMPARE(f.grid().GetFocusCell(), grid::CCellID(18, 5));
        QCOMPARE(f.back(23, 0), CFunctionView::kMarkerBack);
        for (int i = 0; i < 12; ++i) {
            f.key(Qt::Key_Down);
        }
        QCOMPARE(f.grid().GetFocusCell(), grid::CCellID(30, 5));
        QCOMPARE(f.back(30, 5), CZamoCylinderView::kLiveBack);

        // 107 -> 108: only the low byte changes.
        const uint16_t raw107 = revLimitRaw(f, 107);
        const uint16_t raw108 = revLimitRaw(f, 108);
        const uint16_t raw109 = revLimitRaw(f, 109);
        QCOMPARE(raw107 >> 8, raw108 >> 8);
        QVERIFY((raw108 >> 8) != (raw109 >> 8));
        f.key(Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(f.cell(30, 5), QStringLiteral("108"));
        QCOMPARE(f.frame.changes.size(), std::size_t{1});
        QCOMPARE(f.frame.changes[0].command, 140);
        QCOMPARE(f.frame.changes[0].lineAddress, 1187);
        QCOMPARE(f.frame.changes[0].newValue, raw108 & 0xFF);
        QCOMPARE(f.frame.changes[0].oldValue, raw107 & 0xFF);
        // 108 -> 109: both, the high byte first.
        f.key(Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(f.frame.changes.size(), std::size_t{3});
        QCOMPARE(f.frame.changes[1].lineAddress, 1186);
        QCOMPARE(f.frame.changes[1].newValue, raw109 >> 8);
        QCOMPARE(f.frame.changes[1].oldValue, raw108 >> 8);
        QCOMPARE(f.frame.changes[2].lineAddress, 1187);
        QCOMPARE(f.frame.changes[2].newValue, raw109 & 0xFF);
        // +10 runs into the display maximum (110): a beep, never a box.
        f.key(Qt::Key_Plus, Qt::KeypadModifier | Qt::ShiftModifier);
        QCOMPARE(f.cell(30, 5), QStringLiteral("110"));
        QCOMPARE(f.word(ft::kRevLimitHigh), int{revLimitRaw(f, 110)});
        QCOMPARE(f.messages.beeps, 1);
        QVERIFY(f.messages.shown.empty());
        for (const auto& change : f.frame.changes) {
            QVERIFY(change.lineAddress == 1186 || change.lineAddress == 1187);
        }

        // A failed live query forgets the tuned point: plus does nothing.
        const std::size_t reported = f.frame.changes.size();
        f.view->OnBoxEvent(comm::PT_LIVE_FAILED, 135);
        QVERIFY(!f.grid().GetFocusCell().IsValid());
        f.key(Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(f.frame.changes.size(), reported);

        f.view->OnBoxEvent(comm::PT_ONLINE_ENDED, 0);
        QVERIFY(f.grid().IsEditable());
        QCOMPARE(f.back(23, 0), grid::kColorDefault);
    }

    void everyStepOfTheReceiveRefreshesItsCell()
    {
        Fixture f;
        comm::TransferJob job;
        job.command = comm::CMD_READ;
        job.data = f.table();
        job.variant = comm::variant::SpecialFunctions;
        const std::vector<comm::WalkStep> walk = *comm::buildWalk(job, false);
        f.view->OnBoxEvent(comm::PT_RECEIVE_STARTED, 0);
        QVERIFY(!f.grid().IsEditable());
        // The worker stores each byte, then reports the step (words once,
        // after their low byte).
        for (std::size_t i = 0; i < walk.size(); ++i) {
            const int offset = static_cast<int>(walk[i].byte - f.table());
            *walk[i].byte = static_cast<uint8_t>(7 + i);
            if (!walk[i].progress) {
                continue;
            }
            f.view->OnBoxEvent(comm::PT_VALUE_READ, static_cast<intptr_t>(i));
            // The cell of the byte by its place in the table.
            const bool word = offset >= ft::kWordBase;
            const int column = word ? 9 : offset / 64;
            const int row = 33 - (word ? (offset - ft::kWordBase) / 2 : offset % 64);
            QString expected = QString::number(*walk[i].byte);
            if (word) {
                expected = QString::number(readWordBE(walk[i].byte - 1));
            } else if (offset == ft::kRevLimitLow) {
                expected = QString::number(static_cast<int>(
                    f.doc->Adapt().BOX_TO_PC_Drehzahl_25(readWordBE(f.table() + ft::kRevLimitHigh)) / 100));
            } else if (offset == ft::kRevLimitHigh) {
                expected.clear();
            }
            QCOMPARE(f.cell(row, column), expected);
            QCOMPARE(f.back(row, column), grid::ColorRef{0x008000});
        }
        f.view->OnBoxEvent(comm::PT_READ_DONE, 0);
        QVERIFY(f.grid().IsEditable());
        QCOMPARE(f.back(33, 0), grid::kColorDefault);
        QCOMPARE(f.back(31, 5), f.grid().GetGridBkColor());
    }

    void secondHalfOfABlockOnlyLosesItsColours()
    {
        FixtureOf<PositionView> f;
        const int position = 40; // TAB_MTD byte 40: row 25, not held by the box
        f.view->OnBoxEvent(comm::PT_RECEIVE_STARTED, 0);
        f.view->OnBoxEvent(comm::PT_READ_BEGIN, position);
        QCOMPARE(f.back(25, 0), grid::ColorRef{0x00FF00});
        f.table()[position] = 99;
        f.view->OnBoxEvent(comm::PT_VALUE_READ, position);
        QCOMPARE(f.back(25, 0), grid::kColorDefault);
        QCOMPARE(f.cell(25, 0), QStringLiteral("0"));
    }
};

QTEST_MAIN(FunctionViewTest)
#include "FunctionViewTest.moc"
