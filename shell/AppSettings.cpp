#include "shell/AppSettings.h"

#include "platform/Log.h"
#include "platform/NumberFormat.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <system_error>
#include <tuple>
#include <utility>
#include <unistd.h>

namespace morvex::shell {
namespace {

const platform::LogCategory& log()
{
    static const platform::LogCategory category("morvex.shell");
    return category;
}

constexpr std::string_view kSettings = "Settings";
constexpr std::string_view kMisc = "Misc";
// The framework's own section of the recent files ("File1", "File2" ...).
constexpr std::string_view kRecentFiles = "Recent File List";
constexpr std::string_view kPorts = "Ports";
constexpr std::string_view kRestorePoints = "RestorePoints";
constexpr std::string_view kCorrection = "Correction";

// The correction settings with their keys, for reading and writing alike.
template <class Settings> // AppSettings or const AppSettings
auto correctionKeys(Settings& s)
{
    return std::array{std::pair{"MinSamples", &s.correctionMinSamples},
                      std::pair{"WindowLow", &s.correctionWindowLow},
                      std::pair{"WindowHigh", &s.correctionWindowHigh},
                      std::pair{"LimitPercent", &s.correctionLimitPercent}};
}
constexpr int kMaxRecentFiles = 16;
constexpr std::size_t kPathSize = 4095;

bool folderWritable(const std::filesystem::path& folder)
{
    return ::access(folder.c_str(), W_OK) == 0;
}

} // namespace

void AppSettings::Read(const platform::IniFile& ini)
{
    language = ini.getString(kMisc, "Language", language, kPathSize);
    mruCount = std::clamp(ini.getInt(kSettings, "MRUCount", mruCount), 0, kMaxRecentFiles);
    autoUnregister = ini.getInt(kMisc, "AutoUnregister", autoUnregister);
    lastUsedCom = ini.getInt(kMisc, "LastUsedCom", lastUsedCom);
    lastUsedBaud = ini.getInt(kMisc, "LastUsedBAUD", lastUsedBaud);
    showDataPathAlwaysFirst = ini.getInt(kMisc, "ShowDataPathAlwaysFirst", showDataPathAlwaysFirst);
    animateChart = ini.getInt(kMisc, "AnimateChart", animateChart);
    ieFontSize = ini.getInt(kMisc, "IEFontSize", ieFontSize);
    lamdaSensor = ini.getString(kMisc, "LamdaSensor", lamdaSensor, kPathSize);
    useRightCylinderForLambdaCorrection =
        ini.getInt(kMisc, "UseRightCylinderForLambdaCorrection", useRightCylinderForLambdaCorrection);
    verifyAfterSendAll = ini.getInt(kMisc, "VerifyAfterSendAll", verifyAfterSendAll);
    liveTrail = ini.getInt(kMisc, "LiveTrail", liveTrail);
    liveTrailPoints = ini.getInt(kMisc, "LiveTrailPoints", liveTrailPoints);
    timeout = ini.getInt(kMisc, "Timeout", timeout);
    windowPos = ini.getString(kSettings, "WindowPos", {}, kPathSize);
    toolbar = ini.getString(kSettings, "Toolbar", {}, kPathSize);
    splitterSize = ini.getString(kSettings, "SplitterSize", {}, kPathSize);
    statusbar = ini.getInt(kSettings, "Statusbar", statusbar);
    gridFont = ini.getString("Fonts", "Grids", {}, kPathSize);
    onlineValuesFont = ini.getString("Fonts", "OnlineValues", {}, kPathSize);
    textColors = ini.getString("Colors", "Text", {}, kPathSize);
    backColors = ini.getString("Colors", "Back", {}, kPathSize);
    customColors = ini.getString("Colors", "Cust", {}, kPathSize);
    restorePointCount = ini.getInt(kRestorePoints, "MaxCount", restorePointCount);
    restorePointDays = ini.getInt(kRestorePoints, "MaxAgeDays", restorePointDays);
    for (const auto& [key, value] : correctionKeys(*this)) {
        *value = ini.getInt(kCorrection, key, *value);
    }
    ports.clear();
    for (const std::string& key : ini.keyNames(kPorts)) {
        if (key.size() > 3 && (key.compare(0, 3, "COM") == 0 || key.compare(0, 3, "com") == 0)) {
            const int n = platform::parseInt(key.substr(3));
            const std::string device = ini.getString(kPorts, key, {}, kPathSize);
            if (n >= 1 && n <= 256 && !device.empty()) {
                ports[n] = device;
            }
        }
    }
    recentFiles.clear();
    for (int i = 1; i <= mruCount; ++i) {
        const std::string file = ini.getString(kRecentFiles, "File" + std::to_string(i), {}, kPathSize);
        if (!file.empty()) {
            recentFiles.push_back(file);
        }
    }
}

void AppSettings::Write(platform::IniFile& ini) const
{
    ini.setInt(kSettings, "MRUCount", mruCount);
    ini.setInt(kMisc, "AutoUnregister", autoUnregister);
    ini.setString(kMisc, "Language", language);
    ini.setInt(kMisc, "Timeout", timeout);
    ini.setInt(kMisc, "LastUsedCom", lastUsedCom);
    ini.setInt(kMisc, "ShowDataPathAlwaysFirst", showDataPathAlwaysFirst);
    ini.setInt(kMisc, "AnimateChart", animateChart);
    ini.setInt(kMisc, "LastUsedBAUD", lastUsedBaud);
    ini.setInt(kMisc, "IEFontSize", ieFontSize);
    ini.setString(kMisc, "LamdaSensor", lamdaSensor);
    ini.setInt(kMisc, "UseRightCylinderForLambdaCorrection", useRightCylinderForLambdaCorrection);
    // Ours, not the original program's: kept out of the file while off.
    if (verifyAfterSendAll != 0) {
        ini.setInt(kMisc, "VerifyAfterSendAll", verifyAfterSendAll);
    } else {
        ini.setString(kMisc, "VerifyAfterSendAll", std::nullopt);
    }
    if (liveTrail != AppSettings{}.liveTrail || ini.hasKey(kMisc, "LiveTrail")) {
        ini.setInt(kMisc, "LiveTrail", liveTrail);
    }
    if (liveTrailPoints != AppSettings{}.liveTrailPoints || ini.hasKey(kMisc, "LiveTrailPoints")) {
        ini.setInt(kMisc, "LiveTrailPoints", liveTrailPoints);
    }
    // The frame's state is only written once a frame has stored one.
    if (!windowPos.empty()) {
        ini.setString(kSettings, "WindowPos", windowPos);
        ini.setString(kSettings, "Toolbar", toolbar);
        ini.setString(kSettings, "SplitterSize", splitterSize);
        ini.setInt(kSettings, "Statusbar", statusbar);
    }
    if (!gridFont.empty()) {
        ini.setString("Fonts", "Grids", gridFont);
    }
    for (const auto& [section, key, value] : {std::tuple{"Fonts", "OnlineValues", &onlineValuesFont},
                                              std::tuple{"Colors", "Text", &textColors},
                                              std::tuple{"Colors", "Back", &backColors},
                                              std::tuple{"Colors", "Cust", &customColors}}) {
        if (!value->empty()) {
            ini.setString(section, key, *value);
        }
    }
    if (restorePointCount != AppSettings{}.restorePointCount || ini.hasKey(kRestorePoints, "MaxCount")) {
        ini.setInt(kRestorePoints, "MaxCount", restorePointCount);
    }
    if (restorePointDays != AppSettings{}.restorePointDays || ini.hasKey(kRestorePoints, "MaxAgeDays")) {
        ini.setInt(kRestorePoints, "MaxAgeDays", restorePointDays);
    }
    const AppSettings defaults;
    const auto defaultKeys = correctionKeys(defaults);
    const auto keys = correctionKeys(*this);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (*keys[i].second != *defaultKeys[i].second || ini.hasKey(kCorrection, keys[i].first)) {
            ini.setInt(kCorrection, keys[i].first, *keys[i].second);
        }
    }
    for (const std::string& key : ini.keyNames(kPorts)) {
        const int n = key.size() > 3 ? platform::parseInt(key.substr(3)) : 0;
        if (!ports.contains(n)) {
            ini.setString(kPorts, key, std::nullopt);
        }
    }
    for (const auto& [n, device] : ports) {
        ini.setString(kPorts, "COM" + std::to_string(n), device);
    }
    for (int i = 1; i <= kMaxRecentFiles; ++i) {
        const auto index = static_cast<std::size_t>(i - 1);
        const std::string key = "File" + std::to_string(i);
        if (index < recentFiles.size() && i <= mruCount) {
            ini.setString(kRecentFiles, key, recentFiles[index]);
        } else {
            ini.setString(kRecentFiles, key, std::nullopt);
        }
    }
}

std::filesystem::path defaultUserConfigDir()
{
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0') {
        return std::filesystem::path(xdg) / "morvex";
    }
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home != nullptr ? home : "/tmp") / ".config" / "morvex";
}

std::filesystem::path settingsFile(const std::filesystem::path& programDir, const std::filesystem::path& userConfigDir)
{
    const std::filesystem::path beside = programDir / "Morvex.ini";
    if (folderWritable(programDir)) {
        return beside;
    }
    const std::filesystem::path own = userConfigDir / "Morvex.ini";
    std::error_code ec;
    if (!std::filesystem::exists(own, ec)) {
        std::filesystem::create_directories(userConfigDir, ec);
        if (std::filesystem::exists(beside, ec)) {
            // Start from the installation's settings, as they stood.
            std::filesystem::copy_file(beside, own, ec);
        }
        if (ec) {
            log().warning("cannot prepare " + own.string() + ": " + ec.message());
        }
    }
    return own;
}

std::optional<std::filesystem::path> startupFile(std::vector<std::string>& recentFiles,
                                                 const std::optional<std::filesystem::path>& commandLineFile)
{
    std::optional<std::filesystem::path> chosen;
    std::error_code ec;
    while (!recentFiles.empty()) {
        if (std::filesystem::is_regular_file(recentFiles.front(), ec)) {
            chosen = recentFiles.front();
            break;
        }
        recentFiles.erase(recentFiles.begin());
    }
    if (commandLineFile) {
        return commandLineFile;
    }
    return chosen;
}

void addRecentFile(std::vector<std::string>& recentFiles, const std::string& file, int count)
{
    std::erase(recentFiles, file);
    recentFiles.insert(recentFiles.begin(), file);
    if (count >= 0 && recentFiles.size() > static_cast<std::size_t>(count)) {
        recentFiles.resize(static_cast<std::size_t>(count));
    }
}

platform::SerialTimeouts serialTimeouts(const platform::IniFile& initValues, int timeoutSetting)
{
    platform::SerialTimeouts t;
    auto value = [&](std::string_view key, int def) {
        return static_cast<uint32_t>(initValues.getInt("COM", key, def));
    };
    t.readIntervalTimeout = value("ReadIntervalTimeout", -1);
    t.readTotalTimeoutMultiplier = value("ReadTotalTimeoutMultiplier", -1);
    t.readTotalTimeoutConstant = static_cast<uint32_t>(timeoutSetting);
    t.writeTotalTimeoutMultiplier = value("WriteTotalTimeoutMultiplier", 0);
    t.writeTotalTimeoutConstant = value("WriteTotalTimeoutConstant", 0);
    return t;
}

} // namespace morvex::shell
