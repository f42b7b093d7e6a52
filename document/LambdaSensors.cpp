#include "document/LambdaSensors.h"

#include "document/DocumentLog.h"
#include "platform/Encoding.h"
#include "platform/IniFile.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace morvex {
namespace {

constexpr std::string_view kExtension = ".ldt";
constexpr const char* kStatusLabel = "LS";

bool hasSensorExtension(const std::string& fileName)
{
    return fileName.size() >= kExtension.size() &&
           platform::equalsNoCase(std::string_view(fileName).substr(fileName.size() - kExtension.size()), kExtension);
}

} // namespace

std::string LambdaSensorKey(std::size_t i)
{
    // Built from thousandths: the text must not depend on the locale's
    // decimal separator, and the files were written with a full stop.
    const std::size_t thousandths = 700 + 25 * i;
    const std::size_t fraction = thousandths % 1000;
    std::string key = std::to_string(thousandths / 1000) + ".";
    key += static_cast<char>('0' + fraction / 100);
    key += static_cast<char>('0' + fraction / 10 % 10);
    key += static_cast<char>('0' + fraction % 10);
    return key;
}

std::optional<LambdaSensorTable> ReadLambdaSensorTable(const platform::IniFile& file)
{
    LambdaSensorTable sensor;
    sensor.name = file.getString("FileInfo", "SensorName", {}, kLambdaSensorTextMaxChars);
    if (sensor.name.empty()) {
        return std::nullopt;
    }
    sensor.valid = true;
    sensor.version = file.getString("FileInfo", "FileVersion", {}, kLambdaSensorTextMaxChars);
    if (sensor.version.empty()) {
        sensor.valid = false;
    }
    int previous = 0;
    for (std::size_t i = 0; i < kLambdaThresholdCount; ++i) {
        const std::string key = LambdaSensorKey(i);
        const int value = file.getInt("SensorTable", key, -1);
        // Above 0xFFFF the value would be cut when stored and the table
        // would no longer fall.
        const bool accepted = value >= 0 && value <= 0xFFFF && (i == 0 || value < previous);
        if (!accepted) {
            sensor.valid = false;
            documentLog().warning("lambda sensor '" + platform::cp1252ToUtf8(sensor.name) + "': bad value for " + key);
            break;
        }
        sensor.thresholds[i] = static_cast<uint16_t>(value);
        previous = value;
    }
    return sensor;
}

std::optional<LambdaSensorTable> ReadLambdaSensorFile(const std::filesystem::path& path)
{
    platform::IniFile file;
    std::error_code ec;
    if (!file.load(path, ec)) {
        documentLog().warning("cannot read " + path.string() + ": " + ec.message());
        return std::nullopt;
    }
    std::optional<LambdaSensorTable> sensor = ReadLambdaSensorTable(file);
    if (!sensor) {
        documentLog().debug(path.string() + ": no SensorName, skipped");
    }
    return sensor;
}

double LambdaFromRaw(const LambdaSensorTable& sensor, int16_t raw)
{
    for (std::size_t n = kLambdaThresholdCount; n-- > 0;) {
        if (raw <= sensor.thresholds[n]) {
            return 0.7 + 0.025 * static_cast<double>(n);
        }
    }
    return 0.675;
}

void LambdaSensors::Enumerate(const std::filesystem::path& folder)
{
    sensors_.clear();
    selection_ = kLambdaRawId;

    std::vector<std::filesystem::path> files;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    if (ec) {
        documentLog().warning("cannot list " + folder.string() + ": " + ec.message());
        return;
    }
    for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::error_code typeEc;
        if (it->is_regular_file(typeEc) && hasSensorExtension(it->path().filename().string())) {
            files.push_back(it->path());
        }
    }
    if (ec) {
        documentLog().warning("listing " + folder.string() + " stopped: " + ec.message());
    }
    // Directory order is arbitrary; read in file-name order so that sensors
    // of the same name always come in the same order.
    std::sort(files.begin(), files.end(),
              [](const auto& a, const auto& b) { return a.filename().string() < b.filename().string(); });
    for (const std::filesystem::path& path : files) {
        if (std::optional<LambdaSensorTable> sensor = ReadLambdaSensorFile(path)) {
            sensors_.push_back(std::move(*sensor));
        }
    }
    std::stable_sort(sensors_.begin(), sensors_.end(),
                     [](const LambdaSensorTable& a, const LambdaSensorTable& b) { return a.name < b.name; });
    documentLog().debug(std::to_string(sensors_.size()) + " lambda sensors in " + folder.string());
}

const LambdaSensorTable* LambdaSensors::selectedSensor() const
{
    if (selection_ < kLambdaFirstSensorId) {
        return nullptr;
    }
    const auto k = static_cast<std::size_t>(selection_ - kLambdaFirstSensorId);
    return k < sensors_.size() ? &sensors_[k] : nullptr;
}

std::string LambdaSensors::SelectByName(std::string_view name)
{
    selection_ = kLambdaRawId;
    if (name.empty()) {
        return {};
    }
    const auto found =
        std::find_if(sensors_.begin(), sensors_.end(), [name](const LambdaSensorTable& s) { return s.name == name; });
    const std::string shown = platform::cp1252ToUtf8(name);
    if (found == sensors_.end()) {
        return "Can't find file for Sensor '" + shown + "'!\nSwitch to raw analog data.";
    }
    if (!found->valid) {
        return "The file for Sensor '" + shown + "' is corrupted!\nSwitch to raw analog data.";
    }
    // A stored choice beyond the menu's last item still holds; only the
    // menu cannot show it.
    selection_ = kLambdaFirstSensorId + static_cast<int>(found - sensors_.begin());
    return {};
}

bool LambdaSensors::Select(int selection)
{
    if (selection != kLambdaRawId) {
        if (selection < kLambdaFirstSensorId || selection > kLambdaLastSensorId) {
            return false;
        }
        const auto k = static_cast<std::size_t>(selection - kLambdaFirstSensorId);
        if (k >= sensors_.size() || !sensors_[k].valid) {
            return false;
        }
    }
    selection_ = selection;
    return true;
}

double LambdaSensors::Convert(uint16_t raw, AdaptToPcFn boxToPcLambda) const
{
    if (const LambdaSensorTable* sensor = selectedSensor()) {
        return LambdaFromRaw(*sensor, static_cast<int16_t>(raw));
    }
    // The library's raw lambda is the raw value itself; without the
    // library bound the same value is shown rather than nothing.
    return boxToPcLambda != nullptr ? boxToPcLambda(raw) : static_cast<double>(raw);
}

std::string LambdaSensors::SettingValue() const
{
    const LambdaSensorTable* sensor = selectedSensor();
    return sensor != nullptr ? sensor->name : std::string();
}

std::vector<LambdaMenuItem> LambdaSensorMenuItems(const LambdaSensors& sensors)
{
    std::vector<LambdaMenuItem> items;
    if (sensors.sensors().empty()) {
        items.push_back({kLambdaNoSensorsId, kNoLambdaSensorsText});
        return items;
    }
    int id = kLambdaFirstSensorId;
    for (const LambdaSensorTable& s : sensors.sensors()) {
        items.push_back({id++, platform::cp1252ToUtf8(s.name) + " " + platform::cp1252ToUtf8(s.version) +
                                   (s.valid ? "" : " (corrupted)")});
    }
    return items;
}

LambdaMenuState LambdaSensorMenuState(const LambdaSensors& sensors, int id)
{
    LambdaMenuState state;
    if (id == kLambdaRawId) {
        state.enabled = true;
    } else if (id >= kLambdaFirstSensorId && id <= kLambdaLastSensorId) {
        const auto k = static_cast<std::size_t>(id - kLambdaFirstSensorId);
        state.enabled = k < sensors.sensors().size() && sensors.sensors()[k].valid;
    }
    state.checked = id >= kLambdaRawId && id <= kLambdaLastSensorId && id == sensors.selection();
    return state;
}

LambdaSensorDisplay ApplyLambdaSelection(const LambdaSensors& sensors, CLimits& limits)
{
    LambdaSensorDisplay display;
    if (const LambdaSensorTable* sensor = sensors.selectedSensor()) {
        display.lambdaFormat = DisplayFormat{2};
        display.statusText = std::string(kStatusLabel) + ": " + platform::cp1252ToUtf8(sensor->name) + " " +
                             platform::cp1252ToUtf8(sensor->version);
    } else {
        display.lambdaFormat = DisplayFormat{0};
        display.statusText = std::string(kStatusLabel) + ": ANALOG";
    }
    limits.setLambdaFormat(display.lambdaFormat);
    return display;
}

std::optional<LambdaSensorDisplay> OnLambdaSensorCommand(LambdaSensors& sensors, int id, CLimits& limits)
{
    if (!sensors.Select(id)) {
        return std::nullopt;
    }
    return ApplyLambdaSelection(sensors, limits);
}

} // namespace morvex
