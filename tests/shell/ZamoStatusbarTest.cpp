#include "shell/ZamoStatusbar.h"

#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QPalette>
#include <QtTest>

using namespace morvex::shell;

class ZamoStatusbarTest : public QObject {
    Q_OBJECT
private slots:
    void runningLightWrapsAfterTheLastCell();
    void litCellsFollowThePosition();
    void cellColoursByState();
    void stateChangeClearsErrorAndRestartsLight();
    void pulseMakesActiveAndTakesText();
    void linkTextIsCutToEightCharacters();
    void transferTextIsCutTo28AndKeepsItsErrorLook();
    void paintedCellsShowTheRunningLight();
    void paintedTransferErrorIsRed();
    void paneTextsGoToTheirPanes();
    void panesStandInOrder();
};

void ZamoStatusbarTest::runningLightWrapsAfterTheLastCell()
{
    QCOMPARE(nextRunningPosition(4), 5);
    QCOMPARE(nextRunningPosition(34), 35); // 35 is still below 35.6
    QCOMPARE(nextRunningPosition(35), 4);  // 36 has passed it

    COnlineStatusCtrl ctrl;
    QCOMPARE(ctrl.Position(), 4);
    for (int i = 0; i < 31; ++i) {
        ctrl.Pulse(false);
    }
    QCOMPARE(ctrl.Position(), 35);
    ctrl.Pulse(false);
    QCOMPARE(ctrl.Position(), 4);
}

void ZamoStatusbarTest::litCellsFollowThePosition()
{
    QCOMPARE(litCells(4), 1);
    QCOMPARE(litCells(7), 1);
    QCOMPARE(litCells(8), 2);
    QCOMPARE(litCells(31), 7);
    QCOMPARE(litCells(32), 8);
    QCOMPARE(litCells(35), 8);
}

void ZamoStatusbarTest::cellColoursByState()
{
    QPalette palette;
    palette.setColor(QPalette::WindowText, QColor(1, 2, 3));
    palette.setColor(QPalette::Dark, QColor(40, 50, 60));
    const QColor windowText(1, 2, 3);

    CellColors c = cellColors(true, false, true, palette);
    QCOMPARE(c.background, QColor(0, 255, 0));
    QCOMPARE(c.text, windowText);
    c = cellColors(true, true, true, palette);
    QCOMPARE(c.background, QColor(255, 0, 0));
    QCOMPARE(c.text, QColor(Qt::white));
    c = cellColors(true, false, false, palette);
    QCOMPARE(c.background, QColor(0, 128, 0));
    QCOMPARE(c.text, QColor(Qt::white));
    c = cellColors(true, true, false, palette);
    QCOMPARE(c.background, QColor(128, 0, 0));
    QCOMPARE(c.text, windowText);
    for (bool error : {false, true}) {
        for (bool lit : {false, true}) {
            c = cellColors(false, error, lit, palette);
            QCOMPARE(c.background, QColor(40, 50, 60));
            QCOMPARE(c.text, windowText);
        }
    }
}

void ZamoStatusbarTest::stateChangeClearsErrorAndRestartsLight()
{
    COnlineStatusCtrl ctrl;
    QCOMPARE(ctrl.Text(), QStringLiteral("OFFLINE"));
    QVERIFY(!ctrl.IsActive());

    ctrl.SetState(true, QStringLiteral("SEND"));
    ctrl.Pulse(true);
    ctrl.Pulse(true);
    QVERIFY(ctrl.IsError());
    QCOMPARE(ctrl.Position(), 6);

    // The same state again keeps error and position; only the text changes.
    ctrl.SetState(true, QStringLiteral("RECEIVE"));
    QVERIFY(ctrl.IsError());
    QCOMPARE(ctrl.Position(), 6);
    QCOMPARE(ctrl.Text(), QStringLiteral("RECEIVE"));

    ctrl.SetState(false);
    QVERIFY(!ctrl.IsActive());
    QVERIFY(!ctrl.IsError());
    QCOMPARE(ctrl.Position(), 4);
    QCOMPARE(ctrl.Text(), QStringLiteral("RECEIVE")); // no text given: kept
}

void ZamoStatusbarTest::pulseMakesActiveAndTakesText()
{
    COnlineStatusCtrl ctrl;
    ctrl.Pulse(true, QStringLiteral("ONLINE"));
    QVERIFY(ctrl.IsActive());
    QVERIFY(ctrl.IsError());
    QCOMPARE(ctrl.Text(), QStringLiteral("ONLINE"));
    ctrl.Pulse(false);
    QVERIFY(!ctrl.IsError());
    QCOMPARE(ctrl.Position(), 6);
}

void ZamoStatusbarTest::linkTextIsCutToEightCharacters()
{
    COnlineStatusCtrl ctrl;
    ctrl.SetState(true, QStringLiteral("123456789"));
    QCOMPARE(ctrl.Text(), QStringLiteral("12345678"));
    ctrl.Pulse(false, QStringLiteral("ABCDEFGHIJ"));
    QCOMPARE(ctrl.Text(), QStringLiteral("ABCDEFGH"));
}

void ZamoStatusbarTest::transferTextIsCutTo28AndKeepsItsErrorLook()
{
    COnlineTransferCtrl ctrl;
    const QString longText = QStringLiteral("Transmission aborted by the user at 12:00");
    ctrl.Set(true, longText);
    QCOMPARE(ctrl.Text(), longText.left(28));
    QCOMPARE(ctrl.Text().size(), 28);
    QVERIFY(ctrl.IsError());
    ctrl.Set(false, QStringLiteral("0/522"));
    QVERIFY(!ctrl.IsError());
    QCOMPARE(ctrl.Text(), QStringLiteral("0/522"));
}

void ZamoStatusbarTest::paintedCellsShowTheRunningLight()
{
    COnlineStatusCtrl ctrl;
    ctrl.resize(82, 20); // 80 inside the 1-pixel frame: 8 cells of 10
    ctrl.SetState(true, QString());
    for (int i = 0; i < 4; ++i) {
        ctrl.Pulse(false); // position 8: two cells lit
    }
    QImage image = ctrl.grab().toImage();
    const qreal scale = image.devicePixelRatio();
    auto cellColour = [&](int cell) {
        return image.pixelColor(QPoint(int((1 + cell * 10 + 1) * scale), int(3 * scale)));
    };
    QCOMPARE(cellColour(0), QColor(0, 255, 0));
    QCOMPARE(cellColour(1), QColor(0, 255, 0));
    QCOMPARE(cellColour(2), QColor(0, 128, 0));
    QCOMPARE(cellColour(7), QColor(0, 128, 0));

    ctrl.Pulse(true);
    image = ctrl.grab().toImage();
    QCOMPARE(cellColour(1), QColor(255, 0, 0));
    QCOMPARE(cellColour(3), QColor(128, 0, 0));

    ctrl.SetState(false);
    image = ctrl.grab().toImage();
    QCOMPARE(cellColour(0).rgb(), ctrl.palette().color(QPalette::Dark).rgb());
}

void ZamoStatusbarTest::paintedTransferErrorIsRed()
{
    COnlineTransferCtrl ctrl;
    ctrl.resize(100, 20);
    ctrl.Set(true, QStringLiteral("CABLE?"));
    QImage image = ctrl.grab().toImage();
    const qreal scale = image.devicePixelRatio();
    QCOMPARE(image.pixelColor(QPoint(int(3 * scale), int(3 * scale))), QColor(255, 0, 0));
    ctrl.Set(false, QStringLiteral("OK (1.2 s)"));
    image = ctrl.grab().toImage();
    QVERIFY(image.pixelColor(QPoint(int(3 * scale), int(3 * scale))) != QColor(255, 0, 0));
}

void ZamoStatusbarTest::paneTextsGoToTheirPanes()
{
    CZamoStatusbar bar;
    bar.transferText().Set(true, QStringLiteral("CABLE?"));
    bar.setPaneText(CZamoStatusbar::TransferText, QStringLiteral("0/1345 and a lot more text than fits"));
    QCOMPARE(bar.transferText().Text(), QStringLiteral("0/1345 and a lot more text t"));
    QVERIFY(bar.transferText().IsError()); // only the text is set

    bar.setPaneText(CZamoStatusbar::LinkState, QStringLiteral("RECEIVE"));
    QCOMPARE(bar.linkState().Text(), QStringLiteral("RECEIVE"));

    bar.setPaneText(CZamoStatusbar::Port, QStringLiteral("COM3"));
    bar.setPaneText(CZamoStatusbar::Baud, QStringLiteral("19200"));
    bar.setPaneText(CZamoStatusbar::LambdaSensor, QStringLiteral("LS: ANALOG"));
    bar.setPaneText(CZamoStatusbar::IgnitionAngle, QStringLiteral("BTDC (vOT): 12\u00b0"));
    QCOMPARE(qobject_cast<QLabel*>(bar.pane(CZamoStatusbar::Port))->text(), QStringLiteral("COM3"));
    QCOMPARE(bar.paneText(CZamoStatusbar::Baud), QStringLiteral("19200"));
    QCOMPARE(bar.paneText(CZamoStatusbar::LambdaSensor), QStringLiteral("LS: ANALOG"));
    QCOMPARE(bar.paneText(CZamoStatusbar::IgnitionAngle), QStringLiteral("BTDC (vOT): 12\u00b0"));

    bar.setPaneText(999, QStringLiteral("x")); // ignored
    QCOMPARE(bar.pane(999), nullptr);
    QCOMPARE(bar.paneText(999), QString());
}

void ZamoStatusbarTest::panesStandInOrder()
{
    CZamoStatusbar bar;
    bar.resize(1200, 30);
    bar.show();
    bar.layout()->activate();
    const int order[] = {CZamoStatusbar::LambdaSensor, CZamoStatusbar::IgnitionAngle, CZamoStatusbar::LinkState,
                         CZamoStatusbar::TransferText, CZamoStatusbar::Port,          CZamoStatusbar::Baud};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        QVERIFY2(bar.pane(order[i - 1])->geometry().right() < bar.pane(order[i])->geometry().left(),
                 qPrintable(QStringLiteral("pane %1 before %2").arg(order[i - 1]).arg(order[i])));
    }
    // Each pane is as wide as its sample text needs, and no wider than its neighbours would allow.
    const QFontMetrics metrics(bar.font());
    QVERIFY(bar.pane(CZamoStatusbar::LambdaSensor)->width() >=
            metrics.horizontalAdvance(QStringLiteral("LS: ANALOG              ")));
    QVERIFY(bar.pane(CZamoStatusbar::TransferText)->width() >=
            metrics.horizontalAdvance(QStringLiteral(" Unknown Error ")));
    QVERIFY(bar.pane(CZamoStatusbar::Port)->width() < bar.pane(CZamoStatusbar::TransferText)->width());
}

QTEST_MAIN(ZamoStatusbarTest)
#include "ZamoStatusbarTest.moc"
