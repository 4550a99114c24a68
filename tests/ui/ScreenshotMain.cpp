// ui_screenshot FILE.png [TRAFFIC.png]: the main window after a read from the simulator, with a
// mistake typed into one threshold and its mark's tooltip shown, and then «Журнал обмена» with
// that read's lines, taken from the screen of the X server it runs on (scripts/screenshot.sh
// starts one under Xvfb).
#include "support/Simulator.h"
#include "support/TempDir.h"
#include "ui/ErrorGuard.h"
#include "ui/TankTableModel.h"
#include "ui/UfmMain.h"
#include "ui/UfmTraffic.h"

#include <fstream>
#include <iostream>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QToolTip>

namespace {

constexpr int SettleMs = 300; // lets the window draw what the read put into it

int Fail(const std::string& text) {
    std::cerr << "ui_screenshot: " << text << '\n';
    return 1;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2 && argc != 3) {
        std::cerr << "Usage: ui_screenshot FILE.png [TRAFFIC.png]\n";
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("dravik_conf"));
    constexpr int ReadDeadlineMs = 30000;
    const QString target = QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[1]));
    const QString traffic =
        argc == 3 ? QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[2])) : QString();

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
    // Tank 3's alarm level below its upper level: the write would refuse it, so it is marked.
    using dravik::ui::TankTableModel;
    const QModelIndex mistake = window.dsTank->index(2, TankTableModel::ColHhigh);
    window.dsTank->setData(mistake, 30);
    window.ReviewView();
    QTableView& grid = *window.DBGridEh1;
    constexpr int TipWidth = 200; // the tooltip ends inside the window, under the cell
    const QPoint cell =
        grid.viewport()->mapToGlobal(grid.visualRect(mistake).bottomRight() - QPoint(TipWidth, 0));
    QToolTip::showText(cell, mistake.data(Qt::ToolTipRole).toString(), grid.viewport());
    QTest::qWait(SettleMs);
    // The whole screen's part under the window: the tooltip is a window of its own.
    const QRect frame = window.frameGeometry();
    if (!window.screen()
             ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
             .save(target)) {
        return Fail("cannot write " + target.toStdString());
    }
    std::cout << target.toStdString() << '\n';
    if (!traffic.isEmpty()) {
        QToolTip::hideText();
        window.acTraffic->trigger();
        if (!QTest::qWaitForWindowExposed(window.fmTraffic)) {
            return Fail("the traffic window did not appear");
        }
        QTest::qWait(SettleMs);
        if (!window.screen()->grabWindow(window.fmTraffic->winId()).save(traffic)) {
            return Fail("cannot write " + traffic.toStdString());
        }
        std::cout << traffic.toStdString() << '\n';
    }
    return 0;
}
