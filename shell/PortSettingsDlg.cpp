#include "shell/PortSettingsDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>

namespace morvex::shell {
namespace {

// Selects the item of `value`. A value the list does not offer (a baud rate
// stored by another program, say) is added, among the numbers in order, so
// that it is shown and kept as long as the user picks no other.
void selectOrAdd(QComboBox* box, const QVariant& value, const QString& text)
{
    int index = box->findData(value);
    if (index < 0) {
        index = box->count();
        if (value.typeId() != QMetaType::QChar) {
            for (int i = 0; i < box->count(); ++i) {
                if (box->itemData(i).toLongLong() > value.toLongLong()) {
                    index = i;
                    break;
                }
            }
        }
        box->insertItem(index, text, value);
    }
    box->setCurrentIndex(index);
}

} // namespace

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
    baud_->setObjectName(QStringLiteral("baud"));
    for (uint32_t rate : standardBaudRates()) {
        baud_->addItem(QString::number(rate), rate);
    }
    selectOrAdd(baud_, settings.baud, QString::number(settings.baud));
    form->addRow(tr("&Bits per second:"), baud_);

    dataBits_ = new QComboBox;
    for (int bits = 5; bits <= 8; ++bits) {
        dataBits_->addItem(QString::number(bits), bits);
    }
    selectOrAdd(dataBits_, int{settings.dataBits}, QString::number(settings.dataBits));
    form->addRow(tr("D&ata bits:"), dataBits_);

    parity_ = new QComboBox;
    parity_->addItem(tr("None"), QChar('N'));
    parity_->addItem(tr("Even"), QChar('E'));
    parity_->addItem(tr("Odd"), QChar('O'));
    selectOrAdd(parity_, QChar(settings.parity), QString(QChar(settings.parity)));
    form->addRow(tr("&Parity:"), parity_);

    stopBits_ = new QComboBox;
    stopBits_->addItem(QStringLiteral("1"), 1);
    stopBits_->addItem(QStringLiteral("2"), 2);
    selectOrAdd(stopBits_, int{settings.stopBits}, QString::number(settings.stopBits));
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
