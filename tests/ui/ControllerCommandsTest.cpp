#include "WindowFixture.h"
#include "support/PseudoTerminal.h"

#include <fstream>

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>

namespace dravik::test {
namespace {

class ControllerCommands : public WindowTest {
protected:
    // Points COM1 at the device through the settings file's port map, as a user would.
    void MapComOne(const std::string& device) {
        std::ofstream(Settings) << "[ports]\r\ncom1=" << device << "\r\n";
    }
};

TEST_F(ControllerCommands, ReadFromASilentControllerEmptiesTheViewAndShowsTheTimeout) {
    PseudoTerminal silent;
    MapComOne(silent.SlavePath());
    Show(Sample());
    Press(Window->acIcRead);
    EXPECT_EQ(Failures.Texts, QStringList{QStringLiteral("Таймаут.")});
    EXPECT_EQ(Window->dsTank->rowCount(), 0);
    EXPECT_TRUE(Window->mScript->toPlainText().isEmpty());
    EXPECT_FALSE(Window->acIcWrite->isEnabled());
    EXPECT_TRUE(Window->acIcRead->isEnabled());
    EXPECT_TRUE(Window->acLoadFromFile->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ControllerCommands, ShowsWhyThePortDoesNotOpenAndGoesOn) {
    MapComOne(Dir.File("unplugged"));
    Press(Window->acIcRead);
    ASSERT_EQ(Failures.Texts.size(), 1);
    EXPECT_TRUE(Failures.Texts[0].startsWith(QStringLiteral("COM1: ")))
        << Failures.Texts[0].toStdString();
    EXPECT_TRUE(Window->acIcRead->isEnabled());
    EXPECT_FALSE(Window->acIcWrite->isEnabled());
}

TEST_F(ControllerCommands, BlockWithTheBusyCursorAndOnlyTheConnectionCommandEnabled) {
    MapComOne(Dir.File("unplugged"));
    bool sawBusy = false;
    QList<bool> enabled;
    // Runs in the one round of events that the command lets through before it blocks.
    QTimer::singleShot(0, [&] {
        sawBusy = QApplication::overrideCursor() != nullptr &&
                  QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        for (QAction* command : {Window->acIcRead, Window->acIcWrite, Window->acWriteToFile,
                                 Window->acLoadFromFile, Window->acConfig}) {
            enabled.append(command->isEnabled());
        }
    });
    Show(Sample());
    Press(Window->acIcWrite);
    EXPECT_TRUE(sawBusy);
    EXPECT_EQ(enabled, (QList<bool>{false, false, false, false, true}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(Window->acIcWrite->isEnabled()); // the rows are still there
    EXPECT_EQ(Window->dsTank->rowCount(), 16);
}

} // namespace
} // namespace dravik::test
