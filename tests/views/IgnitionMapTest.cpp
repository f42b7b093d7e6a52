#include "views/IgnitionMap.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

using namespace morvex;
using namespace morvex::views;

namespace {

// The five tables of both cylinders.
struct Maps {
    std::array<uint8_t, kMapSize> leftSteps{}, rightSteps{}, leftDegrees{}, rightDegrees{}, percent{};
    IgnitionTables tables() { return {leftSteps, rightSteps, leftDegrees, rightDegrees, percent}; }
    IgnitionCell cell(int p)
    {
        const auto i = static_cast<std::size_t>(p);
        return {leftSteps[i], rightSteps[i], leftDegrees[i], rightDegrees[i], percent[i]};
    }
};

// One cell's bytes.
struct Cell {
    uint8_t leftSteps = 0, rightSteps = 0, leftDegrees = 0, rightDegrees = 0, percent = 100;
    IgnitionCell ref() { return {leftSteps, rightSteps, leftDegrees, rightDegrees, percent}; }
};

IgnitionEdit typed(const char* text, bool singleStep = false, int maximum = kDegreeCellMaximum)
{
    IgnitionEdit e;
    e.typed = text;
    e.singleStep = singleStep;
    e.maximum = maximum;
    return e;
}

const IgnitionSetup k36Teeth{36, 10}; // 5 degrees a step from 10 degrees BTDC

} // namespace

TEST(IgnitionMap, LoadedStepsBeyond250DegreesAreLimitedAndTeethChangesKeepDegrees)
{
    Maps m;
    m.leftSteps[256] = 4;  // 30 degrees
    m.rightSteps[256] = 8; // 50 degrees: 167 %
    m.leftSteps[511] = 60; // 310 degrees: limited to (250 - 10) / 5 = 48 steps
    m.rightSteps[300] = 255;
    m.leftSteps[0] = 200; // the hidden half is never touched
    EXPECT_FALSE(degreesFromSteps(m.tables(), k36Teeth));
    EXPECT_EQ(m.leftDegrees[256], 30);
    EXPECT_EQ(m.rightDegrees[256], 50);
    EXPECT_EQ(m.percent[256], 167);
    EXPECT_EQ(m.leftSteps[511], 48);
    EXPECT_EQ(m.leftDegrees[511], 250);
    EXPECT_EQ(m.rightSteps[300], 48);
    EXPECT_EQ(m.leftDegrees[0], 0);
    EXPECT_EQ(m.leftSteps[0], 200);
    EXPECT_TRUE(degreesFromSteps(m.tables(), k36Teeth));
    // Without teeth nothing is converted.
    m.leftSteps[257] = 3;
    EXPECT_TRUE(degreesFromSteps(m.tables(), IgnitionSetup{0, 10}));
    EXPECT_EQ(m.leftDegrees[257], 10);

    // 72 teeth: 2.5 degrees a step. 30 degrees stay 30 (8 steps); 50 stay 50.
    EXPECT_TRUE(stepsFromDegrees(m.tables(), IgnitionSetup{72, 10}));
    EXPECT_EQ(m.leftSteps[256], 8);
    EXPECT_EQ(m.leftDegrees[256], 30);
    EXPECT_EQ(m.rightSteps[256], 16);
    // 250 degrees would need 96 steps: fine. 6 teeth (30 a step) from a
    // static point of 30: degrees below it become 0 steps, unlimited.
    EXPECT_TRUE(stepsFromDegrees(m.tables(), IgnitionSetup{6, 30}));
    EXPECT_EQ(m.leftSteps[256], 0);
    EXPECT_EQ(m.leftDegrees[256], 30);
    // 180 teeth: 1 degree a step; 250 degrees from 0 need 250 steps, more
    // would be limited.
    m.leftDegrees[260] = 255;
    EXPECT_FALSE(stepsFromDegrees(m.tables(), IgnitionSetup{180, 0}));
    EXPECT_EQ(m.leftSteps[260], 250);
}

TEST(IgnitionMap, LeftDegreesStoreWholeSteps)
{
    Cell c;
    IgnitionEditResult r = editLeftDegrees(k36Teeth, typed("33"), c.ref());
    EXPECT_EQ(c.leftSteps, 4);
    EXPECT_EQ(r.text, "30");
    EXPECT_EQ(r.answer, -3);
    EXPECT_FALSE(r.message);
    // The right cylinder keeps its 100 %.
    EXPECT_EQ(c.rightSteps, 4);
    EXPECT_EQ(c.rightDegrees, 30);

    // 9 is below the static point: 0 steps, 10 degrees, no message.
    r = editLeftDegrees(k36Teeth, typed("9"), c.ref());
    EXPECT_EQ(c.leftSteps, 0);
    EXPECT_EQ(r.text, "10");
    EXPECT_FALSE(r.message);

    // A single step moves one step however wide it is.
    c.leftSteps = 4;
    c.leftDegrees = 30;
    r = editLeftDegrees(k36Teeth, typed("31", true), c.ref());
    EXPECT_EQ(c.leftSteps, 5);
    EXPECT_EQ(r.text, "35");
    // Down from the static point: the minimum, never a wrapped 255.
    c.leftSteps = 0;
    c.leftDegrees = 10;
    r = editLeftDegrees(k36Teeth, typed("9", true), c.ref());
    EXPECT_EQ(c.leftSteps, 0);
    EXPECT_EQ(r.message, "Minimum possible value is 10!");
    // Up past 60 with 7 teeth (25.7 degrees a step): back to 36.
    const IgnitionSetup seven{7, 10};
    c.leftSteps = 1;
    c.leftDegrees = 36;
    r = editLeftDegrees(seven, typed("37", true), c.ref());
    EXPECT_EQ(c.leftSteps, 1);
    EXPECT_EQ(r.message, "Maximum possible value is 36!");
    // The message prints with the cell's format.
    IgnitionEdit e = typed("37", true);
    e.print = [](int v) { return "<" + std::to_string(v) + ">"; };
    EXPECT_EQ(editLeftDegrees(seven, e, c.ref()).message, "Maximum possible value is <36>!");

    // Beyond the cell's limits: a beep, the limit.
    c.leftSteps = 10;
    c.leftDegrees = 60;
    r = editLeftDegrees(k36Teeth, typed("61", true), c.ref());
    EXPECT_TRUE(r.outOfRange);
    EXPECT_FALSE(r.message);
    EXPECT_EQ(c.leftSteps, 10);

    // No teeth: nothing changes.
    r = editLeftDegrees(IgnitionSetup{0, 10}, typed("33"), c.ref());
    EXPECT_EQ(r.answer, -1);
    EXPECT_EQ(r.message, kNoTeethMessage);
    EXPECT_EQ(c.leftSteps, 10);
}

TEST(IgnitionMap, PercentIsLimitedToWhatTheRightCylinderCanReach)
{
    Cell c;
    c.leftSteps = 4;
    c.leftDegrees = 30;
    IgnitionEditResult r = editIgnitionPercent(k36Teeth, typed("250", false, 250), c.ref());
    EXPECT_EQ(r.message, "Maximum possible value is 214!");
    EXPECT_EQ(c.percent, 214);
    EXPECT_EQ(c.rightDegrees, 60);
    EXPECT_EQ(c.rightSteps, 10);
    EXPECT_EQ(r.text, "214");

    r = editIgnitionPercent(k36Teeth, typed("0", false, 250), c.ref());
    EXPECT_EQ(r.message, "Minimum possible value is 19!");
    EXPECT_EQ(c.percent, 19);
    EXPECT_EQ(c.rightSteps, 0);
    EXPECT_EQ(c.rightDegrees, 10);

    r = editIgnitionPercent(k36Teeth, typed("150", false, 250), c.ref());
    EXPECT_FALSE(r.message);
    EXPECT_EQ(c.rightDegrees, 45);
    EXPECT_EQ(c.rightSteps, 7);
}

TEST(IgnitionMap, RightDegreesNeverDivideByZeroNorWrapTheStepCount)
{
    // Static point 0 and 0 left steps: the left value is 0 degrees.
    Cell c;
    IgnitionEditResult r = editRightDegrees(IgnitionSetup{36, 0}, typed("20"), c.ref());
    EXPECT_EQ(c.percent, 0);
    EXPECT_EQ(c.rightSteps, 4);
    EXPECT_EQ(r.text, "20");
    EXPECT_FALSE(r.limited);

    // A right value above 250 % of the left one is lowered to 250 %; with a
    // left value below the static point that is a negative step count, which
    // the box would read as 255: stored as 0 instead.
    Cell d;
    d.leftDegrees = 1;
    r = editRightDegrees(k36Teeth, typed("20"), d.ref());
    EXPECT_TRUE(r.limited);
    EXPECT_EQ(d.rightSteps, 0);
    EXPECT_EQ(d.rightDegrees, 10);
    EXPECT_EQ(d.percent, 250);
    EXPECT_EQ(r.message, "Maximum possible value is 10!");

    // A static point beyond the cell maximum (a damaged file) likewise.
    Cell e;
    e.leftDegrees = 70;
    r = editRightDegrees(IgnitionSetup{36, 70}, typed("40"), e.ref());
    EXPECT_EQ(e.rightSteps, 0);
    EXPECT_TRUE(r.limited);
}

TEST(IgnitionMap, TheIgnitionWalkStartsWithTeethAndOffset)
{
    // Teeth and offset first (no cell), then the left half, then the right.
    EXPECT_EQ(ignitionPositionOfStep(1), -1);
    EXPECT_EQ(ignitionPositionOfStep(2), 256);
    EXPECT_EQ(ignitionPositionOfStep(257), 511);
    EXPECT_EQ(ignitionPositionOfStep(258), 768);
    EXPECT_EQ(ignitionPositionOfStep(513), 1023);
    EXPECT_EQ(ignitionPositionOfStep(514), -1);
    EXPECT_EQ(degreesPerStepText(0), "0");
}
