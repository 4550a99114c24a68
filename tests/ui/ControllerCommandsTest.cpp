#include "WindowFixture.h"
#include "link/SerialDevice.h"
#include "support/FailingOpen.h"
#include "support/FixtureTree.h"
#include "support/Simulator.h"
#include "ui/TankTableModel.h"

#include <cerrno>
#include <fstream>
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStackedWidget>

namespace dravik::test {
namespace {

class ControllerCommandsTest : public WindowTest {
protected:
    // Points COM1 at the device through the settings file's port map, as a user would.
    void MapComOne(const std::string& device) {
        std::ofstream(Settings) << "[ports]\r\ncom1=" << device << "\r\n";
    }

    // The configuration the simulator holds, read by a terminal of its own.
    TTerminalConfig HeldBy(const Simulator& simulator) {
        TTerminal terminal;
        terminal.Resolver = FixedDevice(simulator.Link());
        TTerminalConfig config;
        terminal.ReadConfig(config);
        return config;
    }

    TTerminalConfig ViewContent() {
        Window->ViewToConfig();
        return *Window->Config;
    }

    void ReadFrom(const Simulator& simulator) {
        MapComOne(simulator.Link());
        Press(Window->acIcRead);
        ASSERT_TRUE(WaitForCommand());
        ASSERT_TRUE(Failures.Texts.isEmpty()) << Failures.Texts.join('\n').toStdString();
        ASSERT_EQ(Window->dsTank->rowCount(), 16);
    }

    static constexpr int MaskRegister = 32;
    static constexpr int ThresholdRegister = 36; // two per tank from here
};

TEST_F(ControllerCommandsTest, ReadFromTheSimulatorFillsSixteenRowsAndTheScript) {
    Simulator simulator;
    ReadFrom(simulator);
    for (int row = 0; row < 16; ++row) {
        EXPECT_EQ(Window->dsTank->index(row, ui::TankTableModel::ColNpp).data().toInt(), row + 1);
    }
    EXPECT_EQ(Row(1), (ui::TTankRow{1, true, 20, 60, 85}));
    EXPECT_FALSE(Row(3).active);
    EXPECT_FALSE(Window->mScript->toPlainText().isEmpty());
    EXPECT_TRUE(Window->acIcWrite->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(ViewContent(), HeldBy(simulator));
}

TEST_F(ControllerCommandsTest, WriteStoresACellStillBeingEditedAndSendsIt) {
    Simulator simulator;
    ReadFrom(simulator);
    ASSERT_NE(TypeInto(1, ui::TankTableModel::ColHmin, QStringLiteral("33")), nullptr);
    Press(Window->acIcWrite);
    ASSERT_TRUE(WaitForCommand());
    EXPECT_TRUE(Failures.Texts.isEmpty()) << Failures.Texts.join('\n').toStdString();
    EXPECT_EQ(simulator.State()[ThresholdRegister + 2], 33 << 8 | 60);
    TTerminalConfig expected = ViewContent();
    EXPECT_EQ(expected.Tanks[1].hmin, 33);
    EXPECT_EQ(HeldBy(simulator), expected);
    EXPECT_TRUE(Window->acIcWrite->isEnabled());
}

TEST_F(ControllerCommandsTest, WriteRefusedByValidationLeavesTheViewAsItWas) {
    Simulator simulator;
    ReadFrom(simulator);
    const std::map<int, uint16_t> before = simulator.State();
    Window->dsTank->setData(Window->dsTank->index(4, ui::TankTableModel::ColActive), Qt::Checked,
                            Qt::CheckStateRole);
    for (const auto& [column, value] : {std::pair{ui::TankTableModel::ColHmin, 50},
                                        {ui::TankTableModel::ColHmax, 50},
                                        {ui::TankTableModel::ColHhigh, 60}}) {
        Window->dsTank->setData(Window->dsTank->index(4, column), value);
    }
    const TTerminalConfig shown = ViewContent();
    Press(Window->acIcWrite);
    ASSERT_TRUE(WaitForCommand());
    EXPECT_EQ(Failures.Texts,
              QStringList{QStringLiteral("Резервуар 5:\n50 не в диапазоне 51..99.")});
    EXPECT_EQ(ViewContent(), shown);
    EXPECT_EQ(*Window->Config, shown);
    // The whole configuration is checked before the port opens: not even the mask goes out.
    EXPECT_EQ(simulator.State(), before);
    EXPECT_TRUE(Window->acIcWrite->isEnabled());
}

TEST_F(ControllerCommandsTest, WriteThatTheControllerDoesNotKeepShowsTheDifference) {
    Simulator simulator({"--fault", "stuck=39"}); // tank 2's alarm level stays 85
    ReadFrom(simulator);
    Window->dsTank->setData(Window->dsTank->index(1, ui::TankTableModel::ColHhigh), 86);
    Press(Window->acIcWrite);
    ASSERT_TRUE(WaitForCommand());
    EXPECT_EQ(Failures.Texts, QStringList{QStringLiteral("Контроллер хранит не то, что записано:\n"
                                                         "Резервуар 2, Авария: ожидалось 86, в "
                                                         "контроллере 85.")});
    EXPECT_TRUE(Window->acIcWrite->isEnabled());
}

// The comparison reads without touching the view or the controller and lists the differences
// in the user's terms.
TEST_F(ControllerCommandsTest, CompareListsAChangedThresholdAndChangesNothing) {
    Simulator simulator;
    ReadFrom(simulator);
    QList<QStringList> shown;
    Window->ShowComparison = [&](QWidget*, const QStringList& differences) {
        shown.append(differences);
    };
    Press(Window->acIcCompare);
    ASSERT_TRUE(WaitForCommand());
    ASSERT_NE(TypeInto(1, ui::TankTableModel::ColHmin, QStringLiteral("33")), nullptr);
    const std::map<int, uint16_t> held = simulator.State();
    Press(Window->acIcCompare);
    ASSERT_TRUE(WaitForCommand());
    EXPECT_TRUE(Failures.Texts.isEmpty()) << Failures.Texts.join('\n').toStdString();
    EXPECT_EQ(shown,
              (QList<QStringList>{
                  {}, {QStringLiteral("Резервуар 2, Hmin: ожидалось 33, в контроллере 20")}}));
    EXPECT_EQ(Row(1).hmin, 33);
    EXPECT_TRUE(Window->isWindowModified()) << "the edit is still the user's to save or write";
    EXPECT_EQ(simulator.State(), held);
    EXPECT_TRUE(Window->lblLastResult->text().contains(QStringLiteral("Отличается")));
}

TEST_F(ControllerCommandsTest, ReadFromASilentControllerEmptiesTheViewAndShowsTheTimeout) {
    Simulator silent({"--fault", "silent"});
    MapComOne(silent.Link());
    Show(Sample());
    Press(Window->acIcRead);
    ASSERT_TRUE(WaitForCommand());
    EXPECT_EQ(Failures.Texts, QStringList{QStringLiteral("Таймаут.")});
    EXPECT_EQ(Window->dsTank->rowCount(), 0);
    EXPECT_TRUE(Window->mScript->toPlainText().isEmpty());
    EXPECT_FALSE(Window->acIcWrite->isEnabled());
    EXPECT_TRUE(Window->acIcRead->isEnabled());
    EXPECT_TRUE(Window->acLoadFromFile->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ControllerCommandsTest, ShowsWhyThePortDoesNotOpenAndGoesOn) {
    MapComOne(Dir.File("unplugged"));
    Press(Window->acIcRead);
    ASSERT_TRUE(WaitForCommand());
    ASSERT_EQ(Failures.Texts.size(), 1);
    EXPECT_TRUE(Failures.Texts[0].startsWith(QStringLiteral("COM1: ")))
        << Failures.Texts[0].toStdString();
    EXPECT_TRUE(Window->acIcRead->isEnabled());
    EXPECT_FALSE(Window->acIcWrite->isEnabled());
}

// A machine with a USB adapter that another program holds, on which the technician is neither
// the adapter's owner nor in its group, which may read and write it.
TEST_F(ControllerCommandsTest, EachPortErrorKeepsItsMessageAndSaysWhatToDo) {
    FixtureTree tree;
    tree.UsbTty("ttyUSB0", "1-1", {{"idVendor", "0403"}, {"manufacturer", "FTDI"}});
    tree.Process(4242, "picocom", {"/dev/ttyUSB0"});
    ::chmod(tree.Under("/dev/ttyUSB0").c_str(), 0660);
    struct stat device {};
    ::stat(tree.Under("/dev/ttyUSB0").c_str(), &device);
    Window->AdviceHost.Root = tree.Path();
    Window->AdviceHost.User = device.st_uid + 1000;
    Window->AdviceHost.Groups = {};
    Window->AdviceHost.GroupName = [](gid_t) { return std::string("uucp"); };
    Window->AdviceHost.UserName = [](uid_t) { return std::string("ivan"); };
    MapComOne("/dev/ttyUSB0");

    struct TCase {
        int error;
        QString text;
        QString advice;
    };
    const QString device0 = QStringLiteral("COM1 — это /dev/ttyUSB0\n");
    const TCase cases[] = {
        {EACCES, QStringLiteral("COM1: Permission denied."),
         device0 + QStringLiteral("Устройство /dev/ttyUSB0 открыто для группы uucp, а пользователь "
                                  "ivan в неё не входит. Добавьте его в группу командой:\n"
                                  "sudo usermod -aG uucp ivan\n"
                                  "затем выйдите из системы и войдите снова.")},
        {ENOENT, QStringLiteral("COM1: No such file or directory."),
         device0 + QStringLiteral("Последовательные порты этого компьютера:\n"
                                  "  COM1, COM33: /dev/ttyUSB0 (FTDI)")},
        {EBUSY, QStringLiteral("COM1: Device or resource busy."),
         device0 + QStringLiteral("Устройство /dev/ttyUSB0 держит открытым: picocom (pid 4242). "
                                  "Закройте эту программу.")},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        FailingOpen refusing(c.error);
        const ScopedSerialDevice seam(refusing);
        Failures.Texts.clear();
        Failures.Advice.clear();
        Press(Window->acIcRead);
        ASSERT_TRUE(WaitForCommand());
        EXPECT_EQ(Failures.Texts, QStringList{c.text});
        EXPECT_EQ(Failures.Advice, QStringList{c.advice})
            << Failures.Advice.join("|").toStdString();
    }
}

TEST_F(ControllerCommandsTest, ATimeoutSaysWhichDeviceAndWhatTheLineShouldBe) {
    Simulator silent({"--fault", "silent"});
    MapComOne(silent.Link());
    Press(Window->acIcRead);
    ASSERT_TRUE(WaitForCommand());
    EXPECT_EQ(Failures.Texts, QStringList{QStringLiteral("Таймаут.")});
    ASSERT_EQ(Failures.Advice.size(), 1);
    const QStringList advice = Failures.Advice[0].split('\n');
    ASSERT_EQ(advice.size(), 3) << Failures.Advice[0].toStdString();
    EXPECT_TRUE(
        advice[0].startsWith(QStringLiteral("COM1 — это ") + QString::fromStdString(silent.Link())))
        << advice[0].toStdString();
    EXPECT_EQ(advice[1],
              QStringLiteral("Контроллер не ответил. Ожидаются: адрес 32, 19200 бод, 8N1 "
                             "(8 бит данных, без чётности, 1 стоповый бит)."));
    EXPECT_TRUE(advice[2].contains(QStringLiteral("провода A и B")));
}

TEST_F(ControllerCommandsTest,
       RunWithTheBusyCursorTheViewClosedAndOnlyTheConnectionCommandEnabled) {
    Simulator silent({"--fault", "silent"});
    MapComOne(silent.Link());
    Show(Sample());
    Press(Window->acIcWrite);
    // The command runs on while the window handles its events.
    ASSERT_TRUE(Window->IsCommandRunning());
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QList<bool> enabled;
    for (QAction* command : {Window->acIcRead, Window->acIcWrite, Window->acWriteToFile,
                             Window->acLoadFromFile, Window->acConfig}) {
        enabled.append(command->isEnabled());
    }
    EXPECT_EQ(enabled, (QList<bool>{false, false, false, false, true}));
    EXPECT_FALSE(Window->pcConfig->isEnabled());
    ASSERT_TRUE(WaitForCommand());
    EXPECT_EQ(Failures.Texts, QStringList{QStringLiteral("Таймаут.")});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(Window->pcConfig->isEnabled());
    EXPECT_TRUE(Window->acIcWrite->isEnabled()); // the rows are still there
    EXPECT_EQ(Window->dsTank->rowCount(), 16);
}

} // namespace
} // namespace dravik::test
