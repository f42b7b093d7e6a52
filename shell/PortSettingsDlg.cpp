#include "shell/PortSettingsDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>

namespace morvex::shell {

const std::vector<uint32_t>& PortSettingsDlg::standardBaudRates()
{
    static const std::vector<uint32_t> rates = {1200,  2400,   4800,   9600,   19200, 38400,
                                                57600, 115200, 230400, 460800, 921600};
    return rates;
}

PortSettingsDlg::PortSettingsDlg(int com, const std::string& device, const std::vector<std::string>& devices,
                                 const platform::SerialSettings& settings, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(tr("COM%1 Properties").arg(com));
    auto* form = new QFormLayout(this);

    device_ = new QComboBox;
    device_->setEditable(true);
    for (const std::string& d : devices) {
        device_->addItem(QString::fromStdString(d));
    }
    device_->setCurrentText(QString::fromStdString(device));
    form->addRow(tr("&Device:"), device_);

    baud_ = new QComboBox;
    for (uint32_t rate : standardBaudRates()) {
        baud_->addItem(QString::number(rate), rate);
    }
    baud_->setCurrentIndex(std::max(0, baud_->findData(settings.baud)));
    form->addRow(tr("&Bits per second:"), baud_);

    dataBits_ = new QComboBox;
    for (int bits = 5; bits <= 8; ++bits) {
        dataBits_->addItem(QString::number(bits), bits);
    }
    dataBits_->setCurrentIndex(std::max(0, dataBits_->findData(settings.dataBits)));
    form->addRow(tr("D&ata bits:"), dataBits_);

    parity_ = new QComboBox;
    parity_->addItem(tr("None"), QChar('N'));
    parity_->addItem(tr("Even"), QChar('E'));
    parity_->addItem(tr("Odd"), QChar('O'));
    parity_->setCurrentIndex(std::max(0, parity_->findData(QChar(settings.parity))));
    form->addRow(tr("&Parity:"), parity_);

    stopBits_ = new QComboBox;
    stopBits_->addItem(QStringLiteral("1"), 1);
    stopBits_->addItem(QStringLiteral("2"), 2);
    stopBits_->setCurrentIndex(std::max(0, stopBits_->findData(settings.stopBits)));
    form->addRow(tr("&Stop bits:"), stopBits_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

platform::SerialSettings PortSettingsDlg::settings() const
{
    platform::SerialSettings s;
    s.baud = baud_->currentData().toUInt();
    s.dataBits = static_cast<uint8_t>(dataBits_->currentData().toInt());
    s.parity = static_cast<char>(parity_->currentData().toChar().toLatin1());
    s.stopBits = static_cast<uint8_t>(stopBits_->currentData().toInt());
    return s;
}

std::string PortSettingsDlg::device() const
{
    return device_->currentText().trimmed().toStdString();
}

} // namespace morvex::shell
