#include "shell/AppSettings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

namespace morvex::test {
namespace {

using shell::AppSettings;

class TempFolder {
public:
    TempFolder()
    {
        std::random_device rd;
        path = std::filesystem::temp_directory_path() / ("morvex-shell-" + std::to_string(rd()));
        std::filesystem::create_directories(path);
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
    std::filesystem::path path;
};

TEST(AppSettings, EmptyFileGivesTheDefaults)
{
    AppSettings s;
    s.Read(platform::IniFile());
    EXPECT_EQ(s.lastUsedCom, 1);
    EXPECT_EQ(s.lastUsedBaud, 19200);
    EXPECT_EQ(s.language, "en");
    EXPECT_EQ(s.mruCount, 4);
    EXPECT_EQ(s.lamdaSensor, ""); // raw analog values
    EXPECT_EQ(s.useRightCylinderForLambdaCorrection, 1);
    EXPECT_EQ(s.timeout, 250);
    EXPECT_TRUE(s.recentFiles.empty());
}

TEST(AppSettings, WrittenInTheOrderOfExitAndReadBack)
{
    AppSettings s;
    s.lamdaSensor = "NTK narrowband";
    s.lastUsedCom = 3;
    s.recentFiles = {"/data/a.M60", "/data/b.M60"};
    platform::IniFile ini;
    s.Write(ini);
    EXPECT_EQ(ini.text(), "[Settings]\r\nMRUCount=4\r\n"
                          "[Misc]\r\nAutoUnregister=1\r\nLanguage=en\r\nTimeout=250\r\nLastUsedCom=3\r\n"
                          "ShowDataPathAlwaysFirst=1\r\nAnimateChart=0\r\nLastUsedBAUD=19200\r\nIEFontSize=0\r\n"
                          "LamdaSensor=NTK narrowband\r\nUseRightCylinderForLambdaCorrection=1\r\n"
                          "[Recent File List]\r\nFile1=/data/a.M60\r\nFile2=/data/b.M60\r\n");
    AppSettings again;
    again.Read(ini);
    EXPECT_EQ(again.lastUsedCom, 3);
    EXPECT_EQ(again.lamdaSensor, "NTK narrowband");
    EXPECT_EQ(again.recentFiles, s.recentFiles);

    // Raw values write an empty sensor name; a shorter list removes old keys.
    again.lamdaSensor.clear();
    again.recentFiles = {"/data/c.M60"};
    again.Write(ini);
    EXPECT_EQ(ini.getString("Misc", "LamdaSensor", "x"), "");
    EXPECT_FALSE(ini.hasKey("Recent File List", "File2"));
}

TEST(AppSettings, PortDevicesAssignedByNumber)
{
    platform::IniFile ini = platform::IniFile::fromText(
        "[Ports]\r\nCOM3=/dev/ttyUSB0\r\nCOM0=/dev/null\r\nCOM300=/dev/x\r\nCOMx=/dev/y\r\nCOM4=\r\n");
    AppSettings s;
    s.Read(ini);
    EXPECT_EQ(s.ports, (platform::PortAssignments{{3, "/dev/ttyUSB0"}}));
    s.ports[5] = "/dev/pts/7";
    platform::IniFile out;
    s.Write(out);
    AppSettings again;
    again.Read(out);
    EXPECT_EQ(again.ports, s.ports);
    // An assignment taken back leaves the file.
    again.ports.erase(3);
    again.Write(out);
    EXPECT_FALSE(out.hasKey("Ports", "COM3"));
    EXPECT_TRUE(out.hasKey("Ports", "COM5"));
}

TEST(AppSettings, RecentFilesAtStartUp)
{
    TempFolder dir;
    const auto third = dir.path / "third.M60";
    std::ofstream(third) << "x";
    std::vector<std::string> recent{(dir.path / "gone1.M60").string(), (dir.path / "gone2.M60").string(),
                                    third.string()};
    EXPECT_EQ(shell::startupFile(recent, std::nullopt), third);
    EXPECT_EQ(recent, std::vector<std::string>{third.string()});

    // A file named on the command line wins over an existing recent file.
    const auto named = dir.path / "named.M60";
    EXPECT_EQ(shell::startupFile(recent, named), named);

    std::vector<std::string> none{(dir.path / "gone.M60").string()};
    EXPECT_FALSE(shell::startupFile(none, std::nullopt));
    EXPECT_TRUE(none.empty());

    std::vector<std::string> list{"a", "b", "c", "d"};
    shell::addRecentFile(list, "c", 4);
    EXPECT_EQ(list, (std::vector<std::string>{"c", "a", "b", "d"}));
    shell::addRecentFile(list, "e", 4);
    EXPECT_EQ(list, (std::vector<std::string>{"e", "c", "a", "b"}));
}

TEST(AppSettings, SettingsFileBesideTheProgramOrInTheUserFolder)
{
    TempFolder dir;
    EXPECT_EQ(shell::settingsFile(dir.path, dir.path / "user"), dir.path / "Morvex.ini");

    // A program folder that cannot be written: the user's copy is used.
    const auto missing = dir.path / "not-there";
    EXPECT_EQ(shell::settingsFile(missing, dir.path / "user"), dir.path / "user" / "Morvex.ini");
    EXPECT_TRUE(std::filesystem::is_directory(dir.path / "user"));
}

TEST(AppSettings, SerialTimeoutsFromInitValues)
{
    const platform::SerialTimeouts defaults = shell::serialTimeouts(platform::IniFile(), 250);
    EXPECT_EQ(defaults.readIntervalTimeout, 0xFFFFFFFFu);
    EXPECT_EQ(defaults.readTotalTimeoutMultiplier, 0xFFFFFFFFu);
    EXPECT_EQ(defaults.readTotalTimeoutConstant, 250u);
    EXPECT_EQ(defaults.writeTotalTimeoutConstant, 0u);
    const auto ini =
        platform::IniFile::fromText("[COM]\r\nReadIntervalTimeout=20\r\nWriteTotalTimeoutConstant=500\r\n");
    const platform::SerialTimeouts t = shell::serialTimeouts(ini, 400);
    EXPECT_EQ(t.readIntervalTimeout, 20u);
    EXPECT_EQ(t.readTotalTimeoutConstant, 400u);
    EXPECT_EQ(t.writeTotalTimeoutConstant, 500u);
    EXPECT_EQ(platform::oneByteReadTimeoutMs(defaults), 250);
}

} // namespace
} // namespace morvex::test
