#include "document/Limits.h"

#include "platform/IniFile.h"
#include "platform/NumberFormat.h"


namespace morvex {
namespace {

// The order in which the channels are read from each section.
constexpr std::array<Limit, kLimitCount> kReadOrder{
    Limit::Revolutions,   Limit::ThrottlePosition, Limit::InjectionPercent,  Limit::InjectionTime,
    Limit::FuelConsumption, Limit::AirPressure,    Limit::AirTemperature,    Limit::MotorTemperature,
    Limit::TurboPressure, Limit::Lambda,           Limit::PowerSupply,       Limit::IgnitionTimingSelection,
    Limit::CO};

constexpr std::size_t kTextSize = 4095;

// "%d, %d, %d, %d": as many numbers as parse; the rest stay absent.
void readGroup(const platform::IniFile& ini, std::string_view key, std::array<int, 4>& group)
{
    const std::string text = ini.getString("DisplayControl", key, {}, kTextSize);
    std::size_t pos = 0;
    for (std::size_t i = 0; i < group.size(); ++i) {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) {
            ++pos;
        }
        std::size_t digits = pos;
        if (digits < text.size() && (text[digits] == '-' || text[digits] == '+')) {
            ++digits;
        }
        std::size_t end = digits;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') {
            ++end;
        }
        if (end == digits) {
            return;
        }
        group[i] = platform::parseInt(std::string_view(text).substr(pos, end - pos));
        if (end >= text.size() || text[end] != ',') {
            return;
        }
        pos = end + 1;
    }
}

} // namespace

std::string DisplayFormat::printfText() const { return "%0." + std::to_string(decimals) + "f"; }

std::string DisplayFormat::format(double value) const { return platform::formatFixed(value, decimals); }

double DisplayFormat::roundTrip(double value) const { return platform::parseDouble(format(value)); }

Channel limitChannel(Limit limit)
{
    switch (limit) {
    case Limit::Revolutions: return Channel::Revolutions;
    case Limit::ThrottlePosition: return Channel::ThrottlePosition;
    case Limit::MotorTemperature: return Channel::MotorTemperature;
    case Limit::AirTemperature: return Channel::AirTemperature;
    case Limit::AirPressure: return Channel::AirPressure;
    case Limit::TurboPressure: return Channel::TurboPressure;
    case Limit::Lambda: return Channel::Lambda;
    case Limit::PowerSupply: return Channel::PowerSupply;
    case Limit::CO: return Channel::CO;
    case Limit::FuelConsumption: return Channel::FuelConsumption;
    case Limit::IgnitionTimingSelection: return Channel::IgnitionTimingSelection;
    case Limit::InjectionTime: return Channel::InjectionTime;
    case Limit::InjectionPercent: return Channel::InjectionPercent;
    }
    return Channel::Revolutions;
}

CLimits::CLimits()
{
    for (LimitRecord& r : records_) {
        r.minimumErrorText = "MinErr";
        r.maximumErrorText = "MinErr";
    }
}

void CLimits::Read(const platform::IniFile& ini)
{
    for (Limit l : kReadOrder) {
        record(l).minimum = platform::parseDouble(ini.getString("Minimum", channelKey(limitChannel(l)), {}, kTextSize));
    }
    for (Limit l : kReadOrder) {
        record(l).maximum = platform::parseDouble(ini.getString("Maximum", channelKey(limitChannel(l)), {}, kTextSize));
    }
    for (Limit l : kReadOrder) {
        record(l).minimumErrorText = ini.getString("MinimumErrorText", channelKey(limitChannel(l)), "MinErr", kTextSize);
    }
    for (Limit l : kReadOrder) {
        record(l).maximumErrorText = ini.getString("MaximumErrorText", channelKey(limitChannel(l)), "MinErr", kTextSize);
    }
    readGroup(ini, "LabelOffset", displayControl_.labelOffset);
    readGroup(ini, "DisplayOffset", displayControl_.displayOffset);
    readGroup(ini, "InnerDisplayOffset", displayControl_.innerDisplayOffset);
}

DisplayFormat CLimits::indexFormat(IndexTable table) const
{
    return table == IndexTable::LAI ? lambdaFormat_ : DisplayFormat{0};
}

} // namespace morvex
