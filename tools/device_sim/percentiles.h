// Round-trip figures of a load run.
#pragma once

#include <vector>

namespace devsim {

struct RoundTripSummary {
    std::size_t count = 0;
    double median = 0, p90 = 0, p99 = 0, max = 0;
};

// Nearest-rank percentiles of the samples (any unit); all zero when empty.
RoundTripSummary summarise(std::vector<double> samples);

}  // namespace devsim
