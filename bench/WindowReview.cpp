// The window's check of the view while the user types: the time of one review (the write's own
// check, the marks and the size line) on the user-interface thread, for a script that fills the
// controller's area and for pasted texts of 100 000 lines, good and bad. Qt's offscreen platform.
#include "ResultTable.h"
#include "Samples.h"
#include "support/TempDir.h"
#include "ui/UfmMain.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <QApplication>
#include <QPlainTextEdit>
#include <QStringList>

namespace {

using namespace dravik;
using namespace dravik::bench;
using Clock = std::chrono::steady_clock;

constexpr int DefaultRuns = 5;
constexpr double GoalMs = 50; // a pause in typing that the user would feel
constexpr int PastedLines = 100000;

// Nine commands of 21 bytes and an end: 190 bytes, near the 199 the area takes.
QString FullScript() {
    QStringList lines(9, QStringLiteral("01 13 0 1 2 3 4 5 6 7 8 9 A B C D E F 10 11 12"));
    lines.append(QStringLiteral("00"));
    return lines.join('\n');
}

double ReviewMs(ui::TfmMain& window, const QString& script) {
    window.mScript->setPlainText(script); // not timed: the editor's own work
    const Clock::time_point start = Clock::now();
    window.ReviewView();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void Report(ui::TfmMain& window, const std::string& name, const QString& script, bool withGoal,
            int runs) {
    const TSamples times = Repeat(runs, [&] { return ReviewMs(window, script); });
    PrintRow({"6", "window: one check of the view after a pause in typing, " + name,
              Milliseconds(times.Median()), MillisecondRange(times), "—",
              withGoal ? Fixed(times.Median() / GoalMs, 3) + " × goal" : "—",
              withGoal ? Goal("≤ " + Fixed(GoalMs, 0) + " ms", times.Max() <= GoalMs)
                       : "none set (how the cost grows)"});
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const int runs = argc > 1 && std::atoi(argv[1]) > 0 ? std::atoi(argv[1]) : DefaultRuns;
    QApplication application(argc, argv);
    try {
        const test::TempDir dir; // the settings file
        ui::TfmMain window(dir.File("dravik_conf.ini"));
        window.show();
        TTerminalConfig config;
        for (size_t i = 0; i < TankCount; ++i) {
            config.Tanks[i] = {1, 10, 50, 90};
        }
        *window.Config = config;
        window.ConfigToView();
        Report(window, "16 tanks and a script of 190 bytes", FullScript(), true, runs);
        Report(window, "100 000 pasted lines of commands (too long, named once)",
               QStringList(PastedLines, QStringLiteral("04 01 02")).join('\n'), false, runs);
        Report(window, "100 000 pasted lines that are no commands (500 marked)",
               QStringList(PastedLines, QStringLiteral("zz")).join('\n'), false, runs);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_window_review: %s\n", e.what());
        return 1;
    }
    return 0;
}
