#include "adapt/adapt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// Restores the shipped parameters after tests that change them.
class AdaptParameters : public ::testing::Test {
protected:
    void TearDown() override
    {
        maxADDK = 2550;
        T_Alpha = 0.00788;
        T_Beta = 0.00001937;
        T_VoltRef = 5.0;
        T_TempRef = 25;
        T_OhmBeiTempRef = 2000;
        T_OhmR1 = 2200;
    }
};

TEST(AdaptRevolutions, PeriodConversionBothWays)
{
    EXPECT_EQ(PC_TO_BOX_Drehzahl(6000), 2304);
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Drehzahl(2304), 6000.0);
    EXPECT_EQ(PC_TO_BOX_Drehzahl(0), 0);
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Drehzahl(0), 0.0);
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Drehzahl_25(0), 0.0);
    // 13,824,000 / 200 does not fit 16 bits: the low word is returned.
    EXPECT_EQ(PC_TO_BOX_Drehzahl(200), static_cast<uint16_t>(69120 & 0xFFFF));
}

TEST(AdaptRevolutions, RoundedToSteps)
{
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Drehzahl_25(1105), 12500.0);  // 12,510: 50-steps
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Drehzahl_25(12683), 1100.0);  // 1,089 -> next hundred
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Drehzahl_25(1152), 12000.0);  // exactly 12,000: 25-steps
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Drehzahl_25(11059), 1250.0);  // 1,250.02 -> r = 50
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Drehzahl_25(11170), 1225.0);  // 1,237 -> r = 37 < 38
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Drehzahl_25(10732), 1300.0);  // 1,288 -> r = 88
    // Only the low 16 bits of the argument count.
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Drehzahl_25(0x10000u + 2304u), 6000.0);
}

TEST_F(AdaptParameters, ThrottleScaleFollowsMaxAddk)
{
    EXPECT_EQ(PC_TO_BOX_Drosselklappe(100), 2550);
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Drosselklappe(1275), 50.0);
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Drosselklappe(1), 0.0);
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Drosselklappe(3), 0.1); // 0.1176 -> 0.1
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Drosselklappe(4), 0.2); // 0.1568 -> 0.2

    maxADDK = 1000;
    EXPECT_EQ(PC_TO_BOX_Drosselklappe(100), 1000);
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Drosselklappe(500), 50.0);

    // The library reads the low 16 bits of the slot.
    maxADDK = 0x10000 + 2550;
    EXPECT_EQ(PC_TO_BOX_Drosselklappe(100), 2550);
}

TEST_F(AdaptParameters, ThermistorModel)
{
    EXPECT_EQ(PC_TO_BOX_Motortemp(25), 2380);
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Motortemp(2380), 25.0);
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Motortemp(0), BOX_TO_PC_Motortemp(765));
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Motortemp(4096), BOX_TO_PC_Motortemp(5000));
    EXPECT_FALSE(std::isnan(BOX_TO_PC_Motortemp(765)));
    // Air and engine temperature share one model.
    EXPECT_EQ(PC_TO_BOX_Lufttemp(80), PC_TO_BOX_Motortemp(80));
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Lufttemp(3000), BOX_TO_PC_Motortemp(3000));

    // Whole degrees survive the trip through the box's millivolts.
    for (int t = -20; t <= 120; ++t) {
        EXPECT_DOUBLE_EQ(BOX_TO_PC_Motortemp(PC_TO_BOX_Motortemp(t)), t) << t;
    }
    // A warmer sensor has a higher resistance and so a higher voltage.
    EXPECT_GT(PC_TO_BOX_Motortemp(90), PC_TO_BOX_Motortemp(20));

    T_OhmR1 = 1000;
    EXPECT_EQ(PC_TO_BOX_Motortemp(25), static_cast<uint16_t>(5000.0 * 2000 / 3000));
}

TEST_F(AdaptParameters, ThermistorInverseAddsTwentyFiveNotReference)
{
    T_TempRef = 20;
    // The forward model moves with the reference; the inverse does not, so
    // a non-shipped reference shifts readings by the difference.
    const uint16_t raw = PC_TO_BOX_Motortemp(20);
    EXPECT_EQ(raw, 2380);
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Motortemp(raw), 25.0);
}

TEST(AdaptPressure, OffsetScaleAndWrap)
{
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Luftdruck(0), 144.0);
    EXPECT_EQ(PC_TO_BOX_Luftdruck(1013), static_cast<uint16_t>(1013 * 2.6475 - 380));
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Luftdruck(PC_TO_BOX_Luftdruck(1013)), 1013.0);
    // Below the offset the result wraps to its low 16 bits.
    EXPECT_EQ(PC_TO_BOX_Luftdruck(100), static_cast<uint16_t>(-115));
    EXPECT_EQ(PC_TO_BOX_Turbodruck(1500), PC_TO_BOX_Luftdruck(1500));
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Turbodruck(4000), BOX_TO_PC_Luftdruck(4000));
}

TEST(AdaptLinear, InjectionCoLambdaVoltage)
{
    EXPECT_EQ(PC_TO_BOX_Einspritzzeit(1000), 921);
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Einspritzzeit(9216), 9216 * 1.0850694444444442);
    EXPECT_EQ(PC_TO_BOX_CO(1000), 921);
    EXPECT_DOUBLE_EQ(BOX_TO_PC_CO(921), BOX_TO_PC_Einspritzzeit(921));

    EXPECT_EQ(PC_TO_BOX_Lambda(1.9), 1);
    EXPECT_EQ(PC_TO_BOX_Lambda(-1.9), 0xFFFF);
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Lambda(850), 850.0);
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Lambda(0x10005u), 5.0);

    EXPECT_EQ(PC_TO_BOX_Spannung(12.0), 2448);
    EXPECT_DOUBLE_EQ(BOX_TO_PC_Spannung(2448), 2448 * 0.0049);
}

TEST(AdaptLinear, UnrepresentableInputGivesZero)
{
    EXPECT_EQ(PC_TO_BOX_Lambda(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(PC_TO_BOX_Lambda(std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(PC_TO_BOX_Einspritzzeit(1e300), 0);
}

} // namespace
