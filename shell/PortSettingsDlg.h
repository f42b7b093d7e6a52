#pragma once

#include "platform/SerialLine.h"

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;

namespace morvex::shell {

// The settings of the selected port: its device, baud rate, data bits,
// parity and stop bits. The box itself talks 8N1.
class PortSettingsDlg : public QDialog {
    Q_OBJECT
public:
    PortSettingsDlg(int com, const std::string& device, const std::vector<std::string>& devices,
                    const platform::SerialSettings& settings, QWidget* parent = nullptr);

    platform::SerialSettings settings() const;
    std::string device() const;

    static const std::vector<uint32_t>& standardBaudRates();

private:
    QComboBox* device_;
    QComboBox* baud_;
    QComboBox* dataBits_;
    QComboBox* parity_;
    QComboBox* stopBits_;
};

} // namespace morvex::shell
