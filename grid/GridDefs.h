#pragma once

#include <QColor>
#include <Qt>

#include <cstdint>
#include <functional>

class QKeyEvent;

namespace morvex::grid {

// Colours as 0x00BBGGRR, the way the views' colour sets and the settings
// write them; kColorDefault means "use the grid's default".
using ColorRef = std::uint32_t;
inline constexpr ColorRef kColorDefault = 0xFF000000u;

constexpr ColorRef Rgb(unsigned r, unsigned g, unsigned b)
{
    return (r & 0xFFu) | ((g & 0xFFu) << 8) | ((b & 0xFFu) << 16);
}
QColor ToQColor(ColorRef colour);

// Notification codes the grid sends to its owner, with the row and column
// of the cell concerned.
inline constexpr int GRID_NOTIFY_SEL_CHANGED = -101;
inline constexpr int GRID_NOTIFY_BEGIN_EDIT = -105;
inline constexpr int GRID_NOTIFY_END_EDIT = -106;
inline constexpr int GRID_NOTIFY_LOCKED_STEP = 1031;
// Answer to an end-edit: the owner has put its own text into the cell;
// keep it, neither mark the cell modified nor redraw it.
inline constexpr int GRID_ANSWER_KEEP_TEXT = -3;

// Cell state bits.
inline constexpr unsigned GVIS_FOCUSED = 0x0001;
inline constexpr unsigned GVIS_SELECTED = 0x0002;
inline constexpr unsigned GVIS_DROPHILITED = 0x0004;
inline constexpr unsigned GVIS_READONLY = 0x0008;
inline constexpr unsigned GVIS_FIXED = 0x0010;
inline constexpr unsigned GVIS_FIXEDROW = 0x0020;
inline constexpr unsigned GVIS_FIXEDCOL = 0x0040;
inline constexpr unsigned GVIS_MODIFIED = 0x0080;
// The owner's mark on a cell (a small corner triangle), whatever its
// colours: the fuel map marks cells locked against corrections with it.
inline constexpr unsigned GVIS_MARKED = 0x0100;

// Text drawing flags of a cell: Qt alignment and text flags as QPainter
// takes them. Ampersands are always shown as they are.
inline constexpr unsigned kFormatLeft = Qt::AlignLeft | Qt::AlignVCenter;
inline constexpr unsigned kFormatRight = Qt::AlignRight | Qt::AlignVCenter;
inline constexpr unsigned kFormatCenter = Qt::AlignHCenter | Qt::AlignVCenter;
// A cell's format that defers to the grid's default cell.
inline constexpr unsigned kFormatUseDefault = 0xFFFFFFFFu;

struct CCellID {
    int row = -1;
    int col = -1;

    constexpr CCellID() = default;
    constexpr CCellID(int r, int c) : row(r), col(c) {}
    constexpr bool IsValid() const { return row >= 0 && col >= 0; }
    constexpr bool operator==(const CCellID&) const = default;
};

struct CCellRange {
    int minRow = -1;
    int minCol = -1;
    int maxRow = -1;
    int maxCol = -1;

    constexpr CCellRange() = default;
    constexpr CCellRange(int r0, int c0, int r1, int c1) : minRow(r0), minCol(c0), maxRow(r1), maxCol(c1) {}
    constexpr bool IsValid() const { return minRow >= 0 && minCol >= 0 && maxRow >= minRow && maxCol >= minCol; }
    constexpr bool InRange(int row, int col) const
    {
        return IsValid() && row >= minRow && row <= maxRow && col >= minCol && col <= maxCol;
    }
    constexpr int RowSpan() const { return IsValid() ? maxRow - minRow + 1 : 0; }
    constexpr int ColSpan() const { return IsValid() ? maxCol - minCol + 1 : 0; }
    constexpr CCellID TopLeft() const { return {minRow, minCol}; }
    constexpr bool operator==(const CCellRange&) const = default;
};

// The owner of a grid (a view) answers its notifications synchronously; the
// answer decides what happens to the cell (see GRID_NOTIFY_*).
class GridNotifyTarget {
public:
    virtual ~GridNotifyTarget() = default;
    virtual int GridNotify(int code, int row, int column) = 0;
    // Key presses a locked function grid hands on to its owner while
    // locked stepping is on (the owner's online tuning keys).
    virtual void GridKeyDown(int /*key*/, Qt::KeyboardModifiers /*modifiers*/) {}
};

// Every beep of the grid and its editors goes through one of these.
using Beeper = std::function<void()>;

// How an in-place edit was started: by a typed character (arrow keys then
// end the edit), or by the mouse, Enter or F2 (arrow keys move the caret).
enum class EditStart { TypedKey, Mouse, Enter };

// The character a key press types, as the editors and the stepping keys
// see it: control characters for Ctrl+letter and Backspace, nothing for
// keys that type nothing (arrows, function keys, Delete).
QChar TypedChar(const QKeyEvent& event);

} // namespace morvex::grid
