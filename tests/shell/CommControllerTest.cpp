// The frame's operations against lines that fail: a box that vanishes in
// the middle (the simulator killed, as a pulled USB adapter), and commands
// that arrive while an operation runs.
#include "shell/CommController.h"
#include "EditorHarness.h"
#include "ProgramFolder.h"
#include "comm/Operation.h"
#include "comm/PortCodes.h"
#include "document/AppCore.h"
#include "platform/MessageTarget.h"
#include "platform/SerialLine.h"
#include "shell/FrameRules.h"
#include "shell/MainFrame.h"
#include "shell/MorvexApp.h"
#include "shell/ZamoStatusbar.h"
#include "tests/document/RecordingMessages.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>

using namespace morvex::shell;
using testing_support::Editor;
using testing_support::ScratchProgramFolder;

namespace {

// morvex-boxsim at 9600 baud, so that a transfer runs long enough to be cut.
class Box {
public:
    Box()
    {
        process.setProgram(
            QString::fromStdString((std::filesystem::path(MORVEX_PROGRAM_DIR) / "morvex-boxsim").string()));
        process.setArguments({QStringLiteral("--baud"), QStringLiteral("9600")});
        process.start();
        if (process.waitForStarted(5000) && process.waitForReadyRead(10000)) {
            const QByteArray line = process.readLine().trimmed();
            if (line.startsWith("PTY ")) {
                device = QString::fromUtf8(line.mid(4));
            }
        }
    }
    ~Box()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    void vanish()
    {
        process.kill(); // SIGKILL: the pseudo-terminal hangs up at once
        process.waitForFinished(5000);
    }

    QProcess process;
    QString device;
};

// A box that echoes every byte and records the values written to it; its
// first byte waits until the test releases it.
class HeldEchoLine : public platform::SerialLine {
public:
    struct Shared {
        std::mutex mutex;
        std::condition_variable released;
        bool release = false;
        std::map<int, uint8_t> written; // line address -> last value written there
    };
    explicit HeldEchoLine(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}

    bool open(const std::string&, const platform::SerialSettings&, const platform::SerialTimeouts&,
              platform::OpenFailure&, std::error_code&) override
    {
        open_ = true;
        return true;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool purge(std::error_code&) override { return true; }
    platform::IoStatus writeByte(uint8_t byte, std::error_code&) override
    {
        std::unique_lock lock(shared_->mutex);
        shared_->released.wait(lock, [&] { return shared_->release; });
        echo_ = byte;
        message_.push_back(byte);
        if (message_.front() != morvex::comm::CMD_WRITE) {
            message_.clear();
        } else if (message_.size() == 10) {
            const auto number = [&](std::size_t at) {
                return (message_[at] - '0') * 100 + (message_[at + 1] - '0') * 10 + (message_[at + 2] - '0');
            };
            shared_->written[number(1) * 256 + number(4)] = static_cast<uint8_t>(number(7));
            message_.clear();
        }
        return platform::IoStatus::Ok;
    }
    platform::IoStatus readByte(uint8_t& byte, std::error_code&) override
    {
        byte = echo_;
        return platform::IoStatus::Ok;
    }

private:
    std::shared_ptr<Shared> shared_;
    bool open_ = false;
    uint8_t echo_ = 0;
    std::vector<uint8_t> message_;
};

class NullTarget : public platform::MessageTarget {
public:
    void post(uint32_t, uintptr_t, intptr_t) override {}
    intptr_t send(uint32_t, uintptr_t, intptr_t) override { return 0; }
};

// An editor whose COM7 is `device`.
struct DeviceEditor : Editor {
    explicit DeviceEditor(const QString& device)
        : Editor("[Misc]\r\nLastUsedCom=7\r\nLastUsedBAUD=9600\r\n[Ports]\r\nCOM7=" + device.toStdString() + "\r\n")
    {
    }
};

} // namespace

class CommControllerTest : public QObject {
    Q_OBJECT
private slots:
    void aVanishedBoxEndsTheOperationOnce_data()
    {
        QTest::addColumn<int>("command");
        QTest::newRow("receive all") << cmd::kReceiveAll;
        QTest::newRow("send all") << cmd::kSendAll;
        QTest::newRow("online") << cmd::kOnline;
    }

    void aVanishedBoxEndsTheOperationOnce()
    {
        QFETCH(int, command);
        Box box;
        QVERIFY(!box.device.isEmpty());
        DeviceEditor e(box.device);
        QVERIFY(e.started);

        e.frame->action(command)->trigger();
        QVERIFY(e.frame->comm().running());
        if (command == cmd::kOnline) {
            QTRY_VERIFY_WITH_TIMEOUT(e.transferText() == QStringLiteral("ONLINE"), 10000);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(e.frame->comm().progressCount() > 20, 20000);
        }
        QVERIFY(e.messages.shown.empty());

        QElapsedTimer sinceKill;
        box.vanish();
        sinceKill.start();
        QTRY_VERIFY_WITH_TIMEOUT(!e.frame->comm().running(), 10000);
        // Normally milliseconds; the bound only catches retries and hangs.
        QVERIFY2(sinceKill.elapsed() < 3000, qPrintable(QString::number(sinceKill.elapsed())));

        QCOMPARE(e.messages.shown.size(), std::size_t{1});
        const std::string& text = e.messages.shown[0].text;
        QVERIFY2(text.starts_with("The connection to the Zamo-Box on COM7 was lost!\n"), text.c_str());
        // A hang-up reads as a vanished device or an I/O error, never as a
        // port held by another program.
        QVERIFY2(text.find("unplugged") != std::string::npos, text.c_str());
        QCOMPARE(e.linkText(), QStringLiteral("OFFLINE"));
        if (command != cmd::kOnline) {
            QVERIFY2(e.transferText() == QStringLiteral("Read Error") ||
                         e.transferText() == QStringLiteral("Write Error"),
                     qPrintable(e.transferText()));
        }

        // Nothing more piles up (the worker has ended: whatever it posted is
        // queued), and the window still does what it is told.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(e.messages.shown.size(), std::size_t{1});
        QVERIFY(e.frame->action(cmd::kReceiveAll)->isEnabled());
        e.frame->action(503)->trigger();
        QCOMPARE(e.frame->activePane(), 503);
    }

    // A second command while a transfer runs is refused before it touches
    // the buffers the worker is sending from.
    void aCommandDuringATransferLeavesItsBuffersAlone()
    {
        DeviceEditor e(QStringLiteral("/dev/null"));
        QVERIFY(e.started);
        auto shared = std::make_shared<HeldEchoLine::Shared>();
        e.frame->comm().setLineFactory([shared] { return std::make_unique<HeldEchoLine>(shared); });
        auto& versions = e.app.core().info().box.versions;
        versions[1] = "AAAA";
        NullTarget owner;
        QVERIFY(e.frame->comm().StartInfoTransfer(true, owner));

        versions[1] = "ZZZZ";
        QVERIFY(!e.frame->comm().StartInfoTransfer(true, owner));
        QVERIFY(!e.frame->comm().StartTableTransfer(morvex::comm::OperationId::SendAll, 501));
        {
            std::lock_guard lock(shared->mutex);
            shared->release = true;
        }
        shared->released.notify_all();
        QTRY_VERIFY_WITH_TIMEOUT(!e.frame->comm().running(), 10000);
        QVERIFY(e.messages.shown.empty());
        // The second version text starts at 1672. (Compared by address: the
        // time stamp's bytes change with the clock and may hold any value.)
        std::string text;
        for (int address = 1672; address < 1676; ++address) {
            QVERIFY(shared->written.contains(address));
            text += static_cast<char>(shared->written[address]);
        }
        QCOMPARE(QString::fromStdString(text), QStringLiteral("AAAA"));
    }
};

QTEST_MAIN(CommControllerTest)
#include "CommControllerTest.moc"
