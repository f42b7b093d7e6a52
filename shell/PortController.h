#pragma once

#include "platform/PortNumbering.h"
#include "shell/FrameRules.h"

#include <QObject>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QMenu;
class QWidget;

namespace platform {
class UserMessages;
}

namespace morvex::shell {

struct AppSettings;
class CommController;
class SimulatedBox;

// The Port menu, the port settings and the simulated box: which device
// stands behind the selected COM number and at which baud rate.
class PortController : public QObject {
    Q_OBJECT
public:
    using Probe = std::function<platform::PortPresence(const std::string& device)>;

    PortController(AppSettings& settings, CommController& comm, platform::UserMessages& messages,
                   std::filesystem::path programDir, QObject* parent = nullptr);
    ~PortController() override;

    using DeviceLister = std::function<std::vector<std::string>()>;
    // Tests replace the device probe and the list of devices.
    void setProbe(Probe probe) { probe_ = std::move(probe); }
    void setDeviceLister(DeviceLister lister) { listDevices_ = std::move(lister); }

    // The device of COM n: the simulated box, an assignment, or /dev/ttyS(n-1).
    std::string deviceOf(int com) const;
    int selectedPort() const;
    bool selectedPortPresent() const { return selectedPresent_; }

    // Rebuilds the Port popup (only while idle; greyed otherwise).
    void rebuildMenu(QMenu& menu, bool idle);
    void selectPort(int com);
    // The port settings dialog for the selected port.
    void PortSettings(QWidget* parent);

    // Starts morvex-boxsim with the demo parameter set and selects it.
    void StartSimulatedBox();
    bool simulatedBoxRunning() const;
    // The simulated box, running or not: tests reach its control channel.
    SimulatedBox* simulatedBox() { return sim_; }
    // The COM number the settings keep (not the simulated box's).
    int settingsPort() const;

signals:
    void portChanged(int com);
    void baudChanged(int baud);
    void simulatedBoxReady(bool ok);

private:
    void applyToComm();
    // USB and ACM adapters without a number get the lowest free one, kept
    // in the settings, as Windows numbers a new adapter once.
    void numberNewAdapters();

    AppSettings& settings_;
    CommController& comm_;
    platform::UserMessages& messages_;
    std::filesystem::path programDir_;
    Probe probe_;
    DeviceLister listDevices_;
    bool selectedPresent_ = false;
    SimulatedBox* sim_;
    int simPort_ = 0;       // 0: no simulated box
    int portBeforeSim_ = 0; // restored in the settings at exit
};

} // namespace morvex::shell
