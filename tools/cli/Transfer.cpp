#include "Transfer.h"

#include "Json.h"
#include "comm/Operation.h"
#include "comm/PortCodes.h"
#include "comm/PortThread.h"
#include "document/DataFile.h"
#include "platform/Encoding.h"
#include "platform/MessageQueue.h"
#include "platform/NumberFormat.h"
#include "platform/OleDate.h"
#include "platform/PortNumbering.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <iostream>

namespace cli {
namespace {

using namespace morvex::comm;

using platform::MessageQueue;
using platform::QueueTarget;
using Posted = platform::PostedMessage;

// Ctrl+C cancels the transfer the way Esc does in the editor: the worker
// stops at its next check and the port is closed properly.
std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int)
{
    interrupted = true;
}

uint32_t tickMs()
{
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

// One operation from start to end: the worker, its messages and the
// status texts on stderr.
class Session {
public:
    Session(const Context& ctx, const LinkOptions& link) : ctx_(ctx), link_(link), frame_(queue_), view_(queue_) {}

    // Runs `plan`; for online mode `onLive` gets each live value and the
    // loop ends after `seconds`. True when the operation ended with done.
    bool run(OperationId op, const TransferPlan& plan, double seconds = 0.0,
             const std::function<void(uint8_t, uint16_t)>& onLive = {})
    {
        worker_ = std::make_unique<CPortThread>(platform::makePosixSerialLine(), frame_, &ctx_.core.adapt());
        platform::SerialSettings settings;
        settings.baud = link_.baud;
        platform::SerialTimeouts timeouts;
        timeouts.readTotalTimeoutConstant = link_.timeoutMs;
        worker_->Configure(link_.device, settings, timeouts);
        if (!worker_->Create()) {
            ctx_.err << "Com-Thread konnte nicht erstellt werden! Keine Kommunikation möglich!\n";
            return false;
        }
        controller_.Begin(op, plan.progressTotal, kNoView, tickMs());
        std::vector<TransferJob> jobs = plan.jobs;
        if (op == OperationId::Online && !jobs.empty()) {
            jobs[0].owner = &view_;
        }
        for (const auto& [address, value] : link_.writes) {
            worker_->QueueValue({CMD_WRITE, address, value, 0});
        }
        bool started = worker_->StartJobs(plan.kind, jobs);
        bool done = false;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
        bool cancelled = false;
        interrupted = false;
        const auto previous = std::signal(SIGINT, onInterrupt);
        for (;;) {
            const auto now = std::chrono::steady_clock::now();
            const auto tick = now + std::chrono::milliseconds(100);
            const auto until = !started                                  ? now
                               : op == OperationId::Online && !cancelled ? std::min(deadline, tick)
                                                                         : tick;
            const std::optional<Posted> p = queue_.pop(until);
            if (!p && !started) {
                break;
            }
            const bool timeUp = op == OperationId::Online && std::chrono::steady_clock::now() >= deadline;
            if (started && !cancelled && (interrupted || timeUp)) {
                worker_->Cancel();
                cancelled = true;
            }
            if (!p) {
                continue;
            }
            if (p->message == WM_PORT_ERROR) {
                portError(p->wParam, p->lParam);
                continue;
            }
            if (p->target == &view_) {
                if (p->wParam == PT_LIVE_VALUE && onLive) {
                    onLive(static_cast<uint8_t>(p->lParam & 0xFFFF), static_cast<uint16_t>((p->lParam >> 16) & 0xFFFF));
                }
                continue;
            }
            const FrameUpdate u = controller_.OnPortNotify(static_cast<uint32_t>(p->wParam), p->lParam, tickMs());
            report(u);
            if (u.endOperation) {
                done = p->wParam == PT_READ_DONE || p->wParam == PT_WRITE_DONE || p->wParam == PT_ONLINE_ENDED;
                break;
            }
        }
        std::signal(SIGINT, previous);
        stop();
        return started && done;
    }

    TransferBuffers buffers;

private:
    void portError(uintptr_t code, intptr_t system)
    {
        if (const auto m = controller_.OnPortError(static_cast<uint32_t>(code), system, link_.device)) {
            ctx_.err << oneLine(m->text) << "\n";
        }
    }

    void report(const FrameUpdate& u)
    {
        if (u.message) {
            ctx_.err << oneLine(u.message->text) << "\n";
        }
        // A lost line is said once, by the end message.
        if (u.transferText && !(u.endOperation && controller_.lineLost())) {
            const bool progress = u.transferText->find('/') != std::string::npos;
            // One progress line per hundred values is enough on a terminal.
            if (!progress || controller_.progressCount() % 100 == 0 ||
                controller_.progressCount() == controller_.progressTotal()) {
                ctx_.err << *u.transferText << "\n";
            }
        }
    }

    void stop()
    {
        if (!worker_->Stop()) {
            ctx_.err << "waiting for the port worker to end...\n";
            worker_->Join();
        }
        pending_ = worker_->TakePendingValues();
        if (const auto warning = controller_.End(pending_)) {
            ctx_.err << oneLine(warning->text) << "\n";
        }
    }

    const Context& ctx_;
    const LinkOptions& link_;
    MessageQueue queue_;
    QueueTarget frame_;
    QueueTarget view_;
    std::unique_ptr<CPortThread> worker_;
    COperationController controller_;
    std::vector<UpdateEntry> pending_;
};

std::optional<int32_t> viewOf(const std::string& what)
{
    if (what == "fuel") {
        return kFuelMapView;
    }
    if (what == "function") {
        return kFunctionView;
    }
    if (what == "ignition") {
        return kIgnitionView;
    }
    if (what == "index") {
        return kIndexView;
    }
    return std::nullopt;
}

double oleDateOf(const std::array<uint8_t, 8>& bytes)
{
    uint64_t bits = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        bits |= static_cast<uint64_t>(bytes[i]) << (8 * i);
    }
    return std::bit_cast<double>(bits);
}

std::string textOf(const uint8_t* bytes, std::size_t width)
{
    const auto* first = reinterpret_cast<const char*>(bytes);
    return std::string(first, strnlen(first, width));
}

} // namespace

std::optional<std::string> parseLinkOptions(std::vector<std::string>& args, LinkOptions& options)
{
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--port" && hasValue) {
            options.device = args[++i];
        } else if (a == "--com" && hasValue) {
            options.device = platform::devicePathForPort(platform::parseInt(args[++i]), {});
        } else if (a == "--baud" && hasValue) {
            options.baud = static_cast<uint32_t>(platform::parseInt(args[++i]));
        } else if (a == "--timeout" && hasValue) {
            options.timeoutMs = static_cast<uint32_t>(platform::parseInt(args[++i]));
        } else if (a == "--what" && hasValue) {
            options.what = args[++i];
            if (options.what != "all" && !viewOf(options.what)) {
                return "unknown table group '" + options.what + "' (fuel, function, ignition, index, all)";
            }
        } else if (a == "--seconds" && hasValue) {
            options.seconds = platform::parseDouble(args[++i]);
        } else if (a == "--set" && hasValue) {
            const std::string& pair = args[++i];
            const auto eq = pair.find('=');
            const int address = platform::parseInt(pair.substr(0, eq));
            const int value = eq == std::string::npos ? -1 : platform::parseInt(pair.substr(eq + 1));
            if (eq == std::string::npos || address < 0 || address > 0xFFFF || value < 0 || value > 255) {
                return "--set needs line-address=value (0..65535 = 0..255)";
            }
            options.writes.emplace_back(static_cast<uint16_t>(address), static_cast<uint8_t>(value));
        } else {
            rest.push_back(a);
        }
    }
    args = rest;
    if (options.device.empty()) {
        options.device = platform::devicePathForPort(1, {});
    }
    return std::nullopt;
}

int receive(const Context& ctx, const LinkOptions& link, const std::filesystem::path& out)
{
    auto doc = ctx.newDocument();
    Session session(ctx, link);
    const OperationId op = link.what == "all" ? OperationId::ReceiveAll : OperationId::ReceivePane;
    const auto plan = planTableTransfer(op, viewOf(link.what).value_or(kFuelMapView), *doc, {}, session.buffers, 0.0);
    if (!plan || !session.run(op, *plan)) {
        return kExitFailure;
    }
    if (link.what == "all" || link.what == "index") {
        applyReceivedNames(session.buffers.names, *doc);
    }
    doc->ConvertIndexTables();
    const morvex::FileOutcome outcome = morvex::SaveDataFile(*doc, out, false, platform::OleDateTime::now());
    if (!outcome.ok) {
        ctx.err << outcome.message << "\n";
        return kExitFailure;
    }
    return kExitOk;
}

int verify(const Context& ctx, const LinkOptions& link, const std::filesystem::path& file)
{
    DiffSide mine;
    mine.doc = ctx.open(file);
    if (!mine.doc) {
        return kExitUsage;
    }
    mine.info = ctx.core.info();
    // What is not read stays as the file has it.
    DiffSide box;
    box.doc = ctx.newDocument();
    box.doc->TakeContentsFrom(*mine.doc);
    box.info = mine.info;
    Session session(ctx, link);
    const OperationId op = link.what == "all" ? OperationId::ReceiveAll : OperationId::ReceivePane;
    const auto plan =
        planTableTransfer(op, viewOf(link.what).value_or(kFuelMapView), *box.doc, {}, session.buffers, 0.0);
    if (!plan || !session.run(op, *plan)) {
        return kExitUsage;
    }
    if (link.what == "all" || link.what == "index") {
        applyReceivedNames(session.buffers.names, *box.doc);
    }
    box.doc->ConvertIndexTables();
    return listDifferences(ctx, mine, box);
}

int send(const Context& ctx, const LinkOptions& link, const std::filesystem::path& file)
{
    auto doc = ctx.open(file);
    if (!doc) {
        return kExitFailure;
    }
    if (link.what == "all" || link.what == "index") {
        morvex::comm::NameBytes names;
        if (!namesForSending(*doc, names)) {
            ctx.err << "Transmission aborted!\n\nReason: a function name is longer than 4 characters\n";
            return kExitFailure;
        }
    }
    Session session(ctx, link);
    const OperationId op = link.what == "all" ? OperationId::SendAll : OperationId::SendPane;
    const platform::OleDateTime now = platform::OleDateTime::now();
    const auto plan =
        planTableTransfer(op, viewOf(link.what).value_or(kFuelMapView), *doc, {}, session.buffers, now.days);
    if (!plan || !session.run(op, *plan)) {
        return kExitFailure;
    }
    doc->Info().box.lastTransfer = now;
    return kExitOk;
}

int online(const Context& ctx, const LinkOptions& link)
{
    auto doc = ctx.newDocument();
    Session session(ctx, link);
    const TransferPlan plan = planOnline(*doc, {}, session.buffers);
    const bool ok = session.run(OperationId::Online, plan, link.seconds, [&](uint8_t command, uint16_t raw) {
        ctx.out << "{\"command\":" << int{command} << ",\"raw\":" << raw << "}\n";
    });
    return ok ? kExitOk : kExitFailure;
}

int info(const Context& ctx, const LinkOptions& link)
{
    Session session(ctx, link);
    const TransferPlan plan = planInfo(false, nullptr, session.buffers, 0.0);
    if (!session.run(OperationId::InfoReceive, plan)) {
        return kExitFailure;
    }
    const InfoBytes& b = session.buffers.info;
    std::string json = "{\"BoxTime\":";
    appendJsonString(json, platform::formatGermanDate(platform::OleDateTime::fromDays(oleDateOf(b.timeStamp))));
    json += ",\"BoxVersion1\":";
    appendJsonString(json, platform::cp1252ToUtf8(textOf(b.boxVersion.data(), 8)));
    for (std::size_t i = 0; i < 5; ++i) {
        json += ",\"BoxVersion" + std::to_string(i + 2) + "\":";
        appendJsonString(json, platform::cp1252ToUtf8(textOf(b.texts.data() + 8 * i, 8)));
    }
    json += ",\"BoxVersion7\":";
    appendJsonString(json, platform::cp1252ToUtf8(textOf(b.text7.data(), 16)));
    auto counter = [&](std::size_t at) {
        return (uint32_t{b.counters[at]} << 24) | (uint32_t{b.counters[at + 1]} << 16) |
               (uint32_t{b.counters[at + 2]} << 8) | uint32_t{b.counters[at + 3]};
    };
    json += ",\"IE-Counter\":" + std::to_string(counter(0)) + ",\"Start-Counter\":" + std::to_string(counter(4)) + "}";
    ctx.out << json << "\n";
    return kExitOk;
}

int diag(const Context& ctx, const LinkOptions& link, int command)
{
    if (command < 158 || command > 165) {
        ctx.err << "diagnostic command must be 158..165\n";
        return kExitUsage;
    }
    Session session(ctx, link);
    const auto c = static_cast<uint8_t>(command);
    if (!session.run(OperationId::Diagnostic, planDiagnostic(c, false, nullptr, session.buffers))) {
        return kExitFailure;
    }
    if (command != 158) {
        Session reply(ctx, link);
        if (!reply.run(OperationId::Diagnostic, planDiagnostic(c, true, nullptr, reply.buffers))) {
            return kExitFailure;
        }
        session.buffers.diagnostic = reply.buffers.diagnostic;
    }
    std::string json = "{\"command\":" + std::to_string(command) + ",\"texts\":[";
    for (std::size_t i = 0; i < 4; ++i) {
        json += i == 0 ? "" : ",";
        appendJsonString(json, platform::cp1252ToUtf8(session.buffers.diagnostic.texts[i]));
    }
    ctx.out << json << "]}\n";
    return kExitOk;
}

} // namespace cli
