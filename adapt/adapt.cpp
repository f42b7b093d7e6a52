#include "adapt/adapt.h"

#include <cmath>
#include <cstdint>

int32_t maxADDK = 2550;
double T_Alpha = 0.00788;
double T_Beta = 0.00001937;
double T_VoltRef = 5.0;
int32_t T_TempRef = 25;
int32_t T_OhmBeiTempRef = 2000;
int32_t T_OhmR1 = 2200;

namespace {

constexpr double kRpmPerTick = 13824000.0;

// Truncate toward zero and keep the low 16 bits, as the box expects for
// values that do not fit. NaN and values beyond 64 bits give 0, which is
// what the x87 conversion of the original build left in the low word.
uint16_t lowWord(double x)
{
    if (!(std::fabs(x) < 9.2e18)) {
        return 0;
    }
    return static_cast<uint16_t>(static_cast<uint64_t>(static_cast<int64_t>(x)));
}

uint16_t rawOf(uint32_t arg) { return static_cast<uint16_t>(arg); }

// Rounds to `places` decimals, halves away from zero.
double roundDecimal(double x, int places)
{
    double y = x * std::pow(10.0, places + 1);
    y = (x < 0.0) ? y - 5.0 : y + 5.0;
    y /= 10.0;
    return std::trunc(y) / std::pow(10.0, places);
}

// Steps of 25 rpm up to 12000, of 50 rpm above.
double roundRpmSteps(uint32_t n)
{
    const uint32_t q = n / 100;
    const uint32_t r = n % 100;
    uint32_t result = 0;
    if (n <= 12000) {
        if (r < 13) {
            result = 100 * q;
        } else if (r < 38) {
            result = 100 * q + 25;
        } else if (r < 63) {
            result = 100 * q + 50;
        } else if (r < 88) {
            result = 100 * q + 75;
        } else {
            result = 100 * (q + 1);
        }
    } else {
        if (r < 26) {
            result = 100 * q;
        } else if (r < 76) {
            result = 100 * q + 50;
        } else {
            result = 100 * (q + 1);
        }
    }
    return static_cast<double>(result);
}

// Silicon temperature sensor R(T) = R0 (1 + a d + b d^2), d = T - Tref, in a
// divider with R1 to the reference voltage; raw is the divider voltage in mV.
uint16_t temperatureToBox(double celsius)
{
    const double d = celsius - T_TempRef;
    const double r = T_OhmBeiTempRef * (1.0 + T_Alpha * d + T_Beta * d * d);
    return lowWord(1000.0 * T_VoltRef * r / (r + T_OhmR1));
}

double temperatureToPc(uint32_t arg)
{
    // Below 765 mV the model has no real solution; above 4096 the sensor is open.
    double millivolts = rawOf(arg);
    if (millivolts <= 765.0) {
        millivolts = 765.0;
    } else if (millivolts >= 4096.0) {
        millivolts = 4096.0;
    }
    const double u = millivolts * 0.001;
    const double r = T_OhmR1 * u / (T_VoltRef - u);
    const double ratio = r / T_OhmBeiTempRef;
    const double t =
        (std::sqrt(T_Alpha * T_Alpha - 4.0 * T_Beta + 4.0 * T_Beta * ratio) - T_Alpha) /
            (2.0 * T_Beta) +
        25.0;
    return roundDecimal(t, 0);
}

} // namespace

extern "C" {

uint16_t PC_TO_BOX_Drehzahl(double rpm)
{
    return rpm == 0.0 ? 0 : lowWord(kRpmPerTick / rpm);
}

double BOX_TO_PC_Drehzahl(uint32_t raw)
{
    const uint16_t r = rawOf(raw);
    return r == 0 ? 0.0 : kRpmPerTick / r;
}

double BOX_TO_PC_Drehzahl_25(uint32_t raw)
{
    const uint16_t r = rawOf(raw);
    if (r == 0) {
        return 0.0;
    }
    const auto n = static_cast<uint16_t>(static_cast<uint32_t>(kRpmPerTick / r));
    return roundRpmSteps(n);
}

uint16_t PC_TO_BOX_Drosselklappe(double percent)
{
    return lowWord(static_cast<uint16_t>(maxADDK) * percent * 0.01);
}

double BOX_TO_PC_Drosselklappe(uint32_t raw)
{
    return roundDecimal(rawOf(raw) * 100.0 / static_cast<uint16_t>(maxADDK), 1);
}

// Names that share one quantity share one entry point.
#define ADAPT_SAME_AS(target) __attribute__((alias(#target)))

uint16_t PC_TO_BOX_Motortemp(double celsius) { return temperatureToBox(celsius); }
double BOX_TO_PC_Motortemp(uint32_t raw) { return temperatureToPc(raw); }
uint16_t PC_TO_BOX_Lufttemp(double celsius) ADAPT_SAME_AS(PC_TO_BOX_Motortemp);
double BOX_TO_PC_Lufttemp(uint32_t raw) ADAPT_SAME_AS(BOX_TO_PC_Motortemp);

uint16_t PC_TO_BOX_Luftdruck(double pressure) { return lowWord(pressure * 2.6475 - 380.0); }
double BOX_TO_PC_Luftdruck(uint32_t raw) { return std::trunc((rawOf(raw) + 380.0) * 0.3777148253068933 + 0.5); }
uint16_t PC_TO_BOX_Turbodruck(double pressure) ADAPT_SAME_AS(PC_TO_BOX_Luftdruck);
double BOX_TO_PC_Turbodruck(uint32_t raw) ADAPT_SAME_AS(BOX_TO_PC_Luftdruck);

uint16_t PC_TO_BOX_Einspritzzeit(double value) { return lowWord(value * 0.9216); }
double BOX_TO_PC_Einspritzzeit(uint32_t raw) { return rawOf(raw) * 1.0850694444444442; }
uint16_t PC_TO_BOX_CO(double value) ADAPT_SAME_AS(PC_TO_BOX_Einspritzzeit);
double BOX_TO_PC_CO(uint32_t raw) ADAPT_SAME_AS(BOX_TO_PC_Einspritzzeit);

#undef ADAPT_SAME_AS

uint16_t PC_TO_BOX_Lambda(double value) { return lowWord(value); }
double BOX_TO_PC_Lambda(uint32_t raw) { return rawOf(raw); }

uint16_t PC_TO_BOX_Spannung(double volts) { return lowWord(volts * 204.08163265306123); }
double BOX_TO_PC_Spannung(uint32_t raw) { return rawOf(raw) * 0.0049; }

} // extern "C"
