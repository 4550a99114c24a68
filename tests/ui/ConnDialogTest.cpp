#include "WindowFixture.h"
#include "support/HoldingProcess.h"
#include "support/PseudoTerminal.h"
#include "support/Simulator.h"
#include "ui/NumberEdit.h"
#include "ui/SerialDevices.h"
#include "ui/UfmConn.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

namespace dravik::test {
namespace {

using ui::TfmConn;

class ConnDialogTest : public WindowTest {
protected:
    // Runs the connection command while user acts on its dialog as a person would.
    void RunDialog(const std::function<void(TfmConn&)>& user) {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<TfmConn*>(QApplication::activeModalWidget());
            if (dialog != nullptr) {
                seen = true;
                user(*dialog);
            }
        });
        Press(Window->acConfig);
        EXPECT_TRUE(seen);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the dialog is still open";
    }

    static void Type(TfmConn& dialog, const QString& text) {
        dialog.eComPort->selectAll();
        QTest::keyClick(dialog.eComPort, Qt::Key_Delete);
        QTest::keyClicks(dialog.eComPort, text);
    }

    bool SettingsWritten() const { return std::filesystem::exists(Settings); }

    // The list's row of the device, or -1.
    static int RowOf(const TfmConn& dialog, const std::string& device) {
        const std::string final = std::filesystem::weakly_canonical(device).string();
        for (int row = 0; row < dialog.dsPorts->rowCount(); ++row) {
            if (dialog.dsPorts->item(row, 1)->text().toStdString() == final) {
                return row;
            }
        }
        return -1;
    }

    static void ClickRow(TfmConn& dialog, int row) {
        QTableWidget* list = dialog.dsPorts;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row, 1)).center());
    }

    // Answers the message box that the next step opens.
    static void AnswerNextQuestion(QMessageBox::StandardButton answer) {
        QTimer::singleShot(0, [answer] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                box->button(answer)->click();
            }
        });
    }

    static bool AwaitSearchEnd(const TfmConn& dialog) {
        return QTest::qWaitFor([&] { return !dialog.IsSearching(); }, SearchDeadlineMs);
    }

    static constexpr int SearchDeadlineMs = 60000;
};

TEST_F(ConnDialogTest, OpensWithTheCurrentPortAndItsFixedSize) {
    RunDialog([this](TfmConn& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Настройки подключения"));
        EXPECT_EQ(dialog.size(), QSize(520, 348));
        // The file that holds the port, whole in the tooltip, its name in sight on the label.
        EXPECT_EQ(dialog.lblSettings->toolTip(),
                  QStringLiteral("Хранится в ") + QString::fromStdString(Settings));
        EXPECT_TRUE(dialog.lblSettings->text().endsWith(QStringLiteral("dravik_conf.ini")))
            << dialog.lblSettings->text().toStdString();
        EXPECT_EQ(dialog.Label4->text(), QStringLiteral("COM порт:"));
        EXPECT_EQ(dialog.eComPort->text(), QStringLiteral("1"));
        EXPECT_TRUE(dialog.btnOk->isEnabled());
        EXPECT_TRUE(dialog.btnOk->isDefault());
        EXPECT_EQ(dialog.Button2->text(), QStringLiteral("Отмена"));
        QTest::mouseClick(dialog.Button2, Qt::LeftButton);
    });
}

// The number is selected as the dialog opens: typing replaces it rather than adding to it.
TEST_F(ConnDialogTest, TypingOverTheNumberShownReplacesIt) {
    RunDialog([](TfmConn& dialog) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.eComPort->hasFocus(); }));
        EXPECT_EQ(dialog.eComPort->selectedText(), QStringLiteral("1"));
        QTest::keyClicks(dialog.eComPort, QStringLiteral("3"));
        QTest::keyClick(dialog.eComPort, Qt::Key_Return);
    });
    EXPECT_EQ(Window->Terminal->Port, 3);
}

TEST_F(ConnDialogTest, DisablesOkWhileTheEditHoldsNoNumber) {
    RunDialog([](TfmConn& dialog) {
        Type(dialog, QString());
        EXPECT_FALSE(dialog.btnOk->isEnabled());
        QTest::keyClick(dialog.eComPort, Qt::Key_Return); // Enter does nothing now
        EXPECT_TRUE(dialog.isVisible());
        QTest::keyClicks(dialog.eComPort, QStringLiteral("-"));
        EXPECT_FALSE(dialog.btnOk->isEnabled());
        QTest::keyClicks(dialog.eComPort, QStringLiteral("x.5"));
        EXPECT_EQ(dialog.eComPort->text(), QStringLiteral("-5"));
        EXPECT_TRUE(dialog.btnOk->isEnabled());
        QTest::keyClick(dialog.eComPort, Qt::Key_Escape);
    });
    EXPECT_EQ(Window->Terminal->Port, 1);
    EXPECT_FALSE(SettingsWritten());
}

TEST_F(ConnDialogTest, CancelAfterAChangeLeavesPortAndSettingsAlone) {
    RunDialog([](TfmConn& dialog) {
        Type(dialog, QStringLiteral("7"));
        QTest::mouseClick(dialog.Button2, Qt::LeftButton);
    });
    EXPECT_EQ(Window->Terminal->Port, 1);
    EXPECT_FALSE(SettingsWritten());
    EXPECT_TRUE(Failures.Texts.isEmpty());
}

TEST_F(ConnDialogTest, StoresTheLowEightBitsOfTheNumberAndWritesTheSettings) {
    const struct {
        const char* typed;
        uint8_t port;
    } cases[] = {{"3", 3}, {"300", 44}, {"-1", 255}, {"0", 0}, {"256", 0}, {"1", 1}};
    for (const auto& c : cases) {
        RunDialog([&](TfmConn& dialog) {
            Type(dialog, QString::fromLatin1(c.typed));
            QTest::mouseClick(dialog.btnOk, Qt::LeftButton);
        });
        EXPECT_EQ(Window->Terminal->Port, c.port) << c.typed;
        EXPECT_EQ(LoadPortSetting(Settings), c.port) << c.typed;
    }
    EXPECT_TRUE(Failures.Texts.isEmpty()) << Failures.Texts.join('\n').toStdString();
}

TEST_F(ConnDialogTest, ConfirmingFreesAChannelLeftOpen) {
    PseudoTerminal line;
    Window->Terminal->Resolver = FixedDevice(line.SlavePath());
    Window->Terminal->Connect();
    ASSERT_TRUE(Window->Terminal->IsConnected());
    RunDialog([](TfmConn& dialog) { QTest::keyClick(dialog.eComPort, Qt::Key_Return); });
    EXPECT_FALSE(Window->Terminal->IsConnected());
    EXPECT_EQ(LoadPortSetting(Settings), 1);
}

TEST_F(ConnDialogTest, StepsTheNumberWithTheArrowKeys) {
    RunDialog([](TfmConn& dialog) {
        QTest::keyClick(dialog.eComPort, Qt::Key_Up);
        QTest::keyClick(dialog.eComPort, Qt::Key_Up);
        EXPECT_EQ(dialog.eComPort->text(), QStringLiteral("3"));
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(dialog.eComPort, Qt::Key_Down);
        }
        EXPECT_EQ(dialog.eComPort->text(), QStringLiteral("-1"));
        QTest::mouseClick(dialog.btnOk, Qt::LeftButton);
    });
    EXPECT_EQ(Window->Terminal->Port, 255);
}

TEST_F(ConnDialogTest, NamesTheDeviceOfTheNumberAndItsState) {
    const std::string present = Dir.File("adapter");
    const std::string missing = Dir.File("unplugged");
    std::ofstream(present) << "";
    std::ofstream(Settings) << "[ports]\r\ncom5=" << present << "\r\ncom6=" << missing << "\r\n";
    RunDialog([&](TfmConn& dialog) {
        Type(dialog, QStringLiteral("5"));
        EXPECT_EQ(dialog.lblDevice->text(),
                  QString::fromStdString(present) + QStringLiteral(": есть"));
        Type(dialog, QStringLiteral("6"));
        EXPECT_EQ(dialog.lblDevice->text(),
                  QString::fromStdString(missing) + QStringLiteral(": нет такого устройства"));
        Type(dialog, QStringLiteral("261")); // the low byte: COM5
        EXPECT_TRUE(dialog.lblDevice->text().startsWith(QString::fromStdString(present)));
        const int row = RowOf(dialog, present);
        ASSERT_GE(row, 0) << "the mapped device is listed";
        EXPECT_EQ(dialog.dsPorts->item(row, 0)->text(), QStringLiteral("COM5"));
        EXPECT_EQ(dialog.dsPorts->item(row, 3)->text(), QStringLiteral("свободен"));
        EXPECT_LT(RowOf(dialog, missing), 0) << "a device that is not there is not listed";
        QTest::mouseClick(dialog.Button2, Qt::LeftButton);
    });
}

// The device's own group, and only where joining it would help; the ids are the test's, the
// rights the file's.
TEST(SerialDevices, NamesTheGroupToJoinOnlyWhereThatHelps) {
    const TempDir dir;
    const std::string adapter = dir.File("adapter");
    std::ofstream(adapter) << "";
    struct stat file {};
    ASSERT_EQ(::stat(adapter.c_str(), &file), 0);
    if (file.st_uid != 0 || file.st_gid != 0) {
        GTEST_SKIP() << "the expected names are root's";
    }
    const TPortResolver resolver = FixedDevice(adapter);
    const uid_t stranger = 1000;
    const struct {
        mode_t mode;
        std::vector<gid_t> groups;
        QString state;
    } cases[] = {
        {0660, {}, QStringLiteral("нет доступа: нужна группа root")},
        {0600, {}, QStringLiteral("нет доступа: права 0600, владелец root")},
        {0640, {}, QStringLiteral("нет доступа: права 0640, владелец root")},
        {0660, {0}, QStringLiteral("есть")},
    };
    for (const auto& c : cases) {
        ::chmod(adapter.c_str(), c.mode);
        EXPECT_EQ(ui::DescribePort(5, resolver, stranger, c.groups),
                  QString::fromStdString(adapter) + QStringLiteral(": ") + c.state);
    }
}

TEST_F(ConnDialogTest, ReportsASettingsFileThatCannotBeWrittenAndKeepsTheNewPort) {
    const std::string unwritable = Dir.File("no/such/folder/dravik_conf.ini");
    Window = std::make_unique<ui::TfmMain>(unwritable);
    Window->show();
    RunDialog([](TfmConn& dialog) {
        Type(dialog, QStringLiteral("9"));
        QTest::mouseClick(dialog.btnOk, Qt::LeftButton);
    });
    EXPECT_EQ(Window->Terminal->Port, 9);
    EXPECT_EQ(
        Failures.Texts,
        QStringList{
            QStringLiteral("Unable to write to %1.").arg(QString::fromStdString(unwritable))});
}

TEST_F(ConnDialogTest, ListsTheLinesAndFindsTheControllerInTheBackground) {
    Simulator answering;
    Simulator silent({"--fault", "silent"});
    Simulator busy({"--fault", "silent"});
    const HoldingProcess holder(busy.Link());
    std::ofstream(Settings) << "[ports]\r\ncom5=" << answering.Link()
                            << "\r\ncom6=" << silent.Link() << "\r\ncom8=" << busy.Link() << "\r\n";
    RunDialog([&](TfmConn& dialog) {
        const int found = RowOf(dialog, answering.Link());
        const int quiet = RowOf(dialog, silent.Link());
        const int held = RowOf(dialog, busy.Link());
        ASSERT_GE(found, 0);
        ASSERT_GE(quiet, 0);
        ASSERT_GE(held, 0);
        EXPECT_EQ(dialog.dsPorts->item(quiet, 0)->text(), QStringLiteral("COM6"));
        EXPECT_EQ(dialog.dsPorts->item(held, 3)->text(),
                  QStringLiteral("занят: sleep (pid %1)").arg(holder.Pid()));
        ClickRow(dialog, quiet);
        EXPECT_EQ(dialog.eComPort->text(), QStringLiteral("6"));

        QTest::mouseClick(dialog.btnFind, Qt::LeftButton);
        EXPECT_EQ(dialog.btnFind->text(), QStringLiteral("Остановить"));
        EXPECT_TRUE(dialog.pbFind->isVisible());
        ASSERT_TRUE(AwaitSearchEnd(dialog));
        EXPECT_EQ(dialog.FoundRows(), std::vector<int>{found});
        EXPECT_TRUE(dialog.dsPorts->item(found, 0)->font().bold());
        EXPECT_EQ(dialog.dsPorts->item(found, 3)->text(), QStringLiteral("найден контроллер"));
        EXPECT_EQ(dialog.dsPorts->item(quiet, 3)->toolTip(), QStringLiteral("Таймаут"));
        EXPECT_EQ(dialog.eComPort->text(), QStringLiteral("5")) << "the one found is chosen";
        EXPECT_EQ(dialog.dsPorts->currentRow(), found);
        EXPECT_TRUE(dialog.lblFind->text().startsWith(QStringLiteral("Контроллер найден: COM5")))
            << dialog.lblFind->text().toStdString();
        EXPECT_EQ(dialog.btnFind->text(), QStringLiteral("Найти контроллер"));
        EXPECT_FALSE(dialog.pbFind->isVisible());
        QTest::mouseClick(dialog.btnOk, Qt::LeftButton);
    });
    EXPECT_EQ(Window->Terminal->Port, 5);
    EXPECT_TRUE(std::filesystem::exists(Dir.File("port5.log"))) << "the probe logs its block";
}

TEST_F(ConnDialogTest, StopsTheSearchWhenAsked) {
    Simulator first({"--fault", "silent"});
    Simulator second({"--fault", "silent"});
    std::ofstream(Settings) << "[ports]\r\ncom6=" << first.Link() << "\r\ncom7=" << second.Link()
                            << "\r\n";
    RunDialog([&](TfmConn& dialog) {
        QTest::mouseClick(dialog.btnFind, Qt::LeftButton);
        QTest::mouseClick(dialog.btnFind, Qt::LeftButton);
        ASSERT_TRUE(AwaitSearchEnd(dialog));
        EXPECT_EQ(dialog.lblFind->text(), QStringLiteral("Контроллер не найден (поиск прерван)"));
        EXPECT_TRUE(dialog.btnFind->isEnabled());
        QTest::mouseClick(dialog.Button2, Qt::LeftButton);
    });
    EXPECT_FALSE(std::filesystem::exists(Dir.File("port7.log"))) << "the last line was not probed";
}

TEST_F(ConnDialogTest, OffersADeviceWithoutANumberTheFirstFreeOneFrom97) {
    std::ofstream(Settings) << "[ports]\r\ncom97=/dev/ttyXR0\r\n";
    TSerialPort adapter;
    adapter.Device = "/dev/ttyXR1";
    RunDialog([&](TfmConn& dialog) {
        dialog.ShowPorts({adapter});
        EXPECT_EQ(dialog.dsPorts->item(0, 0)->text(), QStringLiteral("нет номера"));
        AnswerNextQuestion(QMessageBox::No);
        ClickRow(dialog, 0);
        EXPECT_EQ(dialog.eComPort->text(), QStringLiteral("1"));
        ClickRow(dialog, 0); // asked once: no box comes, and the test would hang on one
        EXPECT_EQ(dialog.eComPort->text(), QStringLiteral("1"));
        adapter.Device = "/dev/ttyXR2";
        dialog.ShowPorts({adapter});
        AnswerNextQuestion(QMessageBox::Yes);
        ClickRow(dialog, 0);
        EXPECT_EQ(dialog.eComPort->text(), QStringLiteral("98"));
        EXPECT_EQ(dialog.dsPorts->item(0, 0)->text(), QStringLiteral("COM98"));
        QTest::mouseClick(dialog.Button2, Qt::LeftButton);
    });
    EXPECT_EQ(Window->Terminal->Port, 1);
    EXPECT_EQ(PortDevicePath(98, Settings), "/dev/ttyXR2");
    EXPECT_TRUE(Failures.Texts.isEmpty()) << Failures.Texts.join('\n').toStdString();
}

} // namespace
} // namespace dravik::test
