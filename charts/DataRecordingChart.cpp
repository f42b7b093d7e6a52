#include "charts/DataRecordingChart.h"

#include "views/DataRecordingView.h"

#include <cstring>

namespace morvex::charts {

void CDataRecordingChart::BuildData()
{
    const auto* view = qobject_cast<const views::CDataRecordingView*>(Companion());
    const auto range = view != nullptr ? view->ChartRange() : std::nullopt;
    if (range.has_value()) {
        scale_ = ValueScale{range->first, range->second};
    }
    tablePresent_ = Table() != nullptr && range.has_value();
    CFuelmapChart::BuildData();
}

double CDataRecordingChart::ValueAt(int row, int column) const
{
    // The document keeps the floats in the box image, not aligned for
    // a float.
    float value = 0;
    std::memcpy(&value, Table() + sizeof(float) * static_cast<std::size_t>(row * kColumns + column), sizeof value);
    return value;
}

} // namespace morvex::charts
