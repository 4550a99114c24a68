// Times whole configuration transfers against dravik_sim on a paced line: beside the floor that
// the wire and the controller set, and beside mbpoll, an independent master, on the same line.
#include "ChildRun.h"
#include "ResultTable.h"
#include "Samples.h"
#include "StepLateness.h"
#include "WireFloor.h"
#include "base/Exception.h"
#include "base/Text.h"
#include "link/SerialDevice.h"
#include "protocol/AttemptBound.h"
#include "protocol/RegisterMap.h"
#include "protocol/ScriptCodec.h"
#include "protocol/Terminal.h"
#include "support/PseudoTerminal.h"
#include "support/Simulator.h"
#include "support/TempDir.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <thread>
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
// A read is short and most exposed to the load of the machine: it gets more runs.
constexpr int ReadRunsPerRun = 3;
// A babbling line holds each write for seconds: it gets fewer runs.
constexpr int MostBabblingRuns = 3;
constexpr int BabbleGapMs = 400; // one byte this often, for ever
constexpr int BabbleLookMs = 20; // how often the babbler looks at its stop flag
constexpr int Attempts = 5;      // of one exchange
constexpr double RetryPauseMs = 100;
constexpr double BoundGoal = 1.05; // within 5 % of the stated worst case
constexpr int32_t ReplyTimeoutMs = 500;

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

// One run of a transfer in this process: its wall time, and how late the quiet read steps of
// its timeouts woke up.
struct TTransferRun {
    double WallMs = 0;
    double LateMs = 0;
};

template <typename F>
TTransferRun TimeTransfer(const std::string& link, F&& transfer) {
    TStepLateness device;
    ScopedSerialDevice scoped(device);
    TTerminal terminal;
    Attach(terminal, link);
    const double start = NowMs();
    transfer(terminal);
    return {NowMs() - start, device.LateMs()};
}

double Succeeded(const TChildRun& run, const std::string& what) {
    if (run.ExitCode != 0) {
        throw std::runtime_error(what + " ended with " + std::to_string(run.ExitCode));
    }
    return run.WallMs;
}

double Cli(const std::vector<std::string>& arguments) {
    std::vector<std::string> command = {CliPath};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return Succeeded(RunProgram(command), "dravik_cli");
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

// The reads, by every reader in turn, so that a change in the machine's load meets them alike.
struct TReads {
    TSamples InProcess, CliToFile, CliToStdout, CliStart, Mbpoll;
    TTerminalConfig Config;
};

TReads TimeReads(const std::string& link, int runs, bool withMbpoll) {
    TReads r;
    for (int i = 0; i < runs; ++i) {
        r.InProcess.Add(TimeTransfer(link, [&](TTerminal& t) { t.ReadConfig(r.Config); }).WallMs);
        r.CliToFile.Add(Cli({"read", "--device", link, "-o", SavedFile}));
        r.CliToStdout.Add(Cli({"read", "--device", link}));
        r.CliStart.Add(Cli({"--help"}));
        if (withMbpoll) {
            r.Mbpoll.Add(ReadByMbpoll(link));
        }
    }
    return r;
}

struct TTimeouts {
    TSamples WallMs, LateMs;
};

TTimeouts TimeWrites(const std::string& link, int runs, const TTerminalConfig& config) {
    TTimeouts w;
    for (int i = 0; i < runs; ++i) {
        const TTransferRun run = TimeTransfer(link, [&](TTerminal& t) { t.WriteConfig(config); });
        w.WallMs.Add(run.WallMs);
        w.LateMs.Add(run.LateMs);
    }
    return w;
}

struct TSilentRuns : TTimeouts {
    TSamples CpuMs;
    std::string Message;
};

TSilentRuns TimeSilentController(int runs) {
    test::Simulator silent({"--fault", "silent"});
    TSilentRuns s;
    for (int i = 0; i < runs; ++i) {
        TTerminalConfig config;
        const double cpu = CpuMs();
        const TTransferRun run = TimeTransfer(silent.Link(), [&](TTerminal& t) {
            try {
                t.ReadConfig(config);
            } catch (const Exception& e) {
                s.Message = e.message();
            }
        });
        s.CpuMs.Add(CpuMs() - cpu);
        s.WallMs.Add(run.WallMs);
        s.LateMs.Add(run.LateMs);
    }
    return s;
}

struct TBabblingRuns {
    TSamples WallMs;
    std::string Message;
};

// A line that sends the slave's address every 400 ms for ever: every byte restarts the
// inactivity timeout, so only the bound of each attempt ends the write.
TBabblingRuns TimeBabblingWrite(int runs, const TTerminalConfig& config) {
    test::PseudoTerminal line;
    std::atomic<bool> stopping{false};
    std::thread babbler([&] {
        while (!stopping) {
            line.Send({TTerminal::SlaveAddress});
            for (int waited = 0; waited < BabbleGapMs && !stopping; waited += BabbleLookMs) {
                std::this_thread::sleep_for(std::chrono::milliseconds(BabbleLookMs));
            }
        }
    });
    TBabblingRuns b;
    for (int i = 0; i < runs; ++i) {
        const TTransferRun run = TimeTransfer(line.SlavePath(), [&](TTerminal& t) {
            try {
                t.WriteConfig(config);
            } catch (const Exception& e) {
                b.Message = e.message();
            }
        });
        b.WallMs.Add(run.WallMs);
    }
    stopping = true;
    babbler.join();
    return b;
}

// The stated worst case of a write on a line that babbles from the start: its first exchange,
// the mask, fails after five attempts that each end at their bound, with four pauses between.
double BabblingWorstCaseMs(uint32_t& bound) {
    TModbusPdu mask;
    mask.PutValue(0x10, 1);
    mask.PutValue(MaskRegister, 2);
    mask.PutValue(1, 2);
    mask.PutValue(2, 1);
    mask.PutValue(0, 2);
    bound = AttemptBound(mask, ReplyTimeoutMs);
    return Attempts * static_cast<double>(bound) + (Attempts - 1) * RetryPauseMs;
}

void PrintBabbling(const TBabblingRuns& b) {
    uint32_t bound = 0;
    const double worst = BabblingWorstCaseMs(bound);
    const double ratio = b.WallMs.Median() / worst;
    PrintRow({"5",
              "babbling line (a byte every 400 ms): configuration write until \"" +
                  Cp1251ToUtf8(b.Message) + "\"",
              Milliseconds(b.WallMs.Median()), MillisecondRange(b.WallMs),
              Milliseconds(worst) + " stated (5 × " + std::to_string(bound) + " ms + 4 × 100 ms)",
              Fixed(ratio, 3) + " × stated",
              Goal("≤ " + Fixed(BoundGoal, 2) + " × stated", ratio <= BoundGoal)});
}

// The goal is the master's: a figure that adds more than the master's work says so instead.
void PrintAgainstFloor(const std::string& figure, const std::string& name, const TSamples& times,
                       const TFloor& floor, const std::string& instead = "") {
    const TSamples ratios = times.DividedBy(floor.Ms);
    PrintRow({figure, name, Milliseconds(times.Median()), MillisecondRange(times),
              Milliseconds(floor.Ms) + " (" + floor.Parts + ")",
              Fixed(ratios.Median(), 3) + " (" + RatioRange(ratios) + ")",
              !instead.empty()
                  ? instead
                  : Goal("≤ " + Fixed(FloorGoal, 2) + " × floor", ratios.Median() <= FloorGoal)});
}

// How late the timeouts' quiet read steps woke up, beside how far the transfer ran over its
// floor: a step waits only what the silence has left, so the lateness does not pile up.
void PrintLateness(const std::string& figure, const TTimeouts& t, const TFloor& floor) {
    PrintRow({figure, "… late wake-ups of its quiet read steps, summed (not added to the time)",
              Milliseconds(t.LateMs.Median()), MillisecondRange(t.LateMs),
              Milliseconds(t.WallMs.Median() - floor.Ms) + " over the floor", "—", "—"});
}

void PrintCliParts(const TReads& r) {
    PrintRow({"1", "… `dravik_cli read` to standard output (no safe save of a file)",
              Milliseconds(r.CliToStdout.Median()), MillisecondRange(r.CliToStdout),
              Milliseconds(ReadFloor().Ms) + " floor",
              Fixed(r.CliToStdout.Median() / ReadFloor().Ms, 3), "—"});
    PrintRow({"1", "… the safe save of the file (flushed to disk, renamed): `-o FILE` less stdout",
              Milliseconds(r.CliToFile.Median() - r.CliToStdout.Median()), "—", "—", "—",
              "— (a difference of two medians)"});
    PrintRow({"1", "… `dravik_cli --help`: the process's start and exit alone",
              Milliseconds(r.CliStart.Median()), MillisecondRange(r.CliStart), "—", "—", "—"});
    const double line = r.CliToStdout.Median() - r.CliStart.Median();
    PrintRow({"1", "… `dravik_cli read` to standard output less the process's start and exit",
              Milliseconds(line), "—", Milliseconds(ReadFloor().Ms) + " floor",
              Fixed(line / ReadFloor().Ms, 3), "— (a difference of two medians)"});
}

void PrintSilent(const TSilentRuns& silent) {
    PrintAgainstFloor(
        "3", "silent controller: configuration read until \"" + Cp1251ToUtf8(silent.Message) + "\"",
        silent.WallMs, SilentFloor());
    PrintLateness("3", silent, SilentFloor());
    const double share = silent.CpuMs.Median() / silent.WallMs.Median();
    PrintRow({"3", "silent controller: CPU time of the process meanwhile (getrusage)",
              Milliseconds(silent.CpuMs.Median()), MillisecondRange(silent.CpuMs),
              Milliseconds(silent.WallMs.Median()) + " wall", Percent(share) + " of wall",
              Goal("< " + Percent(CpuGoal) + " of wall", share < CpuGoal)});
}

void PrintBesideMbpoll(const TReads& r) {
    if (r.Mbpoll.Empty()) {
        PrintRow({"4", "configuration read by mbpoll", "not measured", "—",
                  "mbpoll is not installed", "—", "—"});
        return;
    }
    const double floor = ReadFloor().Ms;
    PrintRow({"4", "configuration read by mbpoll, one process per read (3 processes)",
              Milliseconds(r.Mbpoll.Median()), MillisecondRange(r.Mbpoll),
              Milliseconds(floor) + " floor", Fixed(r.Mbpoll.Median() / floor, 3) + " × floor",
              "none set"});
    const TSamples ratios = r.CliToFile.DividedBy(r.Mbpoll.Median());
    PrintRow({"4", "configuration read by `dravik_cli read -o FILE` (1 process), beside mbpoll",
              Milliseconds(r.CliToFile.Median()), MillisecondRange(r.CliToFile),
              Milliseconds(r.Mbpoll.Median()) + " mbpoll",
              Fixed(ratios.Median(), 3) + " × mbpoll (" + RatioRange(ratios) + ")", "none set"});
}

void Run(int runs) {
    test::TempDir dir; // the link logs and the saved file land here
    TReads reads;
    TTimeouts writes;
    {
        test::Simulator paced({"--pace", "--turnaround", std::to_string(TurnaroundMs)});
        reads = TimeReads(paced.Link(), ReadRunsPerRun * runs, MbpollInstalled());
        writes = TimeWrites(paced.Link(), runs, reads.Config);
    }
    const int scriptRegisters =
        static_cast<int>(ScriptImage(EncodeScript(reads.Config.Script)).size());
    const TFloor writeFloor = WriteFloor(scriptRegisters);

    PrintAgainstFloor("1", "configuration read, in process (`TTerminal::ReadConfig`)",
                      reads.InProcess, ReadFloor());
    PrintAgainstFloor("1", "configuration read, `dravik_cli read -o FILE` as a user runs it",
                      reads.CliToFile, ReadFloor(),
                      "— (adds a process and a safe save: its parts follow)");
    PrintCliParts(reads);
    PrintAgainstFloor("2",
                      "configuration write with its read-back, in process "
                      "(`TTerminal::WriteConfig`, script " +
                          std::to_string(scriptRegisters) + " registers)",
                      writes.WallMs, writeFloor);
    PrintLateness("2", writes, writeFloor);
    PrintSilent(TimeSilentController(runs));
    PrintBesideMbpoll(reads);
    PrintBabbling(TimeBabblingWrite(std::min(runs, MostBabblingRuns), reads.Config));
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
