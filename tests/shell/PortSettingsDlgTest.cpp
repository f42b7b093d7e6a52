#include "shell/PortSettingsDlg.h"

#include <QComboBox>
#include <QTest>

using morvex::shell::PortSettingsDlg;

class PortSettingsDlgTest : public QObject {
    Q_OBJECT
private slots:
    // A stored rate the list does not offer (the Windows dialog's 14400,
    // 56000, 128000) is shown and kept when OK leaves it alone; so are data
    // bits, parity and stop bits.
    void storedValuesOutsideTheListAreShownAndKept()
    {
        for (uint32_t baud : {14400u, 56000u, 128000u}) {
            const platform::SerialSettings stored{.baud = baud, .dataBits = 4, .parity = 'M', .stopBits = 3};
            PortSettingsDlg dialog(1, "/dev/ttyS0", {}, stored);
            auto* rates = dialog.findChild<QComboBox*>(QStringLiteral("baud"));
            QVERIFY(rates != nullptr);
            QCOMPARE(rates->currentText(), QString::number(baud));
            // Among the rates in order.
            const int index = rates->currentIndex();
            QVERIFY(rates->itemData(index - 1).toUInt() < baud);
            QVERIFY(rates->itemData(index + 1).toUInt() > baud);
            const platform::SerialSettings kept = dialog.settings();
            QCOMPARE(kept.baud, baud);
            QCOMPARE(int{kept.dataBits}, 4);
            QCOMPARE(kept.parity, 'M');
            QCOMPARE(int{kept.stopBits}, 3);
        }
    }

    void aListedRateIsSelectedAndAnotherCanBeChosen()
    {
        PortSettingsDlg dialog(2, "/dev/ttyUSB0", {}, platform::SerialSettings{.baud = 115200});
        auto* rates = dialog.findChild<QComboBox*>(QStringLiteral("baud"));
        QCOMPARE(rates->count(), static_cast<int>(PortSettingsDlg::standardBaudRates().size()));
        QCOMPARE(dialog.settings().baud, 115200u);
        rates->setCurrentIndex(rates->findData(9600u));
        QCOMPARE(dialog.settings().baud, 9600u);
        QCOMPARE(dialog.device(), std::string("/dev/ttyUSB0"));
    }
};

QTEST_MAIN(PortSettingsDlgTest)
#include "PortSettingsDlgTest.moc"
