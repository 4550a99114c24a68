// dravik_conf: the window with which a technician configures the tank-level controller.
#include "app/CommandLine.h"
#include "app/ProgramIcon.h"
#include "app/QtTranslation.h"
#include "base/ProgramGuard.h"
#include "config/UserFolders.h"
#include "link/LinkLog.h"
#include "ui/ApplicationTitle.h"
#include "ui/ErrorGuard.h"
#include "ui/UfmMain.h"

#include <memory>

#include <QApplication>

namespace {

int Main(int argc, char* argv[]) {
    if (const auto status = dravik::app::AnswerWithoutWindow(argc, argv)) {
        return *status;
    }
    dravik::SetLinkLogFolder(dravik::ChooseLogFolder(dravik::app::StartedFromMenu(argc, argv)));
    QApplication application(argc, argv);
    dravik::app::InstallQtTranslation(application);
    QApplication::setApplicationName(
        dravik::ui::ApplicationTitle(QApplication::applicationFilePath()));
    // Matches the installed desktop entry, so the desktop shows its icon for the window.
    QGuiApplication::setDesktopFileName(QStringLiteral("dravik_conf"));
    QApplication::setWindowIcon(dravik::app::ProgramIcon());

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
