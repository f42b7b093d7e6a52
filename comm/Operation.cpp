#include "comm/Operation.h"

#include "comm/PortCodes.h"
#include "comm/Walks.h"
#include "document/MorvexDoc.h"
#include "platform/NumberFormat.h"
#include "platform/SystemErrors.h"

#include <bit>
#include <cstring>

namespace morvex::comm {
namespace {

std::string reasonText(intptr_t reason)
{
    switch (reason) {
    case PTERR_CANCELED: return "Canceled";
    case PTERR_CONFIRM: return "Confirm Error";
    case PTERR_WRITE: return "Write Error";
    case PTERR_READ: return "Read Error";
    default: return "Unknown Error";
    }
}

std::string lineHint(intptr_t reason)
{
    switch (reason) {
    case PTERR_CONFIRM: return "BAUD?";
    case PTERR_WRITE: return "HARDWARE?";
    case PTERR_READ: return "CABLE?";
    default: return "Unknown Error";
    }
}

void putOleDate(double days, std::array<uint8_t, 8>& bytes)
{
    // Least significant byte first, whatever the host.
    const auto bits = std::bit_cast<uint64_t>(days);
    for (std::size_t i = 0; i < 8; ++i) {
        bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
    }
}

// Sets the job's count to its walk's progress steps.
TransferJob counted(TransferJob job)
{
    if (const auto walk = buildWalk(job, job.command == CMD_WRITE)) {
        job.count = progressSteps(*walk);
    }
    return job;
}

} // namespace

platform::MessageTarget* PaneTargets::forView(int32_t viewId) const
{
    switch (viewId) {
    case kFuelMapView: return fuelMap;
    case kFunctionView: return function;
    case kIgnitionView: return ignition;
    case kDataRecordView: return dataRecord;
    case kIndexView: return index;
    default: return nullptr;
    }
}

bool namesForSending(const CMorvexDoc& doc, NameBytes& names)
{
    names.fill(0);
    for (int t = 0; t < kTextTableCount; ++t) {
        for (int e = 0; e < 16; ++e) {
            const std::string& name = doc.Text(static_cast<TextTable>(t), e);
            if (name.size() > 4) {
                return false;
            }
            std::memcpy(names.data() + 64 * t + 4 * e, name.data(), name.size());
        }
    }
    return true;
}

void applyReceivedNames(const NameBytes& names, CMorvexDoc& doc)
{
    for (int t = 0; t < kTextTableCount; ++t) {
        for (int e = 0; e < 16; ++e) {
            const auto* first = reinterpret_cast<const char*>(names.data() + 64 * t + 4 * e);
            doc.SetText(static_cast<TextTable>(t), e, std::string(first, strnlen(first, 4)));
        }
    }
    // These names belong to the program, whatever the box holds.
    doc.SetText(TextTable::SFI1, 0, "LTRH");
    doc.SetText(TextTable::SFI1, 1, "IPCS");
    doc.SetText(TextTable::SFI1, 2, "");
    doc.SetText(TextTable::SFI1, 3, "RLI");
    doc.SetText(TextTable::SFI2, 2, "IGMN");
}

std::optional<TransferPlan> planTableTransfer(OperationId op, int32_t activeView, CMorvexDoc& doc,
                                              const PaneTargets& panes, TransferBuffers& buffers, double nowOleDate)
{
    const bool sending = op == OperationId::SendPane || op == OperationId::SendAll;
    const uint8_t c = sending ? CMD_WRITE : CMD_READ;
    uint8_t* image = doc.GetBoxData(0);

    TransferJob fuel{c,   panes.fuelMap, kFuelMapView,    image + box::TAB_DDD_LINKS, nullptr, 0,
                     256, 512,           variant::FuelMap};
    TransferJob function{c, panes.function,           kFunctionView, image + box::TAB_MTD, nullptr, 0, 0,
                         0, variant::SpecialFunctions};
    TransferJob ignition{
        c,   panes.ignition,      kIgnitionView, image + box::TAB_DDZ_LINKS, image + box::PARAMETERS, 512, 256,
        514, variant::IgnitionMap};
    TransferJob index{c, panes.index, kIndexView, image + box::TAB_DZI, nullptr, 0, 0, 0, variant::IndexTables};
    index.names = &buffers.names;
    const std::array<TransferJob, 4> tables{counted(fuel), counted(function), counted(ignition), counted(index)};

    TransferJob stamp{CMD_WRITE, panes.fuelMap, kFuelMapView, nullptr, nullptr, 0, 0, 8, variant::TimeStamp};
    stamp.info = &buffers.info;
    if (sending) {
        putOleDate(nowOleDate, buffers.info.timeStamp);
        namesForSending(doc, buffers.names);
    }

    TransferPlan plan;
    plan.kind = sending ? CPortThread::Kind::Send : CPortThread::Kind::Receive;
    if (op == OperationId::SendAll || op == OperationId::ReceiveAll) {
        if (sending) {
            plan.jobs.push_back(stamp);
        }
        plan.jobs.insert(plan.jobs.end(), tables.begin(), tables.end());
        plan.returnView = activeView;
        plan.showFuelMapFirst = true;
    } else {
        const auto it =
            std::find_if(tables.begin(), tables.end(), [&](const TransferJob& j) { return j.viewId == activeView; });
        if (it == tables.end()) {
            return std::nullopt;
        }
        if (sending) {
            stamp.owner = it->owner;
            stamp.viewId = it->viewId;
            plan.jobs.push_back(stamp);
        }
        plan.jobs.push_back(*it);
    }
    for (const TransferJob& job : plan.jobs) {
        plan.progressTotal += job.count;
    }
    return plan;
}

TransferPlan planOnline(CMorvexDoc& doc, const PaneTargets& panes, TransferBuffers& buffers)
{
    TransferPlan plan;
    plan.kind = CPortThread::Kind::Online;
    plan.jobs.push_back({CMD_ONLINE, panes.onlineValues, 141, nullptr, nullptr, 0, 0, 0, variant::NotWalked});
    plan.jobs.push_back(
        {CMD_CARRIER, panes.dataRecord, kDataRecordView, nullptr, nullptr, 0, 0, 0, variant::NotWalked});
    if (const auto receive = planTableTransfer(OperationId::ReceiveAll, kFuelMapView, doc, panes, buffers, 0.0)) {
        plan.jobs.insert(plan.jobs.end(), receive->jobs.begin(), receive->jobs.end());
    }
    return plan;
}

TransferPlan planInfo(bool sending, platform::MessageTarget* owner, TransferBuffers& buffers, double nowOleDate)
{
    TransferJob job{sending ? CMD_WRITE : CMD_READ, owner, 0, nullptr, nullptr, 0, 0, 0, variant::InfoBlock};
    job.info = &buffers.info;
    if (sending) {
        putOleDate(nowOleDate, buffers.info.timeStamp);
    }
    TransferPlan plan;
    plan.kind = sending ? CPortThread::Kind::Send : CPortThread::Kind::Receive;
    plan.jobs.push_back(counted(job));
    plan.progressTotal = plan.jobs.back().count;
    return plan;
}

TransferPlan planDiagnostic(uint8_t command, bool reply, platform::MessageTarget* owner, TransferBuffers& buffers)
{
    TransferJob job{command, owner, kDiagnosticView, nullptr, nullptr, 0, 0, 1, variant::Diagnostic};
    job.diagnostic = &buffers.diagnostic;
    job.info = &buffers.info;
    TransferPlan plan;
    if (!reply) {
        plan.kind = CPortThread::Kind::Send;
        if (command == CMD_BOX_VERSION) {
            job.count = 8;
        } else {
            job.command = CMD_DIAG_COMMAND;
            job.variant = command;
        }
    } else {
        plan.kind = CPortThread::Kind::Receive;
        job.count = command == 159 ? 18 : command == 160 ? 12 : command == 161 ? 24 : 1;
    }
    plan.jobs.push_back(job);
    // The request byte before a reply counts as one written value.
    const bool requestCounted = reply && command >= 159 && command <= 161;
    plan.progressTotal = job.count + (requestCounted ? 1 : 0);
    return plan;
}

void COperationController::Begin(OperationId op, int32_t progressTotal, int32_t returnView, uint32_t startTickMs)
{
    op_ = op;
    total_ = progressTotal;
    count_ = 0;
    returnView_ = returnView;
    startTick_ = startTickMs;
    portErrorShown_ = false;
    lineLost_.reset();
}

std::string COperationController::StartText() const
{
    if (op_ == OperationId::Online) {
        return "ONLINE";
    }
    return "0/" + std::to_string(total_);
}

std::string COperationController::resultText(uint32_t nowTickMs) const
{
    const uint32_t elapsed = nowTickMs - startTick_; // wraps like the tick count
    return "OK (" + platform::formatFixed(elapsed * 0.001, 1) + " s)";
}

FrameUpdate COperationController::OnPortNotify(uint32_t code, intptr_t lParam, uint32_t nowTickMs)
{
    FrameUpdate u;
    auto finish = [&](std::string text) {
        u.transferText = op_ == OperationId::Online ? "OFFLINE" : std::move(text);
        if (returnView_ != kNoView) {
            u.switchToView = returnView_;
        }
        u.linkText = "OFFLINE";
        u.endOperation = true;
    };
    switch (code) {
    case PT_SEND_STARTED: u.linkText = "SEND"; break;
    case PT_RECEIVE_STARTED: u.linkText = "RECEIVE"; break;
    case PT_ONLINE_STARTED: u.linkText = "ONLINE"; break;
    case PT_VALUE_READ:
    case PT_VALUE_WRITTEN:
        ++count_;
        u.transferText = std::to_string(count_) + "/" + std::to_string(total_);
        u.pulse = true;
        break;
    case PT_WRITE_FAILED:
    case PT_READ_FAILED:
    case PT_LIVE_FAILED:
        u.transferText = lineHint(lParam);
        u.transferIsError = true;
        u.pulse = true;
        u.pulseIsError = true;
        break;
    case PT_NEXT_JOB: u.switchToView = static_cast<int32_t>(lParam); break;
    case PT_LIVE_VALUE:
        u.transferText = "ONLINE";
        u.pulse = true;
        break;
    case PT_READ_DONE:
    case PT_WRITE_DONE: finish(resultText(nowTickMs)); break;
    case PT_ONLINE_ENDED: finish(resultText(nowTickMs)); break;
    case PT_ABORTED: {
        const bool cancelled = lParam == PTERR_CANCELED;
        if (!cancelled && op_ != OperationId::Diagnostic && !lineLost_) {
            u.message = platform::UserMessage{"Transmission aborted!\n\nReason: " + reasonText(lParam),
                                              platform::UserMessage::Icon::Stop};
        }
        finish(reasonText(lParam));
        if (!(op_ == OperationId::Online && cancelled)) {
            u.transferText = reasonText(lParam);
        }
        break;
    }
    default: break;
    }
    return u;
}

std::optional<platform::UserMessage> COperationController::PortErrorMessage(uint32_t code, intptr_t systemError,
                                                                            const std::string& port)
{
    const std::string systemText = platform::serialErrorText(static_cast<int>(systemError));
    if (systemText.empty()) {
        return std::nullopt; // the system has nothing to say about this code
    }
    std::string heading;
    if (code == PTERR_OPEN && platform::isSerialDeviceBusy(static_cast<int>(systemError))) {
        heading = port + " is occupied by another programm and unavailable!";
    } else if (code == PTERR_OPEN) {
        heading = "Sorry, can't open " + port + "!\nNot installed?\n";
    } else if (code == PTERR_LINE) {
        heading = "The connection to the Zamo-Box on " + port + " was lost!";
    } else if (code == PTERR_MAINWAIT) {
        heading = "PTERR_MAINWAIT";
    } else {
        heading = "UNKNOWN ERROR";
    }
    std::string text = heading + "\nError " + std::to_string(systemError) + ":\n" + systemText;
    if (text.size() > 200) {
        text.resize(200);
    }
    return platform::UserMessage{text, platform::UserMessage::Icon::Exclamation};
}

std::optional<platform::UserMessage> COperationController::OnPortError(uint32_t code, intptr_t systemError,
                                                                       const std::string& port)
{
    auto message = PortErrorMessage(code, systemError, port);
    if (!busy() || !message) {
        return message;
    }
    if (code == PTERR_LINE) {
        if (!lineLost_) {
            lineLost_ = std::move(message);
        }
        return std::nullopt;
    }
    if (portErrorShown_ || lineLost_) {
        return std::nullopt; // one message per operation
    }
    portErrorShown_ = true;
    return message;
}

std::optional<platform::UserMessage> COperationController::End(const std::vector<UpdateEntry>& pending)
{
    std::optional<platform::UserMessage> message = std::move(lineLost_);
    if (op_ == OperationId::Online && !pending.empty()) {
        std::string text = message ? message->text + "\n\n" : std::string();
        text += kValuesNotSentMessage;
        text += "\n\nNot written (line address: new value, value before):";
        constexpr std::size_t kListed = 20;
        for (std::size_t i = 0; i < pending.size() && i < kListed; ++i) {
            text += "\n" + std::to_string(pending[i].lineAddress) + ": " + std::to_string(pending[i].newValue) + " (" +
                    std::to_string(pending[i].oldValue) + ")";
        }
        if (pending.size() > kListed) {
            text += "\n... and " + std::to_string(pending.size() - kListed) + " more";
        }
        message = platform::UserMessage{text, platform::UserMessage::Icon::Exclamation};
    }
    op_ = OperationId::None;
    returnView_ = kNoView;
    portErrorShown_ = false;
    lineLost_.reset();
    return message;
}

std::string oneLine(const std::string& text)
{
    std::string out;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view part = std::string_view(text).substr(start, end - start);
        if (!part.empty()) {
            if (!out.empty()) {
                out += ' ';
            }
            out += part;
        }
        start = end + 1;
    }
    return out;
}

} // namespace morvex::comm
