// dravik_conf: the window with which a technician configures the tank-level controller.
#include "base/ProgramGuard.h"
#include "ui/ApplicationTitle.h"
#include "ui/ErrorGuard.h"
#include "ui/UfmMain.h"

#include <memory>

#include <QApplication>
#include <QIcon>

namespace {

int Main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(
        dravik::ui::ApplicationTitle(QApplication::applicationFilePath()));
    // Matches the installed desktop entry, so the desktop shows its icon for the window.
    QGuiApplication::setDesktopFileName(QStringLiteral("dravik_conf"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("dravik_conf")));

    std::unique_ptr<dravik::ui::TfmMain> fmMain;
    if (!dravik::ui::Guarded([&] { fmMain = std::make_unique<dravik::ui::TfmMain>(); })) {
        return EXIT_FAILURE;
    }
    fmMain->show();
    return QApplication::exec();
}

} // namespace

int main(int argc, char* argv[]) {
    // The window's own failures are shown by its error guard; this catches what comes before it.
    return dravik::RunProgram("dravik_conf", [&] { return Main(argc, argv); });
}
