#include "tools/campaign/Campaign.h"

#include "comm/PortCodes.h"
#include "document/MorvexDoc.h"
#include "platform/OleDate.h"

#include <cstdio>
#include <map>
#include <random>

namespace campaign {
namespace {

using namespace morvex::comm;

// The calibration session of online mode; the kill falls inside it.
constexpr auto kCalibrationOnline = std::chrono::seconds(3);
constexpr auto kKilledOnline = std::chrono::seconds(30);
constexpr std::array<uint8_t, 2> kDiagnostics{161, 159};

struct Step {
    OperationId op;
    TransferPlan plan;
};

// One run of a transfer kind: the operations the user starts, with the
// document and buffers they point into. `variant` picks the direction
// (table, info) or the command (diagnostic).
struct Scene {
    std::unique_ptr<morvex::CMorvexDoc> doc;
    TransferBuffers buffers;
    std::vector<Step> steps;
    std::chrono::milliseconds online{0};
};

std::unique_ptr<Scene> makeScene(const Context& ctx, KillKind kind, int variant, bool calibrating)
{
    auto scene = std::make_unique<Scene>();
    scene->doc = ctx.randomDocument(ctx.settings.seed + static_cast<uint32_t>(variant));
    const double now = platform::OleDateTime::now().days;
    switch (kind) {
    case KillKind::Table: {
        const OperationId op = variant == 0 ? OperationId::SendAll : OperationId::ReceiveAll;
        scene->steps.push_back({op, *planTableTransfer(op, kFuelMapView, *scene->doc, {}, scene->buffers, now)});
        break;
    }
    case KillKind::Info: {
        const bool sending = variant != 0;
        scene->steps.push_back({sending ? OperationId::InfoSend : OperationId::InfoReceive,
                                planInfo(sending, nullptr, scene->buffers, now)});
        break;
    }
    case KillKind::Diagnostic: {
        const uint8_t command = kDiagnostics[static_cast<std::size_t>(variant)];
        scene->steps.push_back({OperationId::Diagnostic, planDiagnostic(command, false, nullptr, scene->buffers)});
        scene->steps.push_back({OperationId::Diagnostic, planDiagnostic(command, true, nullptr, scene->buffers)});
        break;
    }
    case KillKind::Online:
        scene->steps.push_back({OperationId::Online, planOnline(*scene->doc, {}, scene->buffers)});
        scene->online = calibrating ? kCalibrationOnline : kKilledOnline;
        break;
    }
    return scene;
}

int variantsOf(KillKind kind)
{
    return kind == KillKind::Online ? 1 : 2;
}

// The bytes of an undisturbed run; 0 when it did not end with done.
uint64_t calibrate(const Context& ctx, KillKind kind, int variant)
{
    auto sim = ctx.startSim(0.0, ctx.settings.seed, {});
    auto scene = makeScene(ctx, kind, variant, true);
    uint64_t bytes = 0;
    for (const Step& step : scene->steps) {
        OperationRequest r = ctx.request(step.op, step.plan, sim->pty());
        r.onlineFor = scene->online;
        const OperationOutcome o = runOperation(r);
        if (!o.done) {
            return 0;
        }
        bytes += o.bytes;
    }
    return bytes;
}

KillResult killOnce(const Context& ctx, KillKind kind, int variant, uint64_t atByte, uint64_t ofBytes)
{
    KillResult result;
    result.atByte = atByte;
    result.ofBytes = ofBytes;
    auto sim = ctx.startSim(0.0, ctx.settings.seed, {});
    auto scene = makeScene(ctx, kind, variant, false);
    uint64_t before = 0;
    for (const Step& step : scene->steps) {
        OperationRequest r = ctx.request(step.op, step.plan, sim->pty());
        r.onlineFor = scene->online;
        r.triggerAtByte = atByte - before;
        r.trigger = [s = sim.get()] { s->kill(); };
        const OperationOutcome o = runOperation(r);
        if (!o.triggered) {
            before += o.bytes;
            continue;
        }
        result.triggered = true;
        result.ended = o.ended;
        result.done = o.done;
        result.toEnd = o.triggerToEnd;
        result.portErrors = o.portErrors.size();
        result.valueFailures = o.valueFailures;
        result.closedBeforeEnd = o.triggerToClose && *o.triggerToClose <= o.triggerToEnd;
        result.portOpenAfterStop = o.portOpenAfterStop;
        result.workerStopped = o.workerStopped;
        break;
    }
    std::string output;
    sim->stop(output);
    return result;
}

} // namespace

std::vector<KillResult> runKills(const Context& ctx, KillKind kind)
{
    if (ctx.settings.killsPerKind <= 0) {
        return {};
    }
    std::map<int, uint64_t> totals;
    for (int v = 0; v < variantsOf(kind); ++v) {
        totals[v] = calibrate(ctx, kind, v);
        if (totals[v] < 2) {
            campaignLog().error(std::string("an undisturbed ") + killKindName(kind) + " transfer did not succeed");
            return {};
        }
    }
    std::mt19937_64 random(ctx.settings.seed * 7919u + static_cast<uint32_t>(kind));
    std::vector<KillResult> results;
    for (int i = 0; i < ctx.settings.killsPerKind; ++i) {
        const int variant = i % variantsOf(kind);
        const uint64_t total = totals[variant];
        // Never after the last byte: the kill must hit the transfer.
        std::uniform_int_distribution<uint64_t> byte(1, total - 1);
        results.push_back(killOnce(ctx, kind, variant, byte(random), total));
        std::fprintf(stderr, "kill %s %d/%d at byte %llu of %llu\n", killKindName(kind), i + 1,
                     ctx.settings.killsPerKind, static_cast<unsigned long long>(results.back().atByte),
                     static_cast<unsigned long long>(total));
    }
    return results;
}

} // namespace campaign
