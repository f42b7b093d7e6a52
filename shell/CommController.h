#pragma once

#include "comm/Operation.h"
#include "comm/PortThread.h"
#include "platform/PortNumbering.h"
#include "platform/SerialLine.h"
#include "shell/OperationHost.h"
#include "platform/QueuedMessageTarget.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace platform {
class UserMessages;
}

namespace morvex {
class CAppCore;
class CMorvexDoc;
} // namespace morvex

namespace morvex::shell {

// The frame's communication side: owns the port worker for one operation
// at a time, builds the job lists, turns the worker's reports into status
// texts (through COperationController) and tells the frame what to show.
// Never blocks the UI thread beyond the bounded wait for a stopping worker.
class CommController : public QObject, public OperationHost {
    Q_OBJECT
public:
    using LineFactory = std::function<std::unique_ptr<platform::SerialLine>()>;

    CommController(CMorvexDoc& doc, CAppCore& core, platform::UserMessages& messages, QObject* parent = nullptr);
    ~CommController() override;

    // Tests replace the serial line; the editor uses the POSIX one.
    void setLineFactory(LineFactory factory) { lineFactory_ = std::move(factory); }
    // The views that receive job progress (null entries: not built yet).
    void setPaneTargets(const comm::PaneTargets& panes) { panes_ = panes; }
    void setPort(int com, std::string device) { com_ = com, device_ = std::move(device); }
    void setSerialSettings(const platform::SerialSettings& s) { settings_ = s; }
    void setTimeouts(const platform::SerialTimeouts& t) { timeouts_ = t; }
    // Runs before a receive replaces tables (Receive Pane or All Data);
    // returning false cancels the transfer before it starts.
    using BeforeReceive = std::function<bool(comm::OperationId op)>;
    void setBeforeReceive(BeforeReceive hook) { beforeReceive_ = std::move(hook); }
    int port() const { return com_; }
    const platform::SerialSettings& serialSettings() const { return settings_; }

    // Send/Receive Pane or All Data with `activeView` shown. False when it
    // did not start (nothing to transfer, port error, a view refused).
    bool StartTableTransfer(comm::OperationId op, int32_t activeView);
    // Compare with Box: the tables of `activeView` (all of them with `all`)
    // are read into a scratch copy of the document; the open one and its
    // views are not touched. compareReceived hands the copy over.
    bool StartCompare(bool all, int32_t activeView);
    bool comparing() const { return compare_ != nullptr; }
    // F3: starts online mode, or ends it when it runs.
    bool ToggleOnline();
    // Esc.
    void Cancel();
    // A view changed a value while online: it is queued for the worker.
    void ValueChanged(const comm::UpdateEntry& entry);

    bool busy() const { return busy_; }
    bool online() const { return online_; }
    bool running() const { return controller_.busy(); }
    comm::OperationId operation() const { return controller_.operation(); }
    int32_t progressCount() const { return controller_.progressCount(); }

    // The diagnostic pane's exchanges: the command of a topic (158..165)
    // or its reply (159..165), with `owner` as the job's owner view.
    bool StartDiagnostic(uint8_t command, bool reply, platform::MessageTarget& owner);
    // The box version or the measured texts the last exchange left.
    const comm::DiagnosticTexts& diagnosticTexts() const { return buffers_.diagnostic; }

    // OperationHost
    bool StartInfoTransfer(bool sending, platform::MessageTarget& owner) override;
    void CancelOperation() override { Cancel(); }
    int32_t ProgressTotal() const override { return controller_.progressTotal(); }

signals:
    void transferText(const QString& text, bool error);
    void linkState(bool active, const QString& text);
    void pulse(bool error);
    void switchToView(int view);
    // The operation started or ended: command states change.
    void stateChanged();
    // Received values are in the document (views update everything).
    void documentReceived();
    // The info block was sent or received and the records are up to date.
    void infoTransferEnded();
    // The worker did not end in time; the frame may say so.
    void waitingForWorker(bool waiting);
    // A Compare with Box ended: what the box holds (complete: every table
    // asked for was read).
    void compareReceived(std::shared_ptr<const CMorvexDoc> box, bool complete);
    // Send All wrote every table.
    void allSent();

public:
    // A worker runs, or still ends (its port closing): nothing new starts.
    bool operationRunning() const;

private:
    bool start(comm::OperationId op, const comm::TransferPlan& plan);
    intptr_t onFrameMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
    void apply(const comm::FrameUpdate& update);
    void finish(uint32_t code);
    // Stops the worker; the values it could not write while online.
    std::vector<comm::UpdateEntry> stopWorker();
    void reapWorkers();
    uint32_t tickMs() const;

    CMorvexDoc& doc_;
    CAppCore& core_;
    platform::UserMessages& messages_;
    LineFactory lineFactory_;
    std::unique_ptr<CMorvexDoc> compare_; // the box's tables while a compare runs
    BeforeReceive beforeReceive_;
    comm::PaneTargets panes_;
    int com_ = 1;
    std::string device_;
    platform::SerialSettings settings_;
    platform::SerialTimeouts timeouts_;

    platform::QueuedMessageTarget frameTarget_;
    std::unique_ptr<comm::CPortThread> worker_;
    // Workers that did not end within the stop wait: kept until they have.
    std::vector<std::unique_ptr<comm::CPortThread>> stopping_;
    QTimer reaper_;
    comm::COperationController controller_;
    comm::TransferBuffers buffers_;
    double sentStamp_ = 0.0;
    bool busy_ = false;
    bool online_ = false;
    bool receivedTables_ = false;
    bool receivesNames_ = false;
};

} // namespace morvex::shell
