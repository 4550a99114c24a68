// ui_screenshot FILE.png: the main window after a read from the simulator, taken from the screen
// of the X server it runs on (scripts/screenshot.sh starts one under Xvfb).
#include "support/Simulator.h"
#include "support/TempDir.h"
#include "ui/ErrorGuard.h"
#include "ui/UfmMain.h"

#include <fstream>
#include <iostream>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QTest>

namespace {

constexpr int SettleMs = 300; // lets the window draw what the read put into it

int Fail(const std::string& text) {
    std::cerr << "ui_screenshot: " << text << '\n';
    return 1;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::cerr << "Usage: ui_screenshot FILE.png\n";
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("dravik_conf"));
    constexpr int ReadDeadlineMs = 30000;
    const QString target = QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[1]));

    const dravik::test::TempDir dir; // the settings file and the link log stay in there
    const dravik::test::Simulator simulator;
    const std::string settings = dir.File("dravik_conf.ini");
    std::ofstream(settings) << "[ports]\r\ncom1=" << simulator.Link() << "\r\n";

    dravik::ui::TfmMain window(settings);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        return Fail("the window did not appear");
    }
    QString failure;
    const dravik::ui::ScopedFailurePresenter recorder(
        [&](const QString&, const QString& text, const QString&) { failure = text; });
    window.acIcRead->trigger();
    // The read runs on its own thread; the picture waits for its outcome.
    if (!QTest::qWaitFor([&] { return !window.IsCommandRunning(); }, ReadDeadlineMs)) {
        return Fail("the read did not end");
    }
    if (!failure.isEmpty()) {
        return Fail("the read failed: " + failure.toStdString());
    }
    QTest::qWait(SettleMs);
    if (!window.screen()->grabWindow(window.winId()).save(target)) {
        return Fail("cannot write " + target.toStdString());
    }
    std::cout << target.toStdString() << '\n';
    return 0;
}
