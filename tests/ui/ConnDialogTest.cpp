#include "WindowFixture.h"
#include "support/PseudoTerminal.h"
#include "ui/NumberEdit.h"
#include "ui/UfmConn.h"

#include <filesystem>
#include <fstream>
#include <functional>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace dravik::test {
namespace {

using ui::TfmConn;

class ConnDialog : public WindowTest {
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
};

TEST_F(ConnDialog, OpensWithTheCurrentPortAndItsFixedSize) {
    RunDialog([this](TfmConn& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Настройки подключения"));
        EXPECT_EQ(dialog.size(), QSize(248, 132));
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

TEST_F(ConnDialog, DisablesOkWhileTheEditHoldsNoNumber) {
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

TEST_F(ConnDialog, CancelAfterAChangeLeavesPortAndSettingsAlone) {
    RunDialog([](TfmConn& dialog) {
        Type(dialog, QStringLiteral("7"));
        QTest::mouseClick(dialog.Button2, Qt::LeftButton);
    });
    EXPECT_EQ(Window->Terminal->Port, 1);
    EXPECT_FALSE(SettingsWritten());
    EXPECT_TRUE(Failures.Texts.isEmpty());
}

TEST_F(ConnDialog, StoresTheLowEightBitsOfTheNumberAndWritesTheSettings) {
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

TEST_F(ConnDialog, ConfirmingFreesAChannelLeftOpen) {
    PseudoTerminal line;
    Window->Terminal->Resolver = [&](int32_t) { return line.SlavePath(); };
    Window->Terminal->Connect();
    ASSERT_TRUE(Window->Terminal->IsConnected());
    RunDialog([](TfmConn& dialog) { QTest::keyClick(dialog.eComPort, Qt::Key_Return); });
    EXPECT_FALSE(Window->Terminal->IsConnected());
    EXPECT_EQ(LoadPortSetting(Settings), 1);
}

TEST_F(ConnDialog, StepsTheNumberWithTheArrowKeys) {
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

TEST_F(ConnDialog, NamesTheDeviceOfTheNumberAndItsState) {
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
        EXPECT_TRUE(dialog.eComPort->toolTip().contains(QString::fromStdString(present) +
                                                        QStringLiteral(" — COM5")))
            << dialog.eComPort->toolTip().toStdString();
        QTest::mouseClick(dialog.Button2, Qt::LeftButton);
    });
}

TEST_F(ConnDialog, ReportsASettingsFileThatCannotBeWrittenAndKeepsTheNewPort) {
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

} // namespace
} // namespace dravik::test
