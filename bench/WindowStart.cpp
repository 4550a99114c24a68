// The window's start on Qt's offscreen platform: from the fork of its process to its first
// painted frame, and its resident memory at rest after that, beside an empty Qt window started
// the same way in the same run.
#include "ChildRun.h"
#include "ResultTable.h"
#include "Samples.h"
#include "ui/ApplicationTitle.h"
#include "ui/UfmMain.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QTimer>

namespace {

using namespace dravik;
using namespace dravik::bench;

constexpr int DefaultRuns = 5;
constexpr int RestMs = 500; // after the first frame, before the memory is read
constexpr const char* ChildFlag = "--child";
constexpr const char* EmptyWindow = "empty";
constexpr const char* MainWindow = "window";
constexpr double NsPerMs = 1e6;
constexpr double KiBPerMiB = 1024;

int64_t MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(4096, '\n');
    }
    return 0;
}

// Notes the end of the first paint of the window it watches: the frame is drawn once the paint
// event and what it set off have been handled.
class TFirstFrame : public QObject {
public:
    explicit TFirstFrame(int64_t forkNs) : ForkNs(forkNs) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !Seen) {
            Seen = true;
            QTimer::singleShot(0, [this] { Drawn(); });
        }
        return false;
    }

private:
    void Drawn() {
        const double startMs = static_cast<double>(MonotonicNs() - ForkNs) / NsPerMs;
        QTimer::singleShot(RestMs, [startMs] {
            std::printf("%.3f %ld\n", startMs, ResidentKiB());
            std::fflush(stdout);
            QApplication::quit();
        });
    }

    int64_t ForkNs;
    bool Seen = false;
};

// One start, as the program's own main makes it, or of an empty main window for comparison.
int Child(int argc, char** argv, int64_t forkNs, const std::string& which) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(ui::ApplicationTitle(QApplication::applicationFilePath()));
    std::unique_ptr<QMainWindow> window;
    if (which == EmptyWindow) {
        window = std::make_unique<QMainWindow>();
    } else {
        window = std::make_unique<ui::TfmMain>();
    }
    TFirstFrame firstFrame(forkNs);
    window->installEventFilter(&firstFrame);
    window->show();
    return QApplication::exec();
}

struct TStarts {
    TSamples Ms;
    TSamples MiB;
};

TStarts Start(const std::string& self, const std::string& which, int runs) {
    TStarts starts;
    for (int i = 0; i < runs; ++i) {
        std::string output;
        const int64_t forkNs = MonotonicNs();
        const TChildRun run = RunProgram({self, ChildFlag, std::to_string(forkNs), which}, &output);
        std::istringstream fields(output);
        double ms = 0;
        long kib = 0;
        if (run.ExitCode != 0 || !(fields >> ms >> kib)) {
            throw std::runtime_error("the " + which + " did not start: exit " +
                                     std::to_string(run.ExitCode));
        }
        starts.Ms.Add(ms);
        starts.MiB.Add(static_cast<double>(kib) / KiBPerMiB);
    }
    return starts;
}

std::string MiB(double value) {
    return Fixed(value, 1) + " MiB";
}

void Report(const std::string& self, int runs) {
    // Both on the offscreen platform, so that no display is needed and none is measured.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    TStarts window, empty;
    for (int i = 0; i < runs; ++i) { // in turn, so that the machine's load meets both alike
        const TStarts w = Start(self, MainWindow, 1);
        const TStarts e = Start(self, EmptyWindow, 1);
        window.Ms.Add(w.Ms.Median());
        window.MiB.Add(w.MiB.Median());
        empty.Ms.Add(e.Ms.Median());
        empty.MiB.Add(e.MiB.Median());
    }
    PrintRow({"6", "window: fork of the process to its first painted frame (offscreen)",
              Milliseconds(window.Ms.Median()), MillisecondRange(window.Ms),
              Milliseconds(empty.Ms.Median()) + " for an empty Qt main window",
              Fixed(window.Ms.Median() / empty.Ms.Median(), 3) + " × empty window", "none set"});
    PrintRow(
        {"6",
         "window: resident memory at rest, " + std::to_string(RestMs) + " ms after the first frame",
         MiB(window.MiB.Median()), Fixed(window.MiB.Min(), 1) + " … " + MiB(window.MiB.Max()),
         MiB(empty.MiB.Median()) + " for an empty Qt main window",
         Fixed(window.MiB.Median() / empty.MiB.Median(), 3) + " × empty window", "none set"});
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == ChildFlag) {
        return Child(argc, argv, std::atoll(argv[2]), argv[3]);
    }
    const int runs = argc > 1 ? std::atoi(argv[1]) : DefaultRuns;
    try {
        Report(argv[0], runs > 0 ? runs : DefaultRuns);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_window: %s\n", e.what());
        return 1;
    }
    return 0;
}
