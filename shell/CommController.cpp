#include "shell/CommController.h"

#include "comm/InfoExchange.h"
#include "comm/PortCodes.h"
#include "document/AppCore.h"
#include "document/MorvexDoc.h"
#include "platform/Log.h"
#include "platform/OleDate.h"
#include "platform/UserMessages.h"

#include <QLocale>

#include <chrono>

namespace morvex::shell {
namespace {

using comm::OperationId;

const platform::LogCategory& log()
{
    static const platform::LogCategory category("morvex.shell");
    return category;
}

constexpr int kReapIntervalMs = 200;

} // namespace

CommController::CommController(CMorvexDoc& doc, CAppCore& core, platform::UserMessages& messages, QObject* parent)
    : QObject(parent), doc_(doc), core_(core), messages_(messages),
      lineFactory_([] { return platform::makePosixSerialLine(); }),
      frameTarget_([this](uint32_t m, uintptr_t w, intptr_t l) { return onFrameMessage(m, w, l); }, this)
{
    reaper_.setInterval(kReapIntervalMs);
    connect(&reaper_, &QTimer::timeout, this, &CommController::reapWorkers);
}

CommController::~CommController()
{
    if (worker_) {
        worker_->Cancel();
        if (!worker_->Stop()) {
            worker_->Join();
        }
    }
    for (auto& w : stopping_) {
        w->Join();
    }
}

uint32_t CommController::tickMs() const
{
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

bool CommController::start(OperationId op, const comm::TransferPlan& plan)
{
    if (operationRunning()) {
        return false;
    }
    worker_ = std::make_unique<comm::CPortThread>(lineFactory_(), frameTarget_, &core_.adapt());
    worker_->Configure(device_, settings_, timeouts_);
    if (!worker_->Create()) {
        messages_.show({"Com-Thread konnte nicht erstellt werden! Keine Kommunikation möglich!",
                        platform::UserMessage::Icon::Exclamation});
        worker_.reset();
        return false;
    }
    controller_.Begin(op, plan.progressTotal, plan.returnView, tickMs());
    busy_ = op == OperationId::SendPane || op == OperationId::ReceivePane || op == OperationId::SendAll ||
            op == OperationId::ReceiveAll;
    online_ = op == OperationId::Online;
    receivedTables_ = false;
    if (plan.showFuelMapFirst) {
        emit switchToView(comm::kFuelMapView);
    }
    if (!worker_->StartJobs(plan.kind, plan.jobs)) {
        // The port error (posted) still reaches the frame and says why.
        (void)stopWorker();
        (void)controller_.End({});
        busy_ = online_ = false;
        emit stateChanged();
        return false;
    }
    emit transferText(QString::fromStdString(controller_.StartText()), false);
    emit stateChanged();
    return true;
}

// A worker that is still stopping may still read the transfer buffers.
bool CommController::operationRunning() const
{
    return worker_ != nullptr || controller_.busy() || !stopping_.empty();
}

bool CommController::StartTableTransfer(OperationId op, int32_t activeView)
{
    // The transfer buffers belong to the running operation's worker.
    if (operationRunning()) {
        return false;
    }
    const bool sending = op == OperationId::SendPane || op == OperationId::SendAll;
    if (sending && (op == OperationId::SendAll || activeView == comm::kIndexView)) {
        comm::NameBytes names;
        if (!comm::namesForSending(doc_, names)) {
            messages_.show({"Transmission aborted!\n\nReason: a function name is longer than 4 characters",
                            platform::UserMessage::Icon::Stop});
            return false;
        }
    }
    sentStamp_ = platform::OleDateTime::now().days;
    receivesNames_ = !sending && (op == OperationId::ReceiveAll || activeView == comm::kIndexView);
    const auto plan = comm::planTableTransfer(op, activeView, doc_, panes_, buffers_, sentStamp_);
    if (!plan || (!sending && beforeReceive_ && !beforeReceive_(op))) {
        return false;
    }
    return start(op, *plan);
}

bool CommController::StartCompare(bool all, int32_t activeView)
{
    if (operationRunning()) {
        return false;
    }
    // What is not read stays as the open document has it, so only the box
    // can make a difference.
    auto scratch = std::make_unique<CMorvexDoc>(doc_.Adapt(), doc_.Limits(), doc_.Info());
    scratch->TakeContentsFrom(doc_);
    const OperationId op = all ? OperationId::ReceiveAll : OperationId::ReceivePane;
    receivesNames_ = all || activeView == comm::kIndexView;
    const auto plan = comm::planTableTransfer(op, activeView, *scratch, comm::PaneTargets{}, buffers_, 0.0);
    if (!plan) {
        return false;
    }
    compare_ = std::move(scratch);
    if (!start(op, *plan)) {
        compare_.reset();
        return false;
    }
    return true;
}

bool CommController::ToggleOnline()
{
    if (online_) {
        Cancel();
        return true;
    }
    if (operationRunning()) {
        return false;
    }
    return start(OperationId::Online, comm::planOnline(doc_, panes_, buffers_));
}

void CommController::Cancel()
{
    if (worker_) {
        worker_->Cancel();
    }
}

void CommController::ValueChanged(const comm::UpdateEntry& entry)
{
    if (!online_ || !worker_) {
        return;
    }
    if (!worker_->QueueValue(entry)) {
        log().warning("update list busy: value for line address " + std::to_string(entry.lineAddress) + " not queued");
        messages_.show({comm::kUpdateListLockMessage, platform::UserMessage::Icon::Exclamation});
    }
}

bool CommController::StartInfoTransfer(bool sending, platform::MessageTarget& owner)
{
    if (operationRunning()) {
        return false;
    }
    if (sending) {
        comm::infoBytesFromRecords(core_.info().box, buffers_.info);
    }
    sentStamp_ = platform::OleDateTime::now().days;
    const comm::TransferPlan plan = comm::planInfo(sending, &owner, buffers_, sentStamp_);
    return start(sending ? OperationId::InfoSend : OperationId::InfoReceive, plan);
}

bool CommController::StartDiagnostic(uint8_t command, bool reply, platform::MessageTarget& owner)
{
    if (operationRunning()) {
        return false;
    }
    return start(OperationId::Diagnostic, comm::planDiagnostic(command, reply, &owner, buffers_));
}

intptr_t CommController::onFrameMessage(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (message == comm::WM_PORT_ERROR) {
        if (const auto m =
                controller_.OnPortError(static_cast<uint32_t>(wParam), lParam, "COM" + std::to_string(com_))) {
            messages_.show(*m);
        }
        return 0;
    }
    if (message != comm::WM_PORT_NOTIFY || !controller_.busy()) {
        return 0;
    }
    const auto code = static_cast<uint32_t>(wParam);
    if (code == comm::PT_VALUE_READ) {
        receivedTables_ = true;
    }
    const comm::FrameUpdate update = controller_.OnPortNotify(code, lParam, tickMs());
    apply(update);
    if (update.endOperation) {
        finish(code);
    }
    return 0;
}

void CommController::apply(const comm::FrameUpdate& u)
{
    if (u.linkText) {
        emit linkState(*u.linkText != "OFFLINE", QString::fromStdString(*u.linkText));
    }
    if (u.pulse) {
        emit pulse(u.pulseIsError);
    }
    if (u.transferText) {
        emit transferText(QString::fromStdString(*u.transferText), u.transferIsError);
    }
    if (u.switchToView) {
        emit switchToView(*u.switchToView);
    }
    if (u.message) {
        messages_.show(*u.message);
    }
}

void CommController::finish(uint32_t code)
{
    const OperationId op = controller_.operation();
    const bool done = code == comm::PT_READ_DONE || code == comm::PT_WRITE_DONE;
    const std::vector<comm::UpdateEntry> pending = stopWorker();
    if (const auto warning = controller_.End(pending)) {
        messages_.show(*warning);
    }
    if (compare_) {
        std::shared_ptr<CMorvexDoc> box = std::move(compare_);
        if (done && receivesNames_) {
            comm::applyReceivedNames(buffers_.names, *box);
        }
        box->ConvertIndexTables();
        busy_ = online_ = false;
        receivedTables_ = receivesNames_ = false;
        emit stateChanged();
        emit compareReceived(std::move(box), done);
        return;
    }
    const bool tablesReceived = (op == OperationId::ReceivePane || op == OperationId::ReceiveAll) && receivedTables_;
    if (tablesReceived) {
        // Names only from a complete index job: a cut one would leave holes.
        if (done && receivesNames_) {
            comm::applyReceivedNames(buffers_.names, doc_);
        }
        doc_.ConvertIndexTables();
        doc_.SetModifiedFlag(true);
    }
    if (done && (op == OperationId::SendPane || op == OperationId::SendAll || op == OperationId::InfoSend)) {
        core_.info().box.lastTransfer = platform::OleDateTime::fromDays(sentStamp_);
    }
    if (done && op == OperationId::InfoReceive) {
        comm::applyReceivedInfo(buffers_.info, core_.info().box, QLocale().groupSeparator().toStdString(),
                                platform::OleDateTime::now());
    }
    busy_ = online_ = false;
    receivedTables_ = receivesNames_ = false;
    emit stateChanged();
    if (op == OperationId::InfoSend || op == OperationId::InfoReceive) {
        emit infoTransferEnded();
    }
    if (tablesReceived) {
        emit documentReceived();
    }
    if (done && op == OperationId::SendAll) {
        emit allSent();
    }
}

std::vector<comm::UpdateEntry> CommController::stopWorker()
{
    std::vector<comm::UpdateEntry> pending;
    if (!worker_) {
        return pending;
    }
    if (worker_->Stop()) {
        pending = worker_->TakePendingValues();
        worker_.reset();
        return pending;
    }
    // Never destroyed while it runs: it is kept and reaped once it ended.
    log().warning("port worker did not end within the stop wait; waiting on");
    stopping_.push_back(std::move(worker_));
    reaper_.start();
    emit waitingForWorker(true);
    return pending;
}

void CommController::reapWorkers()
{
    std::erase_if(stopping_, [](const std::unique_ptr<comm::CPortThread>& w) {
        if (!w->Ended()) {
            return false;
        }
        w->Join();
        return true;
    });
    if (stopping_.empty()) {
        reaper_.stop();
        emit waitingForWorker(false);
    }
}

} // namespace morvex::shell
