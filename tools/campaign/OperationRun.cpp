#include "tools/campaign/OperationRun.h"

#include "comm/PortCodes.h"
#include "comm/PortThread.h"
#include "platform/MessageQueue.h"


namespace campaign {
namespace {

using namespace morvex::comm;

constexpr auto kPumpTick = std::chrono::milliseconds(50);
constexpr auto kStopWait = std::chrono::milliseconds(2000);
// How long a worker may take to honour a cancel before the runner stops it.
constexpr auto kCancelGrace = std::chrono::seconds(3);

using platform::MessageQueue;
using platform::QueueTarget;
using Posted = platform::PostedMessage;

uint32_t tickMs()
{
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
}

bool isDoneCode(uint32_t code)
{
    return code == PT_READ_DONE || code == PT_WRITE_DONE || code == PT_ONLINE_ENDED;
}

// Counts one message of the frame or the live view into `out`; true at the
// end of the operation.
bool take(const Posted& p, const void* view, COperationController& controller, OperationOutcome& out)
{
    if (p.message == WM_PORT_ERROR) {
        out.portErrors.push_back(static_cast<uint32_t>(p.wParam));
        return false;
    }
    if (p.target == view) {
        if (p.wParam == PT_LIVE_VALUE) {
            ++out.liveValues;
        }
        return false;
    }
    const auto code = static_cast<uint32_t>(p.wParam);
    if (code == PT_VALUE_READ || code == PT_VALUE_WRITTEN) {
        ++out.valuesDone;
    } else if (code == PT_WRITE_FAILED || code == PT_READ_FAILED || code == PT_LIVE_FAILED) {
        ++out.valueFailures;
    }
    if (controller.OnPortNotify(code, p.lParam, tickMs()).endOperation) {
        out.endCode = code;
        out.done = isDoneCode(code);
        return true;
    }
    return false;
}

} // namespace

OperationOutcome runOperation(const OperationRequest& request)
{
    OperationOutcome out;
    MessageQueue queue;
    QueueTarget frame(queue);
    QueueTarget view(queue);
    auto line = std::make_unique<TapLine>(platform::makePosixSerialLine());
    TapLine* tap = line.get();
    if (request.triggerAtByte != 0) {
        tap->arm(request.triggerAtByte, request.trigger);
    }
    CPortThread worker(std::move(line), frame, request.adapt);
    platform::SerialSettings settings;
    settings.baud = request.baud;
    worker.Configure(request.device, settings, platform::SerialTimeouts{});
    const auto start = Clock::now();
    if (!worker.Create()) {
        return out;
    }
    COperationController controller;
    controller.Begin(request.op, request.plan.progressTotal, kNoView, tickMs());
    std::vector<TransferJob> jobs = request.plan.jobs;
    const bool online = request.op == OperationId::Online;
    if (online && !jobs.empty()) {
        jobs[0].owner = &view;
    }
    out.started = worker.StartJobs(request.plan.kind, jobs);
    const auto writeGap = request.onlineFor / static_cast<int64_t>(request.writes.size() + 1);
    std::size_t queued = 0;
    std::optional<Clock::time_point> cancelledAt;
    while (out.started) {
        const auto now = Clock::now();
        if (queued < request.writes.size() && now - start >= writeGap * static_cast<int64_t>(queued + 1)) {
            worker.QueueValue(request.writes[queued++]);
        }
        const bool sessionOver = online && now - start >= request.onlineFor;
        const bool overLimit =
            now - start >= request.limit || (tap->triggered() && now - tap->triggeredAt() >= request.afterTriggerLimit);
        if (!cancelledAt && (sessionOver || overLimit)) {
            out.cancelledByLimit = overLimit;
            worker.Cancel();
            cancelledAt = now;
        }
        if (cancelledAt && now - *cancelledAt >= kCancelGrace) {
            break; // a worker that ignores Cancel: Stop below says whether it ends
        }
        const std::optional<Posted> p = queue.pop(now + kPumpTick);
        if (p && take(*p, &view, controller, out)) {
            out.ended = !out.cancelledByLimit;
            break;
        }
    }
    const auto endAt = Clock::now();
    out.workerStopped = worker.Stop(kStopWait);
    if (!out.workerStopped) {
        worker.Join();
    }
    // What the worker posted until it ended still counts.
    while (const std::optional<Posted> p = queue.pop(Clock::now())) {
        if (p->message == WM_PORT_ERROR) {
            out.portErrors.push_back(static_cast<uint32_t>(p->wParam));
        }
    }
    out.writesQueued = queued;
    out.pending = worker.TakePendingValues();
    out.portOpenAfterStop = worker.PortOpen();
    out.bytes = tap->bytes();
    out.took = endAt - start;
    out.triggered = tap->triggered();
    if (out.triggered) {
        out.triggerToEnd = endAt - tap->triggeredAt();
        if (tap->closedAfterTrigger().time_since_epoch().count() != 0) {
            out.triggerToClose = tap->closedAfterTrigger() - tap->triggeredAt();
        }
    }
    return out;
}

} // namespace campaign
