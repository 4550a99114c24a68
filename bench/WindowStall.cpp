// The window's event loop while a controller command runs, on Qt's offscreen platform: the
// largest gap between the ticks of a 1 ms timer on the user-interface thread, during a write
// against the paced simulator and during a read from a silent one, beside the 50 ms goal.
#include "ResultTable.h"
#include "Samples.h"
#include "support/Simulator.h"
#include "support/TempDir.h"
#include "ui/ErrorGuard.h"
#include "ui/UfmMain.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <QAction>
#include <QApplication>
#include <QTimer>

namespace {

using namespace dravik;
using namespace dravik::bench;
using Clock = std::chrono::steady_clock;

constexpr int DefaultRuns = 5;
constexpr int TickMs = 1;
constexpr double GoalMs = 50;

struct TRun {
    double StallMs = 0;   // the largest gap between two ticks
    double CommandMs = 0; // the command's own length, for scale
};

double MsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// One command of a fresh window against the simulator, with the ticks timed throughout.
TRun Measure(const test::Simulator& simulator, bool write) {
    const test::TempDir dir; // the settings file and the link log
    std::ofstream(dir.File("dravik_conf.ini")) << "[ports]\r\ncom1=" << simulator.Link() << "\r\n";
    ui::TfmMain window(dir.File("dravik_conf.ini"));
    window.show();
    TTerminalConfig config;
    config.Tanks[0] = {1, 10, 50, 90};
    config.Script.Add(" 04 01 02");
    *window.Config = config;
    window.ConfigToView();
    window.UpdateCommands();

    TRun run;
    Clock::time_point last = Clock::now();
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    ticks.setInterval(TickMs);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        run.StallMs = std::max(run.StallMs, MsBetween(last, now));
        last = now;
    });
    ticks.start();
    const Clock::time_point start = Clock::now();
    last = start;
    (write ? window.acIcWrite : window.acIcRead)->trigger();
    while (window.IsCommandRunning()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    run.CommandMs = MsBetween(start, Clock::now());
    return run;
}

void Report(const std::string& name, const test::Simulator& simulator, bool write, int runs) {
    TSamples stalls;
    TSamples lengths;
    for (int i = 0; i < runs; ++i) {
        const TRun run = Measure(simulator, write);
        stalls.Add(run.StallMs);
        lengths.Add(run.CommandMs);
    }
    PrintRow({"6", "window: largest event-loop stall during " + name + " (offscreen, 1 ms timer)",
              Milliseconds(stalls.Median()), MillisecondRange(stalls),
              Milliseconds(lengths.Median()) + " the command lasted (all of it, were it blocking)",
              Fixed(stalls.Median() / GoalMs, 3) + " × goal",
              Goal("≤ " + Fixed(GoalMs, 0) + " ms", stalls.Max() <= GoalMs)});
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const int runs = argc > 1 && std::atoi(argv[1]) > 0 ? std::atoi(argv[1]) : DefaultRuns;
    QApplication application(argc, argv);
    // The timeout of the silent controller is a message box; here it is only counted.
    const ui::ScopedFailurePresenter quiet([](const QString&, const QString&, const QString&) {});
    try {
        const test::Simulator paced({"--pace"});
        Report("a write to the paced simulator", paced, true, runs);
        const test::Simulator silent({"--fault", "silent"});
        Report("a read from a silent controller", silent, false, runs);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_window_stall: %s\n", e.what());
        return 1;
    }
    return 0;
}
