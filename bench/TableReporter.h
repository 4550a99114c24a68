#pragma once

#include <benchmark/benchmark.h>
#include <map>
#include <string>
#include <vector>

namespace dravik::bench {

// Prints each Google Benchmark as a row of the bench table: the median time of one operation
// over the repetitions, their spread, and the cost per script line, which shows how the cost
// grows with the input. A benchmark tells its line count in the counter "lines".
class TTableReporter final : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context& context) override;
    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

private:
    struct TCase {
        std::vector<double> Ns;
        double Lines = 0;
    };

    std::vector<std::string> Order;
    std::map<std::string, TCase> Cases;
};

} // namespace dravik::bench
