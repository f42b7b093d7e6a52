#include "tools/campaign/Campaign.h"

#include "comm/PortCodes.h"
#include "document/BoxLayout.h"
#include "document/DataFile.h"
#include "document/MorvexDoc.h"
#include "platform/OleDate.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <random>
#include <set>
#include <thread>

namespace campaign {
namespace {

using namespace morvex::comm;
namespace box = morvex::box;

constexpr uint16_t kFuelMapLines = 512; // rows 16..31 of both fuel maps
constexpr uint16_t kHalfMap = 256;

// The document's byte behind a fuel map line address.
uint8_t& fuelCell(morvex::CMorvexDoc& doc, uint16_t line)
{
    const morvex::BoxAddress map = line < kHalfMap ? box::TAB_DDD_LINKS : box::TAB_DDD_RECHTS;
    return *doc.GetBoxData(static_cast<morvex::BoxAddress>(map + kHalfMap + line % kHalfMap));
}

// Fuel map cells a tuner changes while online, applied to `doc` as the
// view does before it queues them.
std::vector<UpdateEntry> editWhileOnline(morvex::CMorvexDoc& doc, int count, std::mt19937& random)
{
    std::uniform_int_distribution<int> line(0, kFuelMapLines - 1);
    std::uniform_int_distribution<int> value(0, morvex::kMaxMapValue);
    std::set<uint16_t> used;
    std::vector<UpdateEntry> writes;
    while (static_cast<int>(writes.size()) < count) {
        const auto address = static_cast<uint16_t>(line(random));
        if (!used.insert(address).second) {
            continue;
        }
        uint8_t& cell = fuelCell(doc, address);
        const auto newValue = static_cast<uint8_t>(value(random));
        writes.push_back({CMD_WRITE, address, newValue, cell});
        cell = newValue;
    }
    return writes;
}

struct CycleResult {
    OperationOutcome send;
    OperationOutcome online;
    OperationOutcome receive;
};

void runCycle(const Context& ctx, int lane, uint32_t seed, SoakTotals& totals)
{
    const std::filesystem::path dump = ctx.settings.workDir / ("soak-memory-" + std::to_string(lane) + ".txt");
    std::filesystem::remove(dump);
    auto sim = ctx.startSim(ctx.settings.faultRate, seed, dump);
    if (sim->pty().empty()) {
        campaignLog().error("the simulator did not start");
        return;
    }
    auto sent = ctx.randomDocument(seed);
    TransferBuffers sendBuffers;
    const auto sendPlan = planTableTransfer(OperationId::SendAll, kFuelMapView, *sent, {}, sendBuffers,
                                            platform::OleDateTime::now().days);
    const OperationOutcome send = runOperation(ctx.request(OperationId::SendAll, *sendPlan, sim->pty()));
    totals.sendAll.add(send);

    std::mt19937 random(seed);
    TransferBuffers onlineBuffers;
    OperationRequest online = ctx.request(OperationId::Online, planOnline(*sent, {}, onlineBuffers), sim->pty());
    online.onlineFor = ctx.settings.onlineSession;
    online.writes = editWhileOnline(*sent, ctx.settings.onlineWrites, random);
    const OperationOutcome onlineOut = runOperation(online);
    totals.online.add(onlineOut);
    totals.liveValues += onlineOut.liveValues;
    // Edits the session did not get to were never made.
    for (std::size_t k = onlineOut.writesQueued; k < online.writes.size(); ++k) {
        fuelCell(*sent, online.writes[k].lineAddress) = online.writes[k].oldValue;
    }
    totals.onlineWrites += static_cast<int>(onlineOut.writesQueued);
    totals.onlineWritesPending += static_cast<int>(onlineOut.pending.size());
    // A value reported as not sent may or may not have reached the box.
    std::set<uint16_t> unsure;
    for (const UpdateEntry& e : onlineOut.pending) {
        unsure.insert(e.lineAddress);
    }

    auto received = ctx.newDocument();
    TransferBuffers receiveBuffers;
    const auto receivePlan =
        planTableTransfer(OperationId::ReceiveAll, kFuelMapView, *received, {}, receiveBuffers, 0.0);
    const OperationOutcome receive = runOperation(ctx.request(OperationId::ReceiveAll, *receivePlan, sim->pty()));
    totals.receiveAll.add(receive);
    applyReceivedNames(receiveBuffers.names, *received);
    received->ConvertIndexTables();

    std::string output;
    sim->stop(output);
    if (const auto stats = parseSimStats(output)) {
        totals.sim.received += stats->received;
        totals.sim.sent += stats->sent;
        totals.sim.wrongBytes += stats->wrongBytes;
        totals.sim.lostBytes += stats->lostBytes;
        totals.sim.lateBytes += stats->lateBytes;
    } else {
        ++totals.simWithoutStats;
    }
    const auto memory = readMemoryDump(dump);
    if (!memory) {
        ++totals.unreadableDumps;
        return;
    }
    // Online edits confirmed by the box count; those reported as not sent
    // are left out whether the session ended by the user or by a failed write.
    (send.done ? totals.afterSend : totals.afterFailedSend) += compareWithMemory(*sent, *memory, unsure);
    if (receive.done) {
        totals.afterReceive += compareWithMemory(*received, *memory);
    }
    ++totals.cycles;
}

} // namespace

SoakTotals runSoak(const Settings& settings, const std::vector<std::unique_ptr<morvex::CAppCore>>& cores)
{
    SoakTotals totals;
    std::mutex totalsMutex;
    const auto end = Clock::now() + settings.soak;
    // Lanes take their seeds far apart, so that no two cycles share one.
    constexpr uint32_t kLaneSeeds = 100000;
    const auto lane = [&](int number) {
        const Context ctx{settings, *cores[static_cast<std::size_t>(number)]};
        uint32_t seed = settings.seed + kLaneSeeds * static_cast<uint32_t>(number);
        do {
            SoakTotals cycle;
            runCycle(ctx, number, seed++, cycle);
            std::lock_guard lock(totalsMutex);
            totals += cycle;
            const auto left = std::chrono::duration_cast<std::chrono::seconds>(end - Clock::now()).count();
            std::fprintf(stderr, "soak: %d cycles, %d transfers, %llu faults so far, %lld s left\n", totals.cycles,
                         totals.sendAll.run + totals.online.run + totals.receiveAll.run,
                         static_cast<unsigned long long>(totals.sim.faults()),
                         std::max(0LL, static_cast<long long>(left)));
        } while (Clock::now() < end);
    };
    std::vector<std::thread> lanes;
    for (std::size_t n = 0; n < cores.size(); ++n) {
        lanes.emplace_back(lane, static_cast<int>(n));
    }
    for (std::thread& t : lanes) {
        t.join();
    }
    return totals;
}

} // namespace campaign
