#include "tools/boxsim/Control.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <utility>

namespace boxsim {
namespace {

constexpr std::string_view kUsage = "commands: poke <line address 0..2047> <value 0..255>; peek <line address> "
                                    "[count]; hold <quantity> <value>; release [<quantity>]; measure <159..161> "
                                    "<values...>|model; diag; live <command 130..139>; quantities: "
                                    "rpm-index, throttle-index, engine-temp-index, air-temp-index, "
                                    "air-pressure-index (axis point 0..15), lambda-left, lambda-right "
                                    "(millivolts 0..5000), injection-us (microseconds 0..71000)";

struct Quantity {
    std::string_view name;
    Hold hold;
    bool index; // a whole number 0..15
    double max; // for the others, from 0
};

constexpr std::array<Quantity, kHolds> kQuantities{{
    {"rpm-index", Hold::RpmIndex, true, 15},
    {"throttle-index", Hold::ThrottleIndex, true, 15},
    {"engine-temp-index", Hold::EngineTempIndex, true, 15},
    {"air-temp-index", Hold::AirTempIndex, true, 15},
    {"air-pressure-index", Hold::AirPressureIndex, true, 15},
    {"lambda-left", Hold::LambdaLeft, false, 5000},
    {"lambda-right", Hold::LambdaRight, false, 5000},
    {"injection-us", Hold::InjectionUs, false, 71000},
}};

const Quantity* findQuantity(std::string_view name)
{
    for (const Quantity& q : kQuantities) {
        if (q.name == name) {
            return &q;
        }
    }
    return nullptr;
}

std::vector<std::string_view> words(std::string_view line)
{
    std::vector<std::string_view> w;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
            ++i;
        }
        if (i > start) {
            w.push_back(line.substr(start, i - start));
        }
    }
    return w;
}

// A word of the command quoted in an answer: printable, not too long.
std::string quoted(std::string_view word)
{
    std::string q = "\"";
    for (const char c : word.substr(0, 40)) {
        const auto u = static_cast<unsigned char>(c);
        q += u < 0x20 || u == 0x7F ? '?' : c;
    }
    if (word.size() > 40) {
        q += "...";
    }
    return q + "\"";
}

std::optional<long> wholeNumber(std::string_view text, long min, long max)
{
    long v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || v < min || v > max) {
        return std::nullopt;
    }
    return v;
}

std::optional<double> number(std::string_view text, double min, double max)
{
    double v = 0.0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::fixed);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(v) || v < min || v > max) {
        return std::nullopt;
    }
    return v;
}

std::string err(std::string_view reason)
{
    return "ERR " + std::string(reason);
}

constexpr long kLastAddress = static_cast<long>(kMemorySize) - 1;

std::string poke(BoxSim& sim, const std::vector<std::string_view>& w, Nanos now)
{
    if (w.size() != 3) {
        return err("usage: poke <line address 0..2047> <value 0..255>");
    }
    const std::optional<long> address = wholeNumber(w[1], 0, kLastAddress);
    if (!address) {
        return err("poke: line address " + quoted(w[1]) + " is not a whole number 0..2047");
    }
    const std::optional<long> value = wholeNumber(w[2], 0, 255);
    if (!value) {
        return err("poke: value " + quoted(w[2]) + " is not a whole number 0..255");
    }
    sim.advance(now);
    sim.memory().set(static_cast<uint32_t>(*address), static_cast<uint8_t>(*value));
    return "OK";
}

std::string peek(BoxSim& sim, const std::vector<std::string_view>& w, Nanos now)
{
    if (w.size() != 2 && w.size() != 3) {
        return err("usage: peek <line address 0..2047> [count]");
    }
    const std::optional<long> address = wholeNumber(w[1], 0, kLastAddress);
    if (!address) {
        return err("peek: line address " + quoted(w[1]) + " is not a whole number 0..2047");
    }
    const long most = static_cast<long>(kMemorySize) - *address;
    const std::optional<long> count = w.size() == 3 ? wholeNumber(w[2], 1, most) : std::optional<long>(1);
    if (!count) {
        return err("peek: count " + quoted(w[2]) + " is not a whole number 1.." + std::to_string(most));
    }
    sim.advance(now);
    std::string answer = "OK";
    for (long a = *address; a < *address + *count; ++a) {
        answer += ' ';
        answer += std::to_string(sim.memory().at(static_cast<uint32_t>(a)));
    }
    return answer;
}

std::string hold(BoxSim& sim, const std::vector<std::string_view>& w, Nanos now)
{
    if (w.size() != 3) {
        return err("usage: hold <quantity> <value>");
    }
    const Quantity* q = findQuantity(w[1]);
    if (q == nullptr) {
        return err("hold: unknown quantity " + quoted(w[1]));
    }
    std::optional<double> value;
    if (q->index) {
        if (const std::optional<long> k = wholeNumber(w[2], 0, 15)) {
            value = static_cast<double>(*k);
        }
    } else {
        value = number(w[2], 0.0, q->max);
    }
    if (!value) {
        char range[64];
        std::snprintf(range, sizeof range, q->index ? "a whole number 0..15" : "a number 0..%g", q->max);
        return err("hold: " + std::string(q->name) + " value " + quoted(w[2]) + " is not " + range);
    }
    sim.hold(q->hold, *value, now);
    return "OK";
}

std::string release(BoxSim& sim, const std::vector<std::string_view>& w, Nanos now)
{
    if (w.size() > 2) {
        return err("usage: release [<quantity>]");
    }
    if (w.size() == 1) {
        for (const Quantity& q : kQuantities) {
            sim.release(q.hold, now);
        }
        return "OK";
    }
    const Quantity* q = findQuantity(w[1]);
    if (q == nullptr) {
        return err("release: unknown quantity " + quoted(w[1]));
    }
    sim.release(q->hold, now);
    return "OK";
}

// measure <159|160|161> <values...> | measure <159|160|161> model
std::string measure(BoxSim& sim, const std::vector<std::string_view>& w, Nanos now)
{
    if (w.size() < 3) {
        return err("usage: measure <159..161> <values...> | measure <159..161> model");
    }
    const std::optional<long> command = wholeNumber(w[1], 159, 161);
    if (!command) {
        return err("measure: command " + quoted(w[1]) + " is not 159, 160 or 161");
    }
    sim.advance(now);
    if (w.size() == 3 && w[2] == "model") {
        sim.clearMeasurement(static_cast<uint8_t>(*command));
        return "OK";
    }
    std::vector<double> values;
    for (std::size_t i = 2; i < w.size(); ++i) {
        const std::optional<double> v = number(w[i], -40.0, 20000.0);
        if (!v) {
            return err("measure: value " + quoted(w[i]) + " is not a number -40..20000");
        }
        values.push_back(*v);
    }
    if (!sim.setMeasurement(static_cast<uint8_t>(*command), values)) {
        return err("measure: 159 takes 3 values, 160 takes 2, 161 takes 4");
    }
    return "OK";
}

std::string diagnostics(BoxSim& sim, Nanos now)
{
    sim.advance(now);
    const Stats& s = sim.stats();
    return "OK pending=" + std::to_string(sim.pendingDiagnostic()) + " started=" +
           std::to_string(s.diagnosticsStarted) + " ended=" + std::to_string(s.actionsEnded) +
           " last=" + std::to_string(s.lastActionEnded);
}

} // namespace

std::string ApplyControl(BoxSim& sim, std::string_view line, Nanos now)
{
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    if (line.size() > kMaxControlLine) {
        return err("line too long");
    }
    const std::vector<std::string_view> w = words(line);
    if (w.empty()) {
        return err("empty command");
    }
    if (w[0] == "poke") {
        return poke(sim, w, now);
    }
    if (w[0] == "measure") {
        return measure(sim, w, now);
    }
    if (w[0] == "diag" && w.size() == 1) {
        return diagnostics(sim, now);
    }
    if (w[0] == "peek") {
        return peek(sim, w, now);
    }
    if (w[0] == "live" && w.size() == 2) {
        const std::optional<long> command = wholeNumber(w[1], 0, 255);
        const std::optional<uint16_t> raw = command ? sim.lastLive(static_cast<uint8_t>(*command)) : std::nullopt;
        if (!raw) {
            return err("live: no value of command " + quoted(w[1]) + " sent yet");
        }
        return "OK " + std::to_string(*raw);
    }
    if (w[0] == "hold") {
        return hold(sim, w, now);
    }
    if (w[0] == "release") {
        return release(sim, w, now);
    }
    if (w[0] == "help" && w.size() == 1) {
        return "OK " + std::string(kUsage);
    }
    return err("unknown command " + quoted(w[0]) + " (poke, peek, hold, release, measure, diag, live, help)");
}

void ControlLines::feed(std::string_view bytes)
{
    for (const char c : bytes) {
        if (c == '\n') {
            lines_.push_back(std::move(partial_));
            partial_.clear();
        } else if (partial_.size() <= kMaxControlLine) {
            partial_ += c;
        }
    }
}

void ControlLines::finish()
{
    if (!partial_.empty()) {
        lines_.push_back(std::move(partial_));
        partial_.clear();
    }
}

std::vector<std::string> ControlLines::take()
{
    return std::exchange(lines_, {});
}

} // namespace boxsim
