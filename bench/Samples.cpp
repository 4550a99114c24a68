#include "Samples.h"

#include <algorithm>

namespace dravik::bench {

double TSamples::Median() const {
    if (Values.empty()) {
        return 0;
    }
    std::vector<double> sorted = Values;
    std::sort(sorted.begin(), sorted.end());
    const size_t middle = sorted.size() / 2;
    return sorted.size() % 2 != 0 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

double TSamples::Min() const {
    return Values.empty() ? 0 : *std::min_element(Values.begin(), Values.end());
}

double TSamples::Max() const {
    return Values.empty() ? 0 : *std::max_element(Values.begin(), Values.end());
}

TSamples TSamples::DividedBy(double divisor) const {
    TSamples out;
    for (double v : Values) {
        out.Add(v / divisor);
    }
    return out;
}

TSamples Repeat(int runs, const std::function<double()>& f) {
    TSamples samples;
    for (int i = 0; i < runs; ++i) {
        samples.Add(f());
    }
    return samples;
}

} // namespace dravik::bench
