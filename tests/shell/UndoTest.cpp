// Undo and Redo in the editor, used as a tuner uses them: every kind of
// edit undone with Ctrl+Z and done again with Ctrl+Y, the document image
// compared byte for byte and the modified flag following the saved state;
// and an undo while online writing the old value back into the simulated
// box.
#include "EditorHarness.h"
#include "document/BoxLayout.h"
#include "document/MorvexDoc.h"
#include "document/UndoJournal.h"
#include "grid/InPlaceEdit.h"
#include "grid/ValueGridCtrl.h"
#include "shell/CommController.h"
#include "shell/FileController.h"
#include "shell/FrameRules.h"
#include "shell/InfoDlg.h"
#include "shell/MapToolDlg.h"
#include "shell/PortController.h"
#include "shell/SimulatedBox.h"
#include "shell/TableViews.h"
#include "shell/UndoController.h"
#include "views/AngleDlg2.h"
#include "views/FuelmapView.h"
#include "views/IgnitionView.h"
#include "views/IndexView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDoubleSpinBox>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>
#include <vector>

using namespace morvex;
using namespace morvex::shell;
using testing_support::Editor;

namespace {

struct Image {
    std::vector<uint8_t> bytes;
    std::vector<std::string> texts;
    bool operator==(const Image&) const = default;
};

Image imageOf(const CMorvexDoc& doc)
{
    DocumentState s;
    s.Capture(doc);
    return {s.bytes(), s.texts()};
}

struct Edit {
    QString name;
    Image before;
    Image after;
};

void typeInto(grid::CValueGridCtrl& grid, int row, int column, const QString& text,
              Qt::KeyboardModifiers end = Qt::NoModifier)
{
    grid.SetFocusCell(row, column);
    QTest::keyClicks(&grid, text);
    QTest::keyClick(grid.GetEditWnd(), Qt::Key_Return, end);
}

} // namespace

class UndoTest : public QObject {
    Q_OBJECT
private slots:
    void everyKindOfEditIsUndoneAndRedoneByteForByte()
    {
        Editor e;
        QVERIFY(e.started);
        QVERIFY(e.frame->files().OpenFile(e.folder.path() / "DATA" / "Demo.M60"));
        CMorvexDoc& doc = e.app.doc();
        QVERIFY(!doc.IsModified());
        QAction* undo = e.frame->undo().undoAction();
        QAction* redo = e.frame->undo().redoAction();
        QVERIFY(!undo->isEnabled());

        std::vector<Edit> edits;
        const auto record = [&](const QString& name, const std::function<void()>& action) {
            Edit edit{name, imageOf(doc), {}};
            action();
            edit.after = imageOf(doc);
            QVERIFY2(!(edit.after == edit.before), qPrintable(name));
            QCOMPARE(undo->text(), QStringLiteral("&Undo ") + name);
            edits.push_back(edit);
        };

        // Data recorded while riding is no step of its own; its reset is.
        doc.SetFloat(box::MEASURE_COUNTS, 17, 40.0F);
        doc.GetBoxData(rec::REC_DATA_RECEIVED)[17] = 0x07;
        e.key(Qt::Key_4, Qt::ControlModifier);
        record(QStringLiteral("Reset All Data Records"), [&] { QVERIFY(e.frame->RunCommand(cmd::kResetAllRecords)); });
        QCOMPARE(doc.GetFloat(box::MEASURE_COUNTS, 17), 0.0F);

        e.key(Qt::Key_1, Qt::ControlModifier);
        auto& fuel = e.frame->tables().fuelmap().Grid();
        record(QStringLiteral("Typing"), [&] { typeInto(fuel, 20, 3, QStringLiteral("77")); });
        record(QStringLiteral("Step"), [&] {
            fuel.SetSelectedRange(20, 3, 21, 4);
            QTest::keyClick(&fuel, Qt::Key_Plus, Qt::KeypadModifier);
        });
        record(QStringLiteral("Bulk Edit"), [&] {
            fuel.SetSelectedRange(22, 1, 23, 5);
            typeInto(fuel, 22, 1, QStringLiteral("55"), Qt::ShiftModifier);
        });
        record(QStringLiteral("Fill Down"), [&] {
            fuel.SetSelectedRange(22, 2, 27, 2);
            e.frame->UpdateCommandStates(); // as the Edit menu does when it opens
            QVERIFY(e.frame->RunCommand(cmd::kFillDown));
        });
        record(QStringLiteral("Paste"), [&] {
            QString block;
            for (int row = 0; row < 16; ++row) {
                QStringList values;
                for (int column = 0; column < 16; ++column) {
                    values << QString::number(100 + row + column);
                }
                block += values.join(QLatin1Char('\t')) + QLatin1Char('\n');
            }
            QGuiApplication::clipboard()->setText(block);
            fuel.SetFocusCell(17, 1);
            fuel.SetSelectedRange(17, 1, 17, 1);
            QTest::keyClick(&fuel, Qt::Key_V, Qt::ControlModifier);
        });
        record(QStringLiteral("Delete"), [&] {
            fuel.SetSelectedRange(30, 1, 30, 16);
            QTest::keyClick(&fuel, Qt::Key_Delete);
        });
        // The map tools by their keys: a dialog that Enter accepts, or none.
        record(QStringLiteral("Scale"), [&] {
            fuel.SetSelectedRange(24, 1, 26, 4);
            e.key(Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
            auto* dialog = e.frame->findChild<MapToolDlg*>();
            QVERIFY(dialog != nullptr && dialog->isVisible());
            QTest::keyClicks(&dialog->field(), QStringLiteral("12"));
            QCOMPARE(dialog->value(), 12.0);
            QTest::keyClick(&dialog->field(), Qt::Key_Return);
        });
        record(QStringLiteral("Interpolate"), [&] {
            fuel.SetSelectedRange(24, 1, 29, 16);
            e.key(Qt::Key_I, Qt::ControlModifier | Qt::ShiftModifier);
        });

        e.key(Qt::Key_5, Qt::ControlModifier);
        auto& index = e.frame->tables().index().Grid();
        // The lowest revolutions point, and a name of the second set.
        record(QStringLiteral("Typing"), [&] { typeInto(index, 33, 1, QStringLiteral("1250")); });
        record(QStringLiteral("Typing"), [&] { typeInto(index, 20, 9, QStringLiteral("ABCD")); });

        e.key(Qt::Key_3, Qt::ControlModifier);
        record(QStringLiteral("Set Teeth and Offset"), [&] {
            QVERIFY(e.frame->RunCommand(cmd::kSetTeethAndOffset));
            auto* dialog = e.frame->findChild<views::CAngleDlg2*>();
            QVERIFY(dialog != nullptr);
            dialog->TeethBox()->setValue(dialog->Teeth() == 60 ? 36 : 60);
            dialog->OffsetBox()->setValue(dialog->Offset() == 12 ? 10 : 12);
            dialog->accept();
        });

        record(QStringLiteral("Edit Info"), [&] {
            QTimer::singleShot(0, [] {
                auto* dialog = qobject_cast<CInfoDlg*>(QApplication::activeModalWidget());
                QVERIFY(dialog != nullptr);
                dialog->commentEdit()->setPlainText(QStringLiteral("leaner at 6000"));
                dialog->accept();
            });
            QVERIFY(e.frame->RunCommand(cmd::kEditInfo));
        });
        QVERIFY(doc.IsModified());

        // Back to the opened file, one user action at a time.
        for (auto it = edits.rbegin(); it != edits.rend(); ++it) {
            QCOMPARE(undo->text(), QStringLiteral("&Undo ") + it->name);
            e.key(Qt::Key_Z, Qt::ControlModifier);
            QVERIFY2(imageOf(doc) == it->before, qPrintable(it->name));
        }
        QVERIFY(!undo->isEnabled());
        QVERIFY(!doc.IsModified());
        QVERIFY(!e.frame->isWindowModified());
        // The grids show what the document holds again.
        QCOMPARE(fuel.GetItemText(20, 3).toInt(), int{doc.GetBoxData(box::TAB_DDD_LINKS)[16 * 19 + 2]});

        for (const Edit& edit : edits) {
            QCOMPARE(redo->text(), QStringLiteral("&Redo ") + edit.name);
            e.key(Qt::Key_Y, Qt::ControlModifier);
            QVERIFY2(imageOf(doc) == edit.after, qPrintable(edit.name));
        }
        QVERIFY(doc.IsModified());
        QVERIFY(e.frame->isWindowModified());

        // Saved here: one undo away is modified, the redo back is not.
        const std::filesystem::path file = e.folder.path() / "undone.M60";
        e.frame->files().setFileDialog(
            [&](QWidget*, bool, const QString&, const QString&) { return QString::fromStdString(file.string()); });
        QVERIFY(e.frame->files().SaveAs());
        QVERIFY(!doc.IsModified());
        e.key(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(doc.IsModified());
        e.key(Qt::Key_Y, Qt::ControlModifier);
        QVERIFY(!doc.IsModified());
        QVERIFY(!e.frame->isWindowModified());

        // A new document starts without history.
        e.frame->files().New();
        QVERIFY(!undo->isEnabled());
        QVERIFY(!redo->isEnabled());
        QVERIFY(e.messages.shown.empty());
    }

    void anUndoOnlineWritesTheOldValuesBackIntoTheBox()
    {
        Editor e("[Misc]\r\nLastUsedBAUD=115200\r\n");
        QVERIFY(e.started);
        QVERIFY(e.startSimulatedBox());
        const auto control = [&e](const QString& line) { return e.control(line); };
        const auto peek = [&e](int address) {
            const std::vector<int> bytes = e.peek(address);
            return bytes.size() == 1 ? bytes[0] : -1;
        };
        // The document and the box agree: the engine held in the bottom
        // right cell, whose left byte has line address 255, the right 511.
        e.key(Qt::Key_F4, Qt::ShiftModifier);
        QTRY_VERIFY_WITH_TIMEOUT(!e.frame->comm().running(), 30000);
        QCOMPARE(control(QStringLiteral("hold rpm-index 0")), QStringLiteral("OK"));
        QCOMPARE(control(QStringLiteral("hold throttle-index 0")), QStringLiteral("OK"));
        const uint8_t* left = e.app.doc().GetBoxData(box::TAB_DDD_LINKS);
        const uint8_t* right = e.app.doc().GetBoxData(box::TAB_DDD_RECHTS);
        const int leftBefore = left[511];
        const int rightBefore = right[511];
        QCOMPARE(peek(255), leftBefore);
        QCOMPARE(peek(511), rightBefore);

        e.key(Qt::Key_F3);
        QVERIFY(e.frame->comm().online());
        auto& grid = e.frame->tables().fuelmap().Grid();
        QTRY_COMPARE_WITH_TIMEOUT(grid.GetFocusCell(), grid::CCellID(32, 16), 20000);
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(&grid, Qt::Key_Plus, Qt::KeypadModifier);
        }
        QCOMPARE(int{left[511]}, leftBefore + 3);
        QTRY_COMPARE_WITH_TIMEOUT(peek(255), leftBefore + 3, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(peek(511), int{right[511]}, 20000);

        QAction* undo = e.frame->undo().undoAction();
        for (int i = 0; i < 3; ++i) {
            QVERIFY(undo->isEnabled());
            QCOMPARE(undo->text(), QStringLiteral("&Undo Step"));
            e.key(Qt::Key_Z, Qt::ControlModifier);
        }
        QCOMPARE(int{left[511]}, leftBefore);
        QCOMPARE(int{right[511]}, rightBefore);
        QTRY_COMPARE_WITH_TIMEOUT(peek(255), leftBefore, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(peek(511), rightBefore, 20000);
        QCOMPARE(grid.GetItemText(32, 16).toInt(), leftBefore);
        e.key(Qt::Key_F3);
        QTRY_VERIFY_WITH_TIMEOUT(!e.frame->comm().running(), 10000);
        QVERIFY(e.messages.shown.empty());
    }
};

QTEST_MAIN(UndoTest)
#include "UndoTest.moc"
