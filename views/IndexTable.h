#pragma once

// The index view's grid: the axis tables TAB_DZI .. TAB_LAI (columns 1..7,
// values in display units, stored as the box's 16-bit words) and the names
// of the special functions (columns 8..11), 32 points each, of which the
// box holds points 0..15. Rows are stored top row last: row 33 is point 0,
// row 18 point 15; rows 2..17 (points 16..31) are hidden. Column 0 numbers
// the points, rows 0 and 1 carry label and unit.

#include "adapt/adapt.h"
#include "document/BoxLayout.h"
#include "document/Labels.h"
#include "document/Limits.h"
#include "views/CylinderMap.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvex::views::indextable {

inline constexpr int kRows = 34;
inline constexpr int kColumns = 12;
inline constexpr int kFixedRows = 18;
inline constexpr int kFixedColumns = 1;
inline constexpr int kHeaderRow = 0;
inline constexpr int kUnitRow = 1;
inline constexpr int kFirstPointRow = 2;
inline constexpr int kFirstShownRow = 18;
inline constexpr int kLastRow = 33;
inline constexpr int kPoints = 32;
inline constexpr int kBoxPoints = 16; // points the box holds

inline constexpr int kPointColumn = 0;
inline constexpr int kRevolutionsColumn = 1;
inline constexpr int kThrottleColumn = 2;
inline constexpr int kLastIndexColumn = 7;
inline constexpr int kFirstTextColumn = 8;
inline constexpr int kLastColumn = 11;

// Bytes of one axis table; the tables follow each other from TAB_DZI on.
inline constexpr int kTableBytes = 64;
// Characters of a name: all the box has room for.
inline constexpr int kNameLength = 4;

inline constexpr const char* kLimitMessage = "Please insert value between %s and %s!";

constexpr int pointOfRow(int row)
{
    return kLastRow - row;
}
constexpr int rowOfPoint(int point)
{
    return kLastRow - point;
}
// The number column 0 shows: 1 in the bottom row, 32 in row 2.
constexpr int pointNumberOfRow(int row)
{
    return kRows - row;
}
constexpr bool isIndexColumn(int column)
{
    return column >= kRevolutionsColumn && column <= kLastIndexColumn;
}
constexpr bool isTextColumn(int column)
{
    return column >= kFirstTextColumn && column <= kLastColumn;
}
// Turbo pressure and lambda are not shown.
constexpr bool isHiddenColumn(int column)
{
    return column == 6 || column == 7;
}
constexpr bool isPointCell(int row, int column)
{
    return row >= kFirstPointRow && row <= kLastRow && (isIndexColumn(column) || isTextColumn(column));
}
// The names the program always gives (LTRH, IPCS, the empty name 2 and RLI
// of the first set, IGMN of the second): never edited.
constexpr bool isPlaceholderCell(int row, int column)
{
    return (column == kFirstTextColumn && row >= 30 && row <= kLastRow) ||
           (column == kFirstTextColumn + 1 && row == 31);
}
// The throttle column's odd rows are set off from the even ones.
constexpr bool isStripedCell(int row, int column)
{
    return column == kThrottleColumn && row >= kFirstPointRow && row % 2 == 1;
}
constexpr IndexTable indexTableOf(int column)
{
    return static_cast<IndexTable>(column - kRevolutionsColumn);
}
constexpr TextTable textTableOf(int column)
{
    return static_cast<TextTable>(column - kFirstTextColumn);
}
// The high byte of the cell's word, counted from TAB_DZI.
constexpr int wordOffset(int row, int column)
{
    return kTableBytes * (column - kRevolutionsColumn) + 2 * pointOfRow(row);
}
// The chart shows the shown axes; the name columns and the hidden ones
// count as its column 10.
constexpr int chartColumnOf(int column)
{
    return column < 6 ? column - 1 : 10;
}

// Header channel of a column and the text its cells are never narrower
// than (null: the cell's own default).
struct ColumnInfo {
    Channel channel = Channel::Revolutions;
    const char* sample = nullptr;
};
const ColumnInfo& columnInfo(int column);

// Transfer progress names a position p = 32 (column - 1) + point: the
// word of an axis or the name of a name column.
constexpr int rowOfPosition(int position)
{
    return kLastRow - position % kPoints;
}
constexpr int columnOfPosition(int position)
{
    return position / kPoints + 1;
}
inline constexpr int kPositions = kPoints * (kLastColumn - kRevolutionsColumn + 1);
// The position of step `step` of the index transfer: the five axes the box
// holds, words 0..15 high byte first (two steps each), then the four name
// sets, 16 names of 4 characters (one step each); -1 beyond the walk.
int positionOfStep(int step);

// How an axis column converts between display and box units.
struct AxisRules {
    AdaptToBoxFn toBox = nullptr;
    AdaptToPcFn toPc = nullptr;
    DisplayFormat format;
    double minimum = 0.0;
    double maximum = 0.0;
};

// One typed axis value: limited to the display range, rounded to the
// precision shown, converted to the box's word and shown as the box's word
// reads back.
struct AxisEdit {
    uint16_t word = 0;
    double value = 0.0; // the word in display units
    std::string text;   // the value as the cell shows it
    bool limited = false;
};
AxisEdit axisEditOf(std::string_view typed, const AxisRules& rules);

// The text the document keeps for a word (and a cell shows).
std::string axisText(uint16_t word, const AxisRules& rules);

// "Please insert value between <minimum> and <maximum>!" in the format.
std::string limitMessage(const AxisRules& rules);

// A name as the document keeps it (Windows-1252 bytes), at most 4
// characters.
std::string cutName(std::string_view name);

// Fill Down over the selected cells: only the axis columns count, each
// column interpolated over its selected cells in row order.
struct ValueCell {
    int row = 0;
    int column = 0;
    double value = 0.0;
};
bool canFillDown(const std::vector<ValueCell>& selected);
// The inner cells of each column with three or more selected cells get
// first + j (last - first) / (k - 1) printed with their column's format.
std::vector<FilledCell> fillDown(const std::vector<ValueCell>& selected,
                                 const std::array<DisplayFormat, kLastIndexColumn>& formats);

// Live markers: parameters 130..134 report the point of the box's rpm,
// throttle, engine temperature, air temperature and air pressure axis.
inline constexpr int kFirstLiveParameter = 130;
inline constexpr int kLastLiveParameter = 134;
inline constexpr int kLiveColumns = kLastLiveParameter - kFirstLiveParameter + 1;
constexpr int liveColumnOf(int parameter)
{
    return parameter >= kFirstLiveParameter && parameter <= kLastLiveParameter
               ? parameter - kFirstLiveParameter + kRevolutionsColumn
               : -1;
}
// The row marked for a live value; -1 for none (255). The box reports the
// position 0..15 in its own copy of the axis (larger values count as 15):
// it holds the rpm axis in the document's order, so position v is word v
// (row 33 - v), and the other four reversed, so position v is word 15 - v
// (row 18 + v).
int liveMarkerRow(int parameter, int value);

} // namespace morvex::views::indextable
