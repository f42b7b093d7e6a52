#include "shell/MainFrame.h"
#include "EditorHarness.h"
#include "ProgramFolder.h"
#include "SilentLine.h"
#include "comm/Operation.h"
#include "document/BoxLayout.h"
#include "document/MorvexDoc.h"
#include "grid/ValueGridCtrl.h"
#include "platform/SerialLine.h"
#include "platform/UserMessages.h"
#include "shell/CommController.h"
#include "shell/FileController.h"
#include "shell/InfoDlg.h"
#include "shell/MorvexApp.h"
#include "shell/PaneHeader.h"
#include "shell/PaneLayout.h"
#include "shell/PortController.h"
#include "shell/ZamoStatusbar.h"
#include "tests/document/RecordingMessages.h"
#include "views/FuelmapView.h"

#include <array>
#include <set>

#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <memory>
#include <vector>

using namespace morvex::shell;
using testing_support::Editor;
using testing_support::ScratchProgramFolder;
using testing_support::SilentLine;

namespace {

} // namespace

class MainFrameTest : public QObject {
    Q_OBJECT
private slots:
    void titleAndPaneKeys()
    {
        Editor e;
        QVERIFY(e.started && e.active);
        QCOMPARE(e.frame->windowTitle(), QStringLiteral("Zorvane Morvex 02-2008 [Fuel Map] - Untitled[*]"));
        const std::vector<int> forward = {502, 503, 504, 505, 506, 501};
        for (int expected : forward) {
            e.key(Qt::Key_F8);
            QCOMPARE(e.frame->activePane(), expected);
        }
        e.key(Qt::Key_F7);
        QCOMPARE(e.frame->activePane(), 506);
        QVERIFY(e.frame->windowTitle().startsWith(QStringLiteral("Zorvane Morvex 02-2008 [Diagnostic]")));
        e.key(Qt::Key_3, Qt::ControlModifier);
        QCOMPARE(e.frame->activePane(), 503);
        QVERIFY(e.frame->action(503)->isChecked());
        QVERIFY(!e.frame->action(501)->isChecked());
    }

    void choosingTheShownPaneKeepsItsCheckAndTheHeaderActivatesItsColumn()
    {
        Editor e;
        QVERIFY(e.started && e.active);
        e.key(Qt::Key_1, Qt::ControlModifier);
        QVERIFY(e.frame->action(kFirstPane)->isChecked());
        auto* viewBar = e.frame->findChild<QToolBar*>(QStringLiteral("viewBar"));
        QVERIFY(viewBar != nullptr);
        QAction* button = viewBar->actions().value(0);
        QVERIFY(button != nullptr && button->isChecked());
        QTest::mouseClick(viewBar->widgetForAction(button), Qt::LeftButton);
        QVERIFY(button->isChecked());
        QVERIFY(e.frame->action(kFirstPane)->isChecked());

        // A click on the online values header makes the column the active
        // pane (its band shows); Ctrl+1 gives the grid the keyboard again.
        QWidget* grid = &e.frame->fuelmapView().Grid();
        QCOMPARE(QApplication::focusWidget(), grid);
        CPaneHeader* header = e.frame->panes().onlineValuesHeader();
        QVERIFY(!header->isActive());
        QTest::mouseClick(header, Qt::LeftButton, {}, QPoint(8, header->height() / 2));
        QVERIFY(header->isActive());
        QVERIFY(QApplication::focusWidget() != grid);
        e.key(Qt::Key_1, Qt::ControlModifier);
        QVERIFY(!header->isActive());
        QCOMPARE(QApplication::focusWidget(), grid);
    }

    void commandsFollowThePane()
    {
        Editor e;
        QVERIFY(e.started);
        auto enabled = [&](int id) { return e.frame->action(id)->isEnabled(); };
        QVERIFY(enabled(cmd::kReceivePane) && enabled(cmd::kSendAll) && enabled(cmd::kOnline));
        QVERIFY(!enabled(cmd::kCancel));
        e.frame->ShowPane(504);
        QVERIFY(!enabled(cmd::kReceivePane) && !enabled(cmd::kSendPane) && !enabled(cmd::kReceiveAll));
        QVERIFY(enabled(cmd::kOnline));
        e.frame->ShowPane(506);
        QVERIFY(!enabled(cmd::kOnline));
        QVERIFY(!enabled(cmd::kShowInfo) && !enabled(cmd::kOnlineValues));
        // A disabled command's key does nothing.
        e.key(Qt::Key_F4);
        QVERIFY(!e.frame->comm().running());
    }

    void onlineSkipsDiagnosticAndRefusesCtrl6()
    {
        Editor e;
        QVERIFY(e.started);
        e.frame->comm().setLineFactory([] { return std::make_unique<SilentLine>(); });
        e.frame->ShowPane(505);
        e.key(Qt::Key_F3);
        QVERIFY(e.frame->comm().online());
        QVERIFY(e.frame->action(cmd::kOnline)->isChecked());
        QVERIFY(!e.frame->action(cmd::kReceivePane)->isEnabled());
        // No other document while the worker writes into this one (New
        // would ask about the unsaved changes first).
        e.app.doc().SetModifiedFlag(true);
        e.key(Qt::Key_N, Qt::ControlModifier);
        QVERIFY(e.messages.shown.empty());
        e.app.doc().SetModifiedFlag(false);
        e.key(Qt::Key_6, Qt::ControlModifier);
        QCOMPARE(e.frame->activePane(), 505);
        e.key(Qt::Key_F8);
        QCOMPARE(e.frame->activePane(), 501);
        e.key(Qt::Key_F7);
        QCOMPARE(e.frame->activePane(), 505);
        // F3 again ends online mode.
        e.key(Qt::Key_F3);
        QTRY_VERIFY_WITH_TIMEOUT(!e.frame->comm().running(), 10000);
        QCOMPARE(e.transferText(), QStringLiteral("OFFLINE"));
        QCOMPARE(e.linkText(), QStringLiteral("OFFLINE"));
        QVERIFY(e.messages.shown.empty());
        e.key(Qt::Key_F8);
        QCOMPARE(e.frame->activePane(), 506);
    }

    void portMenuWithoutPorts()
    {
        Editor e("[Misc]\r\nLastUsedCom=3\r\n");
        QVERIFY(e.started);
        e.frame->ports().setProbe([](const std::string&) { return platform::PortPresence::Absent; });
        e.frame->ports().setDeviceLister([] { return std::vector<std::string>{}; });
        QMenu menu;
        e.frame->ports().rebuildMenu(menu, true);
        QCOMPARE(menu.actions().size(), 1);
        QCOMPARE(menu.actions()[0]->text(), QStringLiteral("COM 3 (not installed)"));
        QVERIFY(!menu.actions()[0]->isEnabled());
        e.frame->UpdateCommandStates();
        QVERIFY(!e.frame->action(cmd::kPortSettings)->isEnabled());

        // A USB adapter gets the lowest free number and keeps it.
        e.frame->ports().setDeviceLister([] { return std::vector<std::string>{"/dev/ttyS0", "/dev/ttyUSB0"}; });
        e.frame->ports().setProbe([](const std::string& device) {
            return device == "/dev/ttyUSB0" ? platform::PortPresence::Present : platform::PortPresence::Absent;
        });
        e.frame->ports().rebuildMenu(menu, true);
        QCOMPARE(menu.actions().size(), 2);
        QCOMPARE(menu.actions()[0]->text(), QStringLiteral("COM 1\t/dev/ttyUSB0"));
        QVERIFY(menu.actions()[0]->isEnabled());
        QCOMPARE(menu.actions()[1]->text(), QStringLiteral("COM 3 (not installed)"));
        QCOMPARE(e.app.settings().ports.at(1), std::string("/dev/ttyUSB0"));
        e.frame->ports().rebuildMenu(menu, true);
        QCOMPARE(e.app.settings().ports.size(), std::size_t{1});
        menu.actions()[0]->trigger();
        QCOMPARE(e.frame->ports().selectedPort(), 1);
        QCOMPARE(e.frame->statusbar().paneText(CZamoStatusbar::Port), QStringLiteral("COM1"));
        e.frame->ports().setDeviceLister([] { return std::vector<std::string>{}; });
        e.frame->ports().setProbe([](const std::string&) { return platform::PortPresence::Absent; });
        e.app.settings().ports.clear();

        e.frame->ports().selectPort(0);
        e.frame->ports().rebuildMenu(menu, true);
        QCOMPARE(menu.actions().size(), 1);
        QCOMPARE(menu.actions()[0]->text(), QStringLiteral("(No Ports installed)"));
    }

    void missingDeviceReportsTheOpenError()
    {
        Editor e("[Ports]\r\nCOM2=/dev/morvex-no-such-device\r\n[Misc]\r\nLastUsedCom=2\r\n");
        QVERIFY(e.started);
        e.key(Qt::Key_F4);
        QVERIFY(!e.frame->comm().running());
        QTRY_COMPARE_WITH_TIMEOUT(e.messages.shown.size(), std::size_t{1}, 5000);
        QVERIFY(e.messages.shown[0].text.starts_with("Sorry, can't open COM2!\nNot installed?\n"));
        QVERIFY(e.frame->action(cmd::kReceivePane)->isEnabled());
    }

    void helpOpensTheIndexOrSaysWhy()
    {
        Editor e;
        QVERIFY(e.started);
        e.key(Qt::Key_F1);
        QCOMPARE(e.opened.size(), std::size_t{1});
        QVERIFY(e.opened[0].toLocalFile().endsWith(QStringLiteral("HELP/index.html")));
        QVERIFY(e.messages.shown.empty());
        e.openSucceeds = false;
        e.key(Qt::Key_F1);
        QCOMPARE(e.messages.shown.size(), std::size_t{1});
        QVERIFY(e.messages.shown[0].text.starts_with("Unable to open hyperlink:\n\n"));
        QVERIFY(e.messages.shown[0].beep);
    }

    void gridFontAndGridCellAcrossTheDiagnosticPane()
    {
        Editor e("[Fonts]\r\nGrids=not a font\r\n");
        QVERIFY(e.started);
        auto& grid = e.frame->fuelmapView().Grid();
        const QFont initial = e.frame->gridFont();
        QFont bigger = initial;
        bigger.setPointSize(initial.pointSize() + 6);
        e.frame->ApplyGridFont(bigger);
        QCOMPARE(grid.font(), bigger);
        QCOMPARE(e.app.settings().gridFont, bigger.toString().toStdString());

        // An edit marks the title unsaved.
        QVERIFY(!e.frame->isWindowModified());
        grid.SetItemTextNotify(20, 5, QStringLiteral("99"));
        QVERIFY(e.frame->isWindowModified());

        grid.SetFocusCell(20, 5);
        e.key(Qt::Key_6, Qt::ControlModifier);
        QCOMPARE(e.frame->activePane(), 506);
        grid.SetFocusCell(17, 1);
        e.key(Qt::Key_1, Qt::ControlModifier);
        QCOMPARE(grid.GetFocusCell(), morvex::grid::CCellID(20, 5));
    }

    void infoDialogFromTheKeyAndEditMenu()
    {
        Editor e;
        QVERIFY(e.started);
        QString seen;
        auto closeWhenShown = [&seen] {
            QTimer::singleShot(0, [&seen] {
                if (auto* dialog = qobject_cast<CInfoDlg*>(QApplication::activeModalWidget())) {
                    seen = dialog->windowTitle();
                    dialog->reject();
                }
            });
        };
        closeWhenShown();
        e.key(Qt::Key_I, Qt::ControlModifier);
        QVERIFY(!seen.isEmpty());
        QVERIFY(!e.frame->isWindowModified());
        seen.clear();
        closeWhenShown();
        QVERIFY(e.frame->RunCommand(cmd::kEditInfo));
        QVERIFY(!seen.isEmpty());
        e.frame->ShowPane(506);
        QVERIFY(!e.frame->action(cmd::kShowInfo)->isEnabled());
    }

    void closingWithUnsavedChangesAsks()
    {
        Editor e;
        QVERIFY(e.started);
        e.app.doc().SetModifiedFlag(true);
        e.frame->OnDocumentReplaced();
        QVERIFY(e.frame->isWindowModified());
        e.messages.answers = {platform::UserAnswer::Cancel};
        QVERIFY(!e.frame->close());
        QCOMPARE(e.messages.shown.size(), std::size_t{1});
        QCOMPARE(e.messages.shown[0].text, std::string("Save changes to Untitled?"));
        QVERIFY2(e.app.settings().windowPos.empty(), "nothing is stored while the window stays");
        e.messages.answers = {platform::UserAnswer::No};
        QVERIFY(e.frame->close());
        QVERIFY(!e.app.settings().windowPos.empty());
    }

    void onlineLiveCellAndStepReachTheBox()
    {
        Editor e("[Misc]\r\nLastUsedBAUD=115200\r\n");
        QVERIFY(e.started);
        // The simulated box holds the demo set: the same ignition map number.
        QVERIFY(e.frame->files().OpenFile(e.folder.path() / "DATA" / "Demo.M60"));
        QSignalSpy ready(&e.frame->ports(), &PortController::simulatedBoxReady);
        e.frame->ports().StartSimulatedBox();
        QVERIFY(ready.wait(10000));
        auto& view = e.frame->fuelmapView();
        auto& grid = view.Grid();

        e.key(Qt::Key_F3);
        QVERIFY(e.frame->comm().online());
        // The live cell follows the simulated engine through the map.
        std::set<std::pair<int, int>> seen;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const auto& live = view.Live();
                if (live.row >= 0 && live.column >= 0) {
                    if (grid.GetFocusCell() != morvex::grid::CCellID(live.row + 1, live.column + 1)) {
                        return false;
                    }
                    seen.insert({live.row, live.column});
                }
                return seen.size() >= 2;
            }(),
            20000);

        // Numeric-pad plus on the focus cell: the box gets the new value.
        uint8_t* left = e.app.doc().GetBoxData(morvex::box::TAB_DDD_LINKS);
        std::array<uint8_t, 512> before{};
        std::copy(left, left + 512, before.begin());
        QTest::keyClick(&grid, Qt::Key_Plus, Qt::KeypadModifier);
        int changed = -1;
        for (int p = 0; p < 512; ++p) {
            if (left[p] != before[static_cast<std::size_t>(p)]) {
                QCOMPARE(changed, -1);
                changed = p;
            }
        }
        QVERIFY(changed >= 256);
        const uint8_t stepped = left[changed];
        QCOMPARE(int{stepped}, before[static_cast<std::size_t>(changed)] + 1);

        e.key(Qt::Key_F3);
        QTRY_VERIFY_WITH_TIMEOUT(!e.frame->comm().running(), 10000);
        QVERIFY(e.messages.shown.empty());

        // Read the fuel map back from the box.
        left[changed] = 0;
        e.key(Qt::Key_F4);
        QVERIFY(e.frame->comm().busy());
        QTRY_VERIFY_WITH_TIMEOUT(e.transferText().startsWith(QStringLiteral("OK (")), 60000);
        QCOMPARE(left[changed], stepped);
        QVERIFY(e.messages.shown.empty());
    }

    void receiveAllFromTheSimulatedBoxAndCancel()
    {
        Editor e("[Misc]\r\nLastUsedBAUD=115200\r\n");
        QVERIFY(e.started);
        QSignalSpy ready(&e.frame->ports(), &PortController::simulatedBoxReady);
        e.frame->ports().StartSimulatedBox();
        QVERIFY(ready.wait(10000));
        QCOMPARE(ready.first().first().toBool(), true);
        QVERIFY(e.frame->ports().simulatedBoxRunning());

        e.frame->ShowPane(503);
        e.key(Qt::Key_F4, Qt::ShiftModifier);
        QVERIFY(e.frame->comm().busy());
        const int total = e.frame->comm().ProgressTotal();
        QVERIFY(total >= 1345);
        QCOMPARE(e.transferText(), QStringLiteral("0/%1").arg(total));
        QCOMPARE(e.frame->activePane(), 501);
        QVERIFY(e.frame->action(cmd::kCancel)->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(e.transferText().startsWith(QStringLiteral("OK (")), 90000);
        QVERIFY(e.transferText().endsWith(QStringLiteral(" s)")));
        QCOMPARE(e.frame->comm().progressCount(), total);
        QCOMPARE(e.frame->activePane(), 503);
        QCOMPARE(e.linkText(), QStringLiteral("OFFLINE"));
        QVERIFY(e.app.doc().IsModified());
        QVERIFY(e.messages.shown.empty());

        // Esc during a transfer: "Canceled" and no message box.
        e.key(Qt::Key_F4, Qt::ShiftModifier);
        QTRY_VERIFY_WITH_TIMEOUT(e.frame->comm().progressCount() > 20, 30000);
        e.key(Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(!e.frame->comm().running(), 10000);
        QCOMPARE(e.transferText(), QStringLiteral("Canceled"));
        QCOMPARE(e.frame->activePane(), 503);
        QVERIFY(e.messages.shown.empty());
        QVERIFY(e.frame->action(cmd::kReceiveAll)->isEnabled());
    }
};

QTEST_MAIN(MainFrameTest)
#include "MainFrameTest.moc"
