// dravik_conf: the window with which a technician configures the tank-level controller.
#include "ui/ApplicationTitle.h"
#include "ui/ErrorGuard.h"
#include "ui/QtRussian.h"
#include "ui/UfmMain.h"

#include <memory>

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(
        dravik::ui::ApplicationTitle(QApplication::applicationFilePath()));
    // Matches the installed desktop entry, so the desktop shows its icon for the window.
    dravik::ui::UseRussianQtTexts(application);
    QGuiApplication::setDesktopFileName(QStringLiteral("dravik_conf"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("dravik_conf")));

    std::unique_ptr<dravik::ui::TfmMain> fmMain;
    if (!dravik::ui::Guarded([&] { fmMain = std::make_unique<dravik::ui::TfmMain>(); })) {
        return EXIT_FAILURE;
    }
    fmMain->show();
    return QApplication::exec();
}
