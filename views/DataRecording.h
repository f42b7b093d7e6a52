#pragma once

// Data recording without Qt: what one live value of the box does to the
// document's recording records (per-cell averages of lambda, injection
// time, duty and fuel consumption, the measure counts and the statistics
// of the MM record), the three resets and the texts the grids show.
//
// Lambda is recorded in the box's own units (the library's lambda
// conversion; the Lambda display limits are those units too): the raw
// record the data file keeps holds everything the grids show, and the
// selected sensor only converts what is displayed. A change of sensor
// therefore shows the same recordings in the new sensor's lambda.

#include "document/BoxLayout.h"
#include "document/Limits.h"
#include "views/CylinderMap.h"
#include "views/GridIds.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace morvex {
class CMorvexDoc;
struct AdaptFunctions;
struct MinMaxRecord;
} // namespace morvex

namespace morvex::views::recording {

// Live values as the port worker hands them to the data record view: the
// box's command + 20 with the raw value (the cell indexes come as 130 and
// 131 besides).
inline constexpr int kLiveRevolutions = 150;
inline constexpr int kLiveThrottle = 151;
inline constexpr int kLiveEngineTemperature = 152;
inline constexpr int kLiveAirTemperature = 153;
inline constexpr int kLiveAirPressure = 154;
inline constexpr int kLiveLambdaLeft = 155;
inline constexpr int kLiveLambdaRight = 156;
inline constexpr int kLivePowerSupply = 157;
inline constexpr int kLiveCO = 158;
inline constexpr int kLiveInjectionTime = 159;
// The box's "no value" (-1 as a signed 16-bit number): never recorded.
inline constexpr uint16_t kNoValue = 0xFFFF;

// PT_LIVE_VALUE: the parameter in bits 0..15, the value in bits 16..31 as
// the worker packs it, the box's 16-bit number (reply's high byte in bits
// 24..31, low byte in bits 16..23).
struct LiveValue {
    int parameter = 0;
    uint16_t value = 0;
};
constexpr LiveValue decodeLiveValue(intptr_t lParam)
{
    return {static_cast<int>(lParam & 0xFFFF), static_cast<uint16_t>((lParam >> 16) & 0xFFFF)};
}

// The statistics records of the MM record. Record 11 is kept but has no
// row in the Min / Max grid.
enum class Statistic : int {
    Revolutions,
    ThrottlePosition,
    InjectionPercent,
    InjectionTime,
    FuelConsumption,
    AirPressure,
    MotorTemperature,
    AirTemperature,
    LambdaLeft,
    LambdaRight,
    PowerSupply,
    CO,
};
inline constexpr int kStatisticCount = 12;
inline constexpr int kShownStatistics = 11;

// The eight floats of a record.
inline constexpr int kLowest = 0;
inline constexpr int kSecondLowest = 1;
inline constexpr int kThirdLowest = 2;
inline constexpr int kThirdHighest = 3;
inline constexpr int kSecondHighest = 4;
inline constexpr int kHighest = 5;
inline constexpr int kBelowRange = 6;
inline constexpr int kAboveRange = 7;
inline constexpr int kStatisticColumns = 8;

// A float of a record that nothing has set yet (shown blank).
bool isUnset(float value);

// Display range and format of a quantity.
struct QuantityScale {
    DisplayFormat format;
    double minimum = 0.0;
    double maximum = 0.0;
    bool inside(double x) const { return x >= minimum && x <= maximum; }
};
QuantityScale statisticScale(const CLimits& limits, Statistic statistic);
Channel statisticChannel(Statistic statistic);

// One value of a quantity: outside the display range only the extreme
// beyond it is kept; inside, the value rounded to the display format joins
// the three lowest and three highest distinct values. Returns the changed
// floats as bits (bit c: float c).
uint8_t updateStatistics(MinMaxRecord& record, double value, const QuantityScale& scale);
// Empties the floats of `columns` (bits as above); the remaining lowest and
// highest values close up so that the record stays in order.
uint8_t clearStatistics(MinMaxRecord& record, uint8_t columns);

// Recorded cells: the shown half of the map, grid rows 17..32, cell
// k = 16 (row - 17) + (column - 1).
int cellOfGridCell(int row, int column); // -1 outside the shown half
constexpr int gridRowOfCell(int cell)
{
    return kFirstShownRow + cell / kMapColumns;
}
constexpr int gridColumnOfCell(int cell)
{
    return cell % kMapColumns + 1;
}
// The cell of the live operating point; -1 when unknown or in the hidden
// half (nothing is recorded there).
int recordedCell(const LiveCell& live);

// Which tables of a cell changed: bit n for grid 1211 + n (1211..1217).
using TableMask = uint8_t;
constexpr TableMask tableBit(int grid)
{
    return static_cast<TableMask>(1u << (grid - kGridLeft));
}

struct RecordingChange {
    bool modified = false; // the document changed
    int cell = -1;         // the cell whose tables changed
    TableMask tables = 0;
    std::array<uint8_t, kStatisticCount> statistics{}; // changed floats per record
};

// Turns live values into recordings. Holds the view's recording state (the
// last valid revolutions and injection time) between values.
class DataRecorder {
public:
    DataRecorder(CMorvexDoc& doc, const AdaptFunctions& adapt, const CLimits& limits);

    // One live value (150..159) while the engine runs in `live`; other
    // parameters and the box's "no value" change nothing.
    RecordingChange Record(int parameter, uint16_t raw, const LiveCell& live);
    // A new online session starts without a revolutions value.
    void Forget();

    double LastRevolutions() const { return lastRevolutions_; } // -1: none
    double LastInjectionTime() const { return lastInjectionTime_; }

private:
    void Statistics(Statistic statistic, double value, RecordingChange& change);
    void RecordLambda(bool left, double value, uint16_t raw, int cell, RecordingChange& change);
    void RecordInjection(double time, int cell, RecordingChange& change);

    CMorvexDoc& doc_;
    const AdaptFunctions& adapt_;
    const CLimits& limits_;
    double lastRevolutions_ = -1.0;
    double lastInjectionTime_ = -1.0;
};

// The float array (256 floats) a map grid shows (1211..1217).
BoxAddress recordOfGrid(int grid);

// The Min / Max grid: a header row, then one row per shown statistic; the
// name and unit columns, then the eight floats of the record.
inline constexpr int kMinMaxRows = kShownStatistics + 1;
inline constexpr int kMinMaxFixedColumns = 2;
inline constexpr int kMinMaxColumns = kMinMaxFixedColumns + kStatisticColumns;
constexpr int minMaxRow(int record)
{
    return record + 1;
}
constexpr int minMaxColumn(int column)
{
    return column + kMinMaxFixedColumns;
}

// The samples a cell may count.
inline constexpr float kMaximumCount = 199980.0f;
inline constexpr double kPercentLimit = 300.0;

// Resets. Grid ids as the view's tabs; the Min / Max grid's values are
// cleared with clearStatistics.
void resetAll(CMorvexDoc& doc);
void resetGrid(CMorvexDoc& doc, int grid);
void resetCell(CMorvexDoc& doc, int grid, int cell);
// Everything recorded for cell `cell` (both lambdas, the injection data,
// the ratio and the count), as if the engine had never run there.
void resetCellRecords(CMorvexDoc& doc, int cell);

// How lambda is shown: the selected sensor's conversion of the box value
// and the lambda display format.
struct LambdaDisplay {
    std::function<double(uint16_t)> convert;
    DisplayFormat format;
};

// The target lambda tabs (1219 left, 1220 right): typed, never recorded.
constexpr bool isTargetGrid(int grid)
{
    return grid == kGridTargetLeft || grid == kGridTargetRight;
}
// A target as the grid shows it: hundredths 105 read "1.05".
std::string targetText(int hundredths);
// A target typed over `stored` (hundredths). Nothing or 0 (a cleared cell:
// Delete, Cut) is the default 1.00; other values are rounded to hundredths
// and limited to 0.50..2.00 with the limit's message. The cell always gets
// the stored value's text.
struct TargetEdit {
    CellEditResult result;
    int hundredths = 0;
};
TargetEdit applyTargetEdit(std::string_view typed, int stored);

// The text of `cell` in `grid` (1211..1217), empty while nothing is
// recorded there.
std::string cellText(const CMorvexDoc& doc, int grid, int cell, const LambdaDisplay& lambda);
// The text of float `column` of a statistics record, empty while unset.
std::string statisticText(const MinMaxRecord& record, Statistic statistic, int column, const CLimits& limits,
                          const LambdaDisplay& lambda);
// The largest recorded value of an injection grid (1214..1216), 0 when
// none.
double recordedMaximum(const CMorvexDoc& doc, int grid);
// The chart's upper bound over a maximum: maximum x 1.1 + 0.5, truncated.
int chartUpperBound(double maximum);

} // namespace morvex::views::recording
