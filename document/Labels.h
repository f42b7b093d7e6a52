#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

namespace platform {
class IniFile;
}

namespace morvex {

// The measured quantities; the long name is the key in the label and
// limit files.
enum class Channel : int {
    Revolutions,
    ThrottlePosition,
    InjectionPercent,
    InjectionTime,
    FuelConsumption,
    AirPressure,
    AirTemperature,
    MotorTemperature,
    TurboPressure,
    Lambda,
    LambdaLeft,
    LambdaRight,
    LambdaAnalog,
    PowerSupply,
    IgnitionTimingSelection,
    CO,
    SpecialFunction1,
    SpecialFunction2,
    SpecialFunction3,
    SpecialFunction4,
};
inline constexpr int kChannelCount = 20;

std::string_view channelKey(Channel channel);

enum class GridLabel : int {
    FunctionLeft,
    FunctionTop,
    DataRecordLeft,
    DataRecordTop,
    IndexLeft,
    IndexTop,
    CylinderLeft,
    CylinderRightPercent,
    CylinderRightA,
    CylinderLeftShort,
    CylinderRightPercentShort,
    CylinderRightAShort,
    DataRecordPane1,
    DataRecordPane2,
    DataRecordPane3,
    DataRecordPane4,
    DataRecordPane5,
    DataRecordMMLabel,
    DataRecordMMUnit,
    DataRecordMM1,
    DataRecordMM2,
    DataRecordMM3,
    DataRecordMM4,
    Premap,
    FuelmapLC,
    LambdaCorrection,
    DataRecordPane6,
    DataRecordPane7,
};
inline constexpr int kGridLabelCount = 28;

enum class InfoLabel : int {
    FileTime,
    FileVersion1,
    FileVersion2,
    FileVersion3,
    FileVersion4,
    BoxTime,
    BoxVersion1,
    BoxVersion2,
    BoxVersion3,
    BoxVersion4,
    BoxVersion5,
    BoxVersion6,
    BoxVersion7,
    IECounter,
    StartCounter,
};
inline constexpr int kInfoLabelCount = 15;

enum class DiagnosticLabel : int {
    Communication,
    FuelPump,
    InjectionNozzles,
    InjectionQuantity,
    Motorstart,
    SparkCoils,
    TemperatureSensors,
    Throttle,
    DiagCancelText,
    DiagInfoText,
    DiagStartText,
};
inline constexpr int kDiagnosticLabelCount = 11;

// Captions, short labels and units from the language's label file
// (texts as bytes of the file, Windows-1252). Built-in English defaults
// stand for whatever the file lacks.
class CLabels {
public:
    CLabels();

    // Reads every section; missing grid captions and the channels
    // Lambda-Analog and Special-Function3/4 are written back into `file`
    // (the caller saves it) so that the file lists them next time.
    void Read(platform::IniFile& file);

    const std::string& label(Channel c) const { return labels_[index(c)]; }
    const std::string& unit(Channel c) const { return units_[index(c)]; }
    const std::string& grid(GridLabel g) const { return grid_[index(g)]; }
    const std::string& info(InfoLabel i) const { return info_[index(i)]; }
    const std::string& diagnostic(DiagnosticLabel d) const { return diagnostic_[index(d)]; }

private:
    template <typename E>
    static std::size_t index(E e)
    {
        return static_cast<std::size_t>(e);
    }

    std::array<std::string, kChannelCount> labels_;
    std::array<std::string, kChannelCount> units_;
    std::array<std::string, kGridLabelCount> grid_;
    std::array<std::string, kInfoLabelCount> info_;
    std::array<std::string, kDiagnosticLabelCount> diagnostic_;
};

// The language code as used in file and folder names. A code that is not a
// plain name (it comes from the settings file) becomes "en" rather than
// leading out of CNF.
std::string plainLanguage(std::string_view language);

// CNF/Labels.<language>.
std::filesystem::path labelFilePath(const std::filesystem::path& cnfDir, std::string_view language);

// Loads the label file, reads it into `labels` and writes the file back
// once when captions were added. A missing file is created; a file that
// cannot be written is only logged (the defaults still apply).
void LoadLabels(const std::filesystem::path& labelFile, CLabels& labels);

} // namespace morvex
