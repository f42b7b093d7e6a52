// The Diagnostic pane end to end: the editor against morvex-boxsim, driven
// by the keyboard; what the browser shows is read back from the page.
#include "EditorHarness.h"
#include "live/DiagnosticCtrl.h"
#include "live/DiagnosticView.h"
#include "shell/DiagnosticPane.h"
#include "shell/FrameRules.h"
#include "shell/PaneLayout.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QUrlQuery>
#include <QWebEnginePage>

#include <filesystem>

using namespace morvex::shell;
using morvex::live::CDiagnosticView;
using testing_support::Editor;

namespace {

constexpr int kPageWaitMs = 20000;

// morvex-boxsim with its control channel on standard input.
class Box {
public:
    explicit Box(const QString& version = QStringLiteral("ZB60 2.1"))
    {
        process.setProgram(
            QString::fromStdString((std::filesystem::path(MORVEX_PROGRAM_DIR) / "morvex-boxsim").string()));
        process.setArguments({QStringLiteral("--control-stdin"), QStringLiteral("--box-version"), version});
        process.start();
        if (process.waitForStarted(5000) && process.waitForReadyRead(10000)) {
            const QByteArray line = process.readLine().trimmed();
            if (line.startsWith("PTY ")) {
                device = QString::fromUtf8(line.mid(4));
            }
        }
    }
    ~Box()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    QString control(const QString& line)
    {
        process.write((line + QLatin1Char('\n')).toUtf8());
        while (!process.canReadLine() && process.waitForReadyRead(5000)) {
        }
        return QString::fromUtf8(process.readLine().trimmed());
    }

    QProcess process;
    QString device;
};

// An editor whose COM7 is `device`, on the Diagnostic pane.
struct DiagnosticEditor : Editor {
    explicit DiagnosticEditor(const QString& device)
        : Editor("[Misc]\r\nLastUsedCom=7\r\nLastUsedBAUD=9600\r\nIEFontSize=-1\r\n[Ports]\r\nCOM7=" +
                 device.toStdString() + "\r\n")
    {
        if (started) {
            key(Qt::Key_6, Qt::ControlModifier);
        }
    }
    CDiagnosticView* view() { return frame->diagnostic().view(); }
    morvex::live::CDiagnosticCtrl* browser() { return view()->browser(); }
    QListWidget* list() { return view()->topicList(); }
    void topicKey(Qt::Key k) { QTest::keyClick(list(), k); }
    QString pageName() { return browser()->url().fileName(); }

    // Runs `script` in the shown page and returns its value as text.
    QString evaluate(const QString& script)
    {
        QVariant result;
        bool done = false;
        browser()->page()->runJavaScript(script, [&](const QVariant& v) {
            result = v;
            done = true;
        });
        for (int i = 0; i < 200 && !done; ++i) {
            QTest::qWait(25);
        }
        return result.toString();
    }
    // The text of element `id`, once the page's script has filled it in.
    QString element(const QString& id)
    {
        const QString script = QStringLiteral("(function(){var e=document.getElementById('%1');"
                                              "return e && e.textContent ? e.textContent : '';})()")
                                   .arg(id);
        QString text;
        for (int i = 0; i < 100 && text.isEmpty(); ++i) {
            text = evaluate(script);
            if (text.isEmpty()) {
                QTest::qWait(50);
            }
        }
        return text;
    }
    // Enter on the current topic; the panel runs until its End button is
    // enabled, which is pressed when `end` is set.
    bool runTopic(bool end)
    {
        topicKey(Qt::Key_Return);
        if (!QTest::qWaitFor([&] { return view()->panel() != nullptr; }, 5000)) {
            return false;
        }
        if (end) {
            const auto endable = [&] {
                morvex::live::CDiagnosticInfo* panel = view()->panel();
                return panel == nullptr || panel->endButton()->isEnabled();
            };
            if (!QTest::qWaitFor(endable, kPageWaitMs)) {
                return false;
            }
            if (morvex::live::CDiagnosticInfo* panel = view()->panel()) {
                QTest::mouseClick(panel->endButton(), Qt::LeftButton);
            }
        }
        return QTest::qWaitFor([&] { return view()->panel() == nullptr; }, kPageWaitMs);
    }
};

} // namespace

class DiagnosticPaneTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        if (!DiagnosticPane::webEngineUsable()) {
            QSKIP("Qt WebEngine cannot run on this display (not installed, or no OpenGL)");
        }
    }

    void throttleShowsItsValuesAndEnterReturns()
    {
        Box box;
        QVERIFY(!box.device.isEmpty());
        QCOMPARE(box.control(QStringLiteral("measure 160 64 71")), QStringLiteral("OK"));
        DiagnosticEditor e(box.device);
        QVERIFY(e.started && e.active);
        QTRY_COMPARE_WITH_TIMEOUT(e.pageName(), QStringLiteral("communication.html"), kPageWaitMs);
        e.topicKey(Qt::Key_Down);
        e.topicKey(Qt::Key_Down);
        QTRY_COMPARE_WITH_TIMEOUT(e.pageName(), QStringLiteral("throttle.html"), kPageWaitMs);

        QVERIFY(e.runTopic(true));
        QTRY_COMPARE_WITH_TIMEOUT(e.pageName(), QStringLiteral("throttleres.html"), kPageWaitMs);
        const QUrlQuery query(e.browser()->url());
        QCOMPARE(query.queryItemValue(QStringLiteral("mw1")), QStringLiteral("64"));
        QCOMPARE(query.queryItemValue(QStringLiteral("mw2")), QStringLiteral("71"));
        QCOMPARE(e.element(QStringLiteral("mw1")), QStringLiteral("64"));
        QCOMPARE(e.element(QStringLiteral("mw2")), QStringLiteral("71"));
        QVERIFY2(e.element(QStringLiteral("verdict")).contains(QStringLiteral("left cylinder runs cooler")),
                 qPrintable(e.element(QStringLiteral("verdict"))));
        QCOMPARE(e.transferText().left(2), QStringLiteral("OK"));

        // Enter in the page goes back to the topic page.
        e.browser()->setFocus();
        QTest::keyClick(e.browser()->focusProxy() ? e.browser()->focusProxy() : e.browser(), Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(e.pageName(), QStringLiteral("throttle.html"), kPageWaitMs);
        QVERIFY(!e.view()->resultShown());

        // The largest font is kept as the setting and checked in the menu;
        // only the Diagnostic pane offers the fonts.
        e.frame->diagnostic().fontAction(4)->trigger();
        QCOMPARE(e.app.settings().ieFontSize, 4);
        QVERIFY(e.browser()->zoomFactor() > 1.3);
        QVERIFY(e.frame->diagnostic().fontAction(4)->isChecked());
        QVERIFY(!e.frame->diagnostic().fontAction(2)->isChecked());
        e.key(Qt::Key_1, Qt::ControlModifier);
        QVERIFY(!e.frame->diagnostic().fontAction(4)->isEnabled());
    }

    void endingFuelPumpEarlyStillEndsTheBoxAction()
    {
        Box box;
        DiagnosticEditor e(box.device);
        QVERIFY(e.started);
        for (int i = 0; i < 5; ++i) {
            e.topicKey(Qt::Key_Down);
        }
        QTRY_COMPARE_WITH_TIMEOUT(e.pageName(), QStringLiteral("fuelpump.html"), kPageWaitMs);
        QVERIFY(e.runTopic(true));
        // The box saw the pump started and ended by the request byte; that
        // byte has no answer, so the simulator may read it after the panel closed.
        QTRY_COMPARE_WITH_TIMEOUT(box.control(QStringLiteral("diag")),
                                  QStringLiteral("OK pending=0 started=1 ended=1 last=163"), kPageWaitMs);
        QCOMPARE(e.pageName(), QStringLiteral("fuelpump.html"));
        QVERIFY(!e.view()->resultShown());
        QCOMPARE(e.transferText().left(2), QStringLiteral("OK"));
    }

    void aBoxTextArrivesAsPlainText_data()
    {
        QTest::addColumn<QString>("version");
        QTest::newRow("script") << QStringLiteral("<script>");
        QTest::newRow("parameter") << QStringLiteral("&port=9#");
    }
    void aBoxTextArrivesAsPlainText()
    {
        QFETCH(QString, version);
        Box box(version);
        DiagnosticEditor e(box.device);
        QVERIFY(e.started);
        QTRY_COMPARE_WITH_TIMEOUT(e.pageName(), QStringLiteral("communication.html"), kPageWaitMs);
        QVERIFY(e.runTopic(false));
        QTRY_COMPARE_WITH_TIMEOUT(e.pageName(), QStringLiteral("communicationres.html"), kPageWaitMs);
        const QUrlQuery query(e.browser()->url());
        QCOMPARE(query.queryItemValue(QStringLiteral("boxversion"), QUrl::FullyDecoded), version);
        QCOMPARE(query.queryItemValue(QStringLiteral("port")), QStringLiteral("7"));
        QCOMPARE(query.queryItemValue(QStringLiteral("baud")), QStringLiteral("9600"));
        QVERIFY(e.browser()->url().fragment().isEmpty());
        QCOMPARE(e.element(QStringLiteral("boxversion")), version);
        QCOMPARE(e.element(QStringLiteral("port")), QStringLiteral("COM7"));
        QCOMPARE(e.evaluate(QStringLiteral("String(document.querySelectorAll('#boxversion *').length)")),
                 QStringLiteral("0"));
    }

    void aFailingPortShowsTheErrorPage()
    {
        DiagnosticEditor e(QStringLiteral("/dev/morvex-no-such-port"));
        QVERIFY(e.started);
        QTRY_COMPARE_WITH_TIMEOUT(e.pageName(), QStringLiteral("communication.html"), kPageWaitMs);
        e.topicKey(Qt::Key_Down);
        QVERIFY(e.runTopic(false));
        QTRY_COMPARE_WITH_TIMEOUT(e.pageName(), QStringLiteral("communicationerr.html"), kPageWaitMs);
        QCOMPARE(e.element(QStringLiteral("port")), QStringLiteral("COM7"));
        QCOMPARE(e.element(QStringLiteral("baud")), QStringLiteral("9600"));
        QCOMPARE(e.messages.shown.size(), std::size_t{1}); // the port error, once
        // Enter goes back to the topic.
        e.topicKey(Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(e.pageName(), QStringLiteral("motorstart.html"), kPageWaitMs);
    }

    void aMissingPageShowsThe404PageOnce()
    {
        DiagnosticEditor e(QStringLiteral("/dev/morvex-no-such-port"));
        QVERIFY(e.started);
        // Pages of this folder's own, so that some can go missing.
        namespace fs = std::filesystem;
        const fs::path cnf = e.folder.path() / "CNF";
        fs::remove(cnf);
        fs::copy(fs::path(MORVEX_PROGRAM_DIR) / "CNF", cnf, fs::copy_options::recursive);
        fs::remove(cnf / "DIAG" / "en" / "throttle.html");
        e.topicKey(Qt::Key_Down);
        e.topicKey(Qt::Key_Down);
        QTRY_COMPARE_WITH_TIMEOUT(e.pageName(), QStringLiteral("404.html"), kPageWaitMs);
        QVERIFY(QUrlQuery(e.browser()->url()).queryItemValue(QStringLiteral("page")).contains("throttle.html"));
        QVERIFY(e.element(QStringLiteral("page")).endsWith(QStringLiteral("/en/throttle.html")));
        QCOMPARE(e.browser()->redirects(), 1);

        // Without the 404 page too, a plain text says so; no loop.
        fs::remove(cnf / "DIAG" / "en" / "404.html");
        fs::remove(cnf / "DIAG" / "en" / "motorstart.html");
        e.topicKey(Qt::Key_Up);
        QTRY_VERIFY_WITH_TIMEOUT(e.evaluate(QStringLiteral("document.body ? document.body.textContent : ''"))
                                     .contains(QStringLiteral("404.html cannot be shown")),
                                 kPageWaitMs);
        QCOMPARE(e.browser()->redirects(), 2);
    }

    void withoutTheWebEngineThePaneSaysSo()
    {
        qputenv("QTWEBENGINEPROCESS_PATH", "/nonexistent/QtWebEngineProcess");
        Editor e;
        qunsetenv("QTWEBENGINEPROCESS_PATH");
        QVERIFY(e.started);
        QVERIFY(e.frame->diagnostic().view() == nullptr);
        e.key(Qt::Key_6, Qt::ControlModifier);
        auto* notice = qobject_cast<QLabel*>(e.frame->panes().diagnosticView());
        QVERIFY(notice != nullptr);
        QVERIFY(notice->isVisible());
        QVERIFY(notice->text().contains(QStringLiteral("QtWebEngineProcess")));
        // The rest works: back to the Fuel Map.
        e.key(Qt::Key_1, Qt::ControlModifier);
        QCOMPARE(e.frame->activePane(), kFuelMapPane);
    }
};

int main(int argc, char** argv)
{
    morvex::live::CDiagnosticCtrl::prepareApplication();
    QApplication app(argc, argv);
    DiagnosticPaneTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DiagnosticPaneTest.moc"
