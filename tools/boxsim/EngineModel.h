#pragma once

// A small model of a two-cylinder engine on a ride: a rider who opens and
// closes the throttle, revolutions that follow it, warming up, lambda
// sensors that switch around stoichiometric in closed loop, run rich at full
// load and lean on the overrun, and injection that follows speed and load.
//
// The model steps in fixed 10 ms steps from time 0, so its state at a given
// time depends only on the seed and that time, not on how often it is asked.

#include <chrono>
#include <cstdint>
#include <random>

namespace boxsim {

using Nanos = std::chrono::nanoseconds;

struct EngineState {
    double seconds = 0.0;
    double throttle = 0.0; // %
    double rpm = 1000.0;
    double engineTemp = 20.0;    // degC
    double airTemp = 22.0;       // degC
    double airPressure = 1008.0; // mbar
    double turboPressure = 1008.0;
    double lambdaLeft = 450.0; // sensor millivolts
    double lambdaRight = 450.0;
    double supplyVolts = 13.2;
    double injectionUs = 0.0; // 0 while the fuel is cut
};

// Uniform doubles in [0, 1) from a 64-bit generator, the same on every
// platform (std::uniform_real_distribution is not).
inline double unitDraw(std::mt19937_64& rng)
{
    return static_cast<double>(rng() >> 11) * 0x1.0p-53;
}

class EngineModel {
public:
    static constexpr Nanos kStep = std::chrono::milliseconds(10);
    static constexpr double kIdleRpm = 1000.0;
    static constexpr double kMaxRpm = 11000.0;

    explicit EngineModel(uint64_t seed);

    // Runs the model up to `t` (whole steps); earlier times are ignored.
    void advanceTo(Nanos t);
    const EngineState& state() const { return state_; }

    // The rev limiter of the box; 0 or less: none.
    void setRpmLimit(double rpm) { rpmLimit_ = rpm; }

    // Injection cycles (one injection per cylinder each) completed since
    // the last call.
    uint64_t takeInjectionCycles();

private:
    void step();

    std::mt19937_64 rng_;
    EngineState state_;
    Nanos time_{0};
    double rpmLimit_ = 0.0;

    double throttleTarget_ = 0.0;
    double segmentLeft_ = 0.0; // seconds until the rider picks a new throttle
    double overrun_ = 0.0;     // 0..1, lags the fuel cut
    double cyclePhase_ = 0.0;  // fraction of an injection cycle
    uint64_t cycles_ = 0;
    double switchPhase_ = 0.0; // closed-loop lambda oscillation, radians
};

} // namespace boxsim
