#include "views/IgnitionView.h"
#include "ViewHarness.h"
#include "document/BoxLayout.h"
#include "views/AngleDlg2.h"

#include <QApplication>
#include <QPointer>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>

#include <memory>
#include <string>

using namespace morvex;
using namespace morvex::views;

namespace {

constexpr int kRow = 17; // the first shown row: map position 256
constexpr int kPos = 256;

// An ignition view on a new document with 36 teeth (5 degrees a step) and
// the static ignition point at 10 degrees.
struct Fixture : test::ViewHarness {
    Fixture()
    {
        parameters()[0] = 36;
        parameters()[1] = 10;
        view = std::make_unique<CDOS_IgnitionView>(context);
        view->resize(700, 500);
        view->OnUpdate(kHintAll);
        view->show();
    }
    uint8_t* parameters() { return doc->GetBoxData(box::PARAMETERS); }
    uint8_t* leftSteps() { return doc->GetBoxData(box::TAB_DDZ_LINKS); }
    uint8_t* rightSteps() { return doc->GetBoxData(box::TAB_DDZ_RECHTS); }
    uint8_t& ignitionMapNumber() { return doc->GetBoxData(box::TAB_SFD2)[2]; }
    grid::CValueGridCtrl& grid() { return view->Grid(); }
    void type(int row, int column, const char* text) { test::typeInto(grid(), row, column, QString::fromLatin1(text)); }
    QString cell(int row, int column) { return grid().GetItemText(row, column); }
    void goOnline(int throttleIndex)
    {
        view->OnBoxEvent(comm::PT_ONLINE_STARTED, 0);
        view->OnBoxEvent(comm::PT_LIVE_VALUE, 130 | (0 << 16));
        view->OnBoxEvent(comm::PT_LIVE_VALUE, 131 | (throttleIndex << 16));
    }

    std::unique_ptr<CDOS_IgnitionView> view;
};

} // namespace

class IgnitionViewTest : public QObject {
    Q_OBJECT
private slots:
    void opensOnTheReadOnlyPremap()
    {
        Fixture f;
        QVERIFY(f.started);
        QCOMPARE(f.view->TabBar()->count(), 4);
        QCOMPARE(f.view->TabBar()->tabText(3), QStringLiteral("Premap"));
        QCOMPARE(f.view->ActiveGrid(), kGridPremap);
        QVERIFY(f.view->RowCaption().startsWith(QStringLiteral("Premap: ")));
        // Typing is refused audibly and changes nothing.
        const QString before = f.cell(kRow, 1);
        f.type(kRow, 1, "5");
        QCOMPARE(f.cell(kRow, 1), before);
        QVERIFY(f.grid().GetEditWnd() == nullptr);
        QVERIFY(f.messages.beeps >= 1);
        QVERIFY(!f.doc->IsModified());
        f.view->NextGrid();
        QCOMPARE(f.view->ActiveGrid(), kGridLeft);
        QVERIFY(f.grid().IsEditable());
    }

    void degreesAreStoredAsWholeSteps()
    {
        Fixture f;
        f.view->SwitchGrid(kGridLeft);
        f.type(kRow, 1, "33");
        QCOMPARE(f.leftSteps()[kPos], 4);
        QCOMPARE(f.cell(kRow, 1), QStringLiteral("30"));
        QCOMPARE(f.rightSteps()[kPos], 4); // the right cylinder keeps its 100 %
        f.type(kRow, 2, "9");
        QCOMPARE(f.leftSteps()[kPos + 1], 0);
        QCOMPARE(f.cell(kRow, 2), QStringLiteral("10"));
        QVERIFY(f.messages.shown.empty());
        QVERIFY(f.doc->IsModified());

        // "+" steps one step of 5 degrees from 30, not to 31.
        f.grid().SetSelectedRange(kRow, 1, kRow, 1);
        f.grid().SetFocusCell(kRow, 1);
        QTest::keyClick(&f.grid(), Qt::Key_Plus);
        QCOMPARE(f.cell(kRow, 1), QStringLiteral("35"));
        QCOMPARE(f.leftSteps()[kPos], 5);

        // Static point 0 with 0 steps: left 0 degrees; the right value then
        // has no percentage, and 0 is given rather than a division by zero.
        QVERIFY(f.view->ApplyTeethAndOffset(36, 0));
        f.leftSteps()[kPos + 2] = 0;
        f.view->OnUpdate(kHintTables);
        f.view->SwitchGrid(kGridRight);
        f.type(kRow, 3, "20");
        QCOMPARE(f.rightSteps()[kPos + 2], 4);
        f.view->SwitchGrid(kGridPercent);
        QCOMPARE(f.cell(kRow, 3), QStringLiteral("0"));
        QVERIFY(f.messages.shown.empty());
    }

    void newTeethKeepTheDegrees()
    {
        Fixture f;
        QSignalSpy spy(f.view.get(), &CDOS_IgnitionView::staticPointChanged);
        f.view->SwitchGrid(kGridLeft);
        f.type(kRow, 1, "30");
        QVERIFY(!f.view->ApplyTeethAndOffset(36, 10));
        QVERIFY(f.view->ApplyTeethAndOffset(72, 12));
        QCOMPARE(f.leftSteps()[kPos], 7); // (30 - 12) / 2.5 = 7.2
        QCOMPARE(f.cell(kRow, 1), QStringLiteral("30"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 12);

        // Without teeth no degrees were ever derived: the steps are kept and
        // read with the teeth set now.
        f.parameters()[0] = 0;
        f.leftSteps()[kPos] = 6;
        f.view->OnUpdate(kHintTables);
        QVERIFY(f.view->ApplyTeethAndOffset(36, 10));
        QCOMPARE(f.leftSteps()[kPos], 6);
        QCOMPARE(f.cell(kRow, 1), QStringLiteral("40"));
    }

    void lockedStepReportsTheStepBytes()
    {
        Fixture f;
        const int p = positionOf(32, 16);
        f.leftSteps()[p] = 4;
        f.rightSteps()[p] = 4;
        f.view->OnUpdate(kHintTables);
        f.view->SwitchGrid(kGridLeft);
        f.goOnline(0);
        QVERIFY(!f.view->CanSetTeethAndOffset());
        QCOMPARE(f.grid().GetFocusCell(), grid::CCellID(32, 16));
        QTest::keyClick(&f.grid(), Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(f.cell(32, 16), QStringLiteral("35"));
        QCOMPARE(f.frame.changes.size(), std::size_t{2});
        QCOMPARE(f.frame.changes[0].command, 187);
        QCOMPARE(f.frame.changes[0].lineAddress, p + 256);
        QCOMPARE(f.frame.changes[0].oldValue, 4);
        QCOMPARE(f.frame.changes[0].newValue, 5);
        QCOMPARE(f.frame.changes[1].lineAddress, p + 512);
        QCOMPARE(f.frame.changes[1].newValue, 5);

        // At the cell's 60 degrees a step only beeps: no box while online.
        f.leftSteps()[p] = 10;
        f.view->OnUpdate(kHintTables);
        QCOMPARE(f.cell(32, 16), QStringLiteral("60"));
        const int beeps = f.messages.beeps;
        QTest::keyClick(&f.grid(), Qt::Key_Plus, Qt::KeypadModifier);
        QVERIFY(f.messages.shown.empty());
        QVERIFY(f.messages.beeps > beeps);
        QCOMPARE(f.leftSteps()[p], 10);

        // The box's ignition map number is shown while online and checked
        // against the document when online mode ends.
        f.ignitionMapNumber() = 5;
        f.view->OnBoxEvent(comm::PT_LIVE_VALUE, 166 | (7 << 16));
        QCOMPARE(f.view->PremapShown(), 7);
        f.view->OnBoxEvent(comm::PT_ONLINE_ENDED, 0);
        QCOMPARE(f.messages.shown.size(), std::size_t{1});
        QCOMPARE(f.messages.shown[0].text,
                 std::string("Warning!\n\nIgnition Map Number (IGMN) in Box differs fom program value!\n\n"
                             "BOX:\t\t  7\nPROGRAM:\t  5\n\nPlease synchronize the value (receive or send the "
                             "Function Map)."));
        QCOMPARE(f.view->PremapShown(), 5);
        QVERIFY(f.view->CanSetTeethAndOffset());
    }

    void limitedDataIsToldOnceAndNotDuringATransfer()
    {
        Fixture f;
        f.leftSteps()[kPos] = 60; // 310 degrees
        f.rightSteps()[kPos + 3] = 255;
        f.view->OnUpdate(kHintTables);
        QCOMPARE(f.messages.shown.size(), std::size_t{1});
        QCOMPARE(f.messages.shown[0].text,
                 std::string("Some Ignition Box Data exceeded the maximum possible value and was limited!"));
        QCOMPARE(f.leftSteps()[kPos], 48);

        // A receive: the degrees are provisional while values arrive, the
        // message waits until the transfer has ended.
        f.view->SwitchGrid(kGridLeft);
        f.view->OnBoxEvent(comm::PT_RECEIVE_STARTED, 0);
        QVERIFY(!f.view->CanSetTeethAndOffset());
        f.leftSteps()[kPos] = 4;
        f.view->OnBoxEvent(comm::PT_VALUE_READ, 2); // the walk's first map value
        QCOMPARE(f.cell(kRow, 1), QStringLiteral("20"));
        f.view->OnBoxEvent(comm::PT_VALUE_READ, 0); // teeth: no cell
        QCOMPARE(f.grid().GetCell(32, 16)->GetBackClr(), grid::kColorDefault);
        f.leftSteps()[kPos + 1] = 200;
        f.view->OnUpdate(kHintTables);
        QCOMPARE(f.messages.shown.size(), std::size_t{1});
        f.leftSteps()[kPos + 2] = 200;
        f.view->OnBoxEvent(comm::PT_READ_DONE, 0);
        QCOMPARE(f.messages.shown.size(), std::size_t{2});
        QCOMPARE(f.cell(kRow, 1), QStringLiteral("30"));
        QVERIFY(f.grid().IsEditable());
    }

    void premapFollowsTheIgnitionMapNumber()
    {
        Fixture f;
        f.ignitionMapNumber() = 30;
        f.view->OnUpdate(kHintAll);
        QCOMPARE(f.cell(0, 0), QStringLiteral("No: 30"));
        QCOMPARE(f.cell(kRow, 1), QString());

        // Premap.cfg as shipped, static point 10: curve byte 16 (offset + 5)
        // + 15 - row for column 1 (offset 0) and column 16 (offset 8).
        f.view->SelectPremap(5);
        QCOMPARE(f.cell(0, 0), QStringLiteral("No: 5"));
        QCOMPARE(f.cell(kRow, 1), QStringLiteral("19"));
        QCOMPARE(f.cell(32, 1), QStringLiteral("46"));
        QCOMPARE(f.cell(kRow, 16), QStringLiteral("18"));

        // A file read into a scratch document and copied over zeroes the
        // premap display; the update lays it again.
        CMorvexDoc scratch(f.core.adapt(), f.core.limits(), f.core.info());
        scratch.OnNewDocument();
        scratch.GetBoxData(box::PARAMETERS)[1] = 10;
        scratch.GetBoxData(box::TAB_SFD2)[2] = 5;
        f.doc->TakeContentsFrom(scratch);
        QCOMPARE(f.doc->GetBoxData(rec::REC_IGNITION_WORK)[256], 0);
        f.view->OnUpdate(kHintAll);
        QCOMPARE(f.doc->GetBoxData(rec::REC_IGNITION_WORK)[256], 19);
        QCOMPARE(f.cell(kRow, 1), QStringLiteral("19"));
    }

    void teethAndOffsetByKeyboard()
    {
        Fixture f;
        QSignalSpy spy(f.view.get(), &CDOS_IgnitionView::staticPointChanged);
        f.view->SetTeethAndOffset();
        QPointer<CAngleDlg2> dialog = f.view->findChild<CAngleDlg2*>();
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Set Teeth and Offset"));
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QCOMPARE(QApplication::focusWidget(), dialog->TeethBox());
        QCOMPARE(dialog->DegreesPerStep(), QStringLiteral("5.00"));
        auto keys = [](const char* text) { QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(text)); };
        auto key = [](Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); };

        // Out of range: the message names the range and the dialog stays.
        keys("200");
        QCOMPARE(dialog->DegreesPerStep(), QStringLiteral("0.90"));
        key(Qt::Key_Return);
        QCOMPARE(f.messages.shown.size(), std::size_t{1});
        QCOMPARE(f.messages.shown[0].text, std::string("Please enter an integer between 6 and 180."));
        QVERIFY(dialog->isVisible());

        keys("72");
        QCOMPARE(dialog->DegreesPerStep(), QStringLiteral("2.50"));
        key(Qt::Key_Tab);
        keys("5");
        key(Qt::Key_Return);
        QTRY_VERIFY(dialog.isNull());
        QCOMPARE(f.parameters()[0], 72);
        QCOMPARE(f.parameters()[1], 5);
        QCOMPARE(spy.count(), 1);

        // Esc leaves everything as it was.
        f.view->SetTeethAndOffset();
        dialog = f.view->findChild<CAngleDlg2*>();
        QVERIFY(dialog != nullptr);
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        keys("90");
        key(Qt::Key_Escape);
        QTRY_VERIFY(dialog.isNull());
        QCOMPARE(f.parameters()[0], 72);
    }

    void heldArrowsSpeedUpWithinTheRange()
    {
        CAngleDlg2 dialog(170, 0, nullptr);
        qint64 now = 0;
        CAcceleratedSpinBox* teeth = dialog.TeethBox();
        teeth->SetClock([&now] { return now; });
        auto key = [teeth](QEvent::Type type, Qt::Key k) {
            QKeyEvent event(type, k, Qt::NoModifier);
            QApplication::sendEvent(teeth, &event);
        };
        // Held down: the spin box's repeat steps 1, then 5 after 2 s, then
        // 20 after 5 s.
        key(QEvent::KeyPress, Qt::Key_Down);
        QCOMPARE(teeth->value(), 169);
        now = 2500;
        teeth->stepBy(-1);
        QCOMPARE(teeth->value(), 164);
        now = 5500;
        teeth->stepBy(-1);
        QCOMPARE(teeth->value(), 144);
        // A step that would leave 6..180 is refused.
        teeth->setValue(170);
        teeth->stepBy(1);
        QCOMPARE(teeth->value(), 170);
        key(QEvent::KeyRelease, Qt::Key_Down);
        key(QEvent::KeyPress, Qt::Key_Down);
        QCOMPARE(teeth->value(), 169);
        key(QEvent::KeyRelease, Qt::Key_Down);
    }
};

QTEST_MAIN(IgnitionViewTest)
#include "IgnitionViewTest.moc"
