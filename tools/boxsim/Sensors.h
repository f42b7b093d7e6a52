#pragma once

// The box's sensor inputs: physical quantities turned into the raw 16-bit
// values the box measures, stores in its axes and reports on the line.
// The editor's conversion library runs the other direction.

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace boxsim::sensor {

inline uint16_t toRaw(double x)
{
    if (!(x > 0.0)) {
        return 0;
    }
    return static_cast<uint16_t>(std::min(std::trunc(x), 65535.0));
}

// The crank input is timed: the box holds the period, 13,824,000 / rpm.
inline constexpr double kRpmPeriodConstant = 13'824'000.0;

inline uint16_t rpmToRaw(double rpm)
{
    return rpm <= 0.0 ? 0 : toRaw(kRpmPeriodConstant / rpm);
}
inline double rawToRpm(uint16_t raw)
{
    return raw == 0 ? 0.0 : kRpmPeriodConstant / raw;
}

// Throttle potentiometer: 2550 counts at full throttle.
inline constexpr double kThrottleFullScale = 2550.0;
inline uint16_t throttleToRaw(double percent)
{
    return toRaw(kThrottleFullScale * percent * 0.01);
}

// Temperature sensors: a silicon sensor R(T) = R0 (1 + a d + b d^2),
// d = T - 25 degC, in a divider with 2200 ohms to 5 V; the box reads the
// divider voltage in millivolts.
inline uint16_t temperatureToRaw(double celsius)
{
    constexpr double alpha = 0.00788;
    constexpr double beta = 0.00001937;
    const double d = celsius - 25.0;
    const double r = 2000.0 * (1.0 + alpha * d + beta * d * d);
    return toRaw(1000.0 * 5.0 * r / (r + 2200.0));
}

// Pressure sensors (air and turbo), in mbar.
inline uint16_t pressureToRaw(double mbar)
{
    return toRaw(mbar * 2.6475 - 380.0);
}

// Injection time in microseconds.
inline uint16_t injectionToRaw(double microseconds)
{
    return toRaw(microseconds * 0.9216);
}

// Supply voltage.
inline uint16_t voltageToRaw(double volts)
{
    return toRaw(volts * 204.08163265306123);
}

// The other direction, for a raw value that may lie between whole counts:
// the simulator holds a sensor in the middle of an axis word's count
// (word + 0.5), so that the conversions above give the word back.
inline double rawToThrottle(double raw)
{
    return raw / (kThrottleFullScale * 0.01);
}
inline double rawToTemperature(double millivolts)
{
    constexpr double alpha = 0.00788;
    constexpr double beta = 0.00001937;
    const double v = std::clamp(millivolts, 0.0, 4999.0) / 1000.0;
    const double r = 2200.0 * v / (5.0 - v);
    // beta d^2 + alpha d + (1 - r / 2000) = 0, the rising branch; below
    // the parabola's lowest resistance, its vertex.
    const double disc = alpha * alpha - 4.0 * beta * (1.0 - r / 2000.0);
    return 25.0 + (-alpha + std::sqrt(std::max(0.0, disc))) / (2.0 * beta);
}
inline double rawToPressure(double raw)
{
    return (raw + 380.0) / 2.6475;
}

// rpm axis points are kept on steps of 25 rpm (50 above 12,000 rpm).
inline double roundRpm(double x)
{
    if (x == 0.0) {
        return 0.0;
    }
    const long n = static_cast<long>(x);
    const long q = n / 100;
    const long r = n % 100;
    if (x <= 12000.0) {
        const long step = r < 13 ? 0 : r < 38 ? 25 : r < 63 ? 50 : r < 88 ? 75 : 100;
        return static_cast<double>(100 * q + step);
    }
    const long step = r < 26 ? 0 : r < 76 ? 50 : 100;
    return static_cast<double>(100 * q + step);
}

} // namespace boxsim::sensor
