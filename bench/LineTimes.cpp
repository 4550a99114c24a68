// Times whole configuration transfers against dravik_sim on a paced line: beside the floor that
// the wire and the controller set, and beside mbpoll, an independent master, on the same line.
#include "ChildRun.h"
#include "ResultTable.h"
#include "Samples.h"
#include "WireFloor.h"
#include "base/Exception.h"
#include "base/Text.h"
#include "protocol/RegisterMap.h"
#include "protocol/ScriptCodec.h"
#include "protocol/Terminal.h"
#include "support/Simulator.h"
#include "support/TempDir.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

using namespace dravik;
using namespace dravik::bench;

constexpr int DefaultRuns = 5;
constexpr double FloorGoal = 1.02; // within 2 % of the floor
constexpr double CpuGoal = 0.01;   // of the wall time
constexpr const char* CliPath = DRAVIK_BIN_DIR "/dravik_cli";
constexpr const char* MbpollName = "mbpoll";
constexpr const char* SavedFile = "bench.cfg";

struct TBlock {
    int Start;
    int Count;
};

// The three reads of a configuration, as one user would make them one by one.
const TBlock ConfigBlocks[] = {
    {MaskRegister, 1}, {ThresholdRegister, ThresholdCount}, {ScriptRegister, ScriptRegisterCount}};

double NowMs() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double CpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1000 + static_cast<double>(t.tv_usec) / 1000;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

void Attach(TTerminal& terminal, const std::string& link) {
    terminal.Resolver = [link](int32_t) { return link; };
}

double ReadInProcess(const std::string& link, TTerminalConfig& config) {
    TTerminal terminal;
    Attach(terminal, link);
    const double start = NowMs();
    terminal.ReadConfig(config);
    return NowMs() - start;
}

double WriteInProcess(const std::string& link, const TTerminalConfig& config) {
    TTerminal terminal;
    Attach(terminal, link);
    const double start = NowMs();
    terminal.WriteConfig(config);
    return NowMs() - start;
}

double Succeeded(const TChildRun& run, const std::string& what) {
    if (run.ExitCode != 0) {
        throw std::runtime_error(what + " ended with " + std::to_string(run.ExitCode));
    }
    return run.WallMs;
}

double ReadByCli(const std::string& link) {
    return Succeeded(RunProgram({CliPath, "read", "--device", link, "-o", SavedFile}),
                     "dravik_cli read");
}

double ReadByMbpoll(const std::string& link) {
    double total = 0;
    for (const TBlock& block : ConfigBlocks) {
        total += Succeeded(RunProgram({MbpollName,
                                       "-m",
                                       "rtu",
                                       "-a",
                                       std::to_string(TTerminal::SlaveAddress),
                                       "-b",
                                       std::to_string(LineBaud),
                                       "-P",
                                       "none",
                                       "-t",
                                       "4:hex",
                                       "-0",
                                       "-r",
                                       std::to_string(block.Start),
                                       "-c",
                                       std::to_string(block.Count),
                                       "-1",
                                       "-o",
                                       "1",
                                       link}),
                           MbpollName);
    }
    return total;
}

bool MbpollInstalled() {
    return RunProgram({MbpollName, "-V"}).ExitCode == 0;
}

struct TSilentRun {
    TSamples WallMs;
    TSamples CpuMs;
    std::string Message;
};

TSilentRun TimeSilentController(int runs) {
    test::Simulator silent({"--fault", "silent"});
    TSilentRun result;
    for (int i = 0; i < runs; ++i) {
        TTerminal terminal;
        Attach(terminal, silent.Link());
        TTerminalConfig config;
        const double cpu = CpuMs();
        const double start = NowMs();
        try {
            terminal.ReadConfig(config);
        } catch (const Exception& e) {
            result.Message = e.message();
        }
        result.WallMs.Add(NowMs() - start);
        result.CpuMs.Add(CpuMs() - cpu);
    }
    return result;
}

void PrintAgainstFloor(const std::string& figure, const std::string& name, const TSamples& times,
                       const TFloor& floor) {
    const TSamples ratios = times.DividedBy(floor.Ms);
    PrintRow({figure, name, Milliseconds(times.Median()), MillisecondRange(times),
              Milliseconds(floor.Ms) + " (" + floor.Parts + ")",
              Fixed(ratios.Median(), 3) + " (" + RatioRange(ratios) + ")",
              Goal("≤ " + Fixed(FloorGoal, 2) + " × floor", ratios.Median() <= FloorGoal)});
}

void PrintSilent(const TSilentRun& silent) {
    PrintAgainstFloor(
        "3", "silent controller: configuration read until \"" + Cp1251ToUtf8(silent.Message) + "\"",
        silent.WallMs, SilentFloor());
    const double share = silent.CpuMs.Median() / silent.WallMs.Median();
    PrintRow({"3", "silent controller: CPU time of the process meanwhile (getrusage)",
              Milliseconds(silent.CpuMs.Median()), MillisecondRange(silent.CpuMs),
              Milliseconds(silent.WallMs.Median()) + " wall", Percent(share) + " of wall",
              Goal("< " + Percent(CpuGoal) + " of wall", share < CpuGoal)});
}

void PrintBesideMbpoll(const TSamples& ours, const TSamples& mbpoll) {
    if (mbpoll.Empty()) {
        PrintRow({"4", "three reads by mbpoll", "not measured", "—", "mbpoll is not installed", "—",
                  "—"});
        return;
    }
    PrintRow({"4", "configuration read by mbpoll, one process per read (3 processes)",
              Milliseconds(mbpoll.Median()), MillisecondRange(mbpoll),
              Milliseconds(ReadFloor().Ms) + " floor",
              Fixed(mbpoll.Median() / ReadFloor().Ms, 3) + " × floor", "none set"});
    const TSamples ratios = ours.DividedBy(mbpoll.Median());
    PrintRow({"4", "configuration read by `dravik_cli read` (1 process), beside mbpoll",
              Milliseconds(ours.Median()), MillisecondRange(ours),
              Milliseconds(mbpoll.Median()) + " mbpoll",
              Fixed(ratios.Median(), 3) + " × mbpoll (" + RatioRange(ratios) + ")", "none set"});
}

void Run(int runs) {
    test::TempDir dir; // the link logs and the saved file land here
    TSamples inProcess, byCli, byMbpoll, writes;
    TTerminalConfig config;
    {
        test::Simulator paced({"--pace", "--turnaround", std::to_string(TurnaroundMs)});
        const std::string& link = paced.Link();
        inProcess = Repeat(runs, [&] { return ReadInProcess(link, config); });
        byCli = Repeat(runs, [&] { return ReadByCli(link); });
        if (MbpollInstalled()) {
            byMbpoll = Repeat(runs, [&] { return ReadByMbpoll(link); });
        }
        writes = Repeat(runs, [&] { return WriteInProcess(link, config); });
    }
    const int scriptRegisters = static_cast<int>(ScriptImage(EncodeScript(config.Script)).size());

    PrintAgainstFloor("1", "configuration read, in process (`TTerminal::ReadConfig`)", inProcess,
                      ReadFloor());
    PrintAgainstFloor("1", "configuration read, `dravik_cli read -o FILE` as a user runs it", byCli,
                      ReadFloor());
    PrintAgainstFloor("2",
                      "configuration write, in process (`TTerminal::WriteConfig`, script " +
                          std::to_string(scriptRegisters) + " registers)",
                      writes, WriteFloor(scriptRegisters));
    PrintSilent(TimeSilentController(runs));
    PrintBesideMbpoll(byCli, byMbpoll);
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : DefaultRuns;
    try {
        Run(runs > 0 ? runs : DefaultRuns);
    } catch (const Exception& e) {
        std::fprintf(stderr, "bench_line: %s\n", Cp1251ToUtf8(e.message()).c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_line: %s\n", e.what());
        return 1;
    }
    return 0;
}
