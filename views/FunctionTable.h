#pragma once

// The function table of the special function view: the 640 bytes at
// box-image offsets 0x0400..0x067F (TAB_MTD .. TAB_SFD_INT16), shown as
// ten columns of 32 points, of which the box holds points 0..15. Grid
// rows are stored top row last: row 33 is point 0, row 18 point 15, and
// rows 2..17 (points 16..31) are hidden.

#include "adapt/adapt.h"
#include "document/BoxLayout.h"
#include "document/Labels.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace morvex::views::functiontable {

inline constexpr int kTableSize = 640;
inline constexpr int kBlockSize = 64; // one table per column: 32 left bytes, 32 right
inline constexpr int kPoints = 32;
inline constexpr int kBoxPoints = 16; // points the box holds

inline constexpr int kRows = 34;
inline constexpr int kColumns = 10;
inline constexpr int kFixedRows = 18;
inline constexpr int kHeaderRow = 0;
inline constexpr int kUnitRow = 1;
inline constexpr int kFirstPointRow = 2;
inline constexpr int kFirstShownRow = 18;
inline constexpr int kLastRow = 33;

// Column 9: 16-bit values, high byte first, word k at byte 576 + 2k.
inline constexpr int kWordColumn = 9;
inline constexpr int kWordBase = 576;
inline constexpr int kWordMaximum = 32000;

// The revolution limit: a word at bytes 322 (high) and 323 (low) of
// column 5, shown in row 30 in hundreds of rpm; row 31 stands for the
// high byte and is never edited.
inline constexpr int kRevLimitColumn = 5;
inline constexpr int kRevLimitRow = 30;
inline constexpr int kRevLimitHighRow = 31;
inline constexpr int kRevLimitHigh = 322;
inline constexpr int kRevLimitLow = 323;
inline constexpr int kRevLimitMinimum = 3; // 300 rpm
inline constexpr const char* kRevLimitMismatchMessage = "RLI: geschriebener Wert nicht gleich gelesenem Wert!";

// The ignition map number (IGMN, TAB_SFD2 entry 2).
inline constexpr int kIgnitionMapColumn = 6;
inline constexpr int kIgnitionMapRow = 31;
inline constexpr int kIgnitionMapMaximum = 26;

// Live values whose cell index is the point of columns 0, 1 and 2.
inline constexpr int kLiveEngineTemperature = 132;
inline constexpr int kLiveAirTemperature = 133;
inline constexpr int kLiveAirPressure = 134;
inline constexpr int kLiveNone = 255;

constexpr int pointOfRow(int row)
{
    return kLastRow - row;
}
constexpr int rowOfPoint(int point)
{
    return kLastRow - point;
}
constexpr bool isHiddenColumn(int column)
{
    return column == 3 || column == 4 || column == 7;
}
constexpr bool isRevLimitCell(int row, int column)
{
    return row == kRevLimitRow && column == kRevLimitColumn;
}
constexpr bool isRevLimitHighCell(int row, int column)
{
    return row == kRevLimitHighRow && column == kRevLimitColumn;
}
constexpr bool isIgnitionMapCell(int row, int column)
{
    return row == kIgnitionMapRow && column == kIgnitionMapColumn;
}

// What a column shows: its channel (header label and unit), the texts
// attached to its points (an index table's texts or a name table), its
// sizing text. Column 7 (TAB_INFO) has none of these.
struct ColumnInfo {
    std::optional<Channel> channel;
    std::optional<IndexTable> axis;
    std::optional<TextTable> names;
    const char* sample = "188";
};
const ColumnInfo& columnInfo(int column);

struct CellLimits {
    int minimum = 0;
    int maximum = 250;
};
CellLimits cellLimits(int row, int column);

// The bytes a point cell stores, in the order they are reported: one byte,
// or high and low byte of column 9 and of the revolution limit.
struct CellBytes {
    int count = 0;
    std::array<int, 2> offsets{};
    // Only of a named object: a span into a temporary's array would dangle
    // (for (int o : cellBytes(r, c).list()) does not compile).
    std::span<const int> list() const& { return {offsets.data(), static_cast<std::size_t>(count)}; }
    std::span<const int> list() const&& = delete;
};
CellBytes cellBytes(int row, int column);

// Transfer progress comes as positions: byte p of a byte table's block,
// or 576 + k for word k of column 9.
constexpr int rowOfPosition(int position)
{
    return kLastRow - position % kPoints;
}
constexpr int columnOfPosition(int position)
{
    return position / kBlockSize;
}
// The first half of a block is shown; the second half only loses its colours.
constexpr bool isShownHalf(int position)
{
    return position % kBlockSize < kPoints;
}
// The byte of a word position (2 p - 576: the high byte of word p - 576).
constexpr int wordOffsetOfPosition(int position)
{
    return 2 * position - kWordBase;
}
// The position of step `step` of the special function transfer (the walk
// sends MTD, LTD, LDD, SFD1, SFD2, SFD_EX bytes 0..15, then the 16 words,
// two steps each); -1 beyond the walk.
int positionOfStep(int step);

// The box's line address of a function-table byte as the transfer writes
// it; none for the bytes the box does not hold (hidden columns, points
// 16..31), which must never be written to the box.
std::optional<uint16_t> lineAddressOf(int offset);

// The decimal number at the start of a cell text (blanks, a sign, digits;
// 0 without digits), saturated at the int range.
int parseCellNumber(std::string_view text);

// The revolution limit of a typed number of hundreds of rpm: at least 3,
// at most the display maximum of revolutions / 100 (250 at most).
struct RevLimit {
    int shown = 0;                // hundreds of rpm, as the cell shows it
    uint16_t raw = 0;             // what the box stores
    bool corrected = false;       // the typed number was out of range (a beep)
    bool roundTripFailed = false; // the raw value does not read back as `shown`
};
RevLimit revLimitFromTyped(int typed, double maximumRevolutions, AdaptToBoxFn toBox, AdaptToPcFn toPc);
// Hundreds of rpm of a stored revolution limit (truncated).
int revLimitShown(uint16_t raw, AdaptToPcFn toPc);

// One edit of a point cell: the typed text is limited and stored.
struct FunctionEdit {
    int answer = 0;                  // 0 keep, -3 keep the text below
    std::optional<std::string> text; // the stored value as the cell shows it (answer -3)
    bool beep = false;               // the revolution limit was corrected
    bool roundTripFailed = false;    // show kRevLimitMismatchMessage
    std::optional<int> ignitionMap;  // the ignition map number was edited: the stored number
};
struct RevConversions {
    AdaptToBoxFn toBox = nullptr; // PC_TO_BOX_Drehzahl
    AdaptToPcFn toPc = nullptr;   // BOX_TO_PC_Drehzahl_25
    double maximumRevolutions = 0.0;
};
FunctionEdit applyFunctionEdit(std::span<uint8_t, kTableSize> table, int row, int column, std::string_view typed,
                               const RevConversions& conversions);

// The text a point cell shows: "%d" of its byte or word, the revolution
// limit in hundreds of rpm, nothing for the high byte of the limit.
std::string cellText(std::span<const uint8_t, kTableSize> table, int row, int column, AdaptToPcFn toPc);

// The row of a live point (cell index of live values 132..134): none for
// 255. The box reports the position 0..15 in its own copy of the axis,
// which it holds in reversed order, so its position j is the document's
// point 15 - j, shown in row 18 + j; larger values count as 15.
constexpr int liveMarkerRow(int value)
{
    if (value == kLiveNone || value < 0) {
        return -1;
    }
    return kFirstShownRow + (value > 15 ? 15 : value);
}

// The online tuning selection: a column among 0, 1, 2, 5, 6, 8, 9 and, for
// the columns 5, 6, 8, 9, a point 0..15 picked with the arrow keys. The
// columns 0..2 tune the cell of their live point.
class OnlineTuning {
public:
    OnlineTuning();

    int column() const { return column_; }
    int point(int column) const { return points_[static_cast<std::size_t>(column)]; }
    int liveRow(int column) const { return liveRows_[static_cast<std::size_t>(column)]; }

    // Left and right: one tuning column further; onto column 5 without a
    // point it starts at 15, between 5, 6, 8 and 9 the point moves along.
    void moveColumn(int direction);
    // Up raises, down lowers the point of columns 5, 6, 8, 9; false for
    // the other columns.
    bool movePoint(int direction);
    // Live value of parameter 132..134; false for other parameters.
    bool setLive(int parameter, int value);
    void forgetLive();
    // A failed live query: the point of the tuned column 5..9 is forgotten.
    void liveFailed();
    // The cell the locked step acts on; row -1 when there is none.
    int tunedRow() const;

private:
    int column_ = 0;
    std::array<int, kColumns> points_{};
    std::array<int, 3> liveRows_{};
};

} // namespace morvex::views::functiontable
