#include "ShellFakes.h"

#include "shell/InfoTransfer.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using namespace morvex;
using namespace morvex::comm;
using morvex::shell::CInfoTransfer;
using morvex::test::FakeHost;

// Stepwise tests hand the worker's posted reports over with
// sendPostedEvents: deterministic, no waiting. Whole runs use exec(), which
// ends by itself with the scripted done or abort report.
class InfoTransferTest : public QObject {
    Q_OBJECT
private slots:
    void wholeReceiveShowsEveryStatus();
    void sendingSaysSending();
    void progressStopsAtTheTotal();
    void failedValueBlinksUntilAValueGoesThrough();
    void cancelWaitsForTheAbortReport();
    void escapeActsAsCancel();
    void portThatDoesNotOpenClosesWithCancel();
    void reportsAfterTheEndAreIgnored();
};

namespace {

QStringList statuses(const QSignalSpy& spy)
{
    QStringList out;
    for (const QList<QVariant>& args : spy) {
        out << args.at(0).toString();
    }
    return out;
}

void deliver()
{
    QCoreApplication::sendPostedEvents();
}

} // namespace

void InfoTransferTest::wholeReceiveShowsEveryStatus()
{
    FakeHost host;
    host.total = 3;
    host.scripts.push_back(
        {true,
         {{PT_RECEIVE_STARTED, 0}, {PT_READ_BEGIN, 0}, {PT_VALUE_READ, 0}, {PT_VALUE_READ, 1}, {PT_READ_DONE, 0}},
         {}});
    CInfoTransfer dlg(false, host);
    QSignalSpy spy(&dlg, &CInfoTransfer::statusChanged);

    QCOMPARE(dlg.exec(), int(QDialog::Accepted));
    QCOMPARE(host.starts, std::vector<bool>{false});
    QCOMPARE(statuses(spy), QStringList({
                                "Try to open Port\nPlease wait...",
                                "Port opened\nPlease wait...",
                                "1 [3] completed\nReceiving data...",
                                "2 [3] completed\nReceiving data...",
                                "3 [3] completed\nReceiving data...",
                                "Tranfer completed [3]\nStatus: OK",
                            }));
    QCOMPARE(dlg.progressMaximum(), 3);
    QCOMPARE(dlg.progressValue(), 3);
    QCOMPARE(host.cancels, 0);
}

void InfoTransferTest::sendingSaysSending()
{
    FakeHost host;
    host.total = 64;
    host.scripts.push_back({true, {{PT_WRITE_BEGIN, 0}, {PT_VALUE_WRITTEN, 0}}, {}});
    CInfoTransfer dlg(true, host);
    dlg.begin();
    deliver();
    QCOMPARE(host.starts, std::vector<bool>{true});
    QCOMPARE(dlg.statusText(), QStringLiteral("2 [64] completed\nSending data..."));
    dlg.onPortMessage(WM_PORT_NOTIFY, PT_WRITE_DONE, 0);
    QCOMPARE(dlg.statusText(), QStringLiteral("Tranfer completed [2]\nStatus: OK"));
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
}

void InfoTransferTest::progressStopsAtTheTotal()
{
    FakeHost host;
    host.total = 2;
    host.scripts.push_back(
        {true, {{PT_READ_BEGIN, 0}, {PT_VALUE_READ, 0}, {PT_READ_BEGIN, 1}, {PT_VALUE_READ, 1}}, {}});
    CInfoTransfer dlg(false, host);
    dlg.begin();
    deliver();
    QCOMPARE(dlg.progressValue(), 2);
    QCOMPARE(dlg.statusText(), QStringLiteral("2 [2] completed\nReceiving data..."));
}

void InfoTransferTest::failedValueBlinksUntilAValueGoesThrough()
{
    FakeHost host;
    host.scripts.push_back({true, {{PT_READ_BEGIN, 0}, {PT_READ_FAILED, 0}}, {}});
    CInfoTransfer dlg(false, host);
    dlg.begin();
    deliver();

    QCOMPARE(dlg.statusText(), QStringLiteral("Error transfer!\nPlease check cable, etc."));
    QVERIFY(dlg.isErrorShown());
    QVERIFY(!dlg.isFinished()); // the worker retries; the dialog stays
    auto* blink = dlg.findChild<QTimer*>();
    QVERIFY(blink != nullptr && blink->isActive());
    const bool phase = dlg.blinkPhase();
    dlg.advanceBlink();
    QCOMPARE(dlg.blinkPhase(), !phase);
    dlg.advanceBlink();
    QCOMPARE(dlg.blinkPhase(), phase);

    // The begin of the retry does not end the error look, the value does.
    dlg.onPortMessage(WM_PORT_NOTIFY, PT_READ_BEGIN, 0);
    QVERIFY(dlg.isErrorShown());
    dlg.onPortMessage(WM_PORT_NOTIFY, PT_VALUE_READ, 0);
    QVERIFY(!dlg.isErrorShown());
    QVERIFY(!blink->isActive());
    QCOMPARE(dlg.statusText(), QStringLiteral("3 [4] completed\nReceiving data..."));
}

void InfoTransferTest::cancelWaitsForTheAbortReport()
{
    FakeHost host;
    host.scripts.push_back({true, {{PT_WRITE_BEGIN, 0}, {PT_WRITE_FAILED, PTERR_READ}}, {}});
    CInfoTransfer dlg(true, host);
    QSignalSpy finished(&dlg, &QDialog::finished);
    dlg.begin();
    deliver();
    QVERIFY(dlg.isErrorShown());

    dlg.cancelButton()->click();
    QCOMPARE(host.cancels, 1);
    QVERIFY(dlg.isCancelled());
    QVERIFY(!dlg.cancelButton()->isEnabled());
    QCOMPARE(dlg.statusText(), QStringLiteral("Cancel transfer\nPlease wait..."));
    QCOMPARE(finished.count(), 0);

    dlg.cancelButton()->click(); // disabled: nothing more
    QCOMPARE(host.cancels, 1);

    deliver(); // the worker's abort report
    QCOMPARE(dlg.statusText(), QStringLiteral("Transfer aborted\nPlease wait for closing port..."));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QVERIFY(!dlg.findChild<QTimer*>()->isActive());
}

void InfoTransferTest::escapeActsAsCancel()
{
    FakeHost host;
    host.scripts.push_back({true, {{PT_READ_BEGIN, 0}}, {}});
    CInfoTransfer dlg(false, host);
    QSignalSpy finished(&dlg, &QDialog::finished);
    dlg.begin();
    deliver();
    dlg.reject();
    QCOMPARE(host.cancels, 1);
    QCOMPARE(finished.count(), 0);
    deliver();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(dlg.result(), int(QDialog::Rejected));

    // The same through exec(): Esc while the transfer runs.
    host.scripts.push_back({true, {{PT_READ_BEGIN, 0}}, {}});
    CInfoTransfer second(false, host);
    QTimer::singleShot(0, &second, [&second] {
        // begin() runs queued after the show; press Esc after it.
        QTimer::singleShot(0, &second, [&second] { QTest::keyClick(&second, Qt::Key_Escape); });
    });
    QCOMPARE(second.exec(), int(QDialog::Rejected));
    QCOMPARE(host.cancels, 2);
    QCOMPARE(second.statusText(), QStringLiteral("Transfer aborted\nPlease wait for closing port..."));
}

void InfoTransferTest::portThatDoesNotOpenClosesWithCancel()
{
    FakeHost host;
    host.scripts.push_back({false, {}, {}});
    CInfoTransfer dlg(true, host);
    QSignalSpy spy(&dlg, &CInfoTransfer::statusChanged);
    QCOMPARE(dlg.exec(), int(QDialog::Rejected));
    QCOMPARE(statuses(spy), QStringList({"Try to open Port\nPlease wait..."}));
    QCOMPARE(host.cancels, 0);
}

void InfoTransferTest::reportsAfterTheEndAreIgnored()
{
    FakeHost host;
    host.scripts.push_back({true, {{PT_READ_DONE, 0}, {PT_ABORTED, PTERR_CANCELED}}, {}});
    CInfoTransfer dlg(false, host);
    dlg.begin();
    deliver();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(dlg.statusText(), QStringLiteral("Tranfer completed [0]\nStatus: OK"));
    dlg.begin(); // once only
    QCOMPARE(host.starts.size(), std::size_t{1});
}

QTEST_MAIN(InfoTransferTest)
#include "InfoTransferTest.moc"
