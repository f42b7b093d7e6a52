#include "ShellFakes.h"

#include "comm/InfoExchange.h"
#include "document/Labels.h"
#include "shell/InfoDlg.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace morvex;
using namespace morvex::comm;
using morvex::shell::CInfoDlg;
using morvex::test::FakeHost;
using morvex::test::ScriptedMessages;
using platform::UserAnswer;

// The info transfers run for real (CInfoTransfer::exec) against the fake
// host, whose scripts always end with a done or abort report.
class InfoDlgTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void newDocumentShowsPlaceholders();
    void labelsComeFromTheLabelTexts();
    void datesGoThroughTheFormatter();
    void showModeOnlyShows();
    void editModeBeforeBoxInfoKeepsBoxFieldsReadOnly();
    void fieldLimits();
    void commentIsLimitedWithLineBreaksCountingTwo();
    void longTextsFromOlderFilesAreNotCut();
    void fileTextsAreStoredOnOkOnly();
    void changedBoxVersionAsksOnOk_data();
    void changedBoxVersionAsksOnOk();
    void failedSendKeepsTheDialogOpen();
    void receiveFillsTheBoxFieldsWithGroupedCounters();
    void failedReceiveKeepsTheTypedValues();

private:
    std::unique_ptr<CInfoDlg> makeDialog(bool edit);
    void receiveBoxInfo();

    CInfoRecords records;
    CLabels labels;
    FakeHost host;
    ScriptedMessages messages;
};

namespace {

const char* const kQuestion =
    "You have changed the box values.\n It is recommended to send them to the box!\n\nDo you want to send the values "
    "now?\n\nPress 'Yes' to send the values now.\nPress 'No' if you want to send them later.\nPress 'Cancel' to return "
    "to the info dialog.\n";

std::string formatDays(platform::OleDateTime date)
{
    return "day " + std::to_string(static_cast<long>(date.days));
}

QString text(CInfoDlg& dlg, CInfoDlg::Field f)
{
    return dlg.field(f)->text();
}

// What the frame does with a received block: the box's answers taken over.
void applyBlock(CInfoRecords& records)
{
    InfoBytes bytes;
    const double stamp = 45600.0;
    uint64_t bits = 0;
    std::memcpy(&bits, &stamp, sizeof bits);
    for (std::size_t i = 0; i < 8; ++i) {
        bytes.timeStamp[i] = static_cast<uint8_t>(bits >> (8 * i));
    }
    std::memcpy(bytes.boxVersion.data(), "ZB 1.07", 7);
    std::memcpy(bytes.texts.data() + 8, "OLD3", 4);
    bytes.counters = {0, 0, 0x30, 0x39, 0, 0, 0, 7};
    applyReceivedInfo(bytes, records.box, ",", platform::OleDateTime::fromDays(46000.0));
}

FakeHost::Script receiveScript(CInfoRecords& records)
{
    return {true, {{PT_READ_BEGIN, 0}, {PT_VALUE_READ, 0}, {PT_READ_DONE, 0}}, [&records] { applyBlock(records); }};
}

} // namespace

void InfoDlgTest::init()
{
    records = CInfoRecords();
    records.Clear();
    labels = CLabels();
    host = FakeHost();
    messages = ScriptedMessages();
}

std::unique_ptr<CInfoDlg> InfoDlgTest::makeDialog(bool edit)
{
    return std::make_unique<CInfoDlg>(records, labels, edit, host, messages, formatDays);
}

void InfoDlgTest::receiveBoxInfo()
{
    applyBlock(records);
}

void InfoDlgTest::newDocumentShowsPlaceholders()
{
    auto dlg = makeDialog(true);
    QCOMPARE(text(*dlg, CInfoDlg::FileSave), QStringLiteral("Not saved yet"));
    QCOMPARE(text(*dlg, CInfoDlg::LastTransfer), QStringLiteral("No transfer yet"));
    QCOMPARE(text(*dlg, CInfoDlg::BoxVersion1), QStringLiteral("Not received yet"));
    QCOMPARE(text(*dlg, CInfoDlg::FileVersion1), QString());
    QCOMPARE(dlg->commentEdit()->toPlainText(), QString());
    QVERIFY(!dlg->fileTextsChanged());
    QVERIFY(!dlg->boxValuesChanged());
}

void InfoDlgTest::labelsComeFromTheLabelTexts()
{
    auto dlg = makeDialog(false);
    auto labelOf = [&](QWidget* w) {
        for (auto* form : dlg->findChildren<QFormLayout*>()) {
            if (auto* l = qobject_cast<QLabel*>(form->labelForField(w))) {
                return l->text();
            }
        }
        return QString();
    };
    QCOMPARE(labelOf(dlg->field(CInfoDlg::FileSave)), QStringLiteral("File last save"));
    QCOMPARE(labelOf(dlg->field(CInfoDlg::FileVersion2)), QStringLiteral("For Box version"));
    QCOMPARE(labelOf(dlg->field(CInfoDlg::FileVersion3)), QStringLiteral("For Bike"));
    QCOMPARE(labelOf(dlg->commentEdit()), QStringLiteral("Comment"));
    QCOMPARE(labelOf(dlg->field(CInfoDlg::LastTransfer)), QStringLiteral("Box last transfer"));
    QCOMPARE(labelOf(dlg->field(CInfoDlg::BoxVersion4)), QStringLiteral("Box version4"));
    QCOMPARE(labelOf(dlg->field(CInfoDlg::IECounter)), QStringLiteral("IE-Counter"));
    QCOMPARE(labelOf(dlg->field(CInfoDlg::StartCounter)), QStringLiteral("Start-Counter"));
}

void InfoDlgTest::datesGoThroughTheFormatter()
{
    records.file.lastSave = platform::OleDateTime::fromDays(45000.5);
    records.box.lastTransfer = platform::OleDateTime::fromDays(45001.0);
    auto dlg = makeDialog(false);
    QCOMPARE(text(*dlg, CInfoDlg::FileSave), QStringLiteral("day 45000"));
    QCOMPARE(text(*dlg, CInfoDlg::LastTransfer), QStringLiteral("day 45001"));
}

void InfoDlgTest::showModeOnlyShows()
{
    receiveBoxInfo();
    auto dlg = makeDialog(false);
    for (int f = 0; f < CInfoDlg::FieldCount; ++f) {
        QVERIFY2(dlg->field(static_cast<CInfoDlg::Field>(f))->isReadOnly(), qPrintable(QString::number(f)));
    }
    QVERIFY(dlg->commentEdit()->isReadOnly());
    QVERIFY(dlg->sendButton()->isHidden());
    QVERIFY(!dlg->receiveButton()->isHidden());
}

void InfoDlgTest::editModeBeforeBoxInfoKeepsBoxFieldsReadOnly()
{
    auto dlg = makeDialog(true);
    for (int f = CInfoDlg::BoxVersion2; f <= CInfoDlg::BoxVersion7; ++f) {
        QVERIFY(dlg->field(static_cast<CInfoDlg::Field>(f))->isReadOnly());
    }
    QVERIFY(!dlg->sendButton()->isHidden());
    QVERIFY(!dlg->sendButton()->isEnabled());
    QVERIFY(!dlg->field(CInfoDlg::FileVersion1)->isReadOnly());
    QVERIFY(!dlg->commentEdit()->isReadOnly());
    for (auto f : {CInfoDlg::FileSave, CInfoDlg::LastTransfer, CInfoDlg::BoxVersion1, CInfoDlg::IECounter,
                   CInfoDlg::StartCounter}) {
        QVERIFY(dlg->field(f)->isReadOnly());
    }
}

void InfoDlgTest::fieldLimits()
{
    receiveBoxInfo();
    auto dlg = makeDialog(true);
    QCOMPARE(dlg->field(CInfoDlg::FileVersion1)->maxLength(), 16);
    QCOMPARE(dlg->field(CInfoDlg::FileVersion3)->maxLength(), 16);
    QCOMPARE(dlg->field(CInfoDlg::BoxVersion2)->maxLength(), 8);
    QCOMPARE(dlg->field(CInfoDlg::BoxVersion6)->maxLength(), 8);
    QCOMPARE(dlg->field(CInfoDlg::BoxVersion7)->maxLength(), 16);

    QLineEdit* v2 = dlg->field(CInfoDlg::BoxVersion2);
    v2->clear();
    QTest::keyClicks(v2, QStringLiteral("1234567890"));
    QCOMPARE(v2->text(), QStringLiteral("12345678"));
}

void InfoDlgTest::commentIsLimitedWithLineBreaksCountingTwo()
{
    auto dlg = makeDialog(true);
    QPlainTextEdit* comment = dlg->commentEdit();
    comment->insertPlainText(QString(150, QLatin1Char('a')));
    comment->insertPlainText(QStringLiteral("\n") + QString(100, QLatin1Char('b')));
    // 150 + 2 for the line break + 48 = 200
    QCOMPARE(comment->toPlainText(), QString(150, QLatin1Char('a')) + "\n" + QString(48, QLatin1Char('b')));
    QCOMPARE(CInfoDlg::recordLength(comment->toPlainText()), 200);
    QTest::keyClicks(comment, QStringLiteral("c"));
    QCOMPARE(CInfoDlg::recordLength(comment->toPlainText()), 200);

    // Typing in the middle gives way too, and what was there stays.
    comment->moveCursor(QTextCursor::Start);
    QTest::keyClicks(comment, QStringLiteral("zz"));
    QVERIFY(comment->toPlainText().startsWith(QString(150, QLatin1Char('a'))));

    dlg->accept();
    QCOMPARE(records.file.comment, std::string(150, 'a') + "\r\n" + std::string(48, 'b'));
    QVERIFY(dlg->fileTextsChanged());
}

void InfoDlgTest::longTextsFromOlderFilesAreNotCut()
{
    records.file.versions[0] = "a version text of 30 charactrs";
    records.file.comment = std::string(300, 'x');
    auto dlg = makeDialog(true);
    QCOMPARE(text(*dlg, CInfoDlg::FileVersion1), QStringLiteral("a version text of 30 charactrs"));
    QCOMPARE(dlg->commentEdit()->toPlainText().size(), 300);

    QLineEdit* v1 = dlg->field(CInfoDlg::FileVersion1);
    v1->end(false);
    QTest::keyClick(v1, Qt::Key_Backspace);
    QTest::keyClicks(v1, QStringLiteral("sXYZ")); // shortened, it cannot grow again
    QCOMPARE(v1->text(), QStringLiteral("a version text of 30 charactr"));

    dlg->accept();
    QCOMPARE(records.file.versions[0], "a version text of 30 charactr");
    QCOMPARE(records.file.comment, std::string(300, 'x')); // untouched, not cut
    QVERIFY(dlg->fileTextsChanged());
}

void InfoDlgTest::fileTextsAreStoredOnOkOnly()
{
    records.file.versions[1] = "Box \xE4"; // Windows-1252 as read from the file
    records.file.comment = "line 1\r\nline 2";
    {
        auto dlg = makeDialog(true);
        QCOMPARE(text(*dlg, CInfoDlg::FileVersion2), QStringLiteral("Box \u00e4"));
        QCOMPARE(dlg->commentEdit()->toPlainText(), QStringLiteral("line 1\nline 2"));
        dlg->field(CInfoDlg::FileVersion1)->insert(QStringLiteral("R\u00fcckl"));
        dlg->reject();
        QCOMPARE(records.file.versions[0], "");
        QVERIFY(!dlg->fileTextsChanged());
    }
    auto dlg = makeDialog(true);
    QSignalSpy accepted(dlg.get(), &QDialog::accepted);
    dlg->field(CInfoDlg::FileVersion1)->insert(QStringLiteral("R\u00fcckl"));
    dlg->okButton()->click();
    QCOMPARE(accepted.count(), 1);
    QCOMPARE(records.file.versions[0], "R\xFC"
                                       "ckl");
    QCOMPARE(records.file.versions[1], "Box \xE4"); // untouched, byte for byte
    QCOMPARE(records.file.comment, "line 1\r\nline 2");
    QVERIFY(dlg->fileTextsChanged());
    QVERIFY(messages.shown.empty()); // no box value changed: no question
}

void InfoDlgTest::changedBoxVersionAsksOnOk_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("sent");
    QTest::newRow("cancel") << int(UserAnswer::Cancel) << false << false;
    QTest::newRow("no") << int(UserAnswer::No) << true << false;
    QTest::newRow("yes") << int(UserAnswer::Yes) << true << true;
}

void InfoDlgTest::changedBoxVersionAsksOnOk()
{
    QFETCH(int, answer);
    QFETCH(bool, closes);
    QFETCH(bool, sent);

    receiveBoxInfo();
    InfoBytes sentBlock;
    host.scripts.push_back({true, {{PT_WRITE_BEGIN, 0}, {PT_VALUE_WRITTEN, 0}, {PT_WRITE_DONE, 0}}, [&] {
                                infoBytesFromRecords(records.box, sentBlock);
                            }});
    messages.answers.push_back(static_cast<UserAnswer>(answer));

    auto dlg = makeDialog(true);
    QVERIFY(dlg->sendButton()->isEnabled());
    QLineEdit* v3 = dlg->field(CInfoDlg::BoxVersion3);
    QVERIFY(!v3->isReadOnly());
    QCOMPARE(v3->text(), QStringLiteral("OLD3"));
    v3->selectAll();
    QTest::keyClicks(v3, QStringLiteral("NEW3"));
    QVERIFY(dlg->boxValuesChanged());

    QSignalSpy finished(dlg.get(), &QDialog::finished);
    dlg->okButton()->click();

    QCOMPARE(messages.shown.size(), std::size_t{1});
    QCOMPARE(messages.shown[0].text, std::string(kQuestion));
    QCOMPARE(messages.shown[0].icon, platform::UserMessage::Icon::Question);
    QCOMPARE(messages.shown[0].buttons, platform::UserMessage::Buttons::YesNoCancel);

    QCOMPARE(finished.count(), closes ? 1 : 0);
    if (closes) {
        QCOMPARE(dlg->result(), int(QDialog::Accepted));
    }
    QCOMPARE(v3->text(), QStringLiteral("NEW3"));
    QCOMPARE(records.box.versions[2], "NEW3");
    QCOMPARE(dlg->boxValuesChanged(), !sent);
    QCOMPARE(host.starts, sent ? std::vector<bool>{true} : std::vector<bool>{});
    if (sent) {
        QCOMPARE(std::memcmp(sentBlock.texts.data() + 8, "NEW3\0\0\0\0", 8), 0);
    }
}

void InfoDlgTest::failedSendKeepsTheDialogOpen()
{
    receiveBoxInfo();
    host.scripts.push_back({true, {{PT_WRITE_BEGIN, 0}, {PT_WRITE_FAILED, PTERR_READ}, {PT_ABORTED, PTERR_READ}}, {}});
    host.scripts.push_back({true, {{PT_WRITE_DONE, 0}}, {}});
    messages.answers = {UserAnswer::Yes, UserAnswer::Yes};

    auto dlg = makeDialog(true);
    QSignalSpy finished(dlg.get(), &QDialog::finished);
    dlg->field(CInfoDlg::BoxVersion7)->selectAll();
    QTest::keyClicks(dlg->field(CInfoDlg::BoxVersion7), QStringLiteral("sixteen chars ok"));
    dlg->okButton()->click();
    QCOMPARE(finished.count(), 0);
    QVERIFY(dlg->boxValuesChanged());
    QCOMPARE(text(*dlg, CInfoDlg::BoxVersion7), QStringLiteral("sixteen chars ok"));

    // Asked again, and this time the send goes through.
    dlg->okButton()->click();
    QCOMPARE(messages.shown.size(), std::size_t{2});
    QCOMPARE(finished.count(), 1);
    QVERIFY(!dlg->boxValuesChanged());
    QCOMPARE(host.starts, (std::vector<bool>{true, true}));
}

void InfoDlgTest::receiveFillsTheBoxFieldsWithGroupedCounters()
{
    host.scripts.push_back(receiveScript(records));
    auto dlg = makeDialog(true);
    QVERIFY(!dlg->sendButton()->isEnabled());

    dlg->receiveButton()->click();
    QCOMPARE(host.starts, std::vector<bool>{false});
    QCOMPARE(text(*dlg, CInfoDlg::BoxVersion1), QStringLiteral("ZB 1.07"));
    QCOMPARE(text(*dlg, CInfoDlg::BoxVersion3), QStringLiteral("OLD3"));
    QCOMPARE(text(*dlg, CInfoDlg::IECounter), QStringLiteral("12,345"));
    QCOMPARE(text(*dlg, CInfoDlg::StartCounter), QStringLiteral("7"));
    QCOMPARE(text(*dlg, CInfoDlg::LastTransfer), QStringLiteral("day 45600"));
    // Now the box texts may be edited and sent.
    QVERIFY(dlg->sendButton()->isEnabled());
    QVERIFY(!dlg->field(CInfoDlg::BoxVersion2)->isReadOnly());
    QVERIFY(!dlg->boxValuesChanged());

    // Sending from the button clears the changed mark.
    host.scripts.push_back({true, {{PT_WRITE_DONE, 0}}, {}});
    QTest::keyClicks(dlg->field(CInfoDlg::BoxVersion2), QStringLiteral("X"));
    QVERIFY(dlg->boxValuesChanged());
    dlg->sendButton()->click();
    QVERIFY(!dlg->boxValuesChanged());
    QCOMPARE(records.box.versions[1], "X");
    dlg->okButton()->click();
    QVERIFY(messages.shown.empty());
}

void InfoDlgTest::failedReceiveKeepsTheTypedValues()
{
    receiveBoxInfo();
    host.scripts.push_back(
        {true, {{PT_READ_BEGIN, 0}, {PT_ABORTED, PTERR_READ}}, [this] { records.box.versions[3] = "must not show"; }});
    auto dlg = makeDialog(true);
    QTest::keyClicks(dlg->field(CInfoDlg::BoxVersion4), QStringLiteral("mine"));
    dlg->receiveButton()->click();
    QCOMPARE(text(*dlg, CInfoDlg::BoxVersion4), QStringLiteral("mine"));
    QVERIFY(dlg->boxValuesChanged());
}

QTEST_MAIN(InfoDlgTest)
#include "InfoDlgTest.moc"
