#include "views/CylinderMap.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <map>

namespace morvex::views {
namespace {

constexpr int kMaxValue = 250;

uint8_t toByte(int v)
{
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

std::string text(int v)
{
    return std::to_string(v);
}

// The over-limit answer shared by the percent and the right grid: the
// stored value becomes the maximum, the cell shows it.
void capAt(CellEditResult& r, int maximum, int typed, uint8_t stored)
{
    if (maximum != typed) {
        r.message = maximumMessage(maximum);
    }
    if (maximum == stored) {
        r.answer = -1;
    } else {
        r.answer = -3;
        r.text = text(maximum);
    }
    r.modified = true;
}

} // namespace

int roundMap(double x)
{
    return static_cast<int>(x + 0.5);
}

TypedNumber parseTypedNumber(std::string_view t)
{
    std::size_t i = 0;
    while (i < t.size() && std::isspace(static_cast<unsigned char>(t[i])) != 0) {
        ++i;
    }
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        negative = t[i] == '-';
        ++i;
    }
    // The low bits are accumulated modulo 2^16, the whole number saturates.
    uint32_t low = 0;
    long long whole = 0;
    constexpr long long kLimit = static_cast<long long>(INT_MAX) + 1;
    for (; i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])) != 0; ++i) {
        const int digit = t[i] - '0';
        low = (low * 10 + static_cast<uint32_t>(digit)) & 0xFFFFu;
        whole = std::min(whole * 10 + digit, kLimit);
    }
    if (negative) {
        low = (0x10000u - low) & 0xFFFFu;
        whole = -whole;
    }
    TypedNumber n;
    n.whole = static_cast<int>(std::clamp(whole, static_cast<long long>(INT_MIN), static_cast<long long>(INT_MAX)));
    n.low16 = low >= 0x8000u ? static_cast<int>(low) - 0x10000 : static_cast<int>(low);
    return n;
}

uint8_t parseCellValue(std::string_view t)
{
    return static_cast<uint8_t>(std::clamp(parseTypedNumber(t).low16, 0, kMaxValue));
}

uint8_t rightPercent(uint8_t left, uint8_t right)
{
    if (left == 0) {
        return right != 0 ? right : 100;
    }
    return static_cast<uint8_t>(std::min(roundMap(right * 100.0 / left), kMaxValue));
}

void computeRightPercent(std::span<const uint8_t> left, std::span<const uint8_t> right, std::span<uint8_t> percent,
                         int count)
{
    const auto n = std::min({static_cast<std::size_t>(std::max(count, 0)), left.size(), right.size(), percent.size()});
    for (std::size_t p = 0; p < n; ++p) {
        percent[p] = rightPercent(left[p], right[p]);
    }
}

std::string maximumMessage(int maximum)
{
    return "Maximum possible value is " + text(maximum) + "!";
}

CellEditResult applyCoupledEdit(CylinderGrid grid, std::string_view typed, uint8_t& left, uint8_t& right,
                                uint8_t& percent)
{
    CellEditResult r;
    const int v = parseCellValue(typed);
    const double l = left;
    switch (grid) {
    case CylinderGrid::Left: {
        left = static_cast<uint8_t>(v);
        const int r2 = roundMap(percent * static_cast<double>(left) * 0.01);
        if (r2 <= kMaxValue) {
            right = static_cast<uint8_t>(r2);
        } else {
            right = kMaxValue;
            if (left != 0) {
                percent = toByte(roundMap(kMaxValue * 100.0 / left));
            }
        }
        break;
    }
    case CylinderGrid::Percent: {
        const int r2 = roundMap(v * l * 0.01);
        if (r2 <= kMaxValue) {
            percent = static_cast<uint8_t>(v);
            right = static_cast<uint8_t>(r2);
            break;
        }
        const int maximum = roundMap(25000.0 / l);
        if (maximum != v) {
            capAt(r, maximum, v, percent);
            right = kMaxValue;
            percent = toByte(maximum);
            return r;
        }
        break; // nothing stored; the cell shows the stored percentage again
    }
    case CylinderGrid::Right: {
        if (left == 0) {
            if (v != 0) {
                r.message = kLeftIsZeroMessage;
                if (right != 0) {
                    r.answer = -3;
                    r.text = "0";
                    r.modified = true;
                } else {
                    r.answer = -1;
                }
                right = 0;
                return r;
            }
            right = 0;
            percent = 0;
            break;
        }
        const int p2 = roundMap(v * 100.0 / l);
        if (p2 <= kMaxValue) {
            right = static_cast<uint8_t>(v);
            percent = static_cast<uint8_t>(p2);
            break;
        }
        const int maximum = roundMap(l * kMaxValue * 0.01);
        if (maximum != v) {
            capAt(r, maximum, v, right);
            right = toByte(maximum);
            percent = kMaxValue;
            return r;
        }
        right = static_cast<uint8_t>(v);
        percent = toByte(p2);
        break;
    }
    }
    const uint8_t stored = grid == CylinderGrid::Left ? left : grid == CylinderGrid::Percent ? percent : right;
    if (text(stored) != typed) {
        r.answer = -3;
        r.text = text(stored);
    }
    r.modified = true;
    return r;
}

CellEditResult applyPlainEdit(std::string_view typed, uint8_t& value)
{
    CellEditResult r;
    value = parseCellValue(typed);
    if (text(value) != typed) {
        r.answer = -3;
        r.text = text(value);
    }
    r.modified = true;
    return r;
}

void setCoupledValue(bool leftPosition, uint8_t value, uint8_t& left, uint8_t& right, uint8_t& percent)
{
    if (leftPosition) {
        left = value;
        right = toByte(std::min(roundMap(percent * static_cast<double>(left) * 0.01), kMaxValue));
    } else {
        right = value;
        percent = left == 0 ? 0 : toByte(std::min(roundMap(right * 100.0 / left), kMaxValue));
    }
}

namespace {

// The selected cells by line: columns for Down, rows for Right, each line
// in order along it.
std::map<int, std::vector<SelectedCell>> linesOf(const std::vector<SelectedCell>& selected, bool down)
{
    std::map<int, std::vector<SelectedCell>> lines;
    for (const SelectedCell& c : selected) {
        lines[down ? c.column : c.row].push_back(c);
    }
    for (auto& [key, cells] : lines) {
        std::sort(cells.begin(), cells.end(), [down](const SelectedCell& a, const SelectedCell& b) {
            return down ? a.row < b.row : a.column < b.column;
        });
    }
    return lines;
}

} // namespace

bool canFillMeanValues(const std::vector<SelectedCell>& selected, bool down)
{
    if (selected.size() <= 2) {
        return false;
    }
    int first = kMapSize;
    int last = -1;
    for (const SelectedCell& c : selected) {
        const int along = down ? c.row : c.column;
        first = std::min(first, along);
        last = std::max(last, along);
    }
    if (last - first + 1 <= 2) {
        return false;
    }
    bool anyLong = false;
    for (const auto& [key, cells] : linesOf(selected, down)) {
        if (cells.size() < 3) {
            return false;
        }
        anyLong = true;
    }
    return anyLong;
}

std::vector<FilledCell> fillMeanValues(const std::vector<SelectedCell>& selected, bool down, bool wrapToByte)
{
    std::vector<FilledCell> filled;
    if (selected.size() < 3) {
        return filled;
    }
    for (const auto& [key, cells] : linesOf(selected, down)) {
        const std::size_t k = cells.size();
        if (k <= 2) {
            continue;
        }
        const double a0 = cells.front().value;
        const double step = (cells.back().value - a0) / static_cast<double>(k - 1);
        for (std::size_t j = 1; j + 1 < k; ++j) {
            const int mean = static_cast<int>(static_cast<double>(j) * step + a0 + 0.5);
            const int value = wrapToByte ? mean % 256 : mean;
            filled.push_back({cells[j].row, cells[j].column, text(value)});
        }
    }
    return filled;
}

bool applyLiveValue(LiveCell& cell, int parameter, int value)
{
    const LiveCell before = cell;
    if (parameter == kLiveRevolutionsIndex) {
        cell.row = value == 255 ? -1 : 31 - std::clamp(value, 0, 31);
    } else if (parameter == kLiveThrottleIndex) {
        cell.column = value == 255 ? -1 : 15 - std::clamp(value, 0, 15);
    }
    return cell.row != before.row || cell.column != before.column;
}

bool forgetLiveValue(LiveCell& cell, int parameter)
{
    const LiveCell before = cell;
    if (parameter == kLiveRevolutionsIndex) {
        cell.row = -1;
    } else if (parameter == kLiveThrottleIndex) {
        cell.column = -1;
    }
    return cell.row != before.row || cell.column != before.column;
}

} // namespace morvex::views
