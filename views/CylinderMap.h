#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace morvex::views {

// A 32 x 16 byte map: grid rows 1..32 and columns 1..16 (row 0 and column
// 0 are the headers); byte position p = 16 (row - 1) + (column - 1).
inline constexpr int kMapRows = 32;
inline constexpr int kMapColumns = 16;
inline constexpr int kMapSize = kMapRows * kMapColumns;
// The box holds only the lower half of each map: grid rows 17..32, map
// positions 256..511.
inline constexpr int kFirstShownRow = 17;
inline constexpr int kHalfMap = kMapSize / 2;

inline constexpr int positionOf(int row, int column)
{
    return (row - 1) * kMapColumns + (column - 1);
}
inline constexpr int rowOf(int position)
{
    return position / kMapColumns + 1;
}
inline constexpr int columnOf(int position)
{
    return position % kMapColumns + 1;
}

// x + 0.5 truncated toward zero: the rounding of every map edit.
int roundMap(double x);

// The leading decimal number of a typed cell text, as atoi reads it:
// `whole` limited to the int range, `low16` its low 16 bits as a signed
// number (what the box's 16-bit cells keep of it).
struct TypedNumber {
    int whole = 0;
    int low16 = 0;
};
TypedNumber parseTypedNumber(std::string_view text);

// The value typed into a map cell: the low 16 bits of the typed number as a
// signed number, limited to 0..250.
uint8_t parseCellValue(std::string_view text);

// The right cylinder in per cent of the left one, 0..250.
uint8_t rightPercent(uint8_t left, uint8_t right);
void computeRightPercent(std::span<const uint8_t> left, std::span<const uint8_t> right, std::span<uint8_t> percent,
                         int count);

// The three grids of a cylinder view.
enum class CylinderGrid : int { Left, Percent, Right };

// What a map cell edit asks of the grid and the view.
struct CellEditResult {
    int answer = 0;                     // 0 keep, -1 restore the old text, -3 keep the view's text
    std::optional<std::string> text;    // the text the cell gets (answer -3)
    std::optional<std::string> message; // shown after a beep for single-cell edits only
    bool modified = false;              // the document changed
};

inline constexpr const char* kLeftIsZeroMessage = "Maximum possible value is 0 \nbecause left cylinder value is 0!";
std::string maximumMessage(int maximum);

// One cell of the coupled grids edited: left L, right R and percent P at
// the cell's position are updated together so that R stays P % of L.
CellEditResult applyCoupledEdit(CylinderGrid grid, std::string_view typed, uint8_t& left, uint8_t& right,
                                uint8_t& percent);
// The grids edited independently (lambda correction mode): `value` is the
// byte of the edited grid.
CellEditResult applyPlainEdit(std::string_view typed, uint8_t& value);

// A value written into the box while online: the coupled byte follows.
// The percentage of a right value over a left 0 is 0.
void setCoupledValue(bool leftPosition, uint8_t value, uint8_t& left, uint8_t& right, uint8_t& percent);

// Fill In Mean Values over the selected cells (row, column, value).
struct SelectedCell {
    int row = 0;
    int column = 0;
    int value = 0;
};
struct FilledCell {
    int row = 0;
    int column = 0;
    std::string text;
};
// Down interpolates within each column, Right within each row; the first
// and last selected cell of each line keep their values. Map bytes wrap
// at 256; 16-bit values (`wrapToByte` false) are written whole.
bool canFillMeanValues(const std::vector<SelectedCell>& selected, bool down);
std::vector<FilledCell> fillMeanValues(const std::vector<SelectedCell>& selected, bool down, bool wrapToByte = true);

// The live cell from the box's operating point.
struct LiveCell {
    int row = -1;    // grid row - 1, -1 unknown
    int column = -1; // grid column - 1
};
inline constexpr int kLiveRevolutionsIndex = 130;
inline constexpr int kLiveThrottleIndex = 131;
// A live value of parameter 130 or 131; true when the cell changed.
bool applyLiveValue(LiveCell& cell, int parameter, int value);
// A failed live query of parameter 130 or 131; true when the cell changed.
bool forgetLiveValue(LiveCell& cell, int parameter);

// The chart's progress marker of a transferred position (0..1023).
inline constexpr int progressMarker(int position)
{
    return position < kMapSize ? 2 * position + 2 : 2 * (1023 - position);
}

} // namespace morvex::views
