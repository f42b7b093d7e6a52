#include "shell/SimulatedBox.h"

#include <utility>

namespace morvex::shell {

SimulatedBox::SimulatedBox(std::filesystem::path programDir, QObject* parent)
    : QObject(parent), programDir_(std::move(programDir))
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(&process_, &QProcess::readyReadStandardOutput, this, &SimulatedBox::readOutput);
    connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError) {
        if (device_.isEmpty()) {
            emit failed(process_.errorString());
        }
    });
    connect(&process_, &QProcess::finished, this, [this](int code, QProcess::ExitStatus) {
        if (device_.isEmpty()) {
            emit failed(tr("the simulator ended with exit code %1").arg(code));
        }
        device_.clear();
    });
}

SimulatedBox::~SimulatedBox()
{
    stop();
}

bool SimulatedBox::start(int baud, const std::filesystem::path& memoryFile)
{
    if (running()) {
        return true;
    }
    device_.clear();
    pending_.clear();
    QStringList args{QStringLiteral("--control-stdin"), QStringLiteral("--baud"), QString::number(baud),
                     QStringLiteral("--program-dir"), QString::fromStdString(programDir_.string())};
    if (!memoryFile.empty()) {
        args << QStringLiteral("--load") << QString::fromStdString(memoryFile.string());
    }
    process_.start(QString::fromStdString((programDir_ / "morvex-boxsim").string()), args);
    return true;
}

void SimulatedBox::stop()
{
    if (!running()) {
        return;
    }
    // Closing its standard input ends the simulator; terminate as a fallback.
    process_.closeWriteChannel();
    if (!process_.waitForFinished(1000)) {
        process_.terminate();
        if (!process_.waitForFinished(1000)) {
            process_.kill();
            process_.waitForFinished(1000);
        }
    }
}

bool SimulatedBox::sendControl(const QString& line)
{
    if (process_.state() != QProcess::Running || line.contains(QLatin1Char('\n')) || line.contains(QLatin1Char('\r'))) {
        return false;
    }
    const QByteArray bytes = line.toUtf8() + '\n';
    return process_.write(bytes) == bytes.size();
}

void SimulatedBox::readOutput()
{
    pending_ += process_.readAllStandardOutput();
    // Each line leaves pending_ before its signal, so a slot that makes
    // the process deliver more output meanwhile finds the rest in order.
    for (qsizetype end = pending_.indexOf('\n'); end >= 0; end = pending_.indexOf('\n')) {
        const QString line = QString::fromUtf8(pending_.left(end)).trimmed();
        pending_.remove(0, end + 1);
        if (!device_.isEmpty()) {
            emit controlAnswered(line);
            continue;
        }
        if (!line.startsWith(QStringLiteral("PTY "))) {
            pending_.clear();
            emit failed(tr("unexpected first line from the simulator: %1").arg(line));
            return;
        }
        device_ = line.mid(4);
        emit ready(device_);
    }
}

} // namespace morvex::shell
