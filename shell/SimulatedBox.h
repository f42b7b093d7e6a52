#pragma once

#include <QObject>
#include <QProcess>
#include <QString>

#include <filesystem>

namespace morvex::shell {

// The simulated Zamo-Box: morvex-boxsim beside the program, on a
// pseudo-terminal whose path it reports on its first line of output. Its
// standard input is the simulator's control channel (--control-stdin, see
// tools/boxsim/Control.h): tests and tuners poke box memory and hold the
// engine at an operating point through it.
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

    // Sends one control command ("poke 1218 5", "hold rpm-index 9", ...)
    // without waiting; its answer comes with controlAnswered(). False when
    // the simulator does not run or the line holds a line break.
    bool sendControl(const QString& line);

signals:
    void ready(const QString& device);
    void failed(const QString& reason);
    // One answer line of the simulator, "OK ..." or "ERR <reason>", in the
    // order of the commands.
    void controlAnswered(const QString& line);

private:
    void readOutput();

    std::filesystem::path programDir_;
    QProcess process_;
    QString device_;
    QByteArray pending_;
};

} // namespace morvex::shell
