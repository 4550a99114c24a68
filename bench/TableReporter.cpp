#include "TableReporter.h"

#include "ResultTable.h"
#include "Samples.h"

namespace dravik::bench {
namespace {

constexpr const char* Figure = "7";
constexpr const char* LinesCounter = "lines";
constexpr const char* FunctionEnd = ","; // a case is named "<function>, <input>"
constexpr double NsPerUs = 1e3;
constexpr double NsPerMs = 1e6;
constexpr double NsPerS = 1e9;

double NsPerUnit(benchmark::TimeUnit unit) {
    switch (unit) {
    case benchmark::kMicrosecond:
        return NsPerUs;
    case benchmark::kMillisecond:
        return NsPerMs;
    case benchmark::kSecond:
        return NsPerS;
    default:
        return 1;
    }
}

// Three significant figures or so, in the unit that suits the value.
std::string Duration(double ns) {
    if (ns >= NsPerMs) {
        return Fixed(ns / NsPerMs, 2) + " ms";
    }
    if (ns >= NsPerUs) {
        return Fixed(ns / NsPerUs, 2) + " µs";
    }
    return Fixed(ns, 0) + " ns";
}

TSamples Samples(const std::vector<double>& values) {
    TSamples samples;
    for (double v : values) {
        samples.Add(v);
    }
    return samples;
}

} // namespace

bool TTableReporter::ReportContext(const Context&) {
    return true;
}

void TTableReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        if (run.run_type != Run::RT_Iteration || run.error_occurred) {
            continue;
        }
        const std::string name = run.run_name.function_name;
        if (Cases.find(name) == Cases.end()) {
            Order.push_back(name);
        }
        TCase& c = Cases[name];
        c.Ns.push_back(run.GetAdjustedRealTime() * NsPerUnit(run.time_unit));
        const auto lines = run.counters.find(LinesCounter);
        if (lines != run.counters.end()) {
            c.Lines = lines->second.value;
        }
    }
}

void TTableReporter::Finalize() {
    std::map<std::string, const TCase*> smallest; // of each function, the first case given
    for (const std::string& name : Order) {
        const TCase& c = Cases[name];
        const TSamples samples = Samples(c.Ns);
        const TCase*& base = smallest[name.substr(0, name.find(FunctionEnd))];
        std::string growth = "—";
        if (base == nullptr) {
            base = &c;
        } else if (c.Lines > base->Lines) {
            const double added =
                (samples.Median() - Samples(base->Ns).Median()) / (c.Lines - base->Lines);
            growth = Duration(added) + " per script line beyond the first case";
        }
        PrintRow({Figure, name, Duration(samples.Median()),
                  Duration(samples.Min()) + " … " + Duration(samples.Max()), growth, "—",
                  "none set (how the cost grows)"});
    }
}

} // namespace dravik::bench
