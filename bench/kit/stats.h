#pragma once

#include <chrono>
#include <cstddef>
#include <vector>

namespace tarn::bench {

// The spread of a set of samples. Percentiles are nearest-rank: the p-th percentile is the
// smallest sample that at least p percent of the samples do not exceed, so every figure is
// a value that was really measured.
struct Summary
{
    std::size_t count = 0;
    double min = 0;
    double median = 0;
    double p95 = 0;
    double p99 = 0;
    double max = 0;
};

// The nearest-rank percentile (fraction from 0 to 1) of samples sorted in ascending order;
// 0 for no sample.
double percentile(const std::vector<double> &sorted, double fraction);

Summary summarize(std::vector<double> samples);

// The differences between neighbours of an ascending series.
std::vector<double> gaps(const std::vector<double> &series);

// The panel's timing targets for a repeat: the median period (in ms) within 2 % of the
// design period, and for periods of 25 ms and more the 99th percentile no more than 1 ms
// over it. A group with no period measured meets nothing.
bool meetsPeriodTargets(const Summary &periods, std::chrono::milliseconds design);

} // namespace tarn::bench
