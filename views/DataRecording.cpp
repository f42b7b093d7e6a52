#include "views/DataRecording.h"

#include "document/AdaptLibrary.h"
#include "document/MorvexDoc.h"
#include "document/TargetLambda.h"
#include "platform/NumberFormat.h"

#include <algorithm>
#include <cmath>

namespace morvex::views::recording {
namespace {

// Stored values beyond this are the empty record's bounds (+-3.4e38).
constexpr float kUnsetMagnitude = 3.0e38f;

constexpr uint8_t bit(int column)
{
    return static_cast<uint8_t>(1u << column);
}

// Where the tables of each grid lie; the flag byte of a lambda side is byte
// 0 (left) or 1 (right) of the cell's pair.
BoxAddress rawRecord(bool left)
{
    return left ? box::LAMBDA_RECORD_LEFT : box::LAMBDA_RECORD_RIGHT;
}
BoxAddress valueRecord(bool left)
{
    return left ? box::LAMBDA_VALUES_LEFT : box::LAMBDA_VALUES_RIGHT;
}
uint8_t& lambdaFlag(CMorvexDoc& doc, int cell, bool left)
{
    return doc.GetBoxData(box::LAMBDA_FLAGS)[2 * cell + (left ? 0 : 1)];
}
bool lambdaFlag(const CMorvexDoc& doc, int cell, bool left)
{
    return doc.GetBoxData(box::LAMBDA_FLAGS)[2 * cell + (left ? 0 : 1)] != 0;
}

struct InjectionTable {
    int grid;
    BoxAddress record;
    uint8_t received;
};
constexpr std::array<InjectionTable, 3> kInjectionTables{{
    {kGridInjectionTime, rec::REC_IGNITION_T, kReceivedIgnitionT},
    {kGridInjectionDuty, rec::REC_IGNITION_P, kReceivedIgnitionP},
    {kGridFuelConsumption, rec::REC_FUEL_CONSUMPTION, kReceivedFuelConsumption},
}};

const InjectionTable* injectionTable(int grid)
{
    for (const InjectionTable& t : kInjectionTables) {
        if (t.grid == grid) {
            return &t;
        }
    }
    return nullptr;
}

void zero(std::span<uint8_t> bytes)
{
    std::fill(bytes.begin(), bytes.end(), uint8_t{0});
}

// The right lambda in per cent of the left; over a left 0 the right value
// itself.
float rightPercent(float left, float right)
{
    const auto l = static_cast<double>(left);
    const auto r = static_cast<double>(right);
    const double percent = l == 0.0 ? r : r / l * 100.0;
    return static_cast<float>(std::clamp(percent, -kPercentLimit, kPercentLimit));
}

void clearLambdaSide(CMorvexDoc& doc, int cell, bool left)
{
    doc.SetWord(rawRecord(left), cell, 0);
    doc.SetFloat(valueRecord(left), cell, 0.0f);
    lambdaFlag(doc, cell, left) = 0;
    doc.SetFloat(box::LAMBDA_RATIO, cell, 0.0f);
}

// Samples of both sides add to a cell's count: one side cleared, half of
// them stay while the other side keeps its recording.
void halveCount(CMorvexDoc& doc, int cell, bool otherSideRecorded)
{
    const float count = doc.GetFloat(box::MEASURE_COUNTS, cell);
    doc.SetFloat(box::MEASURE_COUNTS, cell, otherSideRecorded ? count * 0.5f : 0.0f);
}

} // namespace

bool isUnset(float value)
{
    return std::fabs(value) >= kUnsetMagnitude;
}

Channel statisticChannel(Statistic statistic)
{
    switch (statistic) {
    case Statistic::Revolutions: return Channel::Revolutions;
    case Statistic::ThrottlePosition: return Channel::ThrottlePosition;
    case Statistic::InjectionPercent: return Channel::InjectionPercent;
    case Statistic::InjectionTime: return Channel::InjectionTime;
    case Statistic::FuelConsumption: return Channel::FuelConsumption;
    case Statistic::AirPressure: return Channel::AirPressure;
    case Statistic::MotorTemperature: return Channel::MotorTemperature;
    case Statistic::AirTemperature: return Channel::AirTemperature;
    case Statistic::LambdaLeft: return Channel::LambdaLeft;
    case Statistic::LambdaRight: return Channel::LambdaRight;
    case Statistic::PowerSupply: return Channel::PowerSupply;
    case Statistic::CO: return Channel::CO;
    }
    return Channel::Revolutions;
}

QuantityScale statisticScale(const CLimits& limits, Statistic statistic)
{
    auto scale = [&](Limit limit, DisplayFormat format) {
        const LimitRecord& r = limits.record(limit);
        return QuantityScale{format, r.minimum, r.maximum};
    };
    switch (statistic) {
    case Statistic::Revolutions: return scale(Limit::Revolutions, limits.indexFormat(IndexTable::DZI));
    case Statistic::ThrottlePosition: return scale(Limit::ThrottlePosition, limits.indexFormat(IndexTable::DKI));
    case Statistic::InjectionPercent: return scale(Limit::InjectionPercent, CLimits::kIgnitionPFormat);
    case Statistic::InjectionTime: return scale(Limit::InjectionTime, CLimits::kIgnitionTFormat);
    case Statistic::FuelConsumption: return scale(Limit::FuelConsumption, CLimits::kFuelConsumptionFormat);
    case Statistic::AirPressure: return scale(Limit::AirPressure, limits.indexFormat(IndexTable::LDI));
    case Statistic::MotorTemperature: return scale(Limit::MotorTemperature, limits.indexFormat(IndexTable::MTI));
    case Statistic::AirTemperature: return scale(Limit::AirTemperature, limits.indexFormat(IndexTable::LTI));
    case Statistic::LambdaLeft:
    case Statistic::LambdaRight: return scale(Limit::Lambda, limits.indexFormat(IndexTable::LAI));
    // The supply as the online display shows it (tenths of a volt); CO in
    // hundredths.
    case Statistic::PowerSupply: return scale(Limit::PowerSupply, DisplayFormat{1});
    case Statistic::CO: return scale(Limit::CO, DisplayFormat{2});
    }
    return {};
}

uint8_t updateStatistics(MinMaxRecord& record, double value, const QuantityScale& scale)
{
    auto& v = record.values;
    if (value < scale.minimum) {
        const auto x = static_cast<float>(value);
        if (x < v[kBelowRange]) {
            v[kBelowRange] = x;
            return bit(kBelowRange);
        }
        return 0;
    }
    if (value > scale.maximum) {
        const auto x = static_cast<float>(value);
        if (x > v[kAboveRange]) {
            v[kAboveRange] = x;
            return bit(kAboveRange);
        }
        return 0;
    }
    // Compared as stored, so that a value shown equal is equal.
    const auto x = static_cast<float>(scale.format.roundTrip(value));
    const auto before = v;
    if (x > v[kHighest]) {
        v[kThirdHighest] = v[kSecondHighest];
        v[kSecondHighest] = v[kHighest];
        v[kHighest] = x;
    } else if (x < v[kHighest] && x > v[kSecondHighest]) {
        v[kThirdHighest] = v[kSecondHighest];
        v[kSecondHighest] = x;
    } else if (x < v[kSecondHighest] && x > v[kThirdHighest]) {
        v[kThirdHighest] = x;
    }
    if (x < v[kLowest]) {
        v[kThirdLowest] = v[kSecondLowest];
        v[kSecondLowest] = v[kLowest];
        v[kLowest] = x;
    } else if (x > v[kLowest] && x < v[kSecondLowest]) {
        v[kThirdLowest] = v[kSecondLowest];
        v[kSecondLowest] = x;
    } else if (x > v[kSecondLowest] && x < v[kThirdLowest]) {
        v[kThirdLowest] = x;
    }
    uint8_t changed = 0;
    for (int c = kLowest; c <= kHighest; ++c) {
        if (v[static_cast<std::size_t>(c)] != before[static_cast<std::size_t>(c)]) {
            changed |= bit(c);
        }
    }
    return changed;
}

uint8_t clearStatistics(MinMaxRecord& record, uint8_t columns)
{
    const MinMaxRecord empty = MinMaxRecord::empty();
    const auto before = record.values;
    for (std::size_t c = 0; c < kStatisticColumns; ++c) {
        if ((columns & bit(static_cast<int>(c))) != 0) {
            record.values[c] = empty.values[c];
        }
    }
    // The empty bounds sort to the far ends: lowest values first with the
    // empty ones after them, highest values last with the empty ones
    // before them.
    std::sort(record.values.begin() + kLowest, record.values.begin() + kThirdLowest + 1);
    std::sort(record.values.begin() + kThirdHighest, record.values.begin() + kHighest + 1);
    uint8_t changed = 0;
    for (std::size_t c = 0; c < kStatisticColumns; ++c) {
        if (record.values[c] != before[c]) {
            changed |= bit(static_cast<int>(c));
        }
    }
    return changed;
}

int cellOfGridCell(int row, int column)
{
    if (row < kFirstShownRow || row > kMapRows || column < 1 || column > kMapColumns) {
        return -1;
    }
    return kMapColumns * (row - kFirstShownRow) + (column - 1);
}

int recordedCell(const LiveCell& live)
{
    if (live.row < 0 || live.column < 0) {
        return -1;
    }
    return cellOfGridCell(live.row + 1, live.column + 1);
}

// ---- DataRecorder -----------------------------------------------------------

DataRecorder::DataRecorder(CMorvexDoc& doc, const AdaptFunctions& adapt, const CLimits& limits)
    : doc_(doc), adapt_(adapt), limits_(limits)
{
}

void DataRecorder::Forget()
{
    lastRevolutions_ = -1.0;
    lastInjectionTime_ = -1.0;
}

void DataRecorder::Statistics(Statistic statistic, double value, RecordingChange& change)
{
    const auto index = static_cast<int>(statistic);
    MinMaxRecord record = doc_.GetMinMax(index);
    const uint8_t changed = updateStatistics(record, value, statisticScale(limits_, statistic));
    if (changed != 0) {
        doc_.SetMinMax(index, record);
        change.statistics[static_cast<std::size_t>(index)] |= changed;
    }
}

RecordingChange DataRecorder::Record(int parameter, uint16_t raw, const LiveCell& live)
{
    RecordingChange change;
    if (raw == kNoValue || parameter < kLiveRevolutions || parameter > kLiveInjectionTime) {
        return change;
    }
    change.modified = true;
    const int cell = recordedCell(live);
    switch (parameter) {
    case kLiveRevolutions: {
        // Whole revolutions, down to a multiple of 10.
        double rpm = std::trunc(adapt_.BOX_TO_PC_Drehzahl(raw));
        rpm -= std::fmod(rpm, 10.0);
        Statistics(Statistic::Revolutions, rpm, change);
        if (statisticScale(limits_, Statistic::Revolutions).inside(rpm)) {
            lastRevolutions_ = rpm;
        }
        break;
    }
    case kLiveThrottle: Statistics(Statistic::ThrottlePosition, adapt_.BOX_TO_PC_Drosselklappe(raw), change); break;
    case kLiveEngineTemperature:
        Statistics(Statistic::MotorTemperature, adapt_.BOX_TO_PC_Motortemp(raw), change);
        break;
    case kLiveAirTemperature: Statistics(Statistic::AirTemperature, adapt_.BOX_TO_PC_Lufttemp(raw), change); break;
    case kLiveAirPressure: Statistics(Statistic::AirPressure, adapt_.BOX_TO_PC_Luftdruck(raw), change); break;
    case kLiveLambdaLeft:
    case kLiveLambdaRight: {
        const bool left = parameter == kLiveLambdaLeft;
        const double lambda = adapt_.BOX_TO_PC_Lambda(raw);
        const Statistic statistic = left ? Statistic::LambdaLeft : Statistic::LambdaRight;
        Statistics(statistic, lambda, change);
        if (cell >= 0 && statisticScale(limits_, statistic).inside(lambda)) {
            RecordLambda(left, lambda, raw, cell, change);
        }
        break;
    }
    case kLivePowerSupply: Statistics(Statistic::PowerSupply, adapt_.BOX_TO_PC_Spannung(raw), change); break;
    case kLiveCO: Statistics(Statistic::CO, adapt_.BOX_TO_PC_CO(raw) * 0.001, change); break;
    case kLiveInjectionTime: {
        const double time = adapt_.BOX_TO_PC_Einspritzzeit(raw) * 0.001;
        Statistics(Statistic::InjectionTime, time, change);
        if (lastRevolutions_ >= 0.0 && statisticScale(limits_, Statistic::InjectionTime).inside(time)) {
            RecordInjection(time, cell, change);
        }
        break;
    }
    default: break;
    }
    return change;
}

void DataRecorder::RecordLambda(bool left, double value, uint16_t raw, int cell, RecordingChange& change)
{
    const BoxAddress values = valueRecord(left);
    uint8_t& flag = lambdaFlag(doc_, cell, left);
    if (flag == 0) {
        doc_.SetWord(rawRecord(left), cell, raw);
        doc_.SetFloat(values, cell, static_cast<float>(value));
    } else {
        // The running average continues from the cell's display value, not
        // from its whole box units: those would stop it short of samples
        // that differ by less than ten units.
        const double average = (value + 9.0 * static_cast<double>(doc_.GetFloat(values, cell))) * 0.1;
        doc_.SetWord(rawRecord(left), cell, adapt_.PC_TO_BOX_Lambda(average));
        doc_.SetFloat(values, cell, static_cast<float>(average));
    }
    flag = 1;
    change.cell = cell;
    change.tables |= tableBit(left ? kGridLeft : kGridRight);
    const float count = doc_.GetFloat(box::MEASURE_COUNTS, cell);
    if (count < kMaximumCount) {
        doc_.SetFloat(box::MEASURE_COUNTS, cell, count + 1.0f);
        change.tables |= tableBit(kGridMeasureCount);
    }
    if (lambdaFlag(doc_, cell, !left)) {
        // From the box values, as the document derives it when the data file
        // is read: the tuner sees the same percentage after a save.
        auto lambdaOf = [&](bool side) {
            return static_cast<float>(adapt_.BOX_TO_PC_Lambda(doc_.GetWord(rawRecord(side), cell)));
        };
        doc_.SetFloat(box::LAMBDA_RATIO, cell, rightPercent(lambdaOf(true), lambdaOf(false)));
        change.tables |= tableBit(kGridPercent);
    }
}

void DataRecorder::RecordInjection(double time, int cell, RecordingChange& change)
{
    const double duty = lastRevolutions_ * time / 1200.0;
    Statistics(Statistic::InjectionPercent, duty, change);
    // The injector's flow, bytes 320 and 321 of the function table.
    const uint8_t* flow = doc_.GetBoxData(box::TAB_SFD1);
    const double consumption = flow[0] * flow[1] * 0.1 * duty * 0.01;
    Statistics(Statistic::FuelConsumption, consumption, change);
    if (cell >= 0) {
        uint8_t& received = doc_.GetBoxData(rec::REC_DATA_RECEIVED)[cell];
        const std::array<double, 3> samples{time, duty, consumption};
        for (std::size_t i = 0; i < kInjectionTables.size(); ++i) {
            const InjectionTable& t = kInjectionTables[i];
            double value = samples[i];
            if ((received & t.received) != 0) {
                value = (value + 9.0 * static_cast<double>(doc_.GetFloat(t.record, cell))) * 0.1;
            }
            doc_.SetFloat(t.record, cell, static_cast<float>(value));
            received |= t.received;
            change.tables |= tableBit(t.grid);
        }
        change.cell = cell;
    }
    lastInjectionTime_ = time;
}

BoxAddress recordOfGrid(int grid)
{
    switch (grid) {
    case kGridLeft: return box::LAMBDA_VALUES_LEFT;
    case kGridPercent: return box::LAMBDA_RATIO;
    case kGridRight: return box::LAMBDA_VALUES_RIGHT;
    case kGridInjectionTime: return rec::REC_IGNITION_T;
    case kGridInjectionDuty: return rec::REC_IGNITION_P;
    case kGridFuelConsumption: return rec::REC_FUEL_CONSUMPTION;
    case kGridMeasureCount: return box::MEASURE_COUNTS;
    default: return kNoAddress;
    }
}

// ---- Resets -----------------------------------------------------------------

void resetAll(CMorvexDoc& doc)
{
    // Everything from the raw lambda records up to the end of the MM area.
    zero(doc.BoxSpan(box::LAMBDA_RECORD_LEFT, box::IGNITION_WORK_1 - box::LAMBDA_RECORD_LEFT));
    doc.EmptyMinMaxRecords();
    zero(doc.BoxSpan(rec::REC_DATA_RECEIVED, rec::kDataReceivedSize));
    for (const InjectionTable& t : kInjectionTables) {
        zero(doc.BoxSpan(t.record, rec::kFloatRecordSize));
    }
}

void resetGrid(CMorvexDoc& doc, int grid)
{
    if (grid == kGridLeft || grid == kGridRight) {
        const bool left = grid == kGridLeft;
        zero(doc.BoxSpan(rawRecord(left), 2 * kCells));
        zero(doc.BoxSpan(valueRecord(left), rec::kFloatRecordSize));
        zero(doc.BoxSpan(box::LAMBDA_RATIO, rec::kFloatRecordSize));
        for (int k = 0; k < kCells; ++k) {
            lambdaFlag(doc, k, left) = 0;
        }
    } else if (const InjectionTable* t = injectionTable(grid)) {
        zero(doc.BoxSpan(t->record, rec::kFloatRecordSize));
        uint8_t* received = doc.GetBoxData(rec::REC_DATA_RECEIVED);
        for (int k = 0; k < kCells; ++k) {
            received[k] &= static_cast<uint8_t>(~t->received);
        }
    } else if (grid == kGridMeasureCount) {
        zero(doc.BoxSpan(box::MEASURE_COUNTS, rec::kFloatRecordSize));
    } else if (grid == kGridMinMax) {
        doc.EmptyMinMaxRecords();
    }
}

void resetCell(CMorvexDoc& doc, int grid, int cell)
{
    if (cell < 0 || cell >= kCells) {
        return;
    }
    if (grid == kGridLeft || grid == kGridRight) {
        const bool left = grid == kGridLeft;
        clearLambdaSide(doc, cell, left);
        halveCount(doc, cell, lambdaFlag(doc, cell, !left));
    } else if (grid == kGridPercent) {
        doc.SetFloat(box::LAMBDA_RATIO, cell, 0.0f);
    } else if (const InjectionTable* t = injectionTable(grid)) {
        doc.SetFloat(t->record, cell, 0.0f);
        doc.GetBoxData(rec::REC_DATA_RECEIVED)[cell] &= static_cast<uint8_t>(~t->received);
    } else if (grid == kGridMeasureCount) {
        doc.SetFloat(box::MEASURE_COUNTS, cell, 0.0f);
    }
}

void resetCellRecords(CMorvexDoc& doc, int cell)
{
    for (int grid = kGridLeft; grid <= kGridMeasureCount; ++grid) {
        resetCell(doc, grid, cell);
    }
}

// ---- Texts ------------------------------------------------------------------

std::string targetText(int hundredths)
{
    return platform::formatFixed(hundredths / 100.0, 2);
}

TargetEdit applyTargetEdit(std::string_view typed, int stored)
{
    TargetEdit edit;
    const double value = platform::parseDouble(typed);
    // Lambda 0 is no target: a cleared cell goes back to the default.
    int hundredths = value == 0.0 ? CTargetLambda::kDefault : static_cast<int>(std::floor(value * 100.0 + 0.5));
    if (hundredths > CTargetLambda::kMaximum) {
        hundredths = CTargetLambda::kMaximum;
        edit.result.message = "Maximum possible value is " + targetText(hundredths) + "!";
    } else if (hundredths < CTargetLambda::kMinimum) {
        hundredths = CTargetLambda::kMinimum;
        edit.result.message = "Minimum possible value is " + targetText(hundredths) + "!";
    }
    edit.hundredths = hundredths;
    edit.result.answer = -3;
    edit.result.text = targetText(hundredths);
    edit.result.modified = hundredths != stored;
    return edit;
}

std::string cellText(const CMorvexDoc& doc, int grid, int cell, const LambdaDisplay& lambda)
{
    switch (grid) {
    case kGridLeft:
    case kGridRight: {
        const bool left = grid == kGridLeft;
        if (!lambdaFlag(doc, cell, left) || !lambda.convert) {
            return {};
        }
        return lambda.format.format(lambda.convert(doc.GetWord(rawRecord(left), cell)));
    }
    case kGridPercent:
        if (!lambdaFlag(doc, cell, true) || !lambdaFlag(doc, cell, false)) {
            return {};
        }
        // A data file may bring percentages beyond those recorded.
        return DisplayFormat{0}.format(
            std::clamp(static_cast<double>(doc.GetFloat(box::LAMBDA_RATIO, cell)), -kPercentLimit, kPercentLimit));
    case kGridMeasureCount: {
        const float count = doc.GetFloat(box::MEASURE_COUNTS, cell);
        return count > 0.0f ? DisplayFormat{0}.format(static_cast<double>(count) * 0.05) : std::string();
    }
    default: break;
    }
    const InjectionTable* t = injectionTable(grid);
    if (t == nullptr || (doc.GetBoxData(rec::REC_DATA_RECEIVED)[cell] & t->received) == 0) {
        return {};
    }
    const DisplayFormat format = grid == kGridInjectionTime   ? CLimits::kIgnitionTFormat
                                 : grid == kGridInjectionDuty ? CLimits::kIgnitionPFormat
                                                              : CLimits::kFuelConsumptionFormat;
    return format.format(doc.GetFloat(t->record, cell));
}

std::string statisticText(const MinMaxRecord& record, Statistic statistic, int column, const CLimits& limits,
                          const LambdaDisplay& lambda)
{
    const float value = record.values[static_cast<std::size_t>(column)];
    if (isUnset(value)) {
        return {};
    }
    if ((statistic == Statistic::LambdaLeft || statistic == Statistic::LambdaRight) && lambda.convert) {
        // Kept in box units; shown as the selected sensor reads them.
        const auto raw = static_cast<uint16_t>(std::clamp(std::lround(value), 0L, 65535L));
        return lambda.format.format(lambda.convert(raw));
    }
    return statisticScale(limits, statistic).format.format(value);
}

double recordedMaximum(const CMorvexDoc& doc, int grid)
{
    const InjectionTable* t = injectionTable(grid);
    if (t == nullptr) {
        return 0.0;
    }
    const uint8_t* received = doc.GetBoxData(rec::REC_DATA_RECEIVED);
    double maximum = 0.0;
    for (int k = 0; k < kCells; ++k) {
        if ((received[k] & t->received) != 0) {
            maximum = std::max(maximum, static_cast<double>(doc.GetFloat(t->record, k)));
        }
    }
    return maximum;
}

int chartUpperBound(double maximum)
{
    return static_cast<int>(maximum * 1.1 + 0.5);
}

} // namespace morvex::views::recording
