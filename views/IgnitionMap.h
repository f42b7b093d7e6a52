#pragma once

#include "document/BoxLayout.h"
#include "document/Premap.h"
#include "views/CylinderMap.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace morvex::views {

// The box keeps ignition timing as a number of trigger-wheel steps after the
// static ignition point; the tuner edits degrees before top dead centre. A
// step is s = 180 / T degrees (T teeth for 360 degrees, 0 = not set); k steps
// are D(k) = round(O + s k) degrees, d degrees are k(d) = (d - O) / s steps
// truncated toward zero (O the static ignition point).
struct IgnitionSetup {
    int teeth = 0;  // PARAMETERS byte 0
    int offset = 0; // PARAMETERS byte 1, degrees BTDC

    bool valid() const { return teeth > 0; }
    double stepSize() const { return 180.0 / teeth; }
    int degrees(int steps) const;
    int steps(int degrees) const;
};

// A step count as the box stores it: 0..250.
inline constexpr int kMaxSteps = 250;
// Degrees of loaded data above this are limited.
inline constexpr int kMaxDegrees = 250;
// The limits of the degree grids' cells; the percent grid keeps 0..250.
inline constexpr int kDegreeCellMaximum = 60;

// The five tables of both cylinders the view keeps in step: the box's step
// maps, the degree maps shown and the right cylinder in per cent of the left.
struct IgnitionTables {
    std::span<uint8_t> leftSteps;
    std::span<uint8_t> rightSteps;
    std::span<uint8_t> leftDegrees;
    std::span<uint8_t> rightDegrees;
    std::span<uint8_t> percent;
};

// Degrees (and the percentage) from the steps over the shown half; steps
// whose degrees reach 251 are lowered to the most the box can mean. True
// when nothing was limited; nothing happens for T = 0.
bool degreesFromSteps(const IgnitionTables& t, const IgnitionSetup& setup);
// Steps from the degrees the tuner typed, after teeth or offset changed:
// each degree value is kept as far as whole steps allow, steps limited to
// 0..250 (only an excess counts as limited); the degrees follow the steps.
// Callers recompute the degrees afterwards. True when nothing was limited.
bool stepsFromDegrees(const IgnitionTables& t, const IgnitionSetup& setup);

// The bytes of one map position in the five tables.
struct IgnitionCell {
    uint8_t& leftSteps;
    uint8_t& rightSteps;
    uint8_t& leftDegrees;
    uint8_t& rightDegrees;
    uint8_t& percent;
};

// Prints a value with the edited cell's number format (limit messages).
using ValuePrinter = std::function<std::string(int)>;

// One typed (or stepped) cell value.
struct IgnitionEdit {
    std::string_view typed;
    bool singleStep = false; // the grid applies a step of +1 or -1
    int minimum = 0;         // the cell's limits
    int maximum = kDegreeCellMaximum;
    ValuePrinter print; // "%d" when empty
};

// What a cell edit asks of the view: CellEditResult's answer, text, limit
// message and modification, plus
struct IgnitionEditResult : CellEditResult {
    bool limited = false;    // a value was limited to what the cell or the box allows
    bool outOfRange = false; // the typed value lay outside the cell's limits (a beep)
};

inline constexpr const char* kNoTeethMessage = "Can't do anything if teeth = 0!";
inline constexpr const char* kDataLimitedMessage =
    "Some Ignition Box Data exceeded the maximum possible value and was limited!";

// "Degrees per step" of the Set Teeth and Offset dialog: "%0.2f" of
// 180 / teeth, "0" for 0 (or fewer) teeth.
std::string degreesPerStepText(int teeth);

// The three grids: the left degrees, the percentage and the right degrees.
// Each stores the left or right steps with their degrees and keeps the other
// cylinder in step; the answer is -3 with the text the cell shows. With T = 0
// nothing changes: the answer is -1 with kNoTeethMessage.
IgnitionEditResult editLeftDegrees(const IgnitionSetup& setup, const IgnitionEdit& edit, IgnitionCell cell);
IgnitionEditResult editIgnitionPercent(const IgnitionSetup& setup, const IgnitionEdit& edit, IgnitionCell cell);
IgnitionEditResult editRightDegrees(const IgnitionSetup& setup, const IgnitionEdit& edit, IgnitionCell cell);
IgnitionEditResult applyIgnitionEdit(CylinderGrid grid, const IgnitionSetup& setup, const IgnitionEdit& edit,
                                     IgnitionCell cell);

// The premap display: premap `number` (0..26) laid into rows 16..31 of
// `work`, raised by the static ignition point. A number outside 0..26 is
// remembered but lays nothing (the grid then shows no premap). False when
// `number` is already shown.
bool selectPremap(int number, int& shown, std::span<const uint8_t, rec::kPremapRowsSize> rows,
                  std::span<const uint8_t, rec::kPremapOffsetSize> offsets, uint8_t staticPoint,
                  std::span<uint8_t, rec::kIgnitionWorkSize> work);
constexpr bool isPremapNumber(int number)
{
    return number >= 0 && number < kPremapCount;
}

// The ignition job walks the two set-up bytes (teeth, offset) first, then
// the shown halves of the left and the right step map: the map position
// (0..511 left, 512..1023 right) of a walk step, -1 for the set-up bytes.
int ignitionPositionOfStep(int step);
// Line address of a step byte at map position p (256..511).
constexpr uint16_t ignitionLineAddress(bool left, int position)
{
    return static_cast<uint16_t>(left ? position + 256 : position + 512);
}

// The live value that carries the box's ignition map number.
inline constexpr int kLiveIgnitionMapNumber = 166;

} // namespace morvex::views
