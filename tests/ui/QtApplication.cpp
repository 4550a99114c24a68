// One QApplication for the whole test program, on the offscreen platform so that the window
// runs for real without a display.
#include "ui/QtRussian.h"

#include <memory>

#include <QApplication>
#include <gtest/gtest.h>

namespace {

class QtApplication : public testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        Application = std::make_unique<QApplication>(Argc, Argv);
        QApplication::setApplicationName(QStringLiteral("test_ui"));
        dravik::ui::UseRussianQtTexts(*Application); // as the program does
    }
    void TearDown() override { Application.reset(); }

private:
    int Argc = 1;
    char Name[8] = "test_ui";
    char* Argv[2] = {Name, nullptr};
    std::unique_ptr<QApplication> Application;
};

const testing::Environment* const Registered = testing::AddGlobalTestEnvironment(new QtApplication);

} // namespace
