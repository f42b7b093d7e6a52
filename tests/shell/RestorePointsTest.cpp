// Restore points in the editor against the simulated box: a save keeps the
// file it overwrites, a receive over edited tables keeps the edits, a point
// that cannot be written lets the tuner cancel, and the list opens a point
// with the keyboard as an unsaved document holding the edits byte for byte.
#include "EditorHarness.h"
#include "document/DocDiff.h"
#include "document/MorvexDoc.h"
#include "document/RestorePoints.h"
#include "grid/ValueGridCtrl.h"
#include "platform/IniFile.h"
#include "shell/CommController.h"
#include "shell/FileController.h"
#include "shell/PortController.h"
#include "shell/RestorePoints.h"
#include "shell/RestorePointsDlg.h"
#include "views/FuelmapView.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTimer>
#include <QTreeWidget>

#include <fstream>

using namespace morvex;
using namespace morvex::shell;
using testing_support::Editor;

namespace {

void typeIntoFuelMap(Editor& e, int row, int column, const QString& text)
{
    auto& fuel = e.frame->fuelmapView().Grid();
    fuel.SetFocusCell(row, column);
    fuel.SetSelectedRange(row, column, row, column);
    QTest::keyClicks(&fuel, text);
    QTest::keyClick(fuel.GetEditWnd(), Qt::Key_Return);
}

std::string bytesOf(const std::filesystem::path& file)
{
    std::string bytes;
    std::error_code ec;
    platform::readWholeFile(file, bytes, ec);
    return bytes;
}

} // namespace

class RestorePointsTest : public QObject {
    Q_OBJECT
private slots:
    void aReceiveOverEditsLeavesARestorePointThatBringsThemBack()
    {
        Editor e("[Misc]\r\nLastUsedBAUD=115200\r\n");
        QVERIFY(e.started);
        RestorePointStore& store = e.frame->restorePoints().store();
        QCOMPARE(store.folder(), e.folder.path() / "user-data" / "morvex" / "restore");
        // The simulated box holds the demo set; the tuner works on a copy.
        const std::filesystem::path tune = e.folder.path() / "Demo.M60";
        std::filesystem::copy_file(e.folder.path() / "DATA" / "Demo.M60", tune);
        QVERIFY(e.frame->files().OpenFile(tune));
        CMorvexDoc& doc = e.app.doc();

        // A save over the file first keeps what the file held.
        typeIntoFuelMap(e, 20, 3, QStringLiteral("97"));
        QVERIFY(doc.IsModified());
        const std::string original = bytesOf(tune);
        QVERIFY(e.frame->files().Save());
        std::vector<RestorePoint> points = store.List();
        QCOMPARE(points.size(), std::size_t{1});
        QCOMPARE(points[0].reason, RestoreReason::Save);
        QVERIFY(bytesOf(points[0].file).starts_with(original));

        typeIntoFuelMap(e, 25, 9, QStringLiteral("88"));
        QVERIFY(doc.IsModified());
        CInfoRecords editedInfo;
        CMorvexDoc edited(doc.Adapt(), doc.Limits(), editedInfo);
        edited.TakeContentsFrom(doc);

        QVERIFY(e.startSimulatedBox());

        // A restore folder that cannot be made: the tuner is asked, and No
        // leaves the edits where they are.
        std::filesystem::remove_all(store.folder());
        std::ofstream(store.folder()) << "in the way";
        e.messages.answers.push_back(platform::UserAnswer::No);
        e.key(Qt::Key_F4);
        QVERIFY(!e.frame->comm().running());
        QCOMPARE(e.messages.shown.size(), std::size_t{1});
        QCOMPARE(e.messages.shown[0].buttons, platform::UserMessage::Buttons::YesNo);
        QVERIFY(e.messages.shown[0].text.find("could not be written") != std::string::npos);
        QVERIFY(CountTableDifferences(edited, doc).empty());

        std::filesystem::remove(store.folder());
        e.key(Qt::Key_F4);
        QVERIFY(e.frame->comm().busy());
        QTRY_VERIFY_WITH_TIMEOUT(e.transferText().startsWith(QStringLiteral("OK (")), 60000);
        QVERIFY(!CountTableDifferences(edited, doc).empty());
        points = store.List();
        QCOMPARE(points.size(), std::size_t{1});
        QCOMPARE(points[0].reason, RestoreReason::ReceivePane);
        QCOMPARE(points[0].sourceName, std::string("Demo"));

        // File > Restore Points..., Enter on the newest: after No to saving
        // the received tables, the edits are back as an unsaved document.
        QString listed;
        QTimer::singleShot(0, [&listed] {
            auto* dialog = qobject_cast<RestorePointsDlg*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                return;
            }
            QTRY_VERIFY(dialog->counted());
            listed = dialog->list().topLevelItem(0)->text(RestorePointsDlg::Differences);
            QTest::keyClick(&dialog->list(), Qt::Key_Return);
        });
        e.messages.answers.push_back(platform::UserAnswer::No);
        e.key(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY2(listed.startsWith(QStringLiteral("TAB_DDD_LINKS")), qPrintable(listed));
        QCOMPARE(e.messages.shown.size(), std::size_t{2});
        QVERIFY(e.messages.shown[1].text.starts_with("Save changes to Demo.M60?"));

        const auto differences = CountTableDifferences(edited, doc);
        QVERIFY2(differences.empty(), differences.empty() ? "" : differences.front().name.data());
        QVERIFY(std::equal(edited.BoxSpan(0, kBoxImageSize).begin(), edited.BoxSpan(0, kBoxImageSize).end(),
                           doc.BoxSpan(0, kBoxImageSize).begin()));
        QVERIFY(doc.IsModified());
        QVERIFY(e.app.docManager().PathName().empty());
        // The received tables that were dropped have their point too.
        points = store.List();
        QCOMPARE(points.size(), std::size_t{2});
        QCOMPARE(points[0].reason, RestoreReason::Open);

        // Save asks for a name.
        bool asked = false;
        e.frame->files().setFileDialog([&asked](QWidget*, bool saveAs, const QString&, const QString&) {
            asked = saveAs;
            return QString();
        });
        QVERIFY(!e.frame->files().Save());
        QVERIFY(asked);
    }
};

QTEST_MAIN(RestorePointsTest)
#include "RestorePointsTest.moc"
