#include "ResultTable.h"

#include <cstdio>

namespace dravik::bench {
namespace {

constexpr int MillisecondDecimals = 1;
constexpr int RatioDecimals = 3;
constexpr int PercentDecimals = 2;
constexpr const char* RangeMark = " … ";

} // namespace

void PrintRow(const TRow& row) {
    std::printf("| %s | %s | %s | %s | %s | %s | %s |\n", row.Figure.c_str(), row.Name.c_str(),
                row.Median.c_str(), row.Spread.c_str(), row.Reference.c_str(), row.Ratio.c_str(),
                row.Goal.c_str());
    std::fflush(stdout);
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Milliseconds(double ms) {
    return Fixed(ms, MillisecondDecimals) + " ms";
}

std::string MillisecondRange(const TSamples& samples) {
    return Fixed(samples.Min(), MillisecondDecimals) + RangeMark + Milliseconds(samples.Max());
}

std::string RatioRange(const TSamples& ratios) {
    return Fixed(ratios.Min(), RatioDecimals) + RangeMark + Fixed(ratios.Max(), RatioDecimals);
}

std::string Percent(double fraction) {
    return Fixed(100 * fraction, PercentDecimals) + " %";
}

std::string Goal(const std::string& goal, bool met) {
    return goal + (met ? ": met" : ": **NOT met**");
}

} // namespace dravik::bench
