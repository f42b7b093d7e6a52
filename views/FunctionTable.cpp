#include "views/FunctionTable.h"

#include "views/CylinderMap.h"

#include <algorithm>
#include <cctype>
#include <climits>

namespace morvex::views::functiontable {
namespace {

constexpr int kMaxByte = 250;

// The byte tables the box holds, in the order the transfer walks them,
// with the line address of their byte 0 (bytes 0..15 travel).
struct BoxBlock {
    int column;
    uint16_t lineAddress;
};
constexpr std::array<BoxBlock, 6> kBoxBlocks{{
    {0, 1024}, // TAB_MTD
    {1, 1056}, // TAB_LTD
    {2, 1088}, // TAB_LDD
    {5, 1184}, // TAB_SFD1
    {6, 1216}, // TAB_SFD2
    {8, 1072}, // TAB_SFD_EX
}};
// TAB_SFD_INT16 words 0..15, high byte first.
constexpr uint16_t kWordLineAddress = 1232;
constexpr int kWalkByteSteps = static_cast<int>(kBoxBlocks.size()) * kBoxPoints;
constexpr int kWalkSteps = kWalkByteSteps + 2 * kBoxPoints;

const std::array<ColumnInfo, kColumns> kColumnInfo{{
    {Channel::MotorTemperature, IndexTable::MTI, std::nullopt, "188"},
    {Channel::AirTemperature, IndexTable::LTI, std::nullopt, "188"},
    {Channel::AirPressure, IndexTable::LDI, std::nullopt, "1000"},
    {Channel::TurboPressure, IndexTable::TDI, std::nullopt, "188"},
    {Channel::Lambda, IndexTable::LAI, std::nullopt, "188"},
    {Channel::SpecialFunction1, std::nullopt, TextTable::SFI1, "WWQQ"},
    {Channel::SpecialFunction2, std::nullopt, TextTable::SFI2, "WWQQ"},
    {std::nullopt, std::nullopt, std::nullopt, "188"},
    {Channel::SpecialFunction3, std::nullopt, TextTable::EX, "WWQQ"},
    {Channel::SpecialFunction4, std::nullopt, TextTable::EX2, "88888"},
}};

bool isPointCell(int row, int column)
{
    return row >= kFirstPointRow && row <= kLastRow && column >= 0 && column < kColumns;
}

constexpr std::array<int, 7> kTuningColumns{0, 1, 2, 5, 6, 8, 9};

bool hasTuningPoint(int column)
{
    return column >= kRevLimitColumn;
}

} // namespace

const ColumnInfo& columnInfo(int column)
{
    return kColumnInfo[static_cast<std::size_t>(std::clamp(column, 0, kColumns - 1))];
}

CellLimits cellLimits(int row, int column)
{
    if (column == kWordColumn) {
        return {0, kWordMaximum};
    }
    if (isIgnitionMapCell(row, column)) {
        return {0, kIgnitionMapMaximum};
    }
    return {0, kMaxByte};
}

CellBytes cellBytes(int row, int column)
{
    if (!isPointCell(row, column)) {
        return {};
    }
    const int point = pointOfRow(row);
    if (isRevLimitCell(row, column)) {
        return {2, {kRevLimitHigh, kRevLimitLow}};
    }
    if (column == kWordColumn) {
        const int high = kWordBase + 2 * point;
        return {2, {high, high + 1}};
    }
    return {1, {kBlockSize * column + point, 0}};
}

int positionOfStep(int step)
{
    if (step < 0 || step >= kWalkSteps) {
        return -1;
    }
    if (step < kWalkByteSteps) {
        const BoxBlock& block = kBoxBlocks[static_cast<std::size_t>(step / kBoxPoints)];
        return kBlockSize * block.column + step % kBoxPoints;
    }
    // Both bytes of a word report the word's position.
    return kWordBase + (step - kWalkByteSteps) / 2;
}

std::optional<uint16_t> lineAddressOf(int offset)
{
    if (offset >= kWordBase && offset < kWordBase + 2 * kBoxPoints) {
        return static_cast<uint16_t>(kWordLineAddress + (offset - kWordBase));
    }
    if (offset < 0 || offset >= kWordBase || offset % kBlockSize >= kBoxPoints) {
        return std::nullopt;
    }
    for (const BoxBlock& block : kBoxBlocks) {
        if (block.column == offset / kBlockSize) {
            return static_cast<uint16_t>(block.lineAddress + offset % kBlockSize);
        }
    }
    return std::nullopt;
}

int parseCellNumber(std::string_view text)
{
    return parseTypedNumber(text).whole;
}

int revLimitShown(uint16_t raw, AdaptToPcFn toPc)
{
    return static_cast<int>(toPc(raw) * 0.01);
}

RevLimit revLimitFromTyped(int typed, double maximumRevolutions, AdaptToBoxFn toBox, AdaptToPcFn toPc)
{
    RevLimit r;
    const int maximum = static_cast<int>(maximumRevolutions * 0.01);
    int v = typed;
    if (v < kRevLimitMinimum) {
        v = kRevLimitMinimum;
    } else if (v > maximum) {
        v = maximum >= kMaxByte ? kMaxByte : maximum;
    }
    // A configured maximum below 300 rpm must not give a limit of 0.
    v = std::max(v, kRevLimitMinimum);
    r.corrected = v != typed;
    r.shown = v;
    r.raw = toBox(v * 100.0);
    r.roundTripFailed = revLimitShown(r.raw, toPc) != v;
    return r;
}

FunctionEdit applyFunctionEdit(std::span<uint8_t, kTableSize> table, int row, int column, std::string_view typed,
                               const RevConversions& conversions)
{
    FunctionEdit e;
    const CellBytes bytes = cellBytes(row, column);
    if (bytes.count == 0 || isRevLimitHighCell(row, column)) {
        e.answer = -1;
        return e;
    }
    const int v = parseCellNumber(typed);
    int stored = 0;
    if (isRevLimitCell(row, column)) {
        const RevLimit limit =
            revLimitFromTyped(v, conversions.maximumRevolutions, conversions.toBox, conversions.toPc);
        writeWordBE(&table[kRevLimitHigh], limit.raw);
        stored = limit.shown;
        e.beep = limit.corrected;
        e.roundTripFailed = limit.roundTripFailed;
    } else {
        const CellLimits limits = cellLimits(row, column);
        stored = std::clamp(v, limits.minimum, limits.maximum);
        if (column == kWordColumn) {
            writeWordBE(&table[static_cast<std::size_t>(bytes.offsets[0])], static_cast<uint16_t>(stored));
        } else {
            table[static_cast<std::size_t>(bytes.offsets[0])] = static_cast<uint8_t>(stored);
        }
        if (isIgnitionMapCell(row, column)) {
            e.ignitionMap = stored;
        }
    }
    const std::string shown = std::to_string(stored);
    if (shown != typed) {
        e.answer = -3;
        e.text = shown;
    }
    return e;
}

std::string cellText(std::span<const uint8_t, kTableSize> table, int row, int column, AdaptToPcFn toPc)
{
    const CellBytes bytes = cellBytes(row, column);
    if (bytes.count == 0 || isRevLimitHighCell(row, column)) {
        return {};
    }
    const auto at = static_cast<std::size_t>(bytes.offsets[0]);
    if (isRevLimitCell(row, column)) {
        return toPc != nullptr ? std::to_string(revLimitShown(readWordBE(&table[at]), toPc)) : std::string();
    }
    if (column == kWordColumn) {
        return std::to_string(readWordBE(&table[at]));
    }
    return std::to_string(table[at]);
}

OnlineTuning::OnlineTuning()
{
    points_.fill(-1);
    liveRows_.fill(-1);
}

void OnlineTuning::moveColumn(int direction)
{
    const auto at = std::find(kTuningColumns.begin(), kTuningColumns.end(), column_);
    const auto index = (at - kTuningColumns.begin()) + (direction > 0 ? 1 : -1);
    if (index < 0 || index >= static_cast<long>(kTuningColumns.size())) {
        return;
    }
    const int from = column_;
    const int to = kTuningColumns[static_cast<std::size_t>(index)];
    int& point = points_[static_cast<std::size_t>(to)];
    if (hasTuningPoint(from) && hasTuningPoint(to) && points_[static_cast<std::size_t>(from)] >= 0) {
        point = points_[static_cast<std::size_t>(from)];
    } else if (to == kRevLimitColumn && direction > 0 && point < 0) {
        point = kBoxPoints - 1;
    }
    // The high byte of the revolution limit is not a point of its own.
    if (to == kRevLimitColumn && point == pointOfRow(kRevLimitHighRow)) {
        point = pointOfRow(kRevLimitRow);
    }
    column_ = to;
}

bool OnlineTuning::movePoint(int direction)
{
    if (!hasTuningPoint(column_)) {
        return false;
    }
    int& point = points_[static_cast<std::size_t>(column_)];
    int next = std::clamp(point + (direction > 0 ? 1 : -1), 0, kBoxPoints - 1);
    if (column_ == kRevLimitColumn && next == pointOfRow(kRevLimitHighRow)) {
        next += direction > 0 ? 1 : -1;
    }
    point = next;
    return true;
}

bool OnlineTuning::setLive(int parameter, int value)
{
    if (parameter < kLiveEngineTemperature || parameter > kLiveAirPressure) {
        return false;
    }
    liveRows_[static_cast<std::size_t>(parameter - kLiveEngineTemperature)] = liveMarkerRow(value);
    return true;
}

void OnlineTuning::forgetLive()
{
    liveRows_.fill(-1);
}

void OnlineTuning::liveFailed()
{
    if (hasTuningPoint(column_)) {
        points_[static_cast<std::size_t>(column_)] = -1;
    }
}

int OnlineTuning::tunedRow() const
{
    if (!hasTuningPoint(column_)) {
        return liveRows_[static_cast<std::size_t>(column_)];
    }
    const int point = points_[static_cast<std::size_t>(column_)];
    return point >= 0 ? rowOfPoint(point) : -1;
}

} // namespace morvex::views::functiontable
