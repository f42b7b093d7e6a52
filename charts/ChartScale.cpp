#include "charts/ChartScale.h"

#include <cmath>

namespace morvex::charts {

double scaledHeight(double value, double minimum, double maximum)
{
    const double lift = minimum < 0 ? -minimum : 0.0;
    const double span = maximum + lift;
    if (!(span > 0) || !std::isfinite(span) || !std::isfinite(value)) {
        return 0.0;
    }
    return (value + lift) * kFullHeight / span;
}

} // namespace morvex::charts
