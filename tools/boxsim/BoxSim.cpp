#include "tools/boxsim/BoxSim.h"

#include "platform/Log.h"
#include "tools/boxsim/Sensors.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <utility>

namespace boxsim {
namespace {

const platform::LogCategory& log()
{
    static const platform::LogCategory category("morvex.boxsim");
    return category;
}

[[gnu::format(printf, 1, 2)]] void trace(const char* format, ...)
{
    if (!log().debugEnabled()) {
        return;
    }
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    log().debug(text);
}

bool isDigit(uint8_t b)
{
    return b >= '0' && b <= '9';
}

bool isLive(uint8_t c)
{
    return (c >= cmd::LiveRpm && c <= cmd::LiveSupply) || c == cmd::LiveInjection || c == cmd::LiveIgnitionMap;
}

bool isDiagnostic(uint8_t c)
{
    return c >= cmd::DiagTurbo && c <= cmd::DiagActionLast;
}

void appendGroup(std::string& s, unsigned value)
{
    char group[8];
    std::snprintf(group, sizeof group, "%03u", value & 0xFFu);
    s += group;
}

// A live value: low byte, high byte.
void appendLowHigh(std::string& s, uint16_t raw)
{
    appendGroup(s, raw & 0xFFu);
    appendGroup(s, raw >> 8u);
}

// A diagnostic value: high byte, low byte.
void appendHighLow(std::string& s, uint16_t raw)
{
    appendGroup(s, raw >> 8u);
    appendGroup(s, raw & 0xFFu);
}

// The axis and the engine quantity behind each hold.
struct HoldTarget {
    uint16_t axis; // index holds only
    EngineModel::Quantity quantity;
};
constexpr std::array<HoldTarget, kHolds> kHoldTargets{{
    {line::DZI, EngineModel::Quantity::Rpm},
    {line::DKI, EngineModel::Quantity::Throttle},
    {line::MTI, EngineModel::Quantity::EngineTemp},
    {line::LTI, EngineModel::Quantity::AirTemp},
    {line::LDI, EngineModel::Quantity::AirPressure},
    {0, EngineModel::Quantity::LambdaLeft},
    {0, EngineModel::Quantity::LambdaRight},
    {0, EngineModel::Quantity::InjectionUs},
}};

const HoldTarget& target(Hold h)
{
    return kHoldTargets[static_cast<std::size_t>(h)];
}

bool isIndexHold(Hold h)
{
    return static_cast<std::size_t>(h) < kIndexHolds;
}

// The engine's value for a sensor held in the middle of `word`'s count,
// kept within what the model can take (the live value reports the word
// itself in any case).
double sensorValue(Hold h, uint16_t word)
{
    const double mid = word + 0.5;
    switch (h) {
    case Hold::RpmIndex: return std::min(sensor::kRpmPeriodConstant / mid, 30000.0);
    case Hold::ThrottleIndex: return std::clamp(sensor::rawToThrottle(mid), 0.0, 100.0);
    case Hold::EngineTempIndex:
    case Hold::AirTempIndex: return std::clamp(sensor::rawToTemperature(mid), -60.0, 250.0);
    case Hold::AirPressureIndex: return std::clamp(sensor::rawToPressure(mid), 0.0, 3000.0);
    default: return 0.0;
    }
}

void appendPoint(std::string& s, int point)
{
    char two[8];
    std::snprintf(two, sizeof two, "%02d", std::clamp(point, 0, 99));
    s += two;
}

} // namespace

BoxSim::BoxSim(const Options& options, const BoxMemory& memory)
    : options_(options), memory_(memory), engine_(options.seed), faults_(options.seed)
{
    if (options_.baud > 0) {
        byteTime_ = Nanos(10'000'000'000LL / options_.baud);
    }
    memory_.setCounter(line::StartCounter, memory_.counter(line::StartCounter) + 1);
}

void BoxSim::receive(uint8_t byte, Nanos now)
{
    const Nanos received = std::max(now, rxFree_) + byteTime_;
    rxFree_ = received;
    ++stats_.received;
    if (!stats_.firstIn) {
        stats_.firstIn = now;
    }
    stats_.lastOnLine = std::max(stats_.lastOnLine, received);
    if (phase_ == Phase::Reply && received > echoDeadline_) {
        abandonReply("no echo in time");
    }
    handle(byte, received);
}

void BoxSim::advance(Nanos now)
{
    runEngine(now);
    if (phase_ == Phase::Reply && now >= echoDeadline_) {
        abandonReply("no echo in time");
    }
}

std::optional<Nanos> BoxSim::nextEvent() const
{
    std::optional<Nanos> next = nextDue();
    if (phase_ == Phase::Reply && (!next || echoDeadline_ < *next)) {
        next = echoDeadline_;
    }
    return next;
}

std::optional<Nanos> BoxSim::nextDue() const
{
    if (out_.empty()) {
        return std::nullopt;
    }
    return out_.front().second;
}

std::optional<uint8_t> BoxSim::popDue(Nanos now)
{
    if (out_.empty() || out_.front().second > now) {
        return std::nullopt;
    }
    const uint8_t b = out_.front().first;
    out_.pop_front();
    return b;
}

void BoxSim::lineDown(Nanos now)
{
    if (phase_ != Phase::Idle || !out_.empty()) {
        trace("port closed: %zu byte(s) on their way dropped, exchange in progress ended", out_.size());
    }
    out_.clear();
    phase_ = Phase::Idle;
    rxFree_ = now;
    txFree_ = now;
}

void BoxSim::handle(uint8_t byte, Nanos t)
{
    switch (phase_) {
    case Phase::Idle: idleByte(byte, t); return;
    case Phase::Message:
        if (isDigit(byte)) {
            send(byte, t);
            digits_ += static_cast<char>(byte);
            if (digits_.size() == digitsNeeded_) {
                messageComplete(t);
            }
            return;
        }
        ++stats_.abandonedMessages;
        trace("message %u abandoned after %zu digit(s): byte %u dropped", command_, digits_.size(), byte);
        phase_ = Phase::Idle;
        return;
    case Phase::AwaitRequest:
        if (byte == cmd::Request) {
            startReply(t);
            return;
        }
        ++stats_.abandonedMessages;
        trace("command %u: byte %u instead of the request, dropped", command_, byte);
        phase_ = Phase::Idle;
        return;
    case Phase::Reply:
        if (byte != static_cast<uint8_t>(reply_[replyPos_])) {
            char why[64];
            std::snprintf(why, sizeof why, "echo %u for %u", byte, static_cast<uint8_t>(reply_[replyPos_]));
            abandonReply(why);
            return;
        }
        ++replyPos_;
        if (replyPos_ < reply_.size()) {
            sendReplyByte(t);
            return;
        }
        send(command_, t);
        ++stats_.replies;
        phase_ = Phase::Idle;
        return;
    }
}

void BoxSim::idleByte(uint8_t byte, Nanos t)
{
    if (byte == cmd::Request) {
        if (pendingDiagnostic_ == 0) {
            ++stats_.ignored;
            trace("request byte without a diagnostic: ignored");
            return;
        }
        command_ = std::exchange(pendingDiagnostic_, 0);
        if (command_ <= cmd::DiagAir) {
            startReply(t);
        } else {
            ++stats_.actionsEnded;
            stats_.lastActionEnded = command_;
            trace("diagnostic action %u ended", command_);
        }
        return;
    }
    if (byte == cmd::Write || byte == cmd::Read) {
        send(byte, t);
        phase_ = Phase::Message;
        command_ = byte;
        digits_.clear();
        digitsNeeded_ = byte == cmd::Write ? 9 : 6;
        return;
    }
    if (isLive(byte) || byte == cmd::BoxVersion) {
        send(byte, t);
        phase_ = Phase::AwaitRequest;
        command_ = byte;
        return;
    }
    if (isDiagnostic(byte)) {
        send(byte, t);
        pendingDiagnostic_ = byte;
        ++stats_.diagnosticsStarted;
        trace("diagnostic %u started", byte);
        return;
    }
    ++stats_.ignored;
    trace("unknown byte %u ignored", byte);
}

void BoxSim::messageComplete(Nanos t)
{
    // Three digits per group; the box computes in 8 bits.
    uint8_t group[3] = {};
    for (std::size_t g = 0; g * 3 < digits_.size(); ++g) {
        const unsigned v = 100u * static_cast<unsigned>(digits_[3 * g] - '0') +
                           10u * static_cast<unsigned>(digits_[3 * g + 1] - '0') +
                           static_cast<unsigned>(digits_[3 * g + 2] - '0');
        if (v > 255) {
            trace("group %u above 255, low 8 bits taken", v);
        }
        group[g] = static_cast<uint8_t>(v & 0xFFu);
    }
    address_ = 256u * group[0] + group[1];
    if (command_ == cmd::Write) {
        runEngine(t);
        memory_.set(address_, group[2]);
        ++stats_.writes;
        trace("write %u = %u%s", address_, group[2], address_ < kMemorySize ? "" : " (no memory there)");
        phase_ = Phase::Idle;
        return;
    }
    phase_ = Phase::AwaitRequest;
}

void BoxSim::startReply(Nanos t)
{
    runEngine(t);
    reply_ = buildReply();
    // A live value starts with its word, low byte first.
    if (isLive(command_) && reply_.size() >= 6) {
        const auto group = [this](std::size_t at) { return std::stoi(reply_.substr(at, 3)); };
        lastLive_[command_] = static_cast<uint16_t>(group(0) | group(3) << 8);
    }
    replyPos_ = 0;
    phase_ = Phase::Reply;
    trace("reply to %u: %s", command_, reply_.c_str());
    sendReplyByte(t);
}

std::string BoxSim::buildReply()
{
    const EngineState& e = engine_.state();
    std::string r;
    switch (command_) {
    case cmd::Read: appendGroup(r, memory_.at(address_)); break;
    case cmd::LiveRpm: appendIndexed(r, Hold::RpmIndex, sensor::rpmToRaw(e.rpm), e.rpm, true); break;
    case cmd::LiveThrottle: {
        const uint16_t raw = sensor::throttleToRaw(e.throttle);
        appendIndexed(r, Hold::ThrottleIndex, raw, raw, false);
        break;
    }
    case cmd::LiveEngineTemp: {
        const uint16_t raw = sensor::temperatureToRaw(e.engineTemp);
        appendIndexed(r, Hold::EngineTempIndex, raw, raw, false);
        break;
    }
    case cmd::LiveAirTemp: {
        const uint16_t raw = sensor::temperatureToRaw(e.airTemp);
        appendIndexed(r, Hold::AirTempIndex, raw, raw, false);
        break;
    }
    case cmd::LiveAirPressure: {
        const uint16_t raw = sensor::pressureToRaw(e.airPressure);
        appendIndexed(r, Hold::AirPressureIndex, raw, raw, false);
        break;
    }
    case cmd::LiveLambdaLeft: appendLowHigh(r, sensor::toRaw(e.lambdaLeft)); break;
    case cmd::LiveLambdaRight: appendLowHigh(r, sensor::toRaw(e.lambdaRight)); break;
    case cmd::LiveSupply: appendLowHigh(r, sensor::voltageToRaw(e.supplyVolts)); break;
    case cmd::LiveInjection: appendLowHigh(r, sensor::injectionToRaw(e.injectionUs)); break;
    case cmd::LiveIgnitionMap: appendPoint(r, memory_.at(line::IgnitionMap)); break;
    case cmd::BoxVersion: {
        r = options_.boxVersion.substr(0, 8);
        r.resize(8, ' ');
        break;
    }
    case cmd::DiagTurbo:
    case cmd::DiagEngineTemp:
    case cmd::DiagAir:
        if (const std::vector<double>& fixed = measured_[command_ - cmd::DiagTurbo]; !fixed.empty()) {
            appendMeasurement(r, command_, fixed);
            break;
        }
        appendModelMeasurement(r, command_, e);
        break;
    default: break;
    }
    return r;
}

void BoxSim::appendModelMeasurement(std::string& r, uint8_t command, const EngineState& e)
{
    switch (command) {
    case cmd::DiagTurbo:
        // Two turbo pressure sensors (the second reads a little higher) and
        // the revolutions.
        appendHighLow(r, sensor::pressureToRaw(e.turboPressure));
        appendHighLow(r, sensor::pressureToRaw(e.turboPressure + 4.0));
        appendHighLow(r, sensor::rpmToRaw(e.rpm));
        break;
    case cmd::DiagEngineTemp:
        // One sensor per cylinder head; the right one runs 2 degC cooler.
        appendHighLow(r, sensor::temperatureToRaw(e.engineTemp));
        appendHighLow(r, sensor::temperatureToRaw(e.engineTemp - 2.0));
        break;
    case cmd::DiagAir:
        appendHighLow(r, sensor::pressureToRaw(e.airPressure));
        appendHighLow(r, sensor::pressureToRaw(e.airPressure + 2.0));
        appendHighLow(r, sensor::temperatureToRaw(e.airTemp));
        appendHighLow(r, sensor::temperatureToRaw(e.airTemp + 1.0));
        break;
    default: break;
    }
}

// The quantity of each value of the measurements 159..161.
void BoxSim::appendMeasurement(std::string& r, uint8_t command, const std::vector<double>& values)
{
    for (std::size_t k = 0; k < values.size(); ++k) {
        const double v = values[k];
        const bool pressure = command == cmd::DiagTurbo ? k < 2 : command == cmd::DiagAir && k < 2;
        const bool rpm = command == cmd::DiagTurbo && k == 2;
        appendHighLow(r, rpm        ? sensor::rpmToRaw(v)
                         : pressure ? sensor::pressureToRaw(v)
                                    : sensor::temperatureToRaw(v));
    }
}

bool BoxSim::setMeasurement(uint8_t command, const std::vector<double>& values)
{
    constexpr std::array<std::size_t, 3> kCounts{3, 2, 4};
    if (command < cmd::DiagTurbo || command > cmd::DiagAir || values.size() != kCounts[command - cmd::DiagTurbo]) {
        return false;
    }
    measured_[command - cmd::DiagTurbo] = values;
    return true;
}

void BoxSim::clearMeasurement(uint8_t command)
{
    if (command >= cmd::DiagTurbo && command <= cmd::DiagAir) {
        measured_[command - cmd::DiagTurbo].clear();
    }
}

void BoxSim::sendReplyByte(Nanos t)
{
    const Nanos due = send(static_cast<uint8_t>(reply_[replyPos_]), t);
    echoDeadline_ = due + options_.echoTimeout;
}

void BoxSim::abandonReply(const char* why)
{
    ++stats_.abandonedReplies;
    trace("reply to %u abandoned at byte %zu: %s", command_, replyPos_, why);
    phase_ = Phase::Idle;
}

Nanos BoxSim::send(uint8_t byte, Nanos readyAt)
{
    Nanos start = std::max(readyAt + options_.latency, txFree_);
    const double u = unitDraw(faults_);
    const unsigned bit = static_cast<unsigned>(faults_() % 8);
    bool lost = false;
    if (u < options_.wrongByte) {
        trace("fault: byte %u sent as %u", byte, byte ^ (1u << bit));
        byte = static_cast<uint8_t>(byte ^ (1u << bit));
        ++stats_.wrongBytes;
    } else if (u < options_.wrongByte + options_.loseByte) {
        trace("fault: byte %u lost", byte);
        lost = true;
        ++stats_.lostBytes;
    } else if (u < options_.wrongByte + options_.loseByte + options_.lateByte) {
        trace("fault: byte %u late", byte);
        start += options_.lateDelay;
        ++stats_.lateBytes;
    }
    const Nanos due = start + byteTime_;
    txFree_ = due;
    ++stats_.sent;
    if (!lost) {
        out_.emplace_back(byte, due);
        stats_.lastOnLine = std::max(stats_.lastOnLine, due);
    }
    return due;
}

void BoxSim::hold(Hold what, double value, Nanos now)
{
    runEngine(now);
    if (isIndexHold(what)) {
        heldIndex_[static_cast<std::size_t>(what)] = static_cast<int>(std::clamp(std::lround(value), 0L, 15L));
        resolveIndexHolds();
    } else {
        engine_.hold(target(what).quantity, value);
    }
    trace("hold %d at %g", static_cast<int>(what), value);
}

void BoxSim::release(Hold what, Nanos now)
{
    runEngine(now);
    if (isIndexHold(what)) {
        heldIndex_[static_cast<std::size_t>(what)].reset();
    }
    engine_.release(target(what).quantity);
}

std::optional<double> BoxSim::held(Hold what) const
{
    if (isIndexHold(what)) {
        const std::optional<int>& k = heldIndex_[static_cast<std::size_t>(what)];
        return k ? std::optional<double>(*k) : std::nullopt;
    }
    return engine_.held(target(what).quantity);
}

void BoxSim::resolveIndexHolds()
{
    for (std::size_t i = 0; i < kIndexHolds; ++i) {
        if (const std::optional<int>& k = heldIndex_[i]) {
            const auto h = static_cast<Hold>(i);
            engine_.hold(target(h).quantity, sensorValue(h, memory_.axisWord(target(h).axis, *k)));
        }
    }
}

void BoxSim::appendIndexed(std::string& r, Hold which, uint16_t raw, double value, bool rpmAxis) const
{
    const uint16_t axis = target(which).axis;
    if (const std::optional<int>& k = heldIndex_[static_cast<std::size_t>(which)]) {
        appendLowHigh(r, memory_.axisWord(axis, *k));
        appendPoint(r, *k);
        return;
    }
    appendLowHigh(r, raw);
    appendPoint(r, axisPoint(axis, value, rpmAxis));
}

void BoxSim::runEngine(Nanos t)
{
    const uint16_t limit = memory_.word(line::RevLimit);
    engine_.setRpmLimit(limit == 0 || limit == 0xFFFF ? 0.0 : sensor::rawToRpm(limit));
    resolveIndexHolds();
    engine_.advanceTo(t);
    if (const uint64_t cycles = engine_.takeInjectionCycles(); cycles > 0) {
        memory_.setCounter(line::IeCounter,
                           memory_.counter(line::IeCounter) + static_cast<uint32_t>(cycles & 0xFFFFFFFFu));
    }
}

// The point of the box's own axis (words at base + 2k) nearest to the
// value; the first of equally near points. rpm axes hold periods and are
// compared in rpm, the others in raw units.
int BoxSim::axisPoint(uint16_t base, double value, bool rpmAxis) const
{
    int best = 0;
    double bestDistance = 0.0;
    for (int k = 0; k < line::kAxisWords; ++k) {
        const uint16_t w = memory_.axisWord(base, k);
        const double point = rpmAxis ? sensor::rawToRpm(w) : static_cast<double>(w);
        const double distance = std::fabs(point - value);
        if (k == 0 || distance < bestDistance) {
            best = k;
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace boxsim
