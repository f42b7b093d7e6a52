#pragma once

// A small model of a two-cylinder engine on a ride: a rider who opens and
// closes the throttle, revolutions that follow it, warming up, lambda
// sensors that switch around stoichiometric in closed loop, run rich at full
// load and lean on the overrun, and injection that follows speed and load.
//
// The model steps in fixed 10 ms steps from time 0, so its state at a given
// time depends only on the seed and that time, not on how often it is asked.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
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

    // Quantities that can be held from outside (the simulator's control
    // channel): a held quantity keeps its value at every step until it is
    // released, and the rest of the model works with it (a held throttle
    // drives the revolutions, held revolutions the injection, and so on).
    // A hold beats the rev limiter and the model's own limits. On release
    // the model carries on from the held value. Holding draws nothing from
    // the generator, so the model stays a function of the seed, the time
    // and the holds.
    enum class Quantity : uint8_t {
        Throttle,
        Rpm,
        EngineTemp,
        AirTemp,
        AirPressure,
        LambdaLeft,
        LambdaRight,
        InjectionUs
    };
    static constexpr std::size_t kQuantities = 8;
    // Takes effect at once (the state shows the value before the next step).
    void hold(Quantity q, double value);
    void release(Quantity q);
    std::optional<double> held(Quantity q) const { return held_[static_cast<std::size_t>(q)]; }

private:
    void step();
    double& field(Quantity q);
    // Puts a held value back into the state.
    void keep(Quantity q);

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
    std::array<std::optional<double>, kQuantities> held_{};
};

} // namespace boxsim
