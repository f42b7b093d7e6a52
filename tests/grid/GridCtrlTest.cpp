#include "GridTestSupport.h"

#include "grid/InPlaceEdit.h"
#include "grid/ValueGridCtrl.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

using namespace morvex::grid;
using namespace morvex::grid::test;

namespace {

QPoint Centre(const CGridCtrl& grid, int row, int col)
{
    QRect rect;
    const bool visible = grid.GetCellRect(row, col, rect);
    Q_ASSERT(visible);
    return rect.center();
}

QColor PixelIn(CGridCtrl& grid, int row, int col, int dx, int dy)
{
    QRect rect;
    grid.GetCellRect(row, col, rect);
    const QImage image = grid.viewport()->grab().toImage();
    const int x = dx >= 0 ? rect.left() + dx : rect.right() + dx;
    const int y = dy >= 0 ? rect.top() + dy : rect.bottom() + dy;
    return image.pixelColor(x, y);
}

void DragTo(CGridCtrl& grid, int row, int col)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(Centre(grid, row, col)),
                     QPointF(grid.viewport()->mapToGlobal(Centre(grid, row, col))), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(grid.viewport(), &move);
}

// The cell at (row, col) as the cell class a test set up.
template <class Cell> Cell& As(CGridCtrl& grid, int row, int col)
{
    auto* cell = dynamic_cast<Cell*>(grid.GetCell(row, col));
    if (cell == nullptr) {
        qFatal("unexpected cell class at (%d, %d)", row, col);
    }
    return *cell;
}

std::vector<CCellID> Cells(std::initializer_list<CCellID> cells)
{
    return cells;
}

} // namespace

class GridCtrlTest : public QObject {
    Q_OBJECT

private slots:
    void ownersAnswerDecidesAboutTheNewText()
    {
        Fixture<CValueGridCtrl> f;
        QVERIFY(f.grid.SetItemTextNotify(1, 1, QStringLiteral("5")));
        QCOMPARE(f.recorder.calls.size(), size_t{2});
        QCOMPARE(f.recorder.calls[0].code, GRID_NOTIFY_BEGIN_EDIT);
        QCOMPARE(f.recorder.calls[0].text, QStringLiteral("0")); // asked before the change
        QCOMPARE(f.recorder.calls[1].code, GRID_NOTIFY_END_EDIT);
        QCOMPARE(f.recorder.calls[1].text, QStringLiteral("5")); // told after it
        QVERIFY(f.grid.GetModified(1, 1));

        f.recorder.Clear(); // the same text again: asked, nothing changes
        QVERIFY(!f.grid.SetItemTextNotify(1, 1, QStringLiteral("5")));
        QCOMPARE(f.recorder.Count(GRID_NOTIFY_BEGIN_EDIT), 1);
        QCOMPARE(f.recorder.Count(GRID_NOTIFY_END_EDIT), 0);

        f.recorder.answer = [&f](int code, int row, int col) {
            if (code == GRID_NOTIFY_END_EDIT) {
                f.grid.SetItemText(row, col, QStringLiteral("8")); // the owner's own text
                return GRID_ANSWER_KEEP_TEXT;
            }
            return 0;
        };
        QVERIFY(f.grid.SetItemTextNotify(1, 2, QStringLiteral("7")));
        QCOMPARE(f.Text(1, 2), QStringLiteral("8"));
        QVERIFY(!f.grid.GetModified(1, 2));

        for (const int veto : {-1, -2, -106}) {
            f.recorder.answer = [veto](int code, int, int) { return code == GRID_NOTIFY_END_EDIT ? veto : 0; };
            QVERIFY(!f.grid.SetItemTextNotify(1, 3, QStringLiteral("9")));
            QCOMPARE(f.Text(1, 3), QStringLiteral("0"));
            QVERIFY(!f.grid.GetModified(1, 3));
        }
    }

    void beginEditVetoLeavesTheCellAlone()
    {
        Fixture<CValueGridCtrl> f;
        f.grid.SetItemText(1, 1, QStringLiteral("3"));
        f.recorder.answer = [](int code, int, int) { return code == GRID_NOTIFY_BEGIN_EDIT ? -1 : 0; };
        QTest::keyClick(&f.grid, '5');
        QVERIFY(!f.grid.IsEditing());
        QTest::keyClick(&f.grid, Qt::Key_Return);
        QVERIFY(!f.grid.IsEditing());
        QTest::keyClick(&f.grid, '+');
        QTest::keyClick(&f.grid, Qt::Key_Delete);
        f.grid.PasteText(QStringLiteral("4"));
        QVERIFY(!f.grid.SetItemTextNotify(1, 1, QStringLiteral("6")));
        QCOMPARE(f.Text(1, 1), QStringLiteral("3"));
        QCOMPARE(f.recorder.Count(GRID_NOTIFY_END_EDIT), 0);
        QVERIFY(f.recorder.Count(GRID_NOTIFY_BEGIN_EDIT) >= 6);
    }

    void readOnlyFixedAndNonEditableCellsAreNeverAsked()
    {
        Fixture<CValueGridCtrl> f;
        f.grid.SetItemState(1, 1, GVIS_READONLY);
        QVERIFY(!f.grid.SetItemTextNotify(1, 1, QStringLiteral("5")));
        QTest::keyClick(&f.grid, '+');
        QTest::keyClick(&f.grid, '5');
        QVERIFY(!f.grid.IsEditing());
        QVERIFY(!f.grid.SetItemTextNotify(0, 1, QStringLiteral("5")));
        f.grid.SetEditable(false);
        QVERIFY(!f.grid.SetItemTextNotify(1, 2, QStringLiteral("5")));
        f.Focus(1, 2);
        QTest::keyClick(&f.grid, '5');
        QVERIFY(!f.grid.IsEditing());
        QVERIFY(f.recorder.Of(GRID_NOTIFY_BEGIN_EDIT).empty());
        QVERIFY(f.recorder.Of(GRID_NOTIFY_END_EDIT).empty());
        QCOMPARE(f.Text(1, 1), QStringLiteral("0"));
        QCOMPARE(f.Text(1, 2), QStringLiteral("0"));
    }

    void shiftPlusStepsTheSelectionByTen()
    {
        Fixture<CValueGridCtrl> f;
        f.grid.SetItemText(1, 1, QStringLiteral("5"));
        f.grid.SetItemText(1, 2, QStringLiteral("7"));
        f.grid.SetItemText(1, 3, QStringLiteral("9"));
        f.grid.SetSelectedRange(1, 1, 1, 3);
        QTest::keyClick(&f.grid, '+', Qt::ShiftModifier);
        QCOMPARE(f.Text(1, 1), QStringLiteral("15"));
        QCOMPARE(f.Text(1, 2), QStringLiteral("17"));
        QCOMPARE(f.Text(1, 3), QStringLiteral("19"));
        QCOMPARE(f.recorder.Count(GRID_NOTIFY_END_EDIT), 3);
        QVERIFY(!f.grid.IsEditing());
    }

    void steppingKeysAndTheSingleStepFlag()
    {
        Fixture<CValueGridCtrl> f;
        struct Case {
            char key;
            Qt::KeyboardModifiers mods;
            int step;
            const char* expected;
            bool single;
        };
        const Case cases[] = {
            {'+', Qt::NoModifier, 1, "1", true},       {'*', Qt::NoModifier, 1, "11", false},
            {'-', Qt::NoModifier, 1, "10", true},      {'_', Qt::NoModifier, 1, "0", false},
            {'-', Qt::ShiftModifier, 1, "-10", false}, {'+', Qt::NoModifier, 2, "-8", false},
            {'*', Qt::NoModifier, 2, "12", false},
        };
        for (const Case& c : cases) {
            f.grid.SetStep(c.step);
            f.recorder.Clear();
            QTest::keyClick(&f.grid, c.key, c.mods);
            QCOMPARE(f.Text(1, 1), QString::fromLatin1(c.expected));
            const auto ends = f.recorder.Of(GRID_NOTIFY_END_EDIT);
            QCOMPARE(ends.size(), size_t{1});
            QCOMPARE(ends[0].singleStep, c.single);
            QVERIFY(!f.grid.IsSingleStepInProgress());
        }
    }

    void shiftEnterWritesTheSelectionWithOneVeto()
    {
        Fixture<CValueGridCtrl> f;
        const char* texts[] = {"1", "2", "3", "42"};
        for (int c = 1; c <= 4; ++c) {
            f.grid.SetItemText(2, c, QString::fromLatin1(texts[c - 1]));
        }
        f.grid.SetSelectedRange(2, 1, 2, 4);
        f.grid.SetFocusCell(2, 1);
        f.recorder.answer = [](int code, int row, int col) {
            return code == GRID_NOTIFY_END_EDIT && row == 2 && col == 3 ? -1 : 0;
        };
        QTest::keyClicks(&f.grid, "42");
        QTest::keyClick(&f.grid, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(f.Text(2, 1), QStringLiteral("42"));
        QCOMPARE(f.Text(2, 2), QStringLiteral("42"));
        QCOMPARE(f.Text(2, 3), QStringLiteral("3")); // vetoed: old text back
        QCOMPARE(f.Text(2, 4), QStringLiteral("42"));
        const auto ends = f.recorder.Of(GRID_NOTIFY_END_EDIT);
        QCOMPARE(ends.size(), size_t{3}); // (2,4) already held the text
        QCOMPARE(CCellID(ends[0].row, ends[0].col), CCellID(2, 2));
        QCOMPARE(CCellID(ends[1].row, ends[1].col), CCellID(2, 3));
        QCOMPARE(CCellID(ends[2].row, ends[2].col), CCellID(2, 1)); // the edited cell last

        f.recorder.Clear(); // plain Enter writes the edited cell only
        QTest::keyClicks(&f.grid, "7");
        QTest::keyClick(&f.grid, Qt::Key_Return);
        QCOMPARE(f.Text(2, 1), QStringLiteral("7"));
        QCOMPARE(f.Text(2, 2), QStringLiteral("42"));
    }

    void deleteAndCutWriteZero()
    {
        Fixture<CValueGridCtrl> f;
        for (int r = 1; r <= 2; ++r) {
            for (int c = 1; c <= 2; ++c) {
                f.grid.SetItemText(r, c, QStringLiteral("6"));
            }
        }
        f.grid.SetSelectedRange(1, 1, 2, 2);
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(&f.grid, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("6\t6\n6\t6\n"));
        QCOMPARE(f.Text(1, 1), QStringLiteral("0"));
        QCOMPARE(f.Text(2, 2), QStringLiteral("0"));
        QCOMPARE(f.recorder.Count(GRID_NOTIFY_END_EDIT), 4);

        f.grid.SetItemText(1, 2, QStringLiteral("9"));
        QTest::keyClick(&f.grid, Qt::Key_Delete);
        QCOMPARE(f.Text(1, 2), QStringLiteral("0"));
        QCOMPARE(f.recorder.Count(GRID_NOTIFY_END_EDIT), 5); // cells already "0" are left alone

        f.grid.SetItemText(1, 2, QStringLiteral("9"));
        f.grid.SetEditable(false);
        QTest::keyClick(&f.grid, Qt::Key_Delete);
        QTest::keyClick(&f.grid, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(f.Text(1, 2), QStringLiteral("9"));
    }

    void copyGivesTabsAndNewlines()
    {
        Fixture<CValueGridCtrl> f;
        f.grid.SetItemText(1, 1, QStringLiteral("a"));
        f.grid.SetItemText(1, 2, QStringLiteral("b"));
        f.grid.SetItemText(2, 1, QStringLiteral("c"));
        f.grid.SetItemText(2, 2, QStringLiteral("d"));
        f.grid.SetItemText(2, 3, QStringLiteral("f"));
        f.grid.SetSelectedRange(1, 1, 2, 2);
        QCOMPARE(f.grid.CopySelectionText(), QStringLiteral("a\tb\nc\td\n"));
        QTest::keyClick(&f.grid, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("a\tb\nc\td\n"));

        // Cells outside a multiple selection copy as empty fields.
        QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, {}, Centre(f.grid, 1, 1));
        QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, Qt::ControlModifier, Centre(f.grid, 2, 3));
        QCOMPARE(f.grid.GetSelectedCells(), Cells({{1, 1}, {2, 3}}));
        QCOMPARE(f.grid.CopySelectionText(), QStringLiteral("a\t\t\n\t\tf\n"));
    }

    void pasteGoesThroughTheOwnerWithThePasteFlag()
    {
        Fixture<CValueGridCtrl> f;
        f.Focus(2, 2);
        f.recorder.answer = [](int code, int row, int col) {
            return code == GRID_NOTIFY_END_EDIT && row == 3 && col == 3 ? -1 : 0;
        };
        f.grid.PasteText(QStringLiteral("1\t2\t3\n4\t5\t6\n"));
        QCOMPARE(f.Text(2, 2), QStringLiteral("1"));
        QCOMPARE(f.Text(2, 3), QStringLiteral("2"));
        QCOMPARE(f.Text(2, 4), QStringLiteral("3"));
        QCOMPARE(f.Text(3, 2), QStringLiteral("4"));
        QCOMPARE(f.Text(3, 3), QStringLiteral("0"));
        QCOMPARE(f.Text(3, 4), QStringLiteral("6"));
        QCOMPARE(f.Text(2, 5), QStringLiteral("0"));
        QCOMPARE(f.Text(4, 2), QStringLiteral("0"));
        const auto ends = f.recorder.Of(GRID_NOTIFY_END_EDIT);
        QCOMPARE(ends.size(), size_t{6});
        for (const auto& call : ends) {
            QVERIFY(call.paste);
        }
        QVERIFY(!f.grid.IsPasteInProgress());
        QCOMPARE(f.grid.GetSelectedCellRange(), CCellRange(2, 2, 3, 4));

        // From the clipboard, with spreadsheet line ends, clipped at the edge.
        f.recorder.answer = nullptr;
        f.Focus(16, 15);
        QGuiApplication::clipboard()->setText(QStringLiteral("7\t8\t9\r\n1\r\n"));
        QTest::keyClick(&f.grid, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(f.Text(16, 15), QStringLiteral("7"));
        QCOMPARE(f.Text(16, 16), QStringLiteral("8"));

        f.grid.SetInputEnabled(false);
        f.grid.PasteText(QStringLiteral("5"));
        QCOMPARE(f.Text(16, 15), QStringLiteral("7"));
    }

    void lockedGridSwallowsInputButSteps()
    {
        Fixture<CValueGridCtrl> f(12, 12);
        f.grid.SetItemText(1, 1, QStringLiteral("5"));
        f.grid.SetEditable(false);
        f.grid.SetInputEnabled(false);
        f.grid.SetLockedStepping(true);

        QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, {}, Centre(f.grid, 3, 3));
        QTest::mouseDClick(f.grid.viewport(), Qt::LeftButton, {}, Centre(f.grid, 3, 3));
        QTest::mouseClick(f.grid.viewport(), Qt::RightButton, {}, Centre(f.grid, 4, 4));
        QCOMPARE(f.grid.GetFocusCell(), CCellID(1, 1));
        QCOMPARE(f.grid.GetSelectedCells(), Cells({{1, 1}}));
        QVERIFY(!f.grid.IsEditing());
        QTest::keyClick(&f.grid, '7');
        QTest::keyClick(&f.grid, Qt::Key_Down);
        QTest::keyClick(&f.grid, Qt::Key_Delete);
        QVERIFY(!f.grid.IsEditing());
        QCOMPARE(f.grid.GetFocusCell(), CCellID(1, 1));
        QCOMPARE(f.Text(1, 1), QStringLiteral("5"));
        QVERIFY(f.recorder.calls.empty());

        QTest::keyClick(&f.grid, Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(f.Text(1, 1), QStringLiteral("6"));
        QCOMPARE(f.recorder.Count(GRID_NOTIFY_END_EDIT), 0);
        const auto steps = f.recorder.Of(GRID_NOTIFY_LOCKED_STEP);
        QCOMPARE(steps.size(), size_t{1});
        QCOMPARE(CCellID(steps[0].row, steps[0].col), CCellID(1, 1));
        QVERIFY(steps[0].singleStep);
        QCOMPARE(f.recorder.calls.front().code, GRID_NOTIFY_BEGIN_EDIT);

        QTest::keyClick(&f.grid, Qt::Key_Plus, Qt::KeypadModifier | Qt::ShiftModifier);
        QCOMPARE(f.Text(1, 1), QStringLiteral("16"));
        QTest::keyClick(&f.grid, Qt::Key_Minus);
        QCOMPARE(f.Text(1, 1), QStringLiteral("15"));
        QTest::keyClick(&f.grid, Qt::Key_Minus, Qt::KeypadModifier | Qt::ShiftModifier);
        QCOMPARE(f.Text(1, 1), QStringLiteral("5"));

        f.recorder.answer = [](int code, int, int) { return code == GRID_NOTIFY_LOCKED_STEP ? -1 : 0; };
        QTest::keyClick(&f.grid, Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(f.Text(1, 1), QStringLiteral("5"));
        QCOMPARE(f.recorder.Count(GRID_NOTIFY_LOCKED_STEP), 5);

        f.grid.SetLockedStepping(false);
        QTest::keyClick(&f.grid, Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(f.recorder.Count(GRID_NOTIFY_LOCKED_STEP), 5);

        // The wheel still scrolls a locked grid.
        f.grid.resize(200, 150);
        QCOMPARE(f.grid.verticalScrollBar()->value(), 0);
        QWheelEvent wheel(QPointF(50, 50), QPointF(f.grid.viewport()->mapToGlobal(QPoint(50, 50))), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(f.grid.viewport(), &wheel);
        QVERIFY(f.grid.verticalScrollBar()->value() > 0);
    }

    void lockedFunctionGridHandsOtherKeysToItsOwner()
    {
        Fixture<CFunctionGridCtrl, CGridCellLabel> f(12, 10);
        f.grid.SetItemText(1, 1, QStringLiteral("5"));
        f.grid.SetEditable(false);
        f.grid.SetInputEnabled(false);
        QTest::keyClick(&f.grid, Qt::Key_Left);
        QVERIFY(f.recorder.keys.empty());
        f.grid.SetLockedStepping(true);
        QTest::keyClick(&f.grid, Qt::Key_Left);
        QTest::keyClick(&f.grid, Qt::Key_Up);
        QCOMPARE(f.recorder.keys, (std::vector<int>{Qt::Key_Left, Qt::Key_Up}));
        QTest::keyClick(&f.grid, Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(f.Text(1, 1), QStringLiteral("6"));
        QCOMPARE(f.recorder.keys.size(), size_t{2});
    }

    void keyboardNavigationSkipsHiddenRowsAndColumns()
    {
        Fixture<CValueGridCtrl> f(6, 6);
        f.grid.SetColumnWidth(3, 0);
        f.grid.SetRowHeight(3, 0);
        f.Focus(1, 2);
        QTest::keyClick(&f.grid, Qt::Key_Right);
        QCOMPARE(f.grid.GetFocusCell(), CCellID(1, 4));
        QCOMPARE(f.recorder.Of(GRID_NOTIFY_SEL_CHANGED).back().col, 4);
        QTest::keyClick(&f.grid, Qt::Key_Down);
        QTest::keyClick(&f.grid, Qt::Key_Down);
        QCOMPARE(f.grid.GetFocusCell(), CCellID(4, 4));
        QTest::keyClick(&f.grid, Qt::Key_Tab);
        QTest::keyClick(&f.grid, Qt::Key_Tab);
        QCOMPARE(f.grid.GetFocusCell(), CCellID(5, 1)); // wrapped to the next row
        QTest::keyClick(&f.grid, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(f.grid.GetFocusCell(), CCellID(4, 5));
        QTest::keyClick(&f.grid, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(f.grid.GetFocusCell(), CCellID(1, 1));
        QTest::keyClick(&f.grid, Qt::Key_End);
        QCOMPARE(f.grid.GetFocusCell(), CCellID(1, 5));
        QTest::keyClick(&f.grid, Qt::Key_Home);

        QTest::keyClick(&f.grid, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(&f.grid, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(&f.grid, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(&f.grid, Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(f.grid.GetFocusCell(), CCellID(4, 4));
        QCOMPARE(f.grid.GetSelectedCells(),
                 Cells({{1, 1}, {1, 2}, {1, 4}, {2, 1}, {2, 2}, {2, 4}, {4, 1}, {4, 2}, {4, 4}}));
        QCOMPARE(f.grid.GetSelectedCellRange(), CCellRange(1, 1, 4, 4));

        // Hidden cells are never selected, so no key changes them unseen.
        f.grid.SetSelectedRange(1, 1, 5, 5);
        QCOMPARE(f.grid.GetSelectedCount(), 16);
        QTest::keyClick(&f.grid, '+');
        QCOMPARE(f.Text(3, 3), QStringLiteral("0"));
        QCOMPARE(f.Text(1, 3), QStringLiteral("0"));
        QCOMPARE(f.Text(5, 5), QStringLiteral("1"));
    }

    void mouseSelectsAndStartsEdits()
    {
        Fixture<CValueGridCtrl> f;
        QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, {}, Centre(f.grid, 2, 3));
        QCOMPARE(f.grid.GetFocusCell(), CCellID(2, 3));
        QCOMPARE(f.grid.GetSelectedCells(), Cells({{2, 3}}));
        QVERIFY(!f.grid.IsEditing());
        QCOMPARE(f.recorder.Of(GRID_NOTIFY_SEL_CHANGED).back().row, 2);

        QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, {}, Centre(f.grid, 2, 3)); // on the focus cell
        QVERIFY(f.grid.IsEditing());
        QVERIFY(!f.grid.GetEditWnd()->ExitsOnArrows());
        QTest::keyClick(&f.grid, Qt::Key_Escape);

        QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, Qt::ShiftModifier, Centre(f.grid, 4, 5));
        QCOMPARE(f.grid.GetSelectedCount(), 9);
        QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, Qt::ControlModifier, Centre(f.grid, 6, 6));
        QCOMPARE(f.grid.GetSelectedCount(), 10);
        QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, Qt::ControlModifier, Centre(f.grid, 6, 6));
        QCOMPARE(f.grid.GetSelectedCount(), 9);

        QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, {}, Centre(f.grid, 0, 4)); // column header
        QCOMPARE(f.grid.GetSelectedCellRange(), CCellRange(1, 4, 16, 4));
        QCOMPARE(f.grid.GetFocusCell(), CCellID(1, 4));
        QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, {}, Centre(f.grid, 5, 0)); // row header
        QCOMPARE(f.grid.GetSelectedCellRange(), CCellRange(5, 1, 5, 16));
        QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, {}, Centre(f.grid, 0, 0));
        QCOMPARE(f.grid.GetSelectedCount(), 256);

        QTest::mousePress(f.grid.viewport(), Qt::LeftButton, {}, Centre(f.grid, 1, 1));
        DragTo(f.grid, 3, 2);
        QTest::mouseRelease(f.grid.viewport(), Qt::LeftButton, {}, Centre(f.grid, 3, 2));
        QCOMPARE(f.grid.GetSelectedCellRange(), CCellRange(1, 1, 3, 2));
        QCOMPARE(f.grid.GetSelectedCount(), 6);
        QCOMPARE(f.grid.GetFocusCell(), CCellID(3, 2));
        QVERIFY(!f.grid.IsEditing());

        f.recorder.Clear();
        QTest::mouseDClick(f.grid.viewport(), Qt::LeftButton, {}, Centre(f.grid, 7, 7));
        QVERIFY(f.grid.IsEditing());
        QCOMPARE(f.grid.GetEditCell(), CCellID(7, 7));
        QCOMPARE(f.recorder.Count(GRID_NOTIFY_BEGIN_EDIT), 1); // one edit, not one per click
        QTest::keyClick(&f.grid, '9');
        QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, {}, Centre(f.grid, 8, 8)); // ends the edit
        QVERIFY(!f.grid.IsEditing());
        QCOMPARE(f.Text(7, 7), QStringLiteral("9"));
        QCOMPARE(f.grid.GetFocusCell(), CCellID(8, 8));
    }

    void focusHeadersAndMarkersAreDrawn()
    {
        Fixture<CValueGridCtrl> f;
        f.Focus(3, 4);
        QCOMPARE(PixelIn(f.grid, 0, 4, 3, 3), QColor(0, 192, 0));
        QCOMPARE(PixelIn(f.grid, 3, 0, 3, 3), QColor(192, 0, 0));
        QVERIFY(PixelIn(f.grid, 0, 5, 3, 3) != QColor(0, 192, 0));
        QVERIFY(PixelIn(f.grid, 4, 0, 3, 3) != QColor(192, 0, 0));

        f.grid.SetItemBkColour(0, 4, Rgb(10, 20, 30)); // a header's own colour wins
        QCOMPARE(PixelIn(f.grid, 0, 4, 3, 3), QColor(10, 20, 30));
        f.grid.SetTrackFocusCell(false);
        QVERIFY(PixelIn(f.grid, 3, 0, 3, 3) != QColor(192, 0, 0));

        auto* cell = &As<CGridCelll250>(f.grid, 6, 6);
        cell->SetRightMarker(true);
        const QColor black(0, 0, 0);
        const QColor white(255, 255, 255);
        QCOMPARE(PixelIn(f.grid, 6, 6, -6, 1), black);
        QCOMPARE(PixelIn(f.grid, 6, 6, 2, 1), white);
        cell->SetRightMarker(false);
        cell->SetLeftMarker(true);
        QCOMPARE(PixelIn(f.grid, 6, 6, -6, 1), white);
        QCOMPARE(PixelIn(f.grid, 6, 6, 2, 1), black);
        cell->SetRightMarker(true); // both: no marker
        QCOMPARE(PixelIn(f.grid, 6, 6, -6, 1), white);
        QCOMPARE(PixelIn(f.grid, 6, 6, 2, 1), white);

        Fixture<CGridCtrl, CGridCell> plain; // plain cells keep their header colours
        plain.Focus(3, 4);
        QVERIFY(PixelIn(plain.grid, 0, 4, 3, 3) != QColor(0, 192, 0));
    }

    void indexGridStepsByColumn()
    {
        Fixture<CIndexGridCtrl> f(17, 12);
        f.grid.SetCellType<CGridCellDouble>(1, 7);
        f.grid.SetCellType<CGridCellText>(1, 8);
        As<CGridCelll250>(f.grid, 1, 1).SetValueFormat(QStringLiteral("%0.0f"));

        const struct {
            const char* start;
            char key;
            const char* expected;
        } revolutions[] = {
            {"12000", '-', "11975"}, {"12000", '+', "12050"}, {"11975", '+', "12000"},
            {"12050", '-', "12000"}, {"12000", '*', "12500"}, {"12500", '_', "12000"},
        };
        for (const auto& step : revolutions) {
            f.grid.SetItemText(1, 1, QString::fromLatin1(step.start));
            QTest::keyClick(&f.grid, step.key);
            QCOMPARE(f.Text(1, 1), QString::fromLatin1(step.expected));
        }

        f.Focus(1, 7);
        f.grid.SetItemText(1, 7, QStringLiteral("0.45"));
        QTest::keyClick(&f.grid, '+');
        QCOMPARE(f.Text(1, 7), QStringLiteral("0.46"));
        QTest::keyClick(&f.grid, '_');
        QCOMPARE(f.Text(1, 7), QStringLiteral("0.36"));

        f.Focus(1, 3);
        f.grid.SetItemText(1, 3, QStringLiteral("5"));
        QTest::keyClick(&f.grid, '*');
        QCOMPARE(f.Text(1, 3), QStringLiteral("15"));

        // From column 8 on the keys are typed, not stepped.
        f.Focus(1, 8);
        f.grid.SetItemText(1, 8, QStringLiteral("AB"));
        QTest::keyClick(&f.grid, '+');
        QVERIFY(f.grid.IsEditing());
        QCOMPARE(f.grid.GetEditWnd()->text(), QStringLiteral("+"));
        QTest::keyClick(&f.grid, Qt::Key_Escape);
        f.grid.SetSelectedRange(1, 6, 1, 8);
        f.grid.SetFocusCell(1, 6);
        QTest::keyClick(&f.grid, '+');
        QCOMPARE(f.Text(1, 6), QStringLiteral("1"));
        QCOMPARE(f.Text(1, 8), QStringLiteral("AB"));

        f.grid.SetItemText(1, 9, QStringLiteral("x"));
        f.grid.SetItemText(1, 10, QStringLiteral("y"));
        f.grid.SetSelectedRange(1, 6, 1, 10);
        QTest::keyClick(&f.grid, Qt::Key_Delete);
        QCOMPARE(f.Text(1, 6), QStringLiteral("0"));
        QCOMPARE(f.Text(1, 7), QStringLiteral("0.00"));
        QCOMPARE(f.Text(1, 8), QString());
        QCOMPARE(f.Text(1, 9), QString());
        QCOMPARE(f.Text(1, 10), QStringLiteral("0"));
    }

    void functionGridClampsAndSparesTheLimitHighByte()
    {
        Fixture<CFunctionGridCtrl, CGridCellLabel> f(34, 10);
        auto* limited = &As<CGridCellLabel>(f.grid, 2, 2);
        limited->SetMaximum(20);
        f.grid.SetItemText(2, 2, QStringLiteral("15"));
        f.Focus(2, 2);
        QTest::keyClick(&f.grid, '*');
        QCOMPARE(f.Text(2, 2), QStringLiteral("20"));
        f.grid.SetItemText(2, 2, QStringLiteral("3"));
        QTest::keyClick(&f.grid, '_');
        QCOMPARE(f.Text(2, 2), QStringLiteral("0"));
        As<CGridCellLabel>(f.grid, 2, 3).SetValueFormat(QStringLiteral("%3d"));
        f.Focus(2, 3);
        QTest::keyClick(&f.grid, '+');
        QCOMPARE(f.Text(2, 3), QStringLiteral("  1"));

        f.grid.SetSelectedRange(30, 5, 31, 5);
        f.grid.SetFocusCell(30, 5);
        f.recorder.Clear();
        QTest::keyClick(&f.grid, '+');
        QCOMPARE(f.Text(30, 5), QStringLiteral("1"));
        QCOMPARE(f.Text(31, 5), QStringLiteral("0"));
        for (const auto& call : f.recorder.calls) {
            QVERIFY(!(call.row == 31 && call.col == 5));
        }

        // Shift+Enter stays in the edited column and spares (31, 5) too.
        f.grid.SetSelectedRange(29, 4, 31, 5);
        f.grid.SetFocusCell(29, 5);
        QTest::keyClick(&f.grid, '9');
        QTest::keyClick(&f.grid, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(f.Text(29, 5), QStringLiteral("9"));
        QCOMPARE(f.Text(30, 5), QStringLiteral("9"));
        QCOMPARE(f.Text(31, 5), QStringLiteral("0"));
        QCOMPARE(f.Text(29, 4), QStringLiteral("0"));
        QCOMPARE(f.Text(30, 4), QStringLiteral("0"));
    }

    void uniformColumnWidthKeepsHiddenRowsHidden()
    {
        Fixture<CValueGridCtrl> f;
        f.grid.SetRowHeight(5, 0);
        f.grid.SetColumnWidth(9, 0);
        f.grid.SetItemText(3, 3, QStringLiteral("123456789"));
        f.grid.SetItemText(4, 0, QStringLiteral("Revolutions per minute"));
        f.grid.AutoSize();
        const int common = f.grid.GetColumnWidth(1);
        QVERIFY(common >= As<CGridCelll250>(f.grid, 3, 3).GetCellExtent().width());
        for (int c = 1; c < 17; ++c) {
            QCOMPARE(f.grid.GetColumnWidth(c), c == 9 ? 0 : common);
        }
        QVERIFY(f.grid.GetColumnWidth(0) > common);
        QCOMPARE(f.grid.GetRowHeight(5), 0);
        for (int r = 0; r < 17; ++r) {
            if (r != 5) {
                QCOMPARE(f.grid.GetRowHeight(r), f.grid.GetRowHeight(0));
            }
        }

        Fixture<CValueGridCtrl> narrow(3, 3); // never narrower than "88"
        narrow.grid.SetItemText(1, 1, QString());
        narrow.grid.SetItemText(1, 2, QString());
        auto* cell = &As<CGridCelll250>(narrow.grid, 1, 1);
        cell->SetSample(QString());
        As<CGridCelll250>(narrow.grid, 1, 2).SetSample(QString());
        for (int c = 0; c < 3; ++c) {
            As<CGridCelll250>(narrow.grid, 2, c).SetSample(QString());
            As<CGridCelll250>(narrow.grid, 0, c).SetSample(QString());
        }
        narrow.grid.AutoSize();
        const QSize eightyEight = cell->PaddedExtent(cell->GetTextExtent(QStringLiteral("88")));
        QCOMPARE(narrow.grid.GetColumnWidth(1), eightyEight.width());
        QCOMPARE(narrow.grid.GetRowHeight(1), eightyEight.height());
    }

    void functionGridGivesLabelsTheColumnsWidestLabel()
    {
        Fixture<CFunctionGridCtrl, CGridCellLabel> f(6, 4);
        const unsigned half = static_cast<unsigned>(f.grid.GetDefaultCell(false, false)->GetWidth() / 2);
        QCOMPARE(f.grid.GetLabelWidth(1), half);
        for (int r = 1; r < 6; ++r) {
            auto* cell = &As<CGridCellLabel>(f.grid, r, 1);
            cell->SetLabelText(r == 3 ? QStringLiteral("100000") : QStringLiteral("2"));
        }
        f.grid.AutoSize();
        const int widest = As<CGridCellLabel>(f.grid, 3, 1).GetLabelWidth();
        QVERIFY(widest > 0);
        for (int r = 1; r < 6; ++r) {
            QCOMPARE(As<CGridCellLabel>(f.grid, r, 1).GetLabelWidth(), widest);
        }
        QCOMPARE(f.grid.GetLabelWidth(1), static_cast<unsigned>(widest));
        QCOMPARE(f.grid.GetColumnWidth(1), widest + As<CGridCellLabel>(f.grid, 1, 1).GetValueExtent().width());
        QCOMPARE(f.grid.GetLabelWidth(2), 0u);

        f.grid.SetColumnCount(6);
        QCOMPARE(f.grid.GetLabelWidth(5), half);
        QCOMPARE(f.grid.GetLabelWidth(1), static_cast<unsigned>(widest));
    }

    void separatorLinesAreDrawn()
    {
        const QColor line = ToQColor(Rgb(192, 192, 192));
        const QColor white(255, 255, 255);
        Fixture<CIndexGridCtrl> index(17, 12);
        index.Focus(10, 10);
        QCOMPARE(PixelIn(index.grid, 4, 2, -1, 3), line); // right of columns 2 and 5
        QCOMPARE(PixelIn(index.grid, 4, 5, -1, 3), line);
        QCOMPARE(PixelIn(index.grid, 4, 3, -1, 3), white);
        QCOMPARE(PixelIn(index.grid, 8, 3, 3, -1), line); // below row 8 of 16
        QCOMPARE(PixelIn(index.grid, 7, 3, 3, -1), white);

        Fixture<CRecordingGridCtrl> recording(12, 10);
        recording.Focus(10, 9);
        QCOMPARE(PixelIn(recording.grid, 2, 4, -1, 3), line);
        QCOMPARE(PixelIn(recording.grid, 2, 7, -1, 3), line);
        QCOMPARE(PixelIn(recording.grid, 2, 5, -1, 3), white);
        recording.grid.SetSeparatorColumns(5, 8);
        QCOMPARE(PixelIn(recording.grid, 2, 5, -1, 3), line);
        QCOMPARE(PixelIn(recording.grid, 2, 4, -1, 3), white);

        Fixture<CFunctionGridCtrl, CGridCellLabel> function(17, 9); // 8 value columns: line after column 4
        function.Focus(10, 8);
        QCOMPARE(PixelIn(function.grid, 2, 4, -1, 3), line);
        QCOMPARE(PixelIn(function.grid, 2, 3, -1, 3), white);

        Fixture<CValueGridCtrl> value;
        value.Focus(10, 10);
        QCOMPARE(PixelIn(value.grid, 4, 2, -1, 3), white);
        QCOMPARE(PixelIn(value.grid, 8, 3, 3, -1), white);
    }
};

QTEST_MAIN(GridCtrlTest)
#include "GridCtrlTest.moc"
