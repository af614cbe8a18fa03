#include "probe_stats.h"

#include <algorithm>
#include <cmath>

double Percentile(std::vector<double>& samples, double p) {
    if (samples.empty()) return 0.0;
    const double clamped = std::clamp(p, 0.0, 100.0);
    const size_t n = samples.size();
    size_t rank = size_t(std::ceil(clamped / 100.0 * double(n)));
    if (rank == 0) rank = 1;
    if (rank > n) rank = n;
    const auto nth = samples.begin() + std::ptrdiff_t(rank - 1);
    std::nth_element(samples.begin(), nth, samples.end());
    return *nth;
}
