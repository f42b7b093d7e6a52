#include "tools/boxsim/EngineModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace boxsim {
namespace {

constexpr double kDt = 0.01; // seconds per step

double smoothStep(double edge0, double edge1, double x)
{
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

double approach(double value, double target, double seconds, double tau)
{
    return value + (target - value) * (1.0 - std::exp(-seconds / tau));
}

} // namespace

EngineModel::EngineModel(uint64_t seed) : rng_(seed ^ 0x9E3779B97F4A7C15ull)
{
    switchPhase_ = unitDraw(rng_) * 2.0 * std::numbers::pi;
}

void EngineModel::advanceTo(Nanos t)
{
    while (time_ + kStep <= t) {
        time_ += kStep;
        step();
    }
}

uint64_t EngineModel::takeInjectionCycles()
{
    return std::exchange(cycles_, 0);
}

void EngineModel::hold(Quantity q, double value)
{
    held_[static_cast<std::size_t>(q)] = value;
    keep(q);
}

void EngineModel::release(Quantity q)
{
    held_[static_cast<std::size_t>(q)].reset();
}

double& EngineModel::field(Quantity q)
{
    switch (q) {
    case Quantity::Throttle: return state_.throttle;
    case Quantity::Rpm: return state_.rpm;
    case Quantity::EngineTemp: return state_.engineTemp;
    case Quantity::AirTemp: return state_.airTemp;
    case Quantity::AirPressure: return state_.airPressure;
    case Quantity::LambdaLeft: return state_.lambdaLeft;
    case Quantity::LambdaRight: return state_.lambdaRight;
    case Quantity::InjectionUs: break;
    }
    return state_.injectionUs;
}

void EngineModel::keep(Quantity q)
{
    if (const std::optional<double>& v = held_[static_cast<std::size_t>(q)]) {
        field(q) = *v;
    }
}

void EngineModel::step()
{
    EngineState& s = state_;
    s.seconds += kDt;

    // The rider: holds a throttle position for a while, then picks another
    // one: closed (a quarter of the time), part load (half) or wide open.
    segmentLeft_ -= kDt;
    if (segmentLeft_ <= 0.0) {
        const double kind = unitDraw(rng_);
        const double u = unitDraw(rng_);
        throttleTarget_ = kind < 0.25 ? 5.0 * u : kind < 0.75 ? 10.0 + 60.0 * u : 80.0 + 20.0 * u;
        segmentLeft_ = 1.5 + 4.5 * unitDraw(rng_);
    }
    const double rate = throttleTarget_ > s.throttle ? 80.0 : 120.0; // % per second
    s.throttle += std::clamp(throttleTarget_ - s.throttle, -rate * kDt, rate * kDt);
    s.throttle = std::clamp(s.throttle, 0.0, 100.0);
    keep(Quantity::Throttle);

    // Revolutions follow the throttle, quicker up than down.
    const double load = s.throttle / 100.0;
    const double rpmTarget = kIdleRpm + (kMaxRpm - kIdleRpm) * std::pow(load, 0.9);
    s.rpm = approach(s.rpm, rpmTarget, kDt, rpmTarget > s.rpm ? 1.2 : 1.5);
    const double ceiling = rpmLimit_ > kIdleRpm ? std::min(kMaxRpm, rpmLimit_) : kMaxRpm;
    s.rpm = std::clamp(s.rpm, kIdleRpm, ceiling);
    keep(Quantity::Rpm);

    // Warming up towards a running temperature that rises with load.
    s.engineTemp = approach(s.engineTemp, 90.0 + 8.0 * load, kDt, 150.0);
    s.airTemp = 22.0 + 2.0 * std::sin(2.0 * std::numbers::pi * s.seconds / 300.0);
    s.airPressure = 1008.0 + 3.0 * std::sin(2.0 * std::numbers::pi * s.seconds / 600.0);
    keep(Quantity::EngineTemp);
    keep(Quantity::AirTemp);
    keep(Quantity::AirPressure);
    const double speed = (s.rpm - kIdleRpm) / (kMaxRpm - kIdleRpm);
    s.turboPressure = s.airPressure + 180.0 * load * load * speed;
    s.supplyVolts = 13.2 + 0.6 * std::min(1.0, (s.rpm - kIdleRpm) / 2000.0) +
                    0.05 * std::sin(2.0 * std::numbers::pi * s.seconds / 7.0);

    // Fuel cut on the overrun: closed throttle above 2500 rpm.
    const bool fuelCut = s.throttle < 2.0 && s.rpm > 2500.0;
    overrun_ = approach(overrun_, fuelCut ? 1.0 : 0.0, kDt, 0.3);
    const double enrich = smoothStep(75.0, 95.0, s.throttle);

    // Injection: dead time plus a share of load, volumetric efficiency
    // peaking mid-range, full-load and cold-start enrichment.
    if (fuelCut) {
        s.injectionUs = 0.0;
    } else {
        const double ve = 0.85 + 0.15 * std::sin(std::numbers::pi * speed);
        const double cold = 1.0 + 0.3 * std::max(0.0, (60.0 - s.engineTemp) / 80.0);
        s.injectionUs = (900.0 + 8000.0 * (0.12 + 0.88 * load * ve) * (1.0 + 0.08 * enrich)) * cold;
        cyclePhase_ += s.rpm / 120.0 * kDt;
        const double whole = std::floor(cyclePhase_);
        cycles_ += static_cast<uint64_t>(whole);
        cyclePhase_ -= whole;
    }
    keep(Quantity::InjectionUs);

    // Narrow-band lambda sensors: switching around 450 mV in closed loop,
    // faster with more gas flow; about 850 mV rich at full load, about
    // 120 mV lean on the overrun; a little noise; the right sensor lags.
    switchPhase_ += 2.0 * std::numbers::pi * (0.6 + 1.4 * speed) * kDt;
    const double closedLoop = 1.0 - std::max(enrich, overrun_);
    const double noiseLeft = 24.0 * (unitDraw(rng_) - 0.5);
    const double noiseRight = 24.0 * (unitDraw(rng_) - 0.5);
    s.lambdaLeft = closedLoop * (450.0 + 330.0 * std::sin(switchPhase_)) + enrich * (1.0 - overrun_) * 850.0 +
                   overrun_ * 120.0 + noiseLeft;
    s.lambdaRight = closedLoop * (440.0 + 330.0 * std::sin(switchPhase_ - 1.3)) + enrich * (1.0 - overrun_) * 830.0 +
                    overrun_ * 130.0 + noiseRight;
    s.lambdaLeft = std::clamp(s.lambdaLeft, 100.0, 900.0);
    s.lambdaRight = std::clamp(s.lambdaRight, 100.0, 900.0);
    keep(Quantity::LambdaLeft);
    keep(Quantity::LambdaRight);
}

} // namespace boxsim
