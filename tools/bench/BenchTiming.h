#pragma once

// Timing for the view benchmarks: milliseconds since a start, and one line
// per measured operation with its share of a 60 Hz frame, so the ratios of
// one run can be compared whatever the machine.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <numeric>
#include <vector>

namespace morvex::bench {

using Clock = std::chrono::steady_clock;
inline constexpr double kFrameMs = 16.0;

inline double since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

inline double mean(const std::vector<double>& ms)
{
    return ms.empty() ? 0.0 : std::accumulate(ms.begin(), ms.end(), 0.0) / static_cast<double>(ms.size());
}

// "<name> <count>  mean ... ms (... of a frame)  worst ..."; the name is
// padded to `width`.
inline void printFrameShare(const char* name, const std::vector<double>& ms, int width = 30)
{
    if (ms.empty()) {
        return;
    }
    const double average = mean(ms);
    const double worst = *std::max_element(ms.begin(), ms.end());
    std::printf("%-*s %6zu  mean %8.4f ms (%.4f of a frame)  worst %8.4f ms (%.4f of a frame)\n", width, name,
                ms.size(), average, average / kFrameMs, worst, worst / kFrameMs);
}

} // namespace morvex::bench
