#pragma once
// What the benchmarks report beside their times: the median of a run's
// samples, and the machine's load when it ended.

#include <algorithm>
#include <fstream>
#include <vector>

namespace corvasse::bench {

// The middle sample (the upper one of an even count).
inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The 1-minute load average.
inline double LoadAverage() {
    std::ifstream loadavg("/proc/loadavg");
    double load = 0;
    loadavg >> load;
    return load;
}

}  // namespace corvasse::bench
