#include "views/IgnitionMap.h"

#include "platform/NumberFormat.h"

#include <algorithm>
#include <cctype>

namespace morvex::views {
namespace {

constexpr int kMaxPercent = 250;

uint8_t toByte(int v)
{
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

// A step count the box accepts; a count outside 0..250 would be stored as a
// wrapped byte, so it is limited instead.
int boxSteps(int k, bool& limited)
{
    const int stored = std::clamp(k, 0, kMaxSteps);
    if (stored != k) {
        limited = true;
    }
    return stored;
}

struct TypedValue {
    int value;
    bool outOfRange;
};

TypedValue typedValue(const IgnitionEdit& e)
{
    const int v = parseTypedNumber(e.typed).low16;
    if (v > e.maximum) {
        return {e.maximum, true};
    }
    if (v < e.minimum) {
        return {e.minimum, true};
    }
    return {v, false};
}

std::string printed(const IgnitionEdit& e, int value)
{
    return e.print ? e.print(value) : std::to_string(value);
}

std::string maximumText(const IgnitionEdit& e, int value)
{
    return "Maximum possible value is " + printed(e, value) + "!";
}

std::string minimumText(const IgnitionEdit& e, int value)
{
    return "Minimum possible value is " + printed(e, value) + "!";
}

IgnitionEditResult noTeeth()
{
    IgnitionEditResult r;
    r.answer = -1;
    r.message = kNoTeethMessage;
    return r;
}

// The steps a degree value asks for: a single step from the stored degrees
// moves one step, so that "+" always changes the timing even when a step is
// several degrees wide; any other value is rounded down to whole steps.
int requestedSteps(const IgnitionSetup& s, const IgnitionEdit& e, int v, int storedDegrees, int storedSteps)
{
    if (e.singleStep && v == storedDegrees + 1) {
        return storedSteps + 1;
    }
    if (e.singleStep && v == storedDegrees - 1) {
        return storedSteps - 1;
    }
    return std::max(0, s.steps(v));
}

// The minimum of a degree cell in steps.
int stepsOfMinimum(const IgnitionSetup& s, int minimum)
{
    return std::max(0, static_cast<int>(minimum / s.stepSize()));
}

// After a left edit the right cylinder keeps its percentage of the left one
// as far as whole steps between O and 60 degrees allow.
void rightFromPercent(const IgnitionSetup& s, IgnitionCell c, IgnitionEditResult& r)
{
    int k = s.steps(roundMap(c.percent * static_cast<double>(c.leftDegrees) * 0.01));
    int d = s.degrees(k);
    bool limited = false;
    while (d > kDegreeCellMaximum) {
        d = s.degrees(--k);
        limited = true;
    }
    while (d < s.offset) {
        d = s.degrees(++k);
        limited = true;
    }
    const int stored = boxSteps(k, limited);
    c.rightSteps = static_cast<uint8_t>(stored);
    c.rightDegrees = toByte(s.degrees(stored));
    if (limited) {
        c.percent = rightPercent(c.leftDegrees, c.rightDegrees);
        r.limited = true;
    }
}

} // namespace

int IgnitionSetup::degrees(int k) const
{
    return roundMap(offset + stepSize() * k);
}

int IgnitionSetup::steps(int d) const
{
    return static_cast<int>((d - offset) / stepSize());
}

bool degreesFromSteps(const IgnitionTables& t, const IgnitionSetup& s)
{
    if (!s.valid() || t.leftSteps.size() < kMapSize || t.rightSteps.size() < kMapSize ||
        t.leftDegrees.size() < kMapSize || t.rightDegrees.size() < kMapSize || t.percent.size() < kMapSize) {
        return true;
    }
    bool limited = false;
    auto convert = [&](uint8_t& steps, uint8_t& degrees) {
        int d = s.degrees(steps);
        if (d > kMaxDegrees) {
            bool ignored = false;
            steps = static_cast<uint8_t>(boxSteps(s.steps(kMaxDegrees), ignored));
            d = s.degrees(steps);
            limited = true;
        }
        degrees = toByte(d);
    };
    for (std::size_t p = kHalfMap; p < kMapSize; ++p) {
        convert(t.leftSteps[p], t.leftDegrees[p]);
        convert(t.rightSteps[p], t.rightDegrees[p]);
        t.percent[p] = rightPercent(t.leftDegrees[p], t.rightDegrees[p]);
    }
    return !limited;
}

bool stepsFromDegrees(const IgnitionTables& t, const IgnitionSetup& s)
{
    if (!s.valid() || t.leftSteps.size() < kMapSize || t.rightSteps.size() < kMapSize ||
        t.leftDegrees.size() < kMapSize || t.rightDegrees.size() < kMapSize) {
        return true;
    }
    bool limited = false;
    auto convert = [&](uint8_t& steps, uint8_t& degrees) {
        int k = s.steps(degrees);
        if (k > kMaxSteps) {
            k = kMaxSteps;
            limited = true;
        }
        k = std::max(k, 0);
        steps = static_cast<uint8_t>(k);
        degrees = toByte(s.degrees(k));
    };
    for (std::size_t p = kHalfMap; p < kMapSize; ++p) {
        convert(t.leftSteps[p], t.leftDegrees[p]);
        convert(t.rightSteps[p], t.rightDegrees[p]);
    }
    return !limited;
}

std::string degreesPerStepText(int teeth)
{
    return teeth > 0 ? platform::formatFixed(180.0 / teeth, 2) : std::string("0");
}

IgnitionEditResult editLeftDegrees(const IgnitionSetup& s, const IgnitionEdit& e, IgnitionCell c)
{
    if (!s.valid()) {
        return noTeeth();
    }
    IgnitionEditResult r;
    const TypedValue v = typedValue(e);
    r.outOfRange = v.outOfRange;
    int k = requestedSteps(s, e, v.value, c.leftDegrees, c.leftSteps);
    const int d = s.degrees(k);
    bool maximum = false;
    if (d > e.maximum) {
        k = std::max(0, s.steps(e.maximum));
        maximum = r.limited = true;
    } else if (d < s.offset + e.minimum) {
        k = stepsOfMinimum(s, e.minimum);
        r.limited = true;
    }
    const bool boundary = r.limited;
    k = boxSteps(k, r.limited);
    const int shown = s.degrees(k);
    if (boundary) {
        r.message = maximum ? maximumText(e, shown) : minimumText(e, shown);
    }
    c.leftSteps = static_cast<uint8_t>(k);
    c.leftDegrees = toByte(shown);
    r.answer = -3;
    r.text = std::to_string(c.leftDegrees);
    r.modified = true;
    rightFromPercent(s, c, r);
    return r;
}

IgnitionEditResult editIgnitionPercent(const IgnitionSetup& s, const IgnitionEdit& e, IgnitionCell c)
{
    if (!s.valid()) {
        return noTeeth();
    }
    IgnitionEditResult r;
    const TypedValue v = typedValue(e);
    r.outOfRange = v.outOfRange;
    const double left = c.leftDegrees;
    int percent = v.value;
    auto stepsOf = [&](int pc) { return s.steps(roundMap(pc * left * 0.01)); };
    int k = stepsOf(percent);
    int d = s.degrees(k);
    // The loops stop at the cell's limits: with a left value below the
    // static point no percentage would ever reach it.
    if (d > kDegreeCellMaximum) {
        while (d > kDegreeCellMaximum && percent > e.minimum) {
            d = s.degrees(k = stepsOf(--percent));
        }
        r.message = maximumText(e, percent);
        r.limited = true;
    } else if (d < s.offset) {
        while (d < s.offset && percent < std::min(e.maximum, kMaxPercent)) {
            d = s.degrees(k = stepsOf(++percent));
        }
        r.message = minimumText(e, percent);
        r.limited = true;
    }
    k = boxSteps(k, r.limited);
    c.rightSteps = static_cast<uint8_t>(k);
    c.rightDegrees = toByte(s.degrees(k));
    c.percent = toByte(percent);
    r.answer = -3;
    r.text = std::to_string(c.percent);
    r.modified = true;
    return r;
}

IgnitionEditResult editRightDegrees(const IgnitionSetup& s, const IgnitionEdit& e, IgnitionCell c)
{
    if (!s.valid()) {
        return noTeeth();
    }
    IgnitionEditResult r;
    const TypedValue v = typedValue(e);
    r.outOfRange = v.outOfRange;
    int k = requestedSteps(s, e, v.value, c.rightDegrees, c.rightSteps);
    int d = s.degrees(k);
    bool limited = false;
    if (d > e.maximum) {
        k = s.steps(e.maximum);
        limited = true;
    } else if (d < s.offset + e.minimum) {
        k = stepsOfMinimum(s, e.minimum);
        limited = true;
    }
    d = s.degrees(k);
    const int left = c.leftDegrees;
    // A left value of 0 (possible with O = 0) has no percentage: 0.
    int percent = left == 0 ? 0 : static_cast<int>(d * 100.0 / left);
    if (percent > kMaxPercent) {
        percent = kMaxPercent;
        k = s.steps(roundMap(left * kMaxPercent * 0.01));
        limited = true;
    }
    if (percent < 0) {
        percent = 0;
        k = s.steps(0);
        limited = true;
    }
    k = boxSteps(k, limited);
    if (limited) {
        d = s.degrees(k);
        if (d < v.value) {
            r.message = maximumText(e, d);
        } else if (d > v.value) {
            r.message = minimumText(e, d);
        }
    }
    c.percent = toByte(percent);
    c.rightDegrees = toByte(d);
    c.rightSteps = static_cast<uint8_t>(k);
    r.limited = limited;
    r.answer = -3;
    r.text = std::to_string(c.rightDegrees);
    r.modified = true;
    return r;
}

IgnitionEditResult applyIgnitionEdit(CylinderGrid grid, const IgnitionSetup& setup, const IgnitionEdit& edit,
                                     IgnitionCell cell)
{
    switch (grid) {
    case CylinderGrid::Left: return editLeftDegrees(setup, edit, cell);
    case CylinderGrid::Percent: return editIgnitionPercent(setup, edit, cell);
    case CylinderGrid::Right: return editRightDegrees(setup, edit, cell);
    }
    IgnitionEditResult r;
    r.answer = -1;
    return r;
}

bool selectPremap(int number, int& shown, std::span<const uint8_t, rec::kPremapRowsSize> rows,
                  std::span<const uint8_t, rec::kPremapOffsetSize> offsets, uint8_t staticPoint,
                  std::span<uint8_t, rec::kIgnitionWorkSize> work)
{
    if (number == shown) {
        return false;
    }
    shown = number;
    if (isPremapNumber(number)) {
        int laid = -1;
        ComputePremap(number, laid, rows, offsets, staticPoint, work);
    }
    return true;
}

int ignitionPositionOfStep(int step)
{
    const int i = step - 2;
    if (i < 0 || i >= kMapSize) {
        return -1;
    }
    return i < kHalfMap ? kHalfMap + i : kMapSize + i;
}

} // namespace morvex::views
