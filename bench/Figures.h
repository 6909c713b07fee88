#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <vector>

// What the benchmarks make of their samples.

// A duration of any clock in milliseconds.
template <typename Rep, typename Period>
double Milliseconds(std::chrono::duration<Rep, Period> duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// The sample at `fraction` (0 the least, 1 the greatest) of the sorted samples, the nearest rank; not for none.
inline double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto nIndex = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(nIndex, values.size() - 1)];
}
