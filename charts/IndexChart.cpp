#include "charts/IndexChart.h"

#include "charts/ChartScale.h"
#include "views/IndexView.h"

#include <cstring>

namespace morvex::charts {

CIndexChart::CIndexChart(views::CZamoGridView& companion, QWidget* parent)
    : CFunctionChart(companion, kRibbons, parent)
{
}

bool CIndexChart::PrepareHeights()
{
    const auto* view = qobject_cast<const views::CZamoIndexView*>(Companion());
    if (view == nullptr) {
        return false;
    }
    for (int axis = 0; axis < kAxes; ++axis) {
        const views::indextable::AxisRules rules = view->Rules(views::indextable::kRevolutionsColumn + axis);
        limits_[static_cast<std::size_t>(axis)] = {rules.minimum, rules.maximum};
    }
    return true;
}

double CIndexChart::HeightOf(int ribbon, int point) const
{
    if (ribbon >= kAxes) {
        return 0.0;
    }
    // Stored top row last: the chart's point j is entry 15 - j. The
    // document's doubles lie in a byte area, so they are copied out.
    const int entry = kAxisEntries * ribbon + (kPoints - 1 - point);
    double value = 0;
    std::memcpy(&value, Table() + sizeof(double) * static_cast<std::size_t>(entry), sizeof value);
    const Limits& limits = limits_[static_cast<std::size_t>(ribbon)];
    return scaledHeight(value, limits.minimum, limits.maximum);
}

} // namespace morvex::charts
