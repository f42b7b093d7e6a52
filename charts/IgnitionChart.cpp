#include "charts/IgnitionChart.h"

namespace morvex::charts {

void CIgnitionChart::SetValueRange(double offset, double range)
{
    scale_ = ValueScale{offset, range};
    // The table follows with the view's rebuild request; the heights are
    // computed with it.
    RequestRebuild();
}

} // namespace morvex::charts
