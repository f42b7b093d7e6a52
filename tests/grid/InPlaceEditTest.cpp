#include "GridTestSupport.h"

#include "grid/InPlaceEdit.h"
#include "grid/ValueGridCtrl.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

using namespace morvex::grid;
using namespace morvex::grid::test;

namespace {

template <class Cell, class Grid> Cell& CellAt(Grid& grid, int row, int col)
{
    auto* cell = dynamic_cast<Cell*>(grid.GetCell(row, col));
    if (cell == nullptr) {
        qFatal("unexpected cell class at (%d, %d)", row, col);
    }
    return *cell;
}

} // namespace

class InPlaceEditTest : public QObject {
    Q_OBJECT

private slots:
    void typingThreeHundredStopsAtThirtyWithABeep()
    {
        Fixture<CValueGridCtrl> f;
        QTest::keyClicks(&f.grid, "300");
        CInPlaceEdit* editor = f.grid.GetEditWnd();
        QVERIFY(editor != nullptr);
        QCOMPARE(editor->text(), QStringLiteral("30"));
        QCOMPARE(editor->cursorPosition(), 2);
        QCOMPARE(f.beeps, 1);

        QTest::keyClick(&f.grid, Qt::Key_Return);
        QVERIFY(!f.grid.IsEditing());
        QCOMPARE(f.Text(1, 1), QStringLiteral("30"));
        QCOMPARE(f.recorder.Count(GRID_NOTIFY_END_EDIT), 1);
        QVERIFY(f.grid.GetModified(1, 1));
    }

    void rejectedKeyRestoresTextAndSelection()
    {
        Fixture<CValueGridCtrl> f;
        f.grid.SetItemText(1, 1, QStringLiteral("120"));
        QTest::keyClick(&f.grid, Qt::Key_Return); // caret at the end, nothing selected
        CInPlaceEdit* editor = f.grid.GetEditWnd();
        QVERIFY(editor != nullptr);
        QVERIFY(!editor->hasSelectedText());
        editor->setSelection(0, 1);
        QTest::keyClick(&f.grid, Qt::Key_9); // "920" is above 250
        QCOMPARE(f.beeps, 1);
        QCOMPARE(editor->text(), QStringLiteral("120"));
        QCOMPARE(editor->selectedText(), QStringLiteral("1"));
        QCOMPARE(editor->selectionStart(), 0);

        QTest::keyClick(&f.grid, Qt::Key_2); // "220" fits
        QCOMPARE(editor->text(), QStringLiteral("220"));
        QCOMPARE(editor->cursorPosition(), 1);

        QTest::keyClick(&f.grid, 'a');
        QTest::keyClick(&f.grid, ' ');
        QCOMPARE(f.beeps, 3);
        QCOMPARE(editor->text(), QStringLiteral("220"));
    }

    void steppingCharactersEndTheEditAndStep()
    {
        Fixture<CValueGridCtrl> f;
        f.grid.SetItemText(1, 1, QStringLiteral("5"));
        QTest::keyClick(&f.grid, '7');
        QTest::keyClick(&f.grid, '*');
        QVERIFY(!f.grid.IsEditing());
        QCOMPARE(f.Text(1, 1), QStringLiteral("17"));
        const auto ends = f.recorder.Of(GRID_NOTIFY_END_EDIT);
        QCOMPARE(ends.size(), size_t{2});
        QCOMPARE(ends[0].text, QStringLiteral("7")); // the typed text first
        QCOMPARE(ends[1].text, QStringLiteral("17"));
        QCOMPARE(f.beeps, 0);

        QTest::keyClick(&f.grid, '3');
        QTest::keyClick(&f.grid, '+'); // unsigned: "+" steps
        QCOMPARE(f.Text(1, 1), QStringLiteral("4"));
        QTest::keyClick(&f.grid, '9');
        QTest::keyClick(&f.grid, '-');
        QCOMPARE(f.Text(1, 1), QStringLiteral("8"));
        QTest::keyClick(&f.grid, '_');
        QCOMPARE(f.Text(1, 1), QStringLiteral("-2"));
    }

    void signedEditorTakesOneLeadingOrTrailingSign()
    {
        Fixture<CValueGridCtrl> f;
        auto& cell = CellAt<CGridCelll250>(f.grid, 1, 1);
        cell.SetSigned(true);
        cell.SetMinimum(-100);
        cell.SetMaximum(100);

        QTest::keyClick(&f.grid, '-'); // with no editor open a minus steps the cell
        QVERIFY(!f.grid.IsEditing());
        QCOMPARE(f.Text(1, 1), QStringLiteral("-1"));

        QTest::keyClick(&f.grid, Qt::Key_Return);
        CInPlaceEdit* editor = f.grid.GetEditWnd();
        QVERIFY(editor != nullptr);
        editor->selectAll();
        QTest::keyClick(&f.grid, '-');
        QCOMPARE(editor->text(), QStringLiteral("-")); // a lone minus stays
        QTest::keyClick(&f.grid, '5');
        QCOMPARE(editor->text(), QStringLiteral("-5"));
        QTest::keyClick(&f.grid, '-'); // second sign
        QCOMPARE(editor->text(), QStringLiteral("-5"));
        QCOMPARE(f.beeps, 1);
        QTest::keyClick(&f.grid, Qt::Key_Return);
        QCOMPARE(f.Text(1, 1), QStringLiteral("-5"));

        QTest::keyClicks(&f.grid, "12-"); // trailing minus negates
        editor = f.grid.GetEditWnd();
        QCOMPARE(editor->text(), QStringLiteral("-12"));
        QTest::keyClick(&f.grid, '+'); // "-12+": a plus only leads
        QCOMPARE(editor->text(), QStringLiteral("-12"));
        QCOMPARE(f.beeps, 2);
        QTest::keyClick(&f.grid, Qt::Key_Escape);
        QCOMPARE(f.Text(1, 1), QStringLiteral("-5"));

        QTest::keyClicks(&f.grid, "5+");
        QCOMPARE(f.grid.GetEditWnd()->text(), QStringLiteral("5"));
        QCOMPARE(f.beeps, 3);
        QTest::keyClicks(&f.grid, "0-0"); // "50-" -> "-50", then "-500" is out of range
        QCOMPARE(f.grid.GetEditWnd()->text(), QStringLiteral("-50"));
        QCOMPARE(f.beeps, 4);
        QTest::keyClick(&f.grid, Qt::Key_Escape);
    }

    void signedRangeIsTestedBeforeTheTrailingMinus()
    {
        Fixture<CValueGridCtrl> f;
        CellAt<CGridCelll250>(f.grid, 1, 1).SetSigned(true); // range 0..250
        QTest::keyClick(&f.grid, Qt::Key_Return);
        f.grid.GetEditWnd()->selectAll();
        QTest::keyClicks(&f.grid, "-5");
        QCOMPARE(f.grid.GetEditWnd()->text(), QStringLiteral("-"));
        QCOMPARE(f.beeps, 1);
        QTest::keyClick(&f.grid, Qt::Key_Escape);
        QTest::keyClicks(&f.grid, "5-");
        QCOMPARE(f.grid.GetEditWnd()->text(), QStringLiteral("-5"));
        QCOMPARE(f.beeps, 1);
        QTest::keyClick(&f.grid, Qt::Key_Escape);
    }

    void positiveMinimumStillLetsTheValueBeTyped()
    {
        Fixture<CValueGridCtrl> f;
        auto& cell = CellAt<CGridCelll250>(f.grid, 1, 1);
        cell.SetMinimum(500);
        cell.SetMaximum(16000);
        QTest::keyClicks(&f.grid, "1500");
        QCOMPARE(f.grid.GetEditWnd()->text(), QStringLiteral("1500"));
        QCOMPARE(f.beeps, 0);
        QTest::keyClick(&f.grid, Qt::Key_Escape);
        QTest::keyClicks(&f.grid, "20000");
        QCOMPARE(f.grid.GetEditWnd()->text(), QStringLiteral("2000"));
        QCOMPARE(f.beeps, 1);
        QTest::keyClick(&f.grid, Qt::Key_Escape);
    }

    void backspaceAndDeleteAreChecked()
    {
        Fixture<CValueGridCtrl> f;
        f.grid.SetItemText(1, 1, QStringLiteral("123"));
        QTest::keyClick(&f.grid, Qt::Key_F2);
        CInPlaceEdit* editor = f.grid.GetEditWnd();
        QTest::keyClick(&f.grid, Qt::Key_Backspace);
        QCOMPARE(editor->text(), QStringLiteral("12"));
        QTest::keyClick(&f.grid, Qt::Key_Home);
        QTest::keyClick(&f.grid, Qt::Key_Delete);
        QCOMPARE(editor->text(), QStringLiteral("2"));
        QCOMPARE(editor->cursorPosition(), 0);
        QTest::keyClick(&f.grid, Qt::Key_End);
        QTest::keyClick(&f.grid, Qt::Key_Backspace);
        QCOMPARE(editor->text(), QString()); // an empty text stays empty
        QCOMPARE(f.beeps, 0);
        QTest::keyClick(&f.grid, Qt::Key_Escape);

        CellAt<CGridCelll250>(f.grid, 1, 1).SetMinimum(-10); // below a non-positive minimum: rejected
        CellAt<CGridCelll250>(f.grid, 1, 1).SetSigned(true);
        f.grid.SetItemText(1, 1, QStringLiteral("-15"));
        QTest::keyClick(&f.grid, Qt::Key_F2);
        editor = f.grid.GetEditWnd();
        QTest::keyClick(&f.grid, Qt::Key_Left);
        QTest::keyClick(&f.grid, Qt::Key_Backspace); // "-5" fits
        QCOMPARE(editor->text(), QStringLiteral("-5"));
        QTest::keyClick(&f.grid, Qt::Key_Home);
        QTest::keyClick(&f.grid, Qt::Key_Right);
        QTest::keyClick(&f.grid, '9'); // "-95" does not
        QCOMPARE(editor->text(), QStringLiteral("-5"));
        QCOMPARE(f.beeps, 1);
        QTest::keyClick(&f.grid, Qt::Key_Escape);
    }

    void doubleEditorRewritesWithItsFormat()
    {
        Fixture<CValueGridCtrl, CGridCellDouble> f;
        auto& cell = CellAt<CGridCellDouble>(f.grid, 1, 1);
        cell.SetDecimals(true);
        cell.SetMaximum(100);

        QTest::keyClick(&f.grid, '1');
        CInPlaceEdit* editor = f.grid.GetEditWnd();
        QCOMPARE(editor->text(), QStringLiteral("1.00"));
        QCOMPARE(editor->cursorPosition(), 1);
        QTest::keyClick(&f.grid, '.'); // over the separator: steps past it
        QCOMPARE(editor->text(), QStringLiteral("1.00"));
        QCOMPARE(editor->cursorPosition(), 2);
        QTest::keyClick(&f.grid, '.'); // a second separator
        QCOMPARE(editor->text(), QStringLiteral("1.00"));
        QCOMPARE(f.beeps, 1);
        QTest::keyClick(&f.grid, '2');
        QCOMPARE(editor->text(), QStringLiteral("1.20"));
        editor->setCursorPosition(0);
        QTest::keyClick(&f.grid, '1');
        QCOMPARE(editor->text(), QStringLiteral("11.20"));
        QTest::keyClick(&f.grid, Qt::Key_Return);
        QCOMPARE(f.Text(1, 1), QStringLiteral("11.20"));

        f.grid.SetItemText(1, 1, QStringLiteral("21.50"));
        QTest::keyClick(&f.grid, Qt::Key_Return);
        editor = f.grid.GetEditWnd();
        QTest::keyClick(&f.grid, Qt::Key_Backspace); // "21.5" -> "21.50", caret one left
        QCOMPARE(editor->text(), QStringLiteral("21.50"));
        QCOMPARE(editor->cursorPosition(), 4);
        editor->selectAll();
        QTest::keyClick(&f.grid, '.'); // the separator alone: caret after it
        QCOMPARE(editor->text(), QStringLiteral("0.00"));
        QCOMPARE(editor->cursorPosition(), 2);
        editor->selectAll();
        QTest::keyClick(&f.grid, Qt::Key_Backspace); // empty becomes the formatted zero
        QCOMPARE(editor->text(), QStringLiteral("0.00"));
        QCOMPARE(editor->cursorPosition(), 0);
        QTest::keyClick(&f.grid, Qt::Key_Escape);

        cell.SetDecimals(false);
        QTest::keyClick(&f.grid, '.');
        QCOMPARE(f.grid.GetEditWnd()->text(), QStringLiteral("21.50"));
        QCOMPARE(f.beeps, 2);
        QTest::keyClick(&f.grid, Qt::Key_Escape);
    }

    void textEditorKeepsItsMaximumLength()
    {
        Fixture<CValueGridCtrl, CGridCellText> f;
        CellAt<CGridCellText>(f.grid, 1, 1).SetMaxLength(4);
        QTest::keyClicks(&f.grid, "ABCDE");
        CInPlaceEdit* editor = f.grid.GetEditWnd();
        QCOMPARE(editor->text(), QStringLiteral("ABCD"));
        QCOMPARE(f.beeps, 1);
        QGuiApplication::clipboard()->setText(QStringLiteral("XYZ"));
        editor->setSelection(1, 1);
        QTest::keyClick(&f.grid, Qt::Key_V, Qt::ControlModifier); // "AXYZCD" is too long
        QCOMPARE(editor->text(), QStringLiteral("ABCD"));
        QCOMPARE(editor->selectedText(), QStringLiteral("B"));
        QCOMPARE(f.beeps, 2);
        QTest::keyClick(&f.grid, Qt::Key_Return);
        QCOMPARE(f.Text(1, 1), QStringLiteral("ABCD"));
    }

    void escapeRestoresTheTextWithoutAnEdit()
    {
        Fixture<CGridCtrl, CGridCell> f;
        f.grid.SetItemText(1, 1, QStringLiteral("abc"));
        QTest::keyClicks(&f.grid, "xyz");
        QCOMPARE(f.grid.GetEditWnd()->text(), QStringLiteral("xyz"));
        QTest::keyClick(&f.grid, Qt::Key_Escape);
        QVERIFY(!f.grid.IsEditing());
        QCOMPARE(f.Text(1, 1), QStringLiteral("abc"));
        QCOMPARE(f.recorder.Count(GRID_NOTIFY_END_EDIT), 0);
        QVERIFY(!f.grid.GetModified(1, 1));
    }

    void arrowKeysEndTheEditOnlyWhenItBeganWithAKey()
    {
        Fixture<CGridCtrl, CGridCell> f;
        QTest::keyClick(&f.grid, 'q');
        QTest::keyClick(&f.grid, Qt::Key_Right);
        QVERIFY(!f.grid.IsEditing());
        QCOMPARE(f.Text(1, 1), QStringLiteral("q"));
        QCOMPARE(f.grid.GetFocusCell(), CCellID(1, 2));

        QTest::keyClick(&f.grid, Qt::Key_Return); // caret movement
        CInPlaceEdit* editor = f.grid.GetEditWnd();
        QVERIFY(editor != nullptr);
        QTest::keyClick(&f.grid, Qt::Key_Left);
        QVERIFY(f.grid.IsEditing());
        QCOMPARE(editor->cursorPosition(), 0);
        QTest::keyClick(&f.grid, Qt::Key_Down, Qt::ControlModifier); // Ctrl always ends
        QVERIFY(!f.grid.IsEditing());
        QCOMPARE(f.grid.GetFocusCell(), CCellID(2, 2));

        f.grid.SetItemText(2, 2, QStringLiteral("abc"));
        QTest::keyClick(&f.grid, Qt::Key_F2);
        editor = f.grid.GetEditWnd();
        QVERIFY(!editor->ExitsOnArrows());
        QTest::keyClick(&f.grid, Qt::Key_F2); // now arrows end the edit; all selected
        QVERIFY(editor->ExitsOnArrows());
        QCOMPARE(editor->selectedText(), QStringLiteral("abc"));
        QTest::keyClick(&f.grid, Qt::Key_F2); // back to caret movement, caret at the end
        QVERIFY(!editor->hasSelectedText());
        QCOMPARE(editor->cursorPosition(), 3);
        QTest::keyClick(&f.grid, Qt::Key_F2);
        QTest::keyClick(&f.grid, Qt::Key_Up);
        QVERIFY(!f.grid.IsEditing());
        QCOMPARE(f.grid.GetFocusCell(), CCellID(1, 2));
    }

    void tabEndsTheEditAndMovesOn()
    {
        Fixture<CValueGridCtrl> f;
        QTest::keyClick(&f.grid, '7');
        QTest::keyClick(&f.grid, Qt::Key_Tab);
        QCOMPARE(f.Text(1, 1), QStringLiteral("7"));
        QCOMPARE(f.grid.GetFocusCell(), CCellID(1, 2));
        QTest::keyClick(&f.grid, '8');
        QTest::keyClick(&f.grid, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(f.Text(1, 2), QStringLiteral("8"));
        QCOMPARE(f.grid.GetFocusCell(), CCellID(1, 1));
    }

    void editorGrowsWithItsTextUpToTheGridsEdge()
    {
        Fixture<CValueGridCtrl, CGridCellText> f(3, 3);
        CellAt<CGridCellText>(f.grid, 1, 2).SetMaxLength(400);
        f.Focus(1, 2);
        QTest::keyClick(&f.grid, 'W');
        CInPlaceEdit* editor = f.grid.GetEditWnd();
        const int startWidth = f.grid.GetColumnWidth(2) - 1;
        QCOMPARE(editor->width(), startWidth);
        QTest::keyClicks(&f.grid, "WWWW");
        QVERIFY(editor->width() > startWidth);
        QVERIFY(editor->x() + editor->width() < f.grid.viewport()->width());
        QTest::keyClicks(&f.grid, QString(150, QLatin1Char('W')));
        QCOMPARE(editor->x() + editor->width(), f.grid.viewport()->width());
        QCOMPARE(editor->text().size(), 155);
        QTest::keyClick(&f.grid, Qt::Key_Escape);
    }

    void labelCellIsEditedRightOfItsLabel()
    {
        Fixture<CValueGridCtrl, CGridCellLabel> f;
        auto& cell = CellAt<CGridCellLabel>(f.grid, 1, 1);
        cell.SetLabelText(QStringLiteral("1000"));
        f.grid.AutoSize();
        const int labelWidth = cell.GetLabelWidth();
        QVERIFY(labelWidth > 0);
        QRect rect;
        QVERIFY(f.grid.GetCellRect(1, 1, rect));

        // The focus cell's label is painted as the header of its row.
        const QImage before = f.grid.viewport()->grab().toImage();
        QCOMPARE(before.pixelColor(rect.left() + 2, rect.bottom() - 3), QColor(192, 0, 0));

        QTest::keyClicks(&f.grid, "300");
        CInPlaceEdit* editor = f.grid.GetEditWnd();
        QCOMPARE(editor->geometry().left(), rect.left() + labelWidth);
        QCOMPARE(editor->text(), QStringLiteral("30"));
        QCOMPARE(f.beeps, 1);
        const QImage during = f.grid.viewport()->grab().toImage();
        QCOMPARE(during.pixelColor(rect.left() + 2, rect.bottom() - 3), QColor(192, 0, 0));
        QTest::keyClick(&f.grid, Qt::Key_Return);
        QCOMPARE(f.Text(1, 1), QStringLiteral("30"));
        QCOMPARE(cell.GetLabelText(), QStringLiteral("1000"));
    }
};

QTEST_MAIN(InPlaceEditTest)
#include "InPlaceEditTest.moc"
