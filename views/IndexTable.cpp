#include "views/IndexTable.h"

#include "platform/NumberFormat.h"
#include "views/FunctionTable.h"

#include <algorithm>
#include <map>

namespace morvex::views::indextable {
namespace {

const std::array<ColumnInfo, kColumns> kColumnInfo{{
    {Channel::Revolutions, nullptr}, // the point numbers
    {Channel::Revolutions, "88.888"},
    {Channel::ThrottlePosition, "888"},
    {Channel::MotorTemperature, nullptr},
    {Channel::AirTemperature, nullptr},
    {Channel::AirPressure, "8888"},
    {Channel::TurboPressure, "8888"},
    {Channel::Lambda, "8.88"},
    {Channel::SpecialFunction1, "WWWW"},
    {Channel::SpecialFunction2, "WWWW"},
    {Channel::SpecialFunction3, "WWWW"},
    {Channel::SpecialFunction4, "WWWW"},
}};

// The index transfer walks the five axes the box holds, each from word 0
// on (the reversed ones at falling box addresses), then the four name sets.
constexpr int kWalkedAxes = 5;
constexpr int kAxisWalkSteps = 2 * kBoxPoints;
constexpr int kNameSets = 4;
constexpr int kNameWalkSteps = kNameLength * kBoxPoints;

std::string replaceFirst(std::string text, std::string_view what, const std::string& by)
{
    const std::size_t at = text.find(what);
    if (at != std::string::npos) {
        text.replace(at, what.size(), by);
    }
    return text;
}

} // namespace

const ColumnInfo& columnInfo(int column)
{
    return kColumnInfo[static_cast<std::size_t>(std::clamp(column, 0, kColumns - 1))];
}

int positionOfStep(int step)
{
    if (step < 0) {
        return -1;
    }
    if (step < kWalkedAxes * kAxisWalkSteps) {
        return kPoints * (step / kAxisWalkSteps) + (step % kAxisWalkSteps) / 2;
    }
    step -= kWalkedAxes * kAxisWalkSteps;
    if (step < kNameSets * kNameWalkSteps) {
        return kPoints * (kFirstTextColumn - kRevolutionsColumn + step / kNameWalkSteps) +
               (step % kNameWalkSteps) / kNameLength;
    }
    return -1;
}

AxisEdit axisEditOf(std::string_view typed, const AxisRules& rules)
{
    AxisEdit e;
    double x = platform::parseDouble(typed);
    if (!(x >= rules.minimum)) {
        x = rules.minimum;
        e.limited = true;
    } else if (x > rules.maximum) {
        x = rules.maximum;
        e.limited = true;
    }
    // The value the box gets is the one shown with the column's precision.
    x = rules.format.roundTrip(x);
    e.word = rules.toBox(x);
    e.value = rules.toPc(e.word);
    e.text = rules.format.format(e.value);
    return e;
}

std::string axisText(uint16_t word, const AxisRules& rules)
{
    return rules.format.format(rules.toPc(word));
}

std::string limitMessage(const AxisRules& rules)
{
    std::string text = replaceFirst(kLimitMessage, "%s", rules.format.format(rules.minimum));
    return replaceFirst(std::move(text), "%s", rules.format.format(rules.maximum));
}

std::string cutName(std::string_view name)
{
    return std::string(name.substr(0, kNameLength));
}

bool canFillDown(const std::vector<ValueCell>& selected)
{
    std::vector<SelectedCell> cells;
    for (const ValueCell& c : selected) {
        if (isIndexColumn(c.column)) {
            cells.push_back({c.row, c.column, 0});
        }
    }
    return canFillMeanValues(cells, true);
}

std::vector<FilledCell> fillDown(const std::vector<ValueCell>& selected,
                                 const std::array<DisplayFormat, kLastIndexColumn>& formats)
{
    std::map<int, std::vector<ValueCell>> columns;
    for (const ValueCell& c : selected) {
        if (isIndexColumn(c.column)) {
            columns[c.column].push_back(c);
        }
    }
    std::vector<FilledCell> filled;
    for (auto& [column, cells] : columns) {
        const std::size_t k = cells.size();
        if (k <= 2) {
            continue;
        }
        std::sort(cells.begin(), cells.end(), [](const ValueCell& a, const ValueCell& b) { return a.row < b.row; });
        const double first = cells.front().value;
        const double last = cells.back().value;
        const DisplayFormat format = formats[static_cast<std::size_t>(column - kRevolutionsColumn)];
        for (std::size_t j = 1; j + 1 < k; ++j) {
            const double value = first + static_cast<double>(j) * (last - first) / static_cast<double>(k - 1);
            filled.push_back({cells[j].row, column, format.format(value)});
        }
    }
    return filled;
}

int liveMarkerRow(int parameter, int value)
{
    const int column = liveColumnOf(parameter);
    // The row of position v on a reversed axis, as the function view marks
    // its live points.
    const int reversedRow = functiontable::liveMarkerRow(value);
    if (column < 0 || reversedRow < 0) {
        return -1;
    }
    if (column == kRevolutionsColumn) {
        return kFirstShownRow + kLastRow - reversedRow;
    }
    return reversedRow;
}

} // namespace morvex::views::indextable
