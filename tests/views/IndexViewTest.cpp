#include "views/IndexView.h"
#include "ViewHarness.h"
#include "comm/Walks.h"
#include "document/BoxLayout.h"
#include "views/PartnerChart.h"

#include <QTest>

#include <memory>

using namespace morvex;
using namespace morvex::views;
namespace it = morvex::views::indextable;

namespace {

class RecordingChart : public PartnerChart {
public:
    void SelectCell(int row, int column) override { selected.emplace_back(row, column); }
    void Rebuild(const uint8_t* t) override { table = t; }
    void TransferProgress(int, int) override {}
    void TurnKey(int) override {}
    std::vector<std::pair<int, int>> selected;
    const uint8_t* table = nullptr;
};

struct Fixture : test::ViewHarness {
    Fixture()
    {
        view = std::make_unique<CDOS_IndexView>(context);
        view->SetPartnerChart(&chart);
        view->resize(700, 600);
        view->OnUpdate(kHintAll);
        view->show();
    }
    grid::CValueGridCtrl& grid() { return view->Grid(); }
    void type(int row, int column, const char* text) { test::typeInto(grid(), row, column, QString::fromLatin1(text)); }
    QString cell(int row, int column) { return grid().GetItemText(row, column); }
    grid::ColorRef back(int row, int column) { return grid().GetCell(row, column)->GetBackClr(); }
    grid::ColorRef text(int row, int column) { return grid().GetCell(row, column)->GetTextClr(); }
    void select(int r0, int c0, int r1, int c1)
    {
        grid().SetSelectedRange(r0, c0, r1, c1);
        grid().SetFocusCell(r0, c0);
    }
    // The display text of an axis word, as the document derives it.
    QString wordText(IndexTable table, uint16_t word)
    {
        return QString::fromStdString(doc->Limits().indexFormat(table).format(doc->Adapt().indexToPc(table)(word)));
    }
    std::string lastMessage() { return messages.shown.empty() ? std::string() : messages.shown.back().text; }

    RecordingChart chart;
    std::unique_ptr<CDOS_IndexView> view;
};

// The cell of a byte of the index transfer, found from where it lies.
grid::CCellID cellOfByte(const uint8_t* byte, const uint8_t* axes, const comm::NameBytes& names)
{
    if (byte >= axes && byte < axes + it::kLastIndexColumn * it::kTableBytes) {
        const auto offset = static_cast<int>(byte - axes);
        return {it::rowOfPoint(offset % it::kTableBytes / 2), offset / it::kTableBytes + 1};
    }
    const auto offset = static_cast<int>(byte - names.data());
    return {it::rowOfPoint(offset % 64 / it::kNameLength), it::kFirstTextColumn + offset / 64};
}

} // namespace

class IndexViewTest : public QObject {
    Q_OBJECT
private slots:
    void gridShowsThePointsTheBoxHolds()
    {
        Fixture f;
        QVERIFY(f.started);
        QCOMPARE(f.grid().GetRowCount(), 34);
        QCOMPARE(f.grid().GetColumnCount(), 12);
        QCOMPARE(f.grid().GetFixedRowCount(), 18);
        QCOMPARE(f.grid().GetFixedColumnCount(), 1);
        QCOMPARE(f.grid().GetRowHeight(17), 0);
        QVERIFY(f.grid().GetRowHeight(18) > 0);
        QCOMPARE(f.grid().GetColumnWidth(6), 0);
        QCOMPARE(f.grid().GetColumnWidth(7), 0);
        QVERIFY(f.grid().GetColumnWidth(8) > 0);
        QCOMPARE(f.cell(18, 0), QStringLiteral("16"));
        QCOMPARE(f.cell(33, 0), QStringLiteral("1"));
        QCOMPARE(f.cell(0, 1), QStringLiteral("RPM"));
        QCOMPARE(f.view->ColumnCaption(), QStringLiteral("Index: Function name / Unit"));
        QCOMPARE(f.view->RowCaption(), QStringLiteral("Index: Indexno"));
        QCOMPARE(f.grid().GetFocusCell(), grid::CCellID(18, 1));
        QCOMPARE(f.cell(33, 1), QString::fromStdString(f.doc->IndexText(IndexTable::DZI, 0)));
        QCOMPARE(f.back(19, 2), CZamoIndexView::kStripeBack);
        QCOMPARE(f.back(18, 2), CDOS_IndexView::kPlainBack);
        // The program's own names are shown but never edited.
        QCOMPARE(f.cell(33, 8), QStringLiteral("LTRH"));
        QCOMPARE(f.cell(31, 9), QStringLiteral("IGMN"));
        QCOMPARE(f.back(31, 9), f.grid().GetGridBkColor());
        f.type(33, 8, "X");
        f.select(31, 9, 31, 9);
        f.grid().PasteText(QStringLiteral("XY"));
        QCOMPARE(f.doc->Text(TextTable::SFI1, 0), std::string("LTRH"));
        QCOMPARE(f.doc->Text(TextTable::SFI2, 2), std::string("IGMN"));
        QVERIFY(!f.view->TakeIndexesChanged());
        // The chart is told the cell; names count as its column 10.
        f.select(20, 2, 20, 2);
        QTest::keyClick(&f.grid(), Qt::Key_Right);
        QCOMPARE(f.chart.selected.back(), std::make_pair(19, 2));
        QTest::keyClick(&f.grid(), Qt::Key_Right);
        QTest::keyClick(&f.grid(), Qt::Key_Right);
        QTest::keyClick(&f.grid(), Qt::Key_Right);
        QCOMPARE(f.grid().GetFocusCell(), grid::CCellID(20, 8));
        QCOMPARE(f.chart.selected.back(), std::make_pair(19, 10));
    }

    void axisEditsStoreTheBoxWordAndShowItsReadBack()
    {
        Fixture f;
        const BoxAddress dzi = box::TAB_DZI;
        // 5010 rpm: the box's period 2759 reads back as 5000.
        f.type(25, 1, "5010");
        QCOMPARE(int{f.doc->GetWord(dzi, 8)}, 2759);
        QCOMPARE(f.cell(25, 1), QStringLiteral("5000"));
        QCOMPARE(f.doc->IndexText(IndexTable::DZI, 8), std::string("5000"));
        QCOMPARE(f.doc->IndexValue(IndexTable::DZI, 8), 5000.0);
        QVERIFY(f.messages.shown.empty());
        QVERIFY(f.doc->IsModified());
        QVERIFY(f.view->TakeIndexesChanged());
        QVERIFY(!f.view->TakeIndexesChanged());

        // Below the display minimum: the minimum, and the message.
        f.type(25, 1, "5");
        QCOMPARE(f.cell(25, 1), QStringLiteral("1000"));
        QCOMPARE(int{f.doc->GetWord(dzi, 8)}, int{f.doc->Adapt().PC_TO_BOX_Drehzahl(1000)});
        QCOMPARE(f.messages.shown.size(), std::size_t{1});
        QCOMPARE(f.lastMessage(), std::string("Please insert value between 1000 and 11000!"));
        QVERIFY(f.messages.shown.back().beep);

        // Stepped above the display maximum (the editor refuses such a
        // number): the maximum, and the message with both limits.
        f.type(18, 1, "11000");
        f.select(18, 1, 18, 1);
        QTest::keyClick(&f.grid(), Qt::Key_Plus);
        QCOMPARE(f.cell(18, 1), QStringLiteral("11000"));
        QCOMPARE(int{f.doc->GetWord(dzi, 15)}, int{f.doc->Adapt().PC_TO_BOX_Drehzahl(11000)});
        QCOMPARE(f.messages.shown.size(), std::size_t{2});
        QCOMPARE(f.lastMessage(), std::string("Please insert value between 1000 and 11000!"));
        // Several cells at once limit with a beep alone.
        f.select(18, 1, 19, 1);
        QTest::keyClick(&f.grid(), Qt::Key_Plus);
        QCOMPARE(f.messages.shown.size(), std::size_t{2});
        QVERIFY(f.messages.beeps >= 1);
    }

    void namesAreCutToFourCharacters()
    {
        Fixture f;
        f.select(20, 10, 20, 10);
        f.grid().PasteText(QStringLiteral("ABCDEF"));
        QCOMPARE(f.doc->Text(TextTable::EX, 13), std::string("ABCD"));
        QCOMPARE(f.cell(20, 10), QStringLiteral("ABCD"));
        QVERIFY(f.view->TakeIndexesChanged());
        f.type(21, 11, "WXYZQ");
        QCOMPARE(f.doc->Text(TextTable::EX2, 12), std::string("WXYZ"));
    }

    void fillDownGoesThroughTheEdit()
    {
        Fixture f;
        f.type(30, 1, "2000");
        f.type(33, 1, "1000");
        f.select(30, 1, 33, 1);
        QVERIFY(!f.view->CanFillMeanValues(false));
        QVERIFY(f.view->CanFillMeanValues(true));
        f.view->FillMeanValues(true);
        // 1667 and 1333 rpm, each stored as the box's period and shown as
        // it reads back.
        QCOMPARE(int{f.doc->GetWord(box::TAB_DZI, 2)}, int{f.doc->Adapt().PC_TO_BOX_Drehzahl(1667)});
        QCOMPARE(f.cell(31, 1), f.wordText(IndexTable::DZI, f.doc->GetWord(box::TAB_DZI, 2)));
        QCOMPARE(f.cell(31, 1), QStringLiteral("1675"));
        QCOMPARE(f.cell(32, 1), QStringLiteral("1325"));
        QCOMPARE(f.doc->IndexText(IndexTable::DZI, 1), std::string("1325"));
        // Name columns do not count and are not filled.
        f.select(18, 5, 20, 8);
        QVERIFY(f.view->CanFillMeanValues(true));
        const std::string name = f.doc->Text(TextTable::SFI1, 14);
        f.view->FillMeanValues(true);
        QCOMPARE(f.doc->Text(TextTable::SFI1, 14), name);
        f.select(18, 1, 19, 1);
        QVERIFY(!f.view->CanFillMeanValues(true));
    }

    void everyStepOfTheIndexReceiveShowsInItsCell()
    {
        Fixture f;
        comm::NameBytes names{};
        comm::TransferJob job;
        job.command = comm::CMD_READ;
        job.data = f.doc->GetBoxData(box::TAB_DZI);
        job.names = &names;
        job.variant = comm::variant::IndexTables;
        const std::vector<comm::WalkStep> walk = *comm::buildWalk(job, false);
        f.view->OnBoxEvent(comm::PT_RECEIVE_STARTED, 0);
        QVERIFY(!f.grid().IsEditable());
        for (std::size_t i = 0; i < walk.size(); ++i) {
            const grid::CCellID cell = cellOfByte(walk[i].byte, job.data, names);
            f.view->OnBoxEvent(comm::PT_READ_BEGIN, static_cast<intptr_t>(i));
            QCOMPARE(f.back(cell.row, cell.col), grid::ColorRef{0x00FF00});
            // The worker stores the byte, then reports the step (words once,
            // after their low byte; names once per two characters).
            *walk[i].byte = static_cast<uint8_t>(walk[i].text ? 'A' + i % 26 : 3 + i % 5);
            if (walk[i].progress) {
                f.view->OnBoxEvent(comm::PT_VALUE_READ, static_cast<intptr_t>(i));
                QCOMPARE(f.back(cell.row, cell.col), grid::ColorRef{0x008000});
            }
        }
        // Each axis cell shows its received word, before the document has
        // derived its texts from them.
        f.view->OnBoxEvent(comm::PT_READ_DONE, 0);
        const uint16_t throttle = f.doc->GetWord(box::TAB_DKI, 0);
        QVERIFY(f.doc->IndexText(IndexTable::DKI, 0) != f.wordText(IndexTable::DKI, throttle).toStdString());
        QCOMPARE(f.cell(33, 2), f.wordText(IndexTable::DKI, throttle));
        QCOMPARE(f.cell(18, 5), f.wordText(IndexTable::LDI, f.doc->GetWord(box::TAB_LDI, 15)));
        QVERIFY(f.grid().IsEditable());
        QCOMPARE(f.back(33, 2), CZamoIndexView::kStripeBack);
        QCOMPARE(f.back(33, 1), grid::kColorDefault);
    }

    void liveMarkersStayInTheShownRows()
    {
        Fixture f;
        f.view->OnBoxEvent(comm::PT_ONLINE_STARTED, 0);
        QVERIFY(!f.grid().IsEditable());
        // rpm position 3 is word 3; throttle position 1 is word 14.
        f.view->OnBoxEvent(comm::PT_LIVE_VALUE, 130 | (3 << 16));
        f.view->OnBoxEvent(comm::PT_LIVE_VALUE, 131 | (1 << 16));
        QCOMPARE(f.view->LiveRow(1), 30);
        QCOMPARE(f.back(30, 1), CDOS_IndexView::kMarkerBack);
        QCOMPARE(f.text(30, 1), CDOS_IndexView::kMarkerText);
        QCOMPARE(f.back(19, 2), CDOS_IndexView::kMarkerBack);
        // The old marker goes; the stripe comes back.
        f.view->OnBoxEvent(comm::PT_LIVE_VALUE, 131 | (0 << 16));
        QCOMPARE(f.back(18, 2), CDOS_IndexView::kMarkerBack);
        QCOMPARE(f.back(19, 2), CZamoIndexView::kStripeBack);
        f.view->OnBoxEvent(comm::PT_LIVE_VALUE, 132 | (40 << 16));
        QCOMPARE(f.view->LiveRow(3), 33);
        f.view->OnBoxEvent(comm::PT_LIVE_VALUE, 134 | (7 << 16));
        QCOMPARE(f.back(25, 5), CDOS_IndexView::kMarkerBack);
        f.view->OnBoxEvent(comm::PT_LIVE_VALUE, 134 | (255 << 16));
        QCOMPARE(f.view->LiveRow(5), -1);
        QCOMPARE(f.back(25, 5), grid::kColorDefault);
        f.view->OnBoxEvent(comm::PT_LIVE_FAILED, 132);
        QCOMPARE(f.view->LiveRow(3), -1);
        // The grid never steps an axis while online.
        f.grid().SetFocusCell(30, 1);
        QTest::keyClick(&f.grid(), Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(f.cell(30, 1), QString::fromStdString(f.doc->IndexText(IndexTable::DZI, 3)));
        f.view->OnBoxEvent(comm::PT_ABORTED, comm::PTERR_READ);
        QCOMPARE(f.view->LiveRow(1), -1);
        QCOMPARE(f.view->LiveRow(2), -1);
        QCOMPARE(f.back(30, 1), grid::kColorDefault);
        QCOMPARE(f.back(18, 2), CDOS_IndexView::kPlainBack);
        QVERIFY(f.grid().IsEditable());
    }
};

QTEST_MAIN(IndexViewTest)
#include "IndexViewTest.moc"
