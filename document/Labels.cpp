#include "document/Labels.h"

#include "document/DocumentLog.h"
#include "platform/IniFile.h"

#include <system_error>

namespace morvex {
namespace {

constexpr std::array<std::string_view, kChannelCount> kChannelKeys{
    "Revolutions",   "Throttle-Position", "Injection-%",       "Injection-Time",
    "Fuel-Consumption", "Air-Pressure",   "Air-Temperature",   "Motor-Temperature",
    "Turbo-Pressure", "Lambda",           "Lambda-Left",       "Lambda-Right",
    "Lambda-Analog", "Power-Supply",      "Ignition-Timing-Selection", "CO",
    "Special-Function1", "Special-Function2", "Special-Function3", "Special-Function4"};

constexpr std::array<std::string_view, kChannelCount> kDefaultLabels{
    "REV", "TPS", "INJ_P", "INJ_T", "FC", "APS", "ATS", "MTS", "TUPS", "LS",
    "LS_L", "LS_R", "La", "SUP", "ITS", "CO", "Special", "Very Special", "Voodoo", "16Bit"};

struct KeyDefault {
    std::string_view key;
    std::string_view text;
};

constexpr std::array<KeyDefault, kGridLabelCount> kGridDefaults{{
    {"FunctionLeft", "Index"},
    {"FunctionTop", "Function name"},
    {"DataRecordLeft", "DataRecord"},
    {"DataRecordTop", "DataRecord"},
    {"IndexLeft", "Indexno"},
    {"IndexTop", "Function name / Unit"},
    {"CylinderLeft", "Left cylinder"},
    {"CylinderRight%", "Right cylinder %"},
    {"CylinderRightA", "Right cylinder"},
    {"CylinderLeftShort", "L"},
    {"CylinderRight%Short", "%"},
    {"CylinderRightAShort", "R"},
    {"DataRecordPane1", "Left Lambda"},
    {"DataRecordPane2", "Right Lambda %"},
    {"DataRecordPane3", "Right Lambda"},
    {"DataRecordPane4", "Measure Count"},
    {"DataRecordPane5", "Min / Max"},
    {"DataRecordMMLabel", "Name"},
    {"DataRecordMMUnit", "Unit"},
    {"DataRecordMM1", "Min"},
    {"DataRecordMM2", "Max"},
    {"DataRecordMM3", "Min Error"},
    {"DataRecordMM4", "Max Error"},
    {"Premap", "Premap"},
    {"FuelmapLC", "Fuel Map"},
    {"LambdaCorrection", "Lambda Correction"},
    {"DataRecordPane6", "Left Target Lambda"},
    {"DataRecordPane7", "Right Target Lambda"},
}};

constexpr std::array<KeyDefault, kInfoLabelCount> kInfoDefaults{{
    {"FileTime", "File last save"},
    {"FileVersion1", "File version"},
    {"FileVersion2", "For Box version"},
    {"FileVersion3", "For Bike"},
    {"FileVersion4", "Comment"},
    {"BoxTime", "Box last transfer"},
    {"BoxVersion1", "Box version"},
    {"BoxVersion2", "Box version2"},
    {"BoxVersion3", "Box version3"},
    {"BoxVersion4", "Box version4"},
    {"BoxVersion5", "Box version5"},
    {"BoxVersion6", "Box version6"},
    {"BoxVersion7", "Box version7"},
    {"IE-Counter", "IE-Counter"},
    {"Start-Counter", "Start-Counter"},
}};

constexpr std::array<KeyDefault, kDiagnosticLabelCount> kDiagnosticDefaults{{
    {"Communication", "Communication"},
    {"Fuel Pump", "Fuel Pump"},
    {"Injection Nozzles", "Injection Nozzles"},
    {"Injection Quantity", "Injection Quantity"},
    {"Motorstart", "Motorstart"},
    {"Spark Coils", "Spark Coils"},
    {"Temperature Sensors", "Temperature Sensors"},
    {"Throttle", "Throttle"},
    {"DiagCancelText", "End Diagnostic"},
    {"DiagInfoText", "Diagnostic in progress..."},
    {"DiagStartText", "Start Diagnostic..."},
}};

// Channels read with their current texts as defaults, in file order; 12, 18
// and 19 are handled apart because their defaults are written back.
constexpr std::array<Channel, 17> kPlainChannels{
    Channel::Revolutions,      Channel::ThrottlePosition,  Channel::InjectionPercent,
    Channel::InjectionTime,    Channel::FuelConsumption,   Channel::AirPressure,
    Channel::MotorTemperature, Channel::AirTemperature,    Channel::TurboPressure,
    Channel::Lambda,           Channel::LambdaLeft,        Channel::LambdaRight,
    Channel::PowerSupply,      Channel::IgnitionTimingSelection, Channel::CO,
    Channel::SpecialFunction1, Channel::SpecialFunction2};

// Labels are not cut by a caller's buffer size.
constexpr std::size_t kTextSize = 4095;

std::size_t at(Channel c) { return static_cast<std::size_t>(c); }

// Reads `key` with an empty default; when empty, `fallback` is both used
// and written into the file.
std::string readOrWriteBack(platform::IniFile& file, std::string_view section, std::string_view key,
                            std::string_view fallback)
{
    std::string value = file.getString(section, key, {}, kTextSize);
    if (value.empty()) {
        file.setString(section, key, fallback);
        value = fallback;
    }
    return value;
}

} // namespace

std::string_view channelKey(Channel channel) { return kChannelKeys[at(channel)]; }

CLabels::CLabels()
{
    for (std::size_t i = 0; i < kChannelCount; ++i) {
        labels_[i] = kDefaultLabels[i];
        units_[i] = kDefaultLabels[i];
    }
    units_[at(Channel::LambdaAnalog)] = "[La]";
    units_[at(Channel::SpecialFunction3)] = "(text)";
    units_[at(Channel::SpecialFunction4)] = "(text)";
    for (std::size_t i = 0; i < kGridLabelCount; ++i) {
        grid_[i] = kGridDefaults[i].text;
    }
    for (std::size_t i = 0; i < kInfoLabelCount; ++i) {
        info_[i] = kInfoDefaults[i].text;
    }
    for (std::size_t i = 0; i < kDiagnosticLabelCount; ++i) {
        diagnostic_[i] = kDiagnosticDefaults[i].text;
    }
}

void CLabels::Read(platform::IniFile& file)
{
    for (std::size_t i = 0; i < kGridLabelCount; ++i) {
        grid_[i] = readOrWriteBack(file, "GridLabels", kGridDefaults[i].key, kGridDefaults[i].text);
    }

    for (Channel c : kPlainChannels) {
        labels_[at(c)] = file.getString("Labels", channelKey(c), labels_[at(c)], kTextSize);
    }
    labels_[at(Channel::LambdaAnalog)] = kDefaultLabels[at(Channel::LambdaAnalog)];
    for (Channel c : {Channel::SpecialFunction3, Channel::SpecialFunction4}) {
        labels_[at(c)] = readOrWriteBack(file, "Labels", channelKey(c), kDefaultLabels[at(c)]);
    }

    for (Channel c : kPlainChannels) {
        units_[at(c)] = file.getString("Units", channelKey(c), units_[at(c)], kTextSize);
    }
    for (Channel c : {Channel::SpecialFunction3, Channel::SpecialFunction4}) {
        units_[at(c)] = readOrWriteBack(file, "Units", channelKey(c), "(text)");
    }
    units_[at(Channel::LambdaAnalog)] =
        readOrWriteBack(file, "Units", channelKey(Channel::LambdaAnalog), "[La]");

    auto readInfo = [&](InfoLabel i) {
        const auto k = static_cast<std::size_t>(i);
        info_[k] = file.getString("Info", kInfoDefaults[k].key, info_[k], kTextSize);
    };
    for (InfoLabel i : {InfoLabel::FileTime, InfoLabel::FileVersion1, InfoLabel::FileVersion2,
                        InfoLabel::FileVersion3, InfoLabel::FileVersion4}) {
        readInfo(i);
    }
    for (InfoLabel i : {InfoLabel::IECounter, InfoLabel::StartCounter}) {
        const auto k = static_cast<std::size_t>(i);
        info_[k] = readOrWriteBack(file, "Info", kInfoDefaults[k].key, kInfoDefaults[k].key);
    }
    for (InfoLabel i : {InfoLabel::BoxTime, InfoLabel::BoxVersion1, InfoLabel::BoxVersion2,
                        InfoLabel::BoxVersion3, InfoLabel::BoxVersion4, InfoLabel::BoxVersion5,
                        InfoLabel::BoxVersion6, InfoLabel::BoxVersion7}) {
        readInfo(i);
    }

    for (std::size_t i = 0; i < kDiagnosticLabelCount; ++i) {
        diagnostic_[i] = file.getString("Diagnostic", kDiagnosticDefaults[i].key, diagnostic_[i], kTextSize);
    }
}

std::string plainLanguage(std::string_view language)
{
    const bool plain = !language.empty() && language.find_first_of("/\\") == std::string_view::npos &&
                       language != "." && language != "..";
    if (!plain) {
        documentLog().warning("language code '" + std::string(language) + "' is not a plain name; using en");
        return "en";
    }
    return std::string(language);
}

std::filesystem::path labelFilePath(const std::filesystem::path& cnfDir, std::string_view language)
{
    return cnfDir / ("Labels." + plainLanguage(language));
}

void LoadLabels(const std::filesystem::path& labelFile, CLabels& labels)
{
    platform::IniFile file;
    std::error_code ec;
    if (!file.load(labelFile, ec)) {
        documentLog().warning("cannot read " + labelFile.string() + ": " + ec.message());
        // Read into a scratch file so the defaults still apply; never
        // overwrite a file that exists but could not be read.
        platform::IniFile scratch;
        labels.Read(scratch);
        return;
    }
    labels.Read(file);
    if (file.isModified() && !file.save(labelFile, ec)) {
        documentLog().warning("cannot write back " + labelFile.string() + ": " + ec.message());
    }
}

} // namespace morvex
