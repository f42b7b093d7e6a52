#include "DocumentFixture.h"

#include "document/Limits.h"
#include "platform/IniFile.h"

#include <gtest/gtest.h>

namespace morvex::test {
namespace {

TEST(Limits, ReadFromTheirSectionsByLongName)
{
    const auto ini = platform::IniFile::fromText("[Minimum]\r\n"
                                                 "Throttle-Position=2.5\r\n"
                                                 "Motor-Temperature=-30\r\n"
                                                 "Injection-%=abc\r\n"
                                                 "[Maximum]\r\n"
                                                 "Throttle-Position=97.5\r\n"
                                                 "Motor-Temperature=130\r\n"
                                                 "[MinimumErrorText]\r\n"
                                                 "Motor-Temperature=Engine cold\r\n"
                                                 "[MaximumErrorText]\r\n"
                                                 "Motor-Temperature=Overheat!\r\n");
    CLimits limits;
    limits.Read(ini);
    EXPECT_DOUBLE_EQ(limits.record(Limit::ThrottlePosition).minimum, 2.5);
    EXPECT_DOUBLE_EQ(limits.record(Limit::ThrottlePosition).maximum, 97.5);
    EXPECT_DOUBLE_EQ(limits.indexRecord(IndexTable::MTI).minimum, -30.0);
    EXPECT_DOUBLE_EQ(limits.indexRecord(IndexTable::MTI).maximum, 130.0);
    EXPECT_EQ(limits.record(Limit::MotorTemperature).minimumErrorText, "Engine cold");
    EXPECT_EQ(limits.record(Limit::MotorTemperature).maximumErrorText, "Overheat!");
    // Missing or unreadable numbers are 0; missing texts "MinErr" in both sections.
    EXPECT_DOUBLE_EQ(limits.record(Limit::Revolutions).minimum, 0.0);
    EXPECT_DOUBLE_EQ(limits.record(Limit::InjectionPercent).minimum, 0.0);
    EXPECT_EQ(limits.record(Limit::CO).minimumErrorText, "MinErr");
    EXPECT_EQ(limits.record(Limit::CO).maximumErrorText, "MinErr");
}

TEST(Limits, RecordsBelongToTheirChannels)
{
    EXPECT_EQ(limitChannel(Limit::Lambda), Channel::Lambda);
    EXPECT_EQ(limitChannel(Limit::PowerSupply), Channel::PowerSupply);
    EXPECT_EQ(limitChannel(Limit::CO), Channel::CO);
    EXPECT_EQ(limitChannel(Limit::FuelConsumption), Channel::FuelConsumption);
    EXPECT_EQ(limitChannel(Limit::IgnitionTimingSelection), Channel::IgnitionTimingSelection);
    EXPECT_EQ(limitChannel(Limit::InjectionTime), Channel::InjectionTime);
    EXPECT_EQ(limitChannel(Limit::InjectionPercent), Channel::InjectionPercent);
    EXPECT_EQ(indexLimit(IndexTable::LAI), Limit::Lambda);
    EXPECT_EQ(indexLimit(IndexTable::LTI), Limit::AirTemperature);
}

TEST(Limits, ShippedFileHasEveryChannel)
{
    platform::IniFile ini;
    std::error_code ec;
    ASSERT_TRUE(ini.load(shippedCnf() / "InitValues.cfg", ec));
    CLimits limits;
    limits.Read(ini);
    for (int i = 0; i < kLimitCount; ++i) {
        const auto limit = static_cast<Limit>(i);
        const auto key = channelKey(limitChannel(limit));
        EXPECT_TRUE(ini.hasKey("Minimum", key)) << key;
        EXPECT_TRUE(ini.hasKey("Maximum", key)) << key;
        EXPECT_LT(limits.record(limit).minimum, limits.record(limit).maximum) << key;
        EXPECT_NE(limits.record(limit).minimumErrorText, "MinErr") << key;
        EXPECT_NE(limits.record(limit).maximumErrorText, "MinErr") << key;
    }
}

TEST(Limits, DisplayFormats)
{
    CLimits limits;
    EXPECT_EQ(limits.indexFormat(IndexTable::DZI).printfText(), "%0.0f");
    EXPECT_EQ(limits.indexFormat(IndexTable::LAI).printfText(), "%0.0f");
    limits.setLambdaFormat(DisplayFormat{2});
    EXPECT_EQ(limits.indexFormat(IndexTable::LAI).printfText(), "%0.2f");
    EXPECT_EQ(limits.indexFormat(IndexTable::TDI).printfText(), "%0.0f");
    EXPECT_EQ(CLimits::kIgnitionTFormat.printfText(), "%0.3f");
    EXPECT_EQ(CLimits::kFuelConsumptionFormat.format(12.25), "12.3");
    EXPECT_DOUBLE_EQ(DisplayFormat{1}.roundTrip(6.25), 6.3);
}

TEST(Limits, DisplayControlGroups)
{
    const auto ini = platform::IniFile::fromText("[DisplayControl]\n"
                                                 "LabelOffset=2, 1, 1, 1\n"
                                                 "DisplayOffset=1,0\n"
                                                 "InnerDisplayOffset=x\n");
    CLimits limits;
    limits.Read(ini);
    const DisplayControl& dc = limits.displayControl();
    EXPECT_EQ(dc.labelOffset, (std::array<int, 4>{2, 1, 1, 1}));
    EXPECT_EQ(dc.displayOffset, (std::array<int, 4>{1, 0, DisplayControl::kAbsent, DisplayControl::kAbsent}));
    EXPECT_EQ(dc.innerDisplayOffset[0], DisplayControl::kAbsent);
}

} // namespace
} // namespace morvex::test
