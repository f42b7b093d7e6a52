#pragma once

#include "platform/IniFile.h"
#include "platform/PortNumbering.h"
#include "platform/SerialLine.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace morvex::shell {

// The application's settings as they live in Morvex.ini, read once at
// start-up and written back at exit. GUI-free: the Qt shell owns one.
struct AppSettings {
    int mruCount = 4;
    std::string language = "en";
    int autoUnregister = 1;
    int lastUsedCom = 1;
    int lastUsedBaud = 19200;
    int showDataPathAlwaysFirst = 1;
    int animateChart = 0;
    int ieFontSize = 0;
    std::string lamdaSensor; // empty: raw analog values
    int useRightCylinderForLambdaCorrection = 1;
    int verifyAfterSendAll = 0; // compare the box with the document after Send All
    // The live trail of the fuel map and ignition grids while online
    // ("LiveTrail", 0 off) and how many points it keeps ("LiveTrailPoints",
    // 0..64, 0 none); written back only when they differ from these.
    int liveTrail = 1;
    int liveTrailPoints = 16;
    int timeout = 250;                    // ms, the serial read time-out
    std::vector<std::string> recentFiles; // most recent first
    // Devices of the port numbers other than the built-in UARTs: section
    // "Ports", keys "COM<n>" (a USB adapter, a /dev/serial/by-id link, a
    // pseudo-terminal).
    platform::PortAssignments ports;
    // The main window's state in "Settings", kept by the frame as hex
    // digits of its binary records (empty: none stored).
    std::string windowPos;
    std::string toolbar;
    std::string splitterSize;
    int statusbar = 1;
    // The grid font of all table views ("Fonts", "Grids"; empty: the
    // default grid font).
    std::string gridFont;
    // The online values' font ("Fonts", "OnlineValues") and display colours
    // ("Colors", "Text", "Back", "Cust"): hex digits of binary records,
    // empty when none was stored.
    std::string onlineValuesFont;
    std::string textColors;
    std::string backColors;
    std::string customColors;
    // How many restore points are kept ("RestorePoints", "MaxCount" and
    // "MaxAgeDays"; 0 or less: no limit of that kind). Written back only
    // when they differ from these defaults.
    int restorePointCount = 200;
    int restorePointDays = 90;
    // The fuel correction proposal ("Correction": "MinSamples", "WindowLow"
    // and "WindowHigh" in hundredths of lambda, "LimitPercent"), written back
    // only when they differ from these defaults.
    int correctionMinSamples = 20;
    int correctionWindowLow = 70;
    int correctionWindowHigh = 130;
    int correctionLimitPercent = 10;

    // Reads every setting in the order of start-up; missing keys keep the
    // defaults above.
    void Read(const platform::IniFile& ini);
    // Writes them back in the order of exit (the recent-file list last).
    void Write(platform::IniFile& ini) const;
};

// Where the settings file lives: Morvex.ini in the program folder, or, when
// that folder cannot be written (a system-wide installation), the same file
// in the user's configuration folder ($XDG_CONFIG_HOME/morvex, else
// ~/.config/morvex), started from the program folder's copy if there is one.
std::filesystem::path settingsFile(const std::filesystem::path& programDir, const std::filesystem::path& userConfigDir);
// $XDG_CONFIG_HOME/morvex or ~/.config/morvex.
std::filesystem::path defaultUserConfigDir();

// The file to open at start-up: a file named on the command line wins;
// otherwise the first recent file that still exists, dropping the missing
// entries in front of it from the list.
std::optional<std::filesystem::path> startupFile(std::vector<std::string>& recentFiles,
                                                 const std::optional<std::filesystem::path>& commandLineFile);

// A file becomes the most recent one; the list keeps at most `count`.
void addRecentFile(std::vector<std::string>& recentFiles, const std::string& file, int count);

// The serial time-outs: [COM] of InitValues.cfg with the Timeout setting as
// the read constant.
platform::SerialTimeouts serialTimeouts(const platform::IniFile& initValues, int timeoutSetting);

} // namespace morvex::shell
