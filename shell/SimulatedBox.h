#pragma once

#include <QObject>
#include <QProcess>
#include <QString>

#include <filesystem>

namespace morvex::shell {

// The simulated Zamo-Box: morvex-boxsim beside the program, on a
// pseudo-terminal whose path it reports on its first line of output.
class SimulatedBox : public QObject {
    Q_OBJECT
public:
    explicit SimulatedBox(std::filesystem::path programDir, QObject* parent = nullptr);
    ~SimulatedBox() override;

    // Starts the simulator at `baud` with the box memory of `memoryFile`
    // (empty: its own default); ready() follows with the device.
    bool start(int baud, const std::filesystem::path& memoryFile);
    void stop();
    bool running() const { return process_.state() != QProcess::NotRunning; }
    const QString& device() const { return device_; }

signals:
    void ready(const QString& device);
    void failed(const QString& reason);

private:
    void readOutput();

    std::filesystem::path programDir_;
    QProcess process_;
    QString device_;
    QByteArray pending_;
};

} // namespace morvex::shell
