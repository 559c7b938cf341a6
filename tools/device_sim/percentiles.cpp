#include "device_sim/percentiles.h"

#include <algorithm>
#include <cmath>

namespace devsim {
namespace {

double nearestRank(const std::vector<double>& sorted, double percent) {
    auto rank =
        static_cast<std::size_t>(std::ceil(percent / 100.0 * static_cast<double>(sorted.size())));
    return sorted[std::max<std::size_t>(rank, 1) - 1];
}

}  // namespace

RoundTripSummary summarise(std::vector<double> samples) {
    RoundTripSummary summary;
    if (samples.empty()) return summary;
    std::sort(samples.begin(), samples.end());
    summary.count = samples.size();
    summary.median = nearestRank(samples, 50);
    summary.p90 = nearestRank(samples, 90);
    summary.p99 = nearestRank(samples, 99);
    summary.max = samples.back();
    return summary;
}

}  // namespace devsim
