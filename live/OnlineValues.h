#pragma once

// The online values column without Qt: which display shows which live
// value, how the raw box values become display texts, and the range and
// message state that makes a display's unit area blink.

#include "document/AdaptLibrary.h"
#include "document/Labels.h"
#include "document/Limits.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvex {
class LambdaSensors;
}

namespace morvex::live {

// The displays in creation order (control ids 1021 + index).
enum class Display : int { Rev, Tps, InjP, InjT, Fc, Aps, Mts, Ats, LsL, LsR, Sup, Its, Co };
inline constexpr int kDisplayCount = 13;
inline constexpr int kFirstDisplayId = 1021;

// The raw value the box sends when it has none.
inline constexpr uint16_t kNoValue = 0xFFFF;
// The message of a value that could not be read.
inline constexpr const char* kTransferText = "Transfer";

struct DisplayInfo {
    Display display;
    Channel channel;    // caption and unit
    Limit limit;        // display limits
    int command;        // the live command whose value it shows, 0 for derived values
    const char* sample; // fixes the size of the value area
};
const DisplayInfo& displayInfo(Display display);
constexpr std::size_t index(Display display)
{
    return static_cast<std::size_t>(display);
}

// The settings bytes the conversions read from the box image at every value.
struct BoxSettings {
    uint8_t fuelA = 0;            // 0x0540
    uint8_t fuelB = 0;            // 0x0541
    uint16_t revolutionLimit = 0; // 0x0542 high byte, 0x0543 low byte; 0 = use the configured maximum
};

// Pure conversions of the value table.
double revolutions(const AdaptFunctions& adapt, uint16_t raw); // whole tens; no value gives 0
double throttle(const AdaptFunctions& adapt, uint16_t raw);    // capped at 100
// Injector duty in percent from rpm and injection time in microseconds.
double injectionDuty(double rpm, double injectionMicroseconds);
double fuelConsumption(const BoxSettings& box, double duty);
// The REV maximum: the box's own limit word when set, else the configured one.
double revolutionsMaximum(const AdaptFunctions& adapt, const BoxSettings& box, double configured);
// "12,340": whole number with the user's group separator.
std::string formatRevolutions(double rpm, const std::string& groupSeparator);

// The range and message state of one display. The unit area shows the
// message, else the range error text, else the unit; while any of them is
// shown it blinks between the error colours and the normal ones.
class DisplayState {
public:
    enum class Range { In, Under, Over };

    void SetUnit(std::string unit) { unit_ = std::move(unit); }
    const std::string& Unit() const { return unit_; }
    void SetRange(double minimum, double maximum, std::string underText, std::string overText);
    double Minimum() const { return minimum_; }
    double Maximum() const { return maximum_; }
    const std::string& UnderText() const { return underText_; }
    const std::string& OverText() const { return overText_; }
    // Off: the range error ends at once.
    void EnableRangeChecking(bool on);
    bool RangeChecking() const { return rangeChecking_; }

    // A value to show; `value` is what the range check sees (none for a
    // text that is no number).
    void SetValue(std::string text, std::optional<double> value);
    const std::string& Text() const { return text_; }
    void SetMessage(std::string message);
    void EndMessage();
    bool MessageShown() const { return messageShown_; }
    Range RangeState() const { return range_; }

    bool Blinking() const { return messageShown_ || range_ != Range::In; }
    const std::string& UnitAreaText() const;
    // One blink step; returns the new phase (true: error colours).
    bool ToggleBlink();
    bool ErrorColours() const { return Blinking() && blinkPhase_; }

private:
    void Check();

    std::string unit_;
    std::string text_ = "-";
    std::string message_;
    double minimum_ = -1.7e308;
    double maximum_ = 1.7e308;
    std::string underText_ = "LOW";
    std::string overText_ = "OVERFLOW";
    std::optional<double> value_;
    bool rangeChecking_ = false;
    bool messageShown_ = false;
    Range range_ = Range::In;
    bool blinkPhase_ = false;
};

// What the live values change on the displays.
struct DisplayUpdate {
    enum class Kind { Value, Message, EndMessage, Range, Unit };
    Display display = Display::Rev;
    Kind kind = Kind::Value;
    std::string text;            // value text, message, or unit
    std::optional<double> value; // Value: what the range check sees; none for no value
    double minimum = 0.0;        // Range
    double maximum = 0.0;
    std::string underText;
    std::string overText;
};

// Turns the worker's live values and failures into display updates,
// keeping what the derived values and a sensor change need.
class OnlineValues {
public:
    OnlineValues(const AdaptFunctions& adapt, const CLimits& limits, const CLabels& labels,
                 const LambdaSensors* sensors);

    void SetGroupSeparator(std::string separator) { groupSeparator_ = std::move(separator); }

    std::vector<DisplayUpdate> OnValue(int command, uint16_t raw, const BoxSettings& box);
    std::vector<DisplayUpdate> OnFailed(int command, const BoxSettings& box);
    // The lambda limits and units for the current sensor choice, and the
    // kept lambda values converted again.
    std::vector<DisplayUpdate> LambdaUpdates() const;

    double LastRevolutions() const { return lastRevolutions_; }
    double LastInjectionTime() const { return lastInjectionTime_; }

private:
    void Derived(const BoxSettings& box, bool transferFailed, std::vector<DisplayUpdate>& out) const;
    void Lambda(Display display, double raw, std::vector<DisplayUpdate>& out) const;

    const AdaptFunctions& adapt_;
    const CLimits& limits_;
    const CLabels& labels_;
    const LambdaSensors* sensors_;
    std::string groupSeparator_ = ",";
    double lastRevolutions_ = -1.0;
    double lastInjectionTime_ = -1.0; // microseconds
    std::array<double, 2> lastLambdaRaw_{-1.0, -1.0};
};

} // namespace morvex::live
