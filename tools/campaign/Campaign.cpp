#include "tools/campaign/Campaign.h"

#include "document/AppCore.h"
#include "document/MorvexDoc.h"
#include "platform/Log.h"
#include "tools/common/RandomParameterSet.h"

#include <cstdio>

namespace campaign {

const platform::LogCategory& campaignLog()
{
    static const platform::LogCategory category("morvex.campaign");
    return category;
}

std::unique_ptr<morvex::CMorvexDoc> Context::newDocument() const
{
    auto doc =
        std::make_unique<morvex::CMorvexDoc>(core.adapt(), core.limits(), core.info(), core.paths().premapFile());
    doc->OnNewDocument();
    return doc;
}

std::unique_ptr<morvex::CMorvexDoc> Context::randomDocument(uint32_t seed) const
{
    auto doc = newDocument();
    morvex::tools::Random random(seed);
    morvex::tools::fillTablesRandomly(*doc, random);
    return doc;
}

std::unique_ptr<SimChild> Context::startSim(double faultRate, uint32_t seed, const std::filesystem::path& dump) const
{
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.6f", faultRate);
    std::vector<std::string> options{
        "--baud", std::to_string(settings.baud), "--wrong-echo", rate, "--lose-byte", rate, "--late-byte", rate,
        "--seed", std::to_string(seed),          "--print-stats"};
    if (!dump.empty()) {
        options.insert(options.end(), {"--dump-memory", dump.string()});
    }
    return std::make_unique<SimChild>(settings.boxsim, options);
}

OperationRequest Context::request(morvex::comm::OperationId op, morvex::comm::TransferPlan plan,
                                  const std::string& device) const
{
    OperationRequest r;
    r.op = op;
    r.plan = std::move(plan);
    r.device = device;
    r.baud = settings.baud;
    r.adapt = &core.adapt();
    return r;
}

void OperationCount::add(const OperationOutcome& o)
{
    ++run;
    if (o.cancelledByLimit) {
        ++limited;
    } else if (o.done) {
        ++done;
    } else {
        ++aborted;
    }
    valueFailures += o.valueFailures;
    bytes += o.bytes;
    time += o.took;
}

OperationCount& OperationCount::operator+=(const OperationCount& other)
{
    run += other.run;
    done += other.done;
    aborted += other.aborted;
    limited += other.limited;
    valueFailures += other.valueFailures;
    bytes += other.bytes;
    time += other.time;
    return *this;
}

SoakTotals& SoakTotals::operator+=(const SoakTotals& other)
{
    cycles += other.cycles;
    sendAll += other.sendAll;
    online += other.online;
    receiveAll += other.receiveAll;
    liveValues += other.liveValues;
    onlineWrites += other.onlineWrites;
    onlineWritesPending += other.onlineWritesPending;
    sim.received += other.sim.received;
    sim.sent += other.sim.sent;
    sim.wrongBytes += other.sim.wrongBytes;
    sim.lostBytes += other.sim.lostBytes;
    sim.lateBytes += other.sim.lateBytes;
    simWithoutStats += other.simWithoutStats;
    afterSend += other.afterSend;
    afterReceive += other.afterReceive;
    afterFailedSend += other.afterFailedSend;
    unreadableDumps += other.unreadableDumps;
    return *this;
}

const char* killKindName(KillKind kind)
{
    switch (kind) {
    case KillKind::Table: return "table";
    case KillKind::Info: return "info";
    case KillKind::Diagnostic: return "diagnostic";
    case KillKind::Online: return "online";
    }
    return "?";
}

} // namespace campaign
