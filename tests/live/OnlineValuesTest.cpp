#include "live/OnlineLook.h"
#include "live/OnlineValues.h"

#include "document/LambdaSensors.h"
#include "tests/document/DocumentFixture.h"

#include <fstream>

namespace morvex::live {
namespace {

using Kind = DisplayUpdate::Kind;

// The last update of `kind` for `display`, or nullptr.
const DisplayUpdate* find(const std::vector<DisplayUpdate>& updates, Display display, Kind kind)
{
    const DisplayUpdate* found = nullptr;
    for (const DisplayUpdate& update : updates) {
        if (update.display == display && update.kind == kind) {
            found = &update;
        }
    }
    return found;
}

// The update that must be there.
const DisplayUpdate& at(const std::vector<DisplayUpdate>& updates, Display display, Kind kind)
{
    static const DisplayUpdate missing;
    const DisplayUpdate* update = find(updates, display, kind);
    if (update == nullptr) {
        ADD_FAILURE() << "no update of kind " << static_cast<int>(kind) << " for display " << index(display);
        return missing;
    }
    return *update;
}

std::string textOf(const std::vector<DisplayUpdate>& updates, Display display)
{
    const DisplayUpdate* update = find(updates, display, Kind::Value);
    return update != nullptr ? update->text : "<none>";
}

class OnlineValuesTest : public test::BoundAdapt {
protected:
    OnlineValuesTest() { limits = shippedLimits(); }

    // A sensor file with thresholds 900, 880, ... 320 in `folder`.
    static void writeSensor(const std::filesystem::path& folder)
    {
        std::ofstream file(folder / "Test.ldt");
        file << "[FileInfo]\nSensorName=Test\nFileVersion=1.0\n[SensorTable]\n";
        for (std::size_t i = 0; i < kLambdaThresholdCount; ++i) {
            file << LambdaSensorKey(i) << "=" << 900 - 20 * static_cast<int>(i) << "\n";
        }
    }

    CLimits limits;
    CLabels labels;
    LambdaSensors sensors;
    BoxSettings box{10, 20, 0};
};

TEST_F(OnlineValuesTest, EveryDisplayConvertsItsRawValue)
{
    OnlineValues values(adapt(), limits, labels, &sensors);
    values.SetGroupSeparator(".");

    // REV: 13,824,000 / raw cut to whole tens, with the user's separator.
    std::vector<DisplayUpdate> out = values.OnValue(130, 1105, box); // 12,510.4 rpm
    EXPECT_EQ(textOf(out, Display::Rev), "12.510");
    EXPECT_EQ(at(out, Display::Rev, Kind::Value).value, 12510.0);
    EXPECT_NE(find(out, Display::Rev, Kind::EndMessage), nullptr);
    EXPECT_EQ(textOf(values.OnValue(130, 2304, box), Display::Rev), "6.000");

    EXPECT_EQ(textOf(values.OnValue(131, 1275, box), Display::Tps), "50.0");
    EXPECT_EQ(textOf(values.OnValue(131, 3000, box), Display::Tps), "100.0"); // 117.6 % capped
    EXPECT_EQ(textOf(values.OnValue(134, 0, box), Display::Aps), "144");
    EXPECT_EQ(textOf(values.OnValue(132, 2380, box), Display::Mts), "25");
    EXPECT_EQ(textOf(values.OnValue(133, 2380, box), Display::Ats), "25");
    EXPECT_EQ(textOf(values.OnValue(137, 2449, box), Display::Sup), "12.0");
    EXPECT_EQ(textOf(values.OnValue(138, 921, box), Display::Co), "1.00"); // 999.3 * 0.001
    // ITS: the low byte as a whole number.
    EXPECT_EQ(textOf(values.OnValue(166, 0x0307, box), Display::Its), "7");

    // INJ_T 4608 raw = 5000 us shown in ms; at 6000 rpm the injector is open
    // a quarter of the time; FC = 10 * 20 * 0.1 * 0.25.
    out = values.OnValue(139, 4608, box);
    EXPECT_EQ(textOf(out, Display::InjT), "5.00");
    EXPECT_EQ(textOf(out, Display::InjP), "25.0");
    EXPECT_EQ(textOf(out, Display::Fc), "5.0");
    EXPECT_NE(find(out, Display::InjP, Kind::EndMessage), nullptr);
    EXPECT_NE(find(out, Display::Fc, Kind::EndMessage), nullptr);
    // The box bytes are read at every update.
    out = values.OnValue(139, 4608, BoxSettings{20, 20, 0});
    EXPECT_EQ(textOf(out, Display::Fc), "10.0");

    // Commands that are no display of the column change nothing.
    EXPECT_TRUE(values.OnValue(150, 1, box).empty());
    EXPECT_TRUE(values.OnFailed(150, box).empty());
}

TEST_F(OnlineValuesTest, RevolutionLimitComesFromTheBoxWord)
{
    OnlineValues values(adapt(), limits, labels, nullptr);
    const std::vector<DisplayUpdate> configured = values.OnValue(130, 2304, box);
    ASSERT_NE(find(configured, Display::Rev, Kind::Range), nullptr);
    EXPECT_EQ(at(configured, Display::Rev, Kind::Range).maximum, limits.record(Limit::Revolutions).maximum);
    EXPECT_EQ(at(configured, Display::Rev, Kind::Range).overText, "Overrev!");

    // 13,824,000 / 1105 = 12,510, in steps of 50 above 12,000: 12,500.
    const std::vector<DisplayUpdate> boxLimit = values.OnValue(130, 2304, BoxSettings{0, 0, 1105});
    EXPECT_EQ(at(boxLimit, Display::Rev, Kind::Range).maximum, 12500.0);
    EXPECT_EQ(at(boxLimit, Display::Rev, Kind::Range).minimum, limits.record(Limit::Revolutions).minimum);
}

TEST_F(OnlineValuesTest, NoValueAndTransferFailures)
{
    OnlineValues values(adapt(), limits, labels, nullptr);
    EXPECT_EQ(textOf(values.OnValue(130, kNoValue, box), Display::Rev), "0");

    // Without an injection time the derived displays have nothing to show.
    std::vector<DisplayUpdate> out = values.OnValue(139, kNoValue, box);
    EXPECT_EQ(textOf(out, Display::InjT), "-");
    EXPECT_FALSE(at(out, Display::InjT, Kind::Value).value.has_value());
    EXPECT_EQ(at(out, Display::InjP, Kind::Message).text, "");
    EXPECT_EQ(at(out, Display::Fc, Kind::Message).text, "");
    EXPECT_EQ(find(out, Display::InjP, Kind::Value), nullptr);

    for (int command : {135, 136, 138}) {
        out = values.OnValue(command, kNoValue, box);
        ASSERT_EQ(out.size(), 2u) << command;
        EXPECT_EQ(out.back().text, "-") << command;
        EXPECT_FALSE(out.back().value.has_value()) << command;
    }
    // A lost lambda value is not converted again on a sensor change.
    EXPECT_EQ(find(values.LambdaUpdates(), Display::LsL, Kind::Value), nullptr);

    out = values.OnFailed(139, box);
    for (Display display : {Display::InjT, Display::InjP, Display::Fc}) {
        ASSERT_NE(find(out, display, Kind::Message), nullptr);
        EXPECT_EQ(at(out, display, Kind::Message).text, kTransferText);
    }
    // A lost REV leaves INJ_P and FC without a value even after a good INJ_T.
    out = values.OnFailed(130, box);
    EXPECT_EQ(at(out, Display::Rev, Kind::Message).text, kTransferText);
    EXPECT_EQ(values.LastRevolutions(), -1.0);
    out = values.OnValue(139, 4608, box);
    EXPECT_EQ(textOf(out, Display::InjT), "5.00");
    EXPECT_EQ(at(out, Display::InjP, Kind::Message).text, "");
}

TEST_F(OnlineValuesTest, LambdaFollowsTheSelectedSensor)
{
    test::TempDir folder;
    writeSensor(folder.path());
    sensors.Enumerate(folder.path());
    ASSERT_EQ(sensors.sensors().size(), 1u);
    OnlineValues values(adapt(), limits, labels, &sensors);

    EXPECT_EQ(textOf(values.OnValue(135, 900, box), Display::LsL), "900");
    EXPECT_EQ(textOf(values.OnValue(136, 860, box), Display::LsR), "860");
    std::vector<DisplayUpdate> out = values.LambdaUpdates();
    EXPECT_EQ(at(out, Display::LsL, Kind::Range).maximum, limits.record(Limit::Lambda).maximum);
    EXPECT_EQ(at(out, Display::LsL, Kind::Unit).text, labels.unit(Channel::LambdaAnalog));

    ASSERT_TRUE(sensors.Select(kLambdaFirstSensorId));
    out = values.LambdaUpdates();
    EXPECT_EQ(textOf(out, Display::LsL), "0.70");
    EXPECT_EQ(textOf(out, Display::LsR), "0.75");
    for (Display display : {Display::LsL, Display::LsR}) {
        EXPECT_EQ(at(out, display, Kind::Range).minimum, 0.7);
        EXPECT_EQ(at(out, display, Kind::Range).maximum, 1.4);
        EXPECT_EQ(at(out, display, Kind::Unit).text, labels.unit(Channel::Lambda));
    }
    EXPECT_EQ(textOf(values.OnValue(135, 901, box), Display::LsL), "0.68"); // above every threshold: 0.675
}

TEST(DisplayStateTest, RangeAndMessageDecideTheUnitArea)
{
    DisplayState state;
    state.SetUnit("rpm");
    state.SetRange(1000, 6000, "Rev. too low", "Overrev!");
    state.SetValue("8,000", 8000.0);
    EXPECT_EQ(state.RangeState(), DisplayState::Range::In); // not checked while offline
    EXPECT_FALSE(state.Blinking());

    state.EnableRangeChecking(true);
    EXPECT_EQ(state.UnitAreaText(), "Overrev!");
    EXPECT_TRUE(state.ToggleBlink());
    EXPECT_TRUE(state.ErrorColours());
    EXPECT_FALSE(state.ToggleBlink());
    state.SetValue("500", 500.0);
    EXPECT_EQ(state.UnitAreaText(), "Rev. too low");

    // A message wins over the range text until it ends.
    state.SetMessage("Transfer");
    EXPECT_EQ(state.UnitAreaText(), "Transfer");
    state.EndMessage();
    EXPECT_EQ(state.UnitAreaText(), "Rev. too low");
    state.SetValue("-", std::nullopt);
    EXPECT_FALSE(state.Blinking());
    EXPECT_FALSE(state.ErrorColours());
    EXPECT_EQ(state.UnitAreaText(), "rpm");
    EXPECT_FALSE(state.ToggleBlink());
}

TEST(LiveFormats, RevolutionsWithGroupSeparator)
{
    EXPECT_EQ(formatRevolutions(12340, ","), "12,340");
    EXPECT_EQ(formatRevolutions(980, ","), "980");
    EXPECT_EQ(formatRevolutions(1000, "\xC2\xA0"), "1\xC2\xA0"
                                                   "000");
    EXPECT_DOUBLE_EQ(injectionDuty(6000, 5000), 25.0);
}

} // namespace
} // namespace morvex::live

// The font and colour records as the settings file keeps them.
TEST(OnlineLook, StoredRecordsComeBackAndRecordsOfAnotherSizeAreIgnored)
{
    morvex::live::OnlineLook look;
    morvex::live::LogFont font;
    font.height = -30;
    font.weight = 700;
    font.italic = 1;
    font.SetFace("DejaVu Sans Mono with a face name longer than thirty-one bytes");
    look.font = font;
    look.text[0] = morvex::live::colorRef(1, 2, 3);
    look.back[12] = 0;
    look.custom[15] = morvex::live::colorRef(9, 8, 7);
    const morvex::live::OnlineLook::Stored stored = look.ToStored();
    EXPECT_EQ(stored.font.size(), 2 * morvex::live::LogFont::kSize);
    const morvex::live::OnlineLook back = morvex::live::OnlineLook::FromStored(stored);
    ASSERT_TRUE(back.font.has_value());
    EXPECT_EQ(*back.font, font);
    EXPECT_EQ(back.font->Face().size(), 31U);
    EXPECT_EQ(back.text, look.text);
    EXPECT_EQ(back.back, look.back);
    EXPECT_EQ(back.custom, look.custom);

    // One byte short, one colour short, not hex: the defaults stand.
    const morvex::live::OnlineLook wrong = morvex::live::OnlineLook::FromStored(
        {stored.font.substr(2), stored.text.substr(8), "XY" + stored.back.substr(2), stored.custom + "0"});
    EXPECT_FALSE(wrong.font.has_value());
    EXPECT_EQ(wrong.text, morvex::live::OnlineLook{}.text);
    EXPECT_EQ(wrong.back, morvex::live::OnlineLook{}.back);
    EXPECT_EQ(wrong.custom, morvex::live::OnlineLook{}.custom);
}
