#pragma once

#include "document/BoxLayout.h"
#include "document/Labels.h"

#include <array>
#include <string>

namespace platform {
class IniFile;
}

namespace morvex {

// "%0.<decimals>f": the fixed display formats of the program.
struct DisplayFormat {
    int decimals = 0;
    std::string printfText() const; // "%0.1f"
    std::string format(double value) const;
    // Formats and reads back: the value rounded to the precision shown.
    double roundTrip(double value) const;
    friend bool operator==(DisplayFormat, DisplayFormat) = default;
};

// The numeric range of a channel and the texts shown when a value leaves it.
struct LimitRecord {
    double minimum = 0.0;
    double maximum = 0.0;
    std::string minimumErrorText;
    std::string maximumErrorText;
};

// Limit records 0..6 belong to the index tables in their order.
enum class Limit : int {
    Revolutions,
    ThrottlePosition,
    MotorTemperature,
    AirTemperature,
    AirPressure,
    TurboPressure,
    Lambda,
    PowerSupply,
    CO,
    FuelConsumption,
    IgnitionTimingSelection,
    InjectionTime,
    InjectionPercent,
};
inline constexpr int kLimitCount = 13;

Channel limitChannel(Limit limit);
constexpr Limit indexLimit(IndexTable table) { return static_cast<Limit>(static_cast<int>(table)); }

// Offsets of the online displays: three groups of four integers.
struct DisplayControl {
    static constexpr int kAbsent = -100000;
    std::array<int, 4> labelOffset{kAbsent, kAbsent, kAbsent, kAbsent};
    std::array<int, 4> displayOffset{kAbsent, kAbsent, kAbsent, kAbsent};
    std::array<int, 4> innerDisplayOffset{kAbsent, kAbsent, kAbsent, kAbsent};
};

// The display limits of InitValues.cfg and the program's display formats.
class CLimits {
public:
    CLimits();

    void Read(const platform::IniFile& initValues);

    const LimitRecord& record(Limit limit) const { return records_[static_cast<std::size_t>(limit)]; }
    LimitRecord& record(Limit limit) { return records_[static_cast<std::size_t>(limit)]; }
    const LimitRecord& indexRecord(IndexTable table) const { return record(indexLimit(table)); }

    DisplayFormat indexFormat(IndexTable table) const;
    // The lambda index shows raw analog values with "%0.0f" and sensor
    // lambda values with "%0.2f".
    void setLambdaFormat(DisplayFormat format) { lambdaFormat_ = format; }

    const DisplayControl& displayControl() const { return displayControl_; }

    static constexpr DisplayFormat kIgnitionTFormat{3};
    static constexpr DisplayFormat kIgnitionPFormat{1};
    static constexpr DisplayFormat kFuelConsumptionFormat{1};

private:
    std::array<LimitRecord, kLimitCount> records_;
    DisplayFormat lambdaFormat_{0};
    DisplayControl displayControl_;
};

} // namespace morvex
