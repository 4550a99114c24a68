#pragma once

#include <functional>
#include <vector>

namespace dravik::bench {

// The figures of several runs of one measurement.
class TSamples {
public:
    void Add(double value) { Values.push_back(value); }
    bool Empty() const { return Values.empty(); }
    double Median() const;
    double Min() const;
    double Max() const;
    // Each value divided by divisor, for ratios that keep their own spread.
    TSamples DividedBy(double divisor) const;

private:
    std::vector<double> Values;
};

// Runs f runs times and keeps what each run returned.
TSamples Repeat(int runs, const std::function<double()>& f);

} // namespace dravik::bench
