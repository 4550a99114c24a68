// The controller commands on their own thread: the window's event loop runs on, the steps are
// shown as they come, Esc and «Прервать» cancel, and closing waits for the port.
#include "WindowFixture.h"
#include "support/Simulator.h"
#include "ui/CommandProgress.h"

#include <fstream>

#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

namespace dravik::test {
namespace {

const QString WriteCancelled =
    QStringLiteral("Прервано.\nКонтроллер может теперь хранить часть новой конфигурации. "
                   "Чтение из контроллера покажет, что он хранит.");

class BackgroundCommandsTest : public WindowTest {
protected:
    void MapComOne(const std::string& device) {
        std::ofstream(Settings) << "[ports]\r\ncom1=" << device << "\r\n";
    }

    QPushButton* AbortButton() const {
        return Window->findChild<QPushButton*>(QStringLiteral("btnAbort"));
    }

    // Starts the command and waits until it shows its first step.
    void StartAndWaitForAStep(QAction* command) {
        Press(command);
        ASSERT_TRUE(Window->IsCommandRunning());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !Steps.isEmpty(); }, CommandDeadlineMs));
    }

    void SetUp() override {
        WindowTest::SetUp();
        QObject::connect(Window.get(), &ui::TfmMain::CommandStepShown,
                         [this](const QString& text) { Steps.append(text); });
    }

    QStringList Steps;
};

TEST_F(BackgroundCommandsTest, TheEventLoopRunsOnDuringAWriteAndASilentRead) {
    Simulator paced({"--pace"});
    Simulator silent({"--fault", "silent"});
    for (const auto& [simulator, command] :
         {std::pair{&paced, Window->acIcWrite}, {&silent, Window->acIcRead}}) {
        SCOPED_TRACE(command->objectName().toStdString());
        MapComOne(simulator->Link());
        Show(Sample());
        int ticks = 0;
        QTimer timer;
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start();
        Press(command);
        ASSERT_TRUE(Window->IsCommandRunning()); // the press came back before the command ended
        ASSERT_TRUE(WaitForCommand());
        // A write lasts over a second and a half, a silent read near three: a blocked thread
        // would have let no tick through.
        EXPECT_GT(ticks, 20);
    }
}

TEST_F(BackgroundCommandsTest, ShowsTheStepsInTheUsersTermsInOrder) {
    Simulator dropping({"--fault", "drop=2"});
    MapComOne(dropping.Link());
    Press(Window->acIcRead);
    ASSERT_TRUE(WaitForCommand());
    EXPECT_EQ(Steps,
              (QStringList{"маска", "маска, Дубль 2", "маска, Дубль 3", "пороги", "скрипт"}));
    Steps.clear();
    Press(Window->acIcWrite);
    ASSERT_TRUE(WaitForCommand());
    EXPECT_EQ(Steps, (QStringList{"маска", "пороги", "скрипт", "проверка"}));
    EXPECT_TRUE(Failures.Texts.isEmpty()) << Failures.Texts.join('\n').toStdString();
}

TEST_F(BackgroundCommandsTest, TheAbortButtonAndTheBusyBarExistOnlyWhileACommandRuns) {
    Simulator silent({"--fault", "silent"});
    MapComOne(silent.Link());
    EXPECT_EQ(AbortButton(), nullptr);
    StartAndWaitForAStep(Window->acIcRead);
    ASSERT_NE(AbortButton(), nullptr);
    EXPECT_TRUE(AbortButton()->isVisible());
    EXPECT_EQ(AbortButton()->text(), QStringLiteral("Прервать"));
    EXPECT_NE(Window->findChild<QProgressBar*>(QStringLiteral("pbBusy")), nullptr);
    EXPECT_EQ(Window->findChild<QLabel*>(QStringLiteral("lblStep"))->text(),
              QStringLiteral("маска"));
    QTest::mouseClick(AbortButton(), Qt::LeftButton);
    ASSERT_TRUE(WaitForCommand());
    EXPECT_EQ(Failures.Texts, QStringList{QStringLiteral("Прервано.")});
    EXPECT_EQ(AbortButton(), nullptr);
    EXPECT_EQ(Window->findChild<QProgressBar*>(QStringLiteral("pbBusy")), nullptr);
    EXPECT_TRUE(Window->acIcRead->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(BackgroundCommandsTest, EscCancelsASilentReadAndAWriteWhichSaysWhatTheControllerMayHold) {
    Simulator silent({"--fault", "silent"});
    Simulator paced({"--pace"});
    const struct {
        const Simulator* simulator;
        QAction* command;
        QString message;
    } cases[] = {{&silent, Window->acIcRead, QStringLiteral("Прервано.")},
                 {&paced, Window->acIcWrite, WriteCancelled}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command->objectName().toStdString());
        MapComOne(c.simulator->Link());
        Show(Sample());
        Failures.Texts.clear();
        Steps.clear();
        StartAndWaitForAStep(c.command);
        QTest::keyClick(Window.get(), Qt::Key_Escape);
        ASSERT_TRUE(WaitForCommand());
        EXPECT_EQ(Failures.Texts, QStringList{c.message});
        EXPECT_TRUE(Window->lblLastResult->text().contains(QStringLiteral("Прервано")))
            << Window->lblLastResult->text().toStdString();
    }
}

TEST_F(BackgroundCommandsTest, ClosingDuringACommandCancelsItAndClosesOnceThePortIsFree) {
    Simulator silent({"--fault", "silent"});
    MapComOne(silent.Link());
    StartAndWaitForAStep(Window->acIcRead);
    EXPECT_FALSE(Window->close()); // not yet: the port is still open
    EXPECT_TRUE(Window->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Window->isVisible(); }, CommandDeadlineMs));
    EXPECT_FALSE(Window->IsCommandRunning());
    EXPECT_TRUE(Failures.Texts.isEmpty()) << Failures.Texts.join('\n').toStdString();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(BackgroundCommandsTest, TheCaptionBarShowsThePortItsDeviceAndTheLastResultWithItsTime) {
    Simulator simulator;
    MapComOne(simulator.Link());
    Window->SaveDialog1 = [this](QWidget*) {
        return QString::fromStdString(Dir.File("tanks.cfg"));
    };
    const QRegularExpression time(QStringLiteral(" \\d\\d:\\d\\d:\\d\\d$"));
    const struct {
        QAction* command;
        QString result;
    } cases[] = {{Window->acIcRead, QStringLiteral("Считано")},
                 {Window->acIcWrite, QStringLiteral("Записано и проверено")},
                 {Window->acWriteToFile, QStringLiteral("Сохранено: tanks.cfg")}};
    for (const auto& c : cases) {
        Press(c.command);
        ASSERT_TRUE(WaitForCommand());
        const QString shown = Window->lblLastResult->text();
        // A long device name is shortened in its middle; the tooltip has it whole.
        EXPECT_TRUE(shown.startsWith(QStringLiteral("COM1 /"))) << shown.toStdString();
        EXPECT_TRUE(shown.contains(QStringLiteral(" · ") + c.result)) << shown.toStdString();
        EXPECT_EQ(Window->lblLastResult->toolTip(), QString::fromStdString(simulator.Link()));
        if (c.command != Window->acWriteToFile) {
            EXPECT_TRUE(time.match(shown).hasMatch()) << shown.toStdString();
        }
    }
    EXPECT_TRUE(Failures.Texts.isEmpty()) << Failures.Texts.join('\n').toStdString();
}

} // namespace
} // namespace dravik::test
