#pragma once

#include "Samples.h"

#include <string>

namespace dravik::bench {

// One row of the table that bench/run.sh prints; every benchmark program prints its own rows
// under the one header.
struct TRow {
    std::string Figure; // its number in the list of figures
    std::string Name;
    std::string Median;
    std::string Spread;
    std::string Reference; // the floor, or what the figure is compared with
    std::string Ratio;
    std::string Goal;
};

void PrintRow(const TRow& row);

std::string Fixed(double value, int decimals);
// "173.9 ms"
std::string Milliseconds(double ms);
// "172.1 … 175.3 ms": the smallest and the largest of the runs.
std::string MillisecondRange(const TSamples& samples);
std::string RatioRange(const TSamples& ratios);
std::string Percent(double fraction);
// "met" or "NOT met", behind the goal's own words.
std::string Goal(const std::string& goal, bool met);

} // namespace dravik::bench
