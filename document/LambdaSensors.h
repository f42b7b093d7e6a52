#pragma once

#include "adapt/adapt.h"
#include "document/Limits.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class IniFile;
}

namespace morvex {

// Command identifiers of the Lambda Sensor submenu. They double as the
// selection values: raw analog data, or sensor k of the sorted list.
inline constexpr int kLambdaNoSensorsId = 1398;   // placeholder item, always greyed
inline constexpr int kLambdaRawId = 1399;         // raw analog values
inline constexpr int kLambdaFirstSensorId = 1400; // sensor k is 1400 + k
inline constexpr int kLambdaLastSensorId = 1498;  // the last sensor that can be selected
inline constexpr int kLambdaMenuLastId = 1499;    // end of the submenu's command range
inline constexpr const char* kNoLambdaSensorsText = "No Lambda Sensors Installed";

inline constexpr std::size_t kLambdaThresholdCount = 30;
inline constexpr std::size_t kLambdaSensorTextMaxChars = 1023;

// One probe type: threshold i is the raw analog value at lambda
// 0.700 + 0.025 * i, so the thresholds fall as lambda rises.
struct LambdaSensorTable {
    std::string name;    // Windows-1252 bytes as in the file
    std::string version; // the same
    std::array<uint16_t, kLambdaThresholdCount> thresholds{};
    bool valid = false;
};

// The [SensorTable] key of threshold i: "0.700" ... "1.425", always with a
// full stop whatever the process locale.
std::string LambdaSensorKey(std::size_t i);

// Reads one sensor file. A file without a SensorName gives std::nullopt.
// A missing FileVersion, or a table value that is missing, negative, too
// large for 16 bits or not below the one before, gives valid = false; the
// table stops at the first bad value and the thresholds after it stay 0.
std::optional<LambdaSensorTable> ReadLambdaSensorTable(const platform::IniFile& file);
// The same from a path; an unreadable file gives std::nullopt.
std::optional<LambdaSensorTable> ReadLambdaSensorFile(const std::filesystem::path& path);

// The lambda that `raw` means to `sensor`: 0.7 + 0.025 * n for the highest
// n with raw <= threshold n; 0.675 when raw lies above every threshold.
double LambdaFromRaw(const LambdaSensorTable& sensor, int16_t raw);

// The installed sensor tables, sorted by name, and the user's choice among
// them. The selection is always raw analog or a valid sensor of the list.
class LambdaSensors {
public:
    // Reads every regular file of `folder` whose name ends in ".ldt" (in any
    // case, as the Windows pattern matched it), sorts the list by name and
    // selects raw analog values. A missing folder gives an empty list.
    void Enumerate(const std::filesystem::path& folder);

    const std::vector<LambdaSensorTable>& sensors() const { return sensors_; }
    int selection() const { return selection_; }
    bool rawSelected() const { return selection_ == kLambdaRawId; }
    // The selected sensor, nullptr for raw analog values.
    const LambdaSensorTable* selectedSensor() const;

    // The start-up choice from the LamdaSensor setting: raw analog values
    // first, then the sensor of exactly that name. Returns the message to
    // show (UTF-8) when the sensor is missing or corrupted, else empty.
    std::string SelectByName(std::string_view name);
    // A menu choice: raw analog (1399) or a valid sensor 1400 + k up to
    // 1498; anything else is refused and leaves the selection as it is.
    bool Select(int selection);

    // Raw box value to display value: the library's BOX_TO_PC_Lambda for
    // raw analog data, the selected sensor's table otherwise. The raw value
    // is compared as a signed 16-bit number.
    double Convert(uint16_t raw, AdaptToPcFn boxToPcLambda) const;

    // The value written back to LamdaSensor: the selected sensor's name, or
    // empty for raw analog values.
    std::string SettingValue() const;

private:
    std::vector<LambdaSensorTable> sensors_;
    int selection_ = kLambdaRawId;
};

// Menu and status bar of the frame.

struct LambdaMenuItem {
    int id = 0;
    std::string text; // UTF-8
};

// The submenu as the frame builds it: one item per sensor ("name version",
// " (corrupted)" appended for a bad file), or only the placeholder when no
// sensor is installed. Sensors beyond 1498 are listed but stay greyed.
std::vector<LambdaMenuItem> LambdaSensorMenuItems(const LambdaSensors& sensors);

struct LambdaMenuState {
    bool enabled = false;
    bool checked = false;
};
LambdaMenuState LambdaSensorMenuState(const LambdaSensors& sensors, int id);

// What the frame shows for the current selection.
struct LambdaSensorDisplay {
    DisplayFormat lambdaFormat; // of the lambda index
    std::string statusText;     // the status-bar pane, UTF-8
};

// Sets the lambda display format in `limits` for the current selection and
// returns it with the status text (also used when the frame is created).
LambdaSensorDisplay ApplyLambdaSelection(const LambdaSensors& sensors, CLimits& limits);

// A submenu command: stores the new selection and applies it to `limits`;
// the caller then updates all views with hint 2. Commands that select
// nothing (outside 1399..1498, no such sensor, a corrupted one) change
// nothing and give std::nullopt.
std::optional<LambdaSensorDisplay> OnLambdaSensorCommand(LambdaSensors& sensors, int id, CLimits& limits);

} // namespace morvex
