#include "DocumentFixture.h"

#include "document/LambdaSensors.h"

#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <fstream>
#include <string>
#include <vector>

namespace morvex::test {
namespace {

const std::array<const char*, 30> kKeys{"0.700", "0.725", "0.750", "0.775", "0.800", "0.825", "0.850", "0.875",
                                        "0.900", "0.925", "0.950", "0.975", "1.000", "1.025", "1.050", "1.075",
                                        "1.100", "1.125", "1.150", "1.175", "1.200", "1.225", "1.250", "1.275",
                                        "1.300", "1.325", "1.350", "1.375", "1.400", "1.425"};

// 900, 880, ..., 320 as table values.
std::vector<std::string> fallingBy20()
{
    std::vector<std::string> values;
    values.reserve(30);
    for (int i = 0; i < 30; ++i) {
        values.push_back(std::to_string(900 - 20 * i));
    }
    return values;
}

// A sensor file; an empty value leaves its key out.
std::string sensorText(const std::string& name, const std::string& version, const std::vector<std::string>& values)
{
    std::string text = "[FileInfo]\r\n";
    if (!name.empty()) {
        text += "SensorName=" + name + "\r\n";
    }
    if (!version.empty()) {
        text += "FileVersion=" + version + "\r\n";
    }
    text += "\r\n[SensorTable]\r\n";
    for (std::size_t i = 0; i < values.size() && i < kKeys.size(); ++i) {
        if (!values[i].empty()) {
            text += std::string(kKeys[i]) + "=" + values[i] + "\r\n";
        }
    }
    return text;
}

class LambdaSensorFolder : public BoundAdapt {
protected:
    void write(const std::string& fileName, const std::string& text)
    {
        std::ofstream out(dir_.path() / fileName, std::ios::binary);
        out << text;
    }
    void writeSensor(const std::string& fileName, const std::string& name, const std::string& version = "1.0",
                     const std::vector<std::string>& values = fallingBy20())
    {
        write(fileName, sensorText(name, version, values));
    }
    LambdaSensors enumerate() const
    {
        LambdaSensors sensors;
        sensors.Enumerate(dir_.path());
        return sensors;
    }
    const std::filesystem::path& folder() const { return dir_.path(); }

private:
    TempDir dir_;
};

using LambdaSensorFile = LambdaSensorFolder;
using LambdaSensorList = LambdaSensorFolder;
using LambdaSensorSelection = LambdaSensorFolder;
using LambdaSensorConversion = LambdaSensorFolder;
using LambdaSensorMenu = LambdaSensorFolder;

TEST_F(LambdaSensorFile, ReadsTheTableWhateverTheLocale)
{
    // Keys are written with a full stop also where the locale uses a comma.
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    writeSensor("a.ldt", "Probe", "2.1");
    const LambdaSensors sensors = enumerate();
    std::setlocale(LC_ALL, previous.c_str());
    ASSERT_EQ(sensors.sensors().size(), 1u);
    const LambdaSensorTable& s = sensors.sensors()[0];
    EXPECT_EQ(s.name, "Probe");
    EXPECT_EQ(s.version, "2.1");
    EXPECT_TRUE(s.valid);
    EXPECT_EQ(s.thresholds[0], 900);
    EXPECT_EQ(s.thresholds[12], 660);
    EXPECT_EQ(s.thresholds[29], 320);
}

TEST_F(LambdaSensorFile, FirstBadValueEndsTheTable)
{
    struct Case {
        const char* what;
        std::size_t index;
        std::string value;
    };
    const std::vector<Case> cases{{"equal to the one before", 1, "900"},
                                  {"negative", 5, "-1"},
                                  {"missing", 5, ""},
                                  {"empty", 5, " "},
                                  {"rising", 5, "999"},
                                  {"beyond 16 bits", 0, "70000"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> values = fallingBy20();
        values[c.index] = c.value;
        writeSensor("x.ldt", "Probe", "1.0", values);
        const LambdaSensors sensors = enumerate();
        ASSERT_EQ(sensors.sensors().size(), 1u);
        const LambdaSensorTable& s = sensors.sensors()[0];
        EXPECT_FALSE(s.valid);
        // Good values after the bad one are not read.
        for (std::size_t i = 0; i < s.thresholds.size(); ++i) {
            EXPECT_EQ(static_cast<std::size_t>(s.thresholds[i]), i < c.index ? 900 - 20 * i : 0) << i;
        }
    }
    // Without a version the file is corrupted, but its table is read.
    writeSensor("x.ldt", "Probe", "");
    const LambdaSensors sensors = enumerate();
    ASSERT_EQ(sensors.sensors().size(), 1u);
    EXPECT_FALSE(sensors.sensors()[0].valid);
    EXPECT_EQ(sensors.sensors()[0].thresholds[29], 320);
}

TEST_F(LambdaSensorList, ReadsOnlyNamedRegularLdtFiles)
{
    writeSensor("named.ldt", "Named");
    writeSensor("upper.LDT", "Upper");
    writeSensor("nameless.ldt", "");
    write("empty.ldt", "");
    writeSensor("other.txt", "Other");
    writeSensor("backup.ldt.bak", "Backup");
    std::filesystem::create_directory(folder() / "folder.ldt");
    const LambdaSensors sensors = enumerate();
    ASSERT_EQ(sensors.sensors().size(), 2u);
    EXPECT_EQ(sensors.sensors()[0].name, "Named");
    EXPECT_EQ(sensors.sensors()[1].name, "Upper");

    LambdaSensors none;
    none.Enumerate(folder() / "nowhere");
    EXPECT_TRUE(none.sensors().empty());
}

TEST_F(LambdaSensorList, SortedByNameBytes)
{
    writeSensor("1.ldt", "B");
    writeSensor("2.ldt", "A");
    writeSensor("3.ldt", "a");
    writeSensor("4.ldt", "\xC4pfel"); // Windows-1252 A umlaut sorts after ASCII
    const std::vector<LambdaMenuItem> items = LambdaSensorMenuItems(enumerate());
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].id, 1400);
    EXPECT_EQ(items[0].text, "A 1.0");
    EXPECT_EQ(items[1].id, 1401);
    EXPECT_EQ(items[1].text, "B 1.0");
    EXPECT_EQ(items[2].text, "a 1.0");
    EXPECT_EQ(items[3].text, "\xC3\x84pfel 1.0");
}

TEST_F(LambdaSensorList, ShippedSensorFilesAreValid)
{
    LambdaSensors sensors;
    sensors.Enumerate(shippedCnf());
    ASSERT_FALSE(sensors.sensors().empty());
    for (const LambdaSensorTable& s : sensors.sensors()) {
        EXPECT_TRUE(s.valid) << s.name;
    }
}

TEST_F(LambdaSensorSelection, ByName)
{
    writeSensor("a.ldt", "Wide");
    writeSensor("b.ldt", "Broken", "1.0", {"900", "900"});
    writeSensor("c.ldt", "Caf\xE9");
    LambdaSensors sensors = enumerate();

    EXPECT_EQ(sensors.SelectByName("Wide"), "");
    EXPECT_EQ(sensors.selection(), 1402);
    EXPECT_EQ(sensors.SettingValue(), "Wide");
    EXPECT_EQ(sensors.SelectByName("Caf\xE9"), "");
    EXPECT_EQ(sensors.selection(), 1401);
    EXPECT_EQ(sensors.SettingValue(), "Caf\xE9"); // written back as the file's bytes

    // Names match exactly; every failure falls back to raw values.
    EXPECT_EQ(sensors.SelectByName("wide"), "Can't find file for Sensor 'wide'!\nSwitch to raw analog data.");
    EXPECT_EQ(sensors.selection(), 1399);
    EXPECT_EQ(sensors.SettingValue(), "");
    sensors.SelectByName("Wide");
    EXPECT_EQ(sensors.SelectByName("Broken"), "The file for Sensor 'Broken' is corrupted!\nSwitch to raw analog data.");
    EXPECT_EQ(sensors.selection(), 1399);
    EXPECT_EQ(sensors.SelectByName("Gone \xE9"),
              "Can't find file for Sensor 'Gone \xC3\xA9'!\nSwitch to raw analog data.");
    sensors.SelectByName("Wide");
    EXPECT_EQ(sensors.SelectByName(""), "");
    EXPECT_TRUE(sensors.rawSelected());
}

TEST_F(LambdaSensorSelection, RefusesWhatTheMenuCannotSelect)
{
    writeSensor("a.ldt", "Good");
    writeSensor("b.ldt", "Bad", "");
    LambdaSensors sensors = enumerate();
    ASSERT_TRUE(sensors.Select(1401)); // "Bad" sorts first
    for (const int id : {1398, 1400, 1402, 1498, 1499, 0, -1}) {
        EXPECT_FALSE(sensors.Select(id)) << id;
        EXPECT_EQ(sensors.selection(), 1401) << id;
    }
    // A new enumeration starts from raw values, so no index outlives its list.
    std::filesystem::remove(folder() / "a.ldt");
    sensors.Enumerate(folder());
    EXPECT_TRUE(sensors.rawSelected());
    EXPECT_EQ(sensors.selectedSensor(), nullptr);
}

TEST_F(LambdaSensorConversion, ThresholdsFallingBy20)
{
    writeSensor("a.ldt", "Probe");
    LambdaSensors sensors = enumerate();
    const AdaptToPcFn raw = adapt().BOX_TO_PC_Lambda;
    EXPECT_DOUBLE_EQ(sensors.Convert(900, raw), raw(900));
    EXPECT_DOUBLE_EQ(sensors.Convert(40000, raw), raw(40000));

    ASSERT_EQ(sensors.SelectByName("Probe"), "");
    EXPECT_DOUBLE_EQ(sensors.Convert(900, raw), 0.700);
    EXPECT_DOUBLE_EQ(sensors.Convert(899, raw), 0.700);
    EXPECT_DOUBLE_EQ(sensors.Convert(881, raw), 0.700);
    EXPECT_DOUBLE_EQ(sensors.Convert(880, raw), 0.725);
    EXPECT_DOUBLE_EQ(sensors.Convert(661, raw), 0.975);
    EXPECT_DOUBLE_EQ(sensors.Convert(320, raw), 1.425);
    EXPECT_DOUBLE_EQ(sensors.Convert(319, raw), 1.425);
    EXPECT_DOUBLE_EQ(sensors.Convert(901, raw), 0.675);
    EXPECT_DOUBLE_EQ(sensors.Convert(32767, raw), 0.675);
    // Above 32767 the value counts as negative and lies below every threshold.
    EXPECT_DOUBLE_EQ(sensors.Convert(32768, raw), 1.425);
    EXPECT_DOUBLE_EQ(sensors.Convert(65535, raw), 1.425);
}

TEST_F(LambdaSensorMenu, ItemsAndStates)
{
    const LambdaSensors empty = enumerate();
    const std::vector<LambdaMenuItem> placeholder = LambdaSensorMenuItems(empty);
    ASSERT_EQ(placeholder.size(), 1u);
    EXPECT_EQ(placeholder[0].id, 1398);
    EXPECT_EQ(placeholder[0].text, "No Lambda Sensors Installed");
    EXPECT_TRUE(LambdaSensorMenuState(empty, 1399).checked);

    writeSensor("a.ldt", "A", "1.0");
    writeSensor("b.ldt", "B", "2.0", {"900", "901"});
    LambdaSensors sensors = enumerate();
    const std::vector<LambdaMenuItem> items = LambdaSensorMenuItems(sensors);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].text, "A 1.0");
    EXPECT_EQ(items[1].text, "B 2.0 (corrupted)");

    ASSERT_TRUE(sensors.Select(1400));
    struct Expected {
        int id;
        bool enabled, checked;
    };
    for (const Expected e : {Expected{1398, false, false}, Expected{1399, true, false}, Expected{1400, true, true},
                             Expected{1401, false, false}, Expected{1402, false, false}}) {
        const LambdaMenuState state = LambdaSensorMenuState(sensors, e.id);
        EXPECT_EQ(state.enabled, e.enabled) << e.id;
        EXPECT_EQ(state.checked, e.checked) << e.id;
    }
}

TEST_F(LambdaSensorMenu, CommandsSetFormatAndStatusText)
{
    writeSensor("a.ldt", "Wide \xE9", "3.2");
    writeSensor("b.ldt", "Bad", "");
    LambdaSensors sensors = enumerate();
    CLimits limits;

    const auto sensor = OnLambdaSensorCommand(sensors, 1401, limits);
    ASSERT_TRUE(sensor.has_value());
    EXPECT_EQ(sensors.selection(), 1401);
    EXPECT_EQ(limits.indexFormat(IndexTable::LAI).printfText(), "%0.2f");
    EXPECT_EQ(sensor->statusText, "LS: Wide \xC3\xA9 3.2");

    // A greyed item or an unknown command changes nothing.
    EXPECT_FALSE(OnLambdaSensorCommand(sensors, 1400, limits).has_value());
    EXPECT_FALSE(OnLambdaSensorCommand(sensors, 1402, limits).has_value());
    EXPECT_EQ(sensors.selection(), 1401);
    EXPECT_EQ(limits.indexFormat(IndexTable::LAI).printfText(), "%0.2f");

    const auto raw = OnLambdaSensorCommand(sensors, 1399, limits);
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(limits.indexFormat(IndexTable::LAI).printfText(), "%0.0f");
    EXPECT_EQ(raw->statusText, "LS: ANALOG");
    EXPECT_EQ(sensors.SettingValue(), "");

    // At frame creation a stored choice shows the same texts.
    ASSERT_EQ(sensors.SelectByName("Wide \xE9"), "");
    CLimits fresh;
    EXPECT_EQ(ApplyLambdaSelection(sensors, fresh).statusText, "LS: Wide \xC3\xA9 3.2");
    EXPECT_EQ(fresh.indexFormat(IndexTable::LAI), DisplayFormat{2});
}

TEST_F(LambdaSensorMenu, SensorsBeyondTheRangeAreListedButGreyed)
{
    for (int k = 0; k < 101; ++k) {
        const std::string digits = std::to_string(k);
        const std::string name = "S" + std::string(3 - digits.size(), '0') + digits;
        writeSensor(name + ".ldt", name);
    }
    LambdaSensors sensors = enumerate();
    const std::vector<LambdaMenuItem> items = LambdaSensorMenuItems(sensors);
    ASSERT_EQ(items.size(), 101u);
    EXPECT_EQ(items[100].id, 1500);
    EXPECT_TRUE(LambdaSensorMenuState(sensors, 1498).enabled);
    EXPECT_FALSE(LambdaSensorMenuState(sensors, 1499).enabled);
    CLimits limits;
    EXPECT_TRUE(OnLambdaSensorCommand(sensors, 1498, limits).has_value());
    EXPECT_FALSE(OnLambdaSensorCommand(sensors, 1499, limits).has_value());
    // A stored choice beyond the menu still converts with its own table.
    EXPECT_EQ(sensors.SelectByName("S100"), "");
    EXPECT_EQ(sensors.selection(), 1500);
    EXPECT_EQ(sensors.SettingValue(), "S100");
    EXPECT_DOUBLE_EQ(sensors.Convert(880, adapt().BOX_TO_PC_Lambda), 0.725);
}

} // namespace
} // namespace morvex::test
