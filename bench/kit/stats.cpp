#include "stats.h"

#include <algorithm>
#include <cmath>

namespace tarn::bench {

double percentile(const std::vector<double> &sorted, double fraction)
{
    if (sorted.empty())
        return 0;
    const auto n = static_cast<double>(sorted.size());
    // Rank from 1 to n; a tiny allowance keeps 0.95 * 100 from rounding up to 96.
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * n - 1e-9));
    const std::size_t index = std::clamp<std::size_t>(rank, 1, sorted.size()) - 1;
    return sorted[index];
}

Summary summarize(std::vector<double> samples)
{
    Summary summary;
    if (samples.empty())
        return summary;
    std::ranges::sort(samples);
    summary.count = samples.size();
    summary.min = samples.front();
    summary.median = percentile(samples, 0.50);
    summary.p95 = percentile(samples, 0.95);
    summary.p99 = percentile(samples, 0.99);
    summary.max = samples.back();
    return summary;
}

std::vector<double> gaps(const std::vector<double> &series)
{
    std::vector<double> result;
    for (std::size_t i = 1; i < series.size(); ++i)
        result.push_back(series[i] - series[i - 1]);
    return result;
}

bool meetsPeriodTargets(const Summary &periods, std::chrono::milliseconds design)
{
    using namespace std::chrono_literals;
    if (periods.count == 0)
        return false;
    const auto designMs = static_cast<double>(design.count());
    const bool median = std::abs(periods.median - designMs) <= 0.02 * designMs;
    const bool tail = design < 25ms || periods.p99 <= designMs + 1.0;
    return median && tail;
}

} // namespace tarn::bench
