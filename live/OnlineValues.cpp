#include "live/OnlineValues.h"

#include "document/InfoRecords.h"
#include "document/LambdaSensors.h"
#include "platform/NumberFormat.h"

#include <algorithm>
#include <cmath>

namespace morvex::live {

namespace {

constexpr std::array<DisplayInfo, kDisplayCount> kDisplays{{
    {Display::Rev, Channel::Revolutions, Limit::Revolutions, 130, "18,888"},
    {Display::Tps, Channel::ThrottlePosition, Limit::ThrottlePosition, 131, "18,888"},
    {Display::InjP, Channel::InjectionPercent, Limit::InjectionPercent, 0, "18,888"},
    {Display::InjT, Channel::InjectionTime, Limit::InjectionTime, 139, "18,888"},
    {Display::Fc, Channel::FuelConsumption, Limit::FuelConsumption, 0, "18,888"},
    {Display::Aps, Channel::AirPressure, Limit::AirPressure, 134, "18,888"},
    {Display::Mts, Channel::MotorTemperature, Limit::MotorTemperature, 132, "18,888"},
    {Display::Ats, Channel::AirTemperature, Limit::AirTemperature, 133, "18,888"},
    {Display::LsL, Channel::LambdaLeft, Limit::Lambda, 135, "18,888"},
    {Display::LsR, Channel::LambdaRight, Limit::Lambda, 136, "18,888"},
    {Display::Sup, Channel::PowerSupply, Limit::PowerSupply, 137, "888.8"},
    {Display::Its, Channel::IgnitionTimingSelection, Limit::IgnitionTimingSelection, 166, "8"},
    {Display::Co, Channel::CO, Limit::CO, 138, "-8.88"},
}};

std::optional<Display> displayOfCommand(int command)
{
    for (const DisplayInfo& info : kDisplays) {
        if (info.command != 0 && info.command == command) {
            return info.display;
        }
    }
    return std::nullopt;
}

DisplayUpdate valueUpdate(Display display, std::string text, std::optional<double> value)
{
    DisplayUpdate update;
    update.display = display;
    update.kind = DisplayUpdate::Kind::Value;
    update.text = std::move(text);
    update.value = value;
    return update;
}

DisplayUpdate messageUpdate(Display display, std::string text)
{
    DisplayUpdate update;
    update.display = display;
    update.kind = DisplayUpdate::Kind::Message;
    update.text = std::move(text);
    return update;
}

DisplayUpdate endMessage(Display display)
{
    DisplayUpdate update;
    update.display = display;
    update.kind = DisplayUpdate::Kind::EndMessage;
    return update;
}

DisplayUpdate rangeUpdate(Display display, double minimum, double maximum, const LimitRecord& texts)
{
    DisplayUpdate update;
    update.display = display;
    update.kind = DisplayUpdate::Kind::Range;
    update.minimum = minimum;
    update.maximum = maximum;
    update.underText = texts.minimumErrorText;
    update.overText = texts.maximumErrorText;
    return update;
}

DisplayUpdate formatted(Display display, double value, int decimals)
{
    return valueUpdate(display, platform::formatFixed(value, decimals), value);
}

// A value the box could not give: the display's empty text, no range check.
constexpr const char* kNoValueText = "-";

} // namespace

const DisplayInfo& displayInfo(Display display)
{
    return kDisplays[index(display)];
}

double revolutions(const AdaptFunctions& adapt, uint16_t raw)
{
    if (raw == kNoValue) {
        return 0.0;
    }
    const double rpm = adapt.BOX_TO_PC_Drehzahl(raw);
    return std::floor(rpm / 10.0) * 10.0;
}

double throttle(const AdaptFunctions& adapt, uint16_t raw)
{
    return std::min(adapt.BOX_TO_PC_Drosselklappe(raw), 100.0);
}

double injectionDuty(double rpm, double injectionMicroseconds)
{
    return rpm * injectionMicroseconds / 1200000.0;
}

double fuelConsumption(const BoxSettings& box, double duty)
{
    return static_cast<double>(box.fuelA) * static_cast<double>(box.fuelB) * 0.1 * (duty * 0.01);
}

double revolutionsMaximum(const AdaptFunctions& adapt, const BoxSettings& box, double configured)
{
    return box.revolutionLimit == 0 ? configured : adapt.BOX_TO_PC_Drehzahl_25(box.revolutionLimit);
}

std::string formatRevolutions(double rpm, const std::string& groupSeparator)
{
    if (rpm < 0.0) {
        return "-" + formatCounter(static_cast<unsigned long>(-rpm), groupSeparator);
    }
    return formatCounter(static_cast<unsigned long>(rpm), groupSeparator);
}

// DisplayState

void DisplayState::SetRange(double minimum, double maximum, std::string underText, std::string overText)
{
    minimum_ = minimum;
    maximum_ = maximum;
    underText_ = std::move(underText);
    overText_ = std::move(overText);
    Check();
}

void DisplayState::EnableRangeChecking(bool on)
{
    rangeChecking_ = on;
    Check();
}

void DisplayState::SetValue(std::string text, std::optional<double> value)
{
    text_ = std::move(text);
    value_ = value;
    Check();
}

void DisplayState::SetMessage(std::string message)
{
    message_ = std::move(message);
    messageShown_ = true;
}

void DisplayState::EndMessage()
{
    message_.clear();
    messageShown_ = false;
}

void DisplayState::Check()
{
    if (!rangeChecking_ || !value_) {
        range_ = Range::In;
    } else if (*value_ < minimum_) {
        range_ = Range::Under;
    } else if (*value_ > maximum_) {
        range_ = Range::Over;
    } else {
        range_ = Range::In;
    }
    if (!Blinking()) {
        blinkPhase_ = false;
    }
}

const std::string& DisplayState::UnitAreaText() const
{
    if (messageShown_) {
        return message_;
    }
    switch (range_) {
    case Range::Under: return underText_;
    case Range::Over: return overText_;
    case Range::In: break;
    }
    return unit_;
}

bool DisplayState::ToggleBlink()
{
    blinkPhase_ = Blinking() && !blinkPhase_;
    return blinkPhase_;
}

// OnlineValues

OnlineValues::OnlineValues(const AdaptFunctions& adapt, const CLimits& limits, const CLabels& labels,
                           const LambdaSensors* sensors)
    : adapt_(adapt), limits_(limits), labels_(labels), sensors_(sensors)
{
}

std::vector<DisplayUpdate> OnlineValues::OnValue(int command, uint16_t raw, const BoxSettings& box)
{
    std::vector<DisplayUpdate> out;
    const std::optional<Display> display = displayOfCommand(command);
    if (!display) {
        return out;
    }
    switch (*display) {
    case Display::Rev: {
        const LimitRecord& limit = limits_.record(Limit::Revolutions);
        out.push_back(rangeUpdate(Display::Rev, limit.minimum, revolutionsMaximum(adapt_, box, limit.maximum), limit));
        lastRevolutions_ = revolutions(adapt_, raw);
        out.push_back(
            valueUpdate(Display::Rev, formatRevolutions(lastRevolutions_, groupSeparator_), lastRevolutions_));
        break;
    }
    case Display::Tps: out.push_back(formatted(Display::Tps, throttle(adapt_, raw), 1)); break;
    case Display::InjT:
        if (raw == kNoValue) {
            lastInjectionTime_ = -1.0;
            out.push_back(valueUpdate(Display::InjT, kNoValueText, std::nullopt));
        } else {
            lastInjectionTime_ = adapt_.BOX_TO_PC_Einspritzzeit(raw);
            out.push_back(formatted(Display::InjT, lastInjectionTime_ * 0.001, 2));
        }
        Derived(box, false, out);
        break;
    case Display::Aps: out.push_back(formatted(Display::Aps, adapt_.BOX_TO_PC_Luftdruck(raw), 0)); break;
    case Display::Mts: out.push_back(formatted(Display::Mts, adapt_.BOX_TO_PC_Motortemp(raw), 0)); break;
    case Display::Ats: out.push_back(formatted(Display::Ats, adapt_.BOX_TO_PC_Lufttemp(raw), 0)); break;
    case Display::LsL:
    case Display::LsR: {
        double& kept = lastLambdaRaw_[*display == Display::LsL ? 0 : 1];
        kept = raw == kNoValue ? -1.0 : static_cast<double>(raw);
        Lambda(*display, kept, out);
        break;
    }
    case Display::Sup: out.push_back(formatted(Display::Sup, adapt_.BOX_TO_PC_Spannung(raw), 1)); break;
    case Display::Its: {
        const int selection = raw & 0xFF;
        out.push_back(valueUpdate(Display::Its, std::to_string(selection), selection));
        break;
    }
    case Display::Co:
        if (raw == kNoValue) {
            out.push_back(valueUpdate(Display::Co, kNoValueText, std::nullopt));
        } else {
            out.push_back(formatted(Display::Co, adapt_.BOX_TO_PC_CO(raw) * 0.001, 2));
        }
        break;
    case Display::InjP:
    case Display::Fc: break;
    }
    // A good value ends a transfer message (the derived displays end theirs
    // in Derived).
    out.insert(out.begin(), endMessage(*display));
    return out;
}

std::vector<DisplayUpdate> OnlineValues::OnFailed(int command, const BoxSettings& box)
{
    std::vector<DisplayUpdate> out;
    const std::optional<Display> display = displayOfCommand(command);
    if (!display) {
        return out;
    }
    out.push_back(messageUpdate(*display, kTransferText));
    if (*display == Display::Rev) {
        lastRevolutions_ = -1.0;
    } else if (*display == Display::InjT) {
        lastInjectionTime_ = -1.0;
        Derived(box, true, out);
    }
    return out;
}

void OnlineValues::Derived(const BoxSettings& box, bool transferFailed, std::vector<DisplayUpdate>& out) const
{
    if (lastRevolutions_ < 0.0 || lastInjectionTime_ < 0.0) {
        const std::string text = transferFailed ? kTransferText : "";
        out.push_back(messageUpdate(Display::InjP, text));
        out.push_back(messageUpdate(Display::Fc, text));
        return;
    }
    const double duty = injectionDuty(lastRevolutions_, lastInjectionTime_);
    out.push_back(endMessage(Display::InjP));
    out.push_back(endMessage(Display::Fc));
    out.push_back(formatted(Display::InjP, duty, 1));
    out.push_back(formatted(Display::Fc, fuelConsumption(box, duty), 1));
}

void OnlineValues::Lambda(Display display, double raw, std::vector<DisplayUpdate>& out) const
{
    if (raw < 0.0) {
        out.push_back(valueUpdate(display, kNoValueText, std::nullopt));
        return;
    }
    const auto value16 = static_cast<uint16_t>(raw);
    const bool analog = sensors_ == nullptr || sensors_->rawSelected();
    const double lambda =
        sensors_ != nullptr ? sensors_->Convert(value16, adapt_.BOX_TO_PC_Lambda) : adapt_.BOX_TO_PC_Lambda(value16);
    out.push_back(formatted(display, lambda, analog ? 0 : 2));
}

std::vector<DisplayUpdate> OnlineValues::LambdaUpdates() const
{
    std::vector<DisplayUpdate> out;
    const bool analog = sensors_ == nullptr || sensors_->rawSelected();
    const LimitRecord& limit = limits_.record(Limit::Lambda);
    const std::string& unit = labels_.unit(analog ? Channel::LambdaAnalog : Channel::Lambda);
    for (Display display : {Display::LsL, Display::LsR}) {
        if (analog) {
            out.push_back(rangeUpdate(display, limit.minimum, limit.maximum, limit));
        } else {
            out.push_back(rangeUpdate(display, 0.7, 1.4, limit));
        }
        DisplayUpdate unitUpdate;
        unitUpdate.display = display;
        unitUpdate.kind = DisplayUpdate::Kind::Unit;
        unitUpdate.text = unit;
        out.push_back(unitUpdate);
        const double kept = lastLambdaRaw_[display == Display::LsL ? 0 : 1];
        if (kept >= 0.0) {
            Lambda(display, kept, out);
        }
    }
    return out;
}

} // namespace morvex::live
