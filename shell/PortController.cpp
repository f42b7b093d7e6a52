#include "shell/PortController.h"

#include "platform/UserMessages.h"
#include "shell/AppSettings.h"
#include "shell/CommController.h"
#include "shell/PortSettingsDlg.h"
#include "shell/SimulatedBox.h"

#include <QMenu>

namespace morvex::shell {

PortController::PortController(AppSettings& settings, CommController& comm, platform::UserMessages& messages,
                               std::filesystem::path programDir, QObject* parent)
    : QObject(parent), settings_(settings), comm_(comm), messages_(messages), programDir_(std::move(programDir)),
      probe_([](const std::string& device) { return platform::probeSerialPort(device); }),
      listDevices_([] { return platform::listSerialDevices(); }), sim_(new SimulatedBox(programDir_, this))
{
    connect(sim_, &SimulatedBox::ready, this, [this](const QString&) {
        // The lowest number with no device of its own stands for the simulator.
        for (int n = 1; n <= 256; ++n) {
            if (!settings_.ports.contains(n) &&
                probe_(platform::devicePathForPort(n, settings_.ports)) == platform::PortPresence::Absent) {
                portBeforeSim_ = settings_.lastUsedCom;
                simPort_ = n;
                selectPort(n);
                emit simulatedBoxReady(true);
                return;
            }
        }
        emit simulatedBoxReady(false);
    });
    connect(sim_, &SimulatedBox::failed, this, [this](const QString& reason) {
        messages_.show(
            {"Cannot start the simulated box:\n" + reason.toStdString(), platform::UserMessage::Icon::Exclamation});
        emit simulatedBoxReady(false);
    });
    platform::SerialSettings s = comm_.serialSettings();
    s.baud = static_cast<uint32_t>(settings_.lastUsedBaud);
    comm_.setSerialSettings(s);
    applyToComm();
}

PortController::~PortController() = default;

std::string PortController::deviceOf(int com) const
{
    if (simPort_ != 0 && com == simPort_ && sim_->running()) {
        return sim_->device().toStdString();
    }
    return platform::devicePathForPort(com, settings_.ports);
}

int PortController::selectedPort() const
{
    return settings_.lastUsedCom;
}

int PortController::settingsPort() const
{
    return simPort_ != 0 && settings_.lastUsedCom == simPort_ ? portBeforeSim_ : settings_.lastUsedCom;
}

bool PortController::simulatedBoxRunning() const
{
    return sim_->running() && simPort_ != 0;
}

void PortController::applyToComm()
{
    comm_.setPort(settings_.lastUsedCom, deviceOf(settings_.lastUsedCom));
}

void PortController::selectPort(int com)
{
    settings_.lastUsedCom = com;
    applyToComm();
    emit portChanged(com);
}

void PortController::numberNewAdapters()
{
    for (const std::string& device : listDevices_()) {
        if (device.rfind("/dev/ttyS", 0) == 0) {
            continue; // the built-in UARTs have their numbers
        }
        bool numbered = false;
        for (const auto& [n, assigned] : settings_.ports) {
            numbered = numbered || assigned == device;
        }
        for (int n = 1; !numbered && n <= 256; ++n) {
            if (n != simPort_ && !settings_.ports.contains(n) &&
                probe_(platform::defaultDevicePath(n)) == platform::PortPresence::Absent) {
                settings_.ports[n] = device;
                numbered = true;
            }
        }
    }
}

void PortController::rebuildMenu(QMenu& menu, bool idle)
{
    if (!idle) {
        menu.setEnabled(false);
        return;
    }
    menu.setEnabled(true);
    menu.clear();
    numberNewAdapters();
    applyToComm();
    const int selected = settings_.lastUsedCom;
    selectedPresent_ = false;
    const auto items = buildPortList(selected, [this, selected](int n) {
        const std::string device = deviceOf(n);
        switch (probe_(device)) {
        case platform::PortPresence::Present:
            if (n == selected) {
                selectedPresent_ = true;
            }
            return PortItem::State::Present;
        case platform::PortPresence::InUse: return PortItem::State::InUse;
        case platform::PortPresence::Absent: break;
        }
        return PortItem::State::Absent;
    });
    if (items.empty()) {
        menu.addAction(tr("(No Ports installed)"))->setEnabled(false);
        return;
    }
    for (const PortItem& item : items) {
        QString text = QString::fromStdString(item.text);
        const std::string device = deviceOf(item.number);
        if (device != platform::defaultDevicePath(item.number)) {
            text += QStringLiteral("\t") + QString::fromStdString(device);
        }
        QAction* action = menu.addAction(text);
        action->setData(cmd::kFirstPort - 1 + item.number);
        action->setCheckable(true);
        action->setChecked(item.number == selected);
        action->setEnabled(item.state == PortItem::State::Present);
        action->setStatusTip(tr("Use Port COM%1 for communication").arg(item.number));
        const int n = item.number;
        connect(action, &QAction::triggered, this, [this, n] { selectPort(n); });
    }
}

void PortController::PortSettings(QWidget* parent)
{
    const int com = settings_.lastUsedCom;
    if (com < 1) {
        return;
    }
    PortSettingsDlg dialog(com, deviceOf(com), platform::listSerialDevices(), comm_.serialSettings(), parent);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const platform::SerialSettings s = dialog.settings();
    comm_.setSerialSettings(s);
    settings_.lastUsedBaud = static_cast<int>(s.baud);
    const std::string device = dialog.device();
    if (!(simPort_ == com && sim_->running()) && device != deviceOf(com)) {
        if (device.empty() || device == platform::defaultDevicePath(com)) {
            settings_.ports.erase(com);
        } else {
            settings_.ports[com] = device;
        }
    }
    applyToComm();
    emit baudChanged(settings_.lastUsedBaud);
}

void PortController::StartSimulatedBox()
{
    if (simulatedBoxRunning()) {
        selectPort(simPort_);
        emit simulatedBoxReady(true);
        return;
    }
    sim_->start(settings_.lastUsedBaud, programDir_ / "DATA" / "Demo.M60");
}

} // namespace morvex::shell
