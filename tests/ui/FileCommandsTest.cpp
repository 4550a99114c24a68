#include "WindowFixture.h"
#include "config/ConfigFile.h"
#include "support/Files.h"
#include "ui/FileDialogs.h"

#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QTimer>

namespace dravik::test {
namespace {

class FileCommandsTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Window->OpenDialog1 = [this](QWidget*) { return Chosen; };
        Window->SaveDialog1 = [this](QWidget*) { return Chosen; };
    }

    void Choose(const std::string& path) { Chosen = QString::fromStdString(path); }

    // What the view holds, as a write or a save would take it.
    TTerminalConfig ViewContent() {
        Window->ViewToConfig();
        return *Window->Config;
    }

    QString Chosen;
};

TEST_F(FileCommandsTest, LoadShowsWhatSaveWroteWithDisabledTanksZeroed) {
    const TTerminalConfig sample = Sample();
    Show(sample);
    Choose(Dir.File("tanks.cfg"));
    Press(Window->acWriteToFile);
    ASSERT_TRUE(Failures.Texts.isEmpty()) << Failures.Texts.join('\n').toStdString();

    TTerminalConfig other;
    other.Tanks[5] = {1, 1, 2, 3};
    Show(other);
    Press(Window->acLoadFromFile);
    ASSERT_TRUE(Failures.Texts.isEmpty()) << Failures.Texts.join('\n').toStdString();

    TTerminalConfig expected = sample;
    expected.Tanks[9] = {};
    EXPECT_EQ(Window->dsTank->rowCount(), 16);
    EXPECT_TRUE(Window->acIcWrite->isEnabled());
    EXPECT_EQ(ViewContent(), expected);
}

TEST_F(FileCommandsTest, SaveRightAfterStartWritesSixteenDisabledTanksAndTheScriptText) {
    Window->mScript->setPlainText(QStringLiteral(" 00"));
    Choose(Dir.File("fresh.cfg"));
    Press(Window->acWriteToFile);
    EXPECT_FALSE(Window->acIcWrite->isEnabled()); // still no rows
    Window->mScript->clear();
    Press(Window->acLoadFromFile);
    TTerminalConfig expected;
    expected.Script.Add(" 00");
    EXPECT_EQ(ViewContent(), expected);
    EXPECT_TRUE(Failures.Texts.isEmpty()) << Failures.Texts.join('\n').toStdString();
}

// Every byte a script line can hold in a file comes back from the window unchanged.
TEST_F(FileCommandsTest, LoadAndSaveWithoutEditsKeepEveryByteOfTheScriptLines) {
    TTerminalConfig config = Sample();
    config.Tanks[9] = {}; // a load zeroes a disabled tank
    std::string low;
    std::string high;
    for (int byte = 0x20; byte <= 0xFF; ++byte) {
        (byte < 0x80 ? low : high) += static_cast<char>(byte);
    }
    config.Script.Assign(
        std::vector<std::string>{low, high, "\xA0\x98\xA0", " 01\r 02\r", "\r", "", " 00", ""});
    const std::string written = ConfigToXml(config);
    std::ofstream(Dir.File("every.cfg"), std::ios::binary) << written;
    Choose(Dir.File("every.cfg"));
    Press(Window->acLoadFromFile);
    Choose(Dir.File("again.cfg"));
    Press(Window->acWriteToFile);
    ASSERT_TRUE(Failures.Texts.isEmpty()) << Failures.Texts.join('\n').toStdString();
    EXPECT_EQ(ReadBytes(Dir.File("again.cfg")), written);
}

TEST_F(FileCommandsTest, AScriptTextEndingInALineBreakSavesNoEmptyLine) {
    const struct {
        QString text;
        std::vector<std::string> lines;
    } cases[] = {
        {QStringLiteral(" 01\n 00\n"), {" 01", " 00"}},
        {QStringLiteral(" 01\n 00"), {" 01", " 00"}},
        {QStringLiteral(" 01\n\n"), {" 01", ""}},
        {QStringLiteral("\n"), {""}},
        {QString(), {}},
    };
    for (const auto& c : cases) {
        Window->mScript->setPlainText(c.text);
        TTerminalConfig expected;
        expected.Script.Assign(c.lines);
        EXPECT_EQ(ViewContent(), expected) << c.text.toStdString();
    }
}

TEST_F(FileCommandsTest, CancelledDialogsChangeNothingAndShowNothing) {
    Show(Sample());
    Choose("");
    Press(Window->acWriteToFile);
    Press(Window->acLoadFromFile);
    EXPECT_TRUE(Failures.Texts.isEmpty());
    EXPECT_EQ(ViewContent(), Sample());
}

TEST_F(FileCommandsTest, LoadOfAMissingOrBrokenFileLeavesTheWindowUnchanged) {
    const std::string broken = Dir.File("broken.cfg");
    std::ofstream(broken) << "not xml";
    const std::string fifo = Dir.File("fifo.cfg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    const struct {
        std::string path;
        QString message;
    } cases[] = {
        {Dir.File("missing.cfg"), QStringLiteral("Cannot open file \"%1\". ")
                                      .arg(QString::fromStdString(Dir.File("missing.cfg")))},
        {broken, QStringLiteral("Invalid Document: Unexpected text in file prolog.")},
        {fifo, QStringLiteral("Cannot open file \"%1\". Not a regular file.")
                   .arg(QString::fromStdString(fifo))},
    };
    for (const auto& c : cases) {
        Show(Sample());
        Failures.Texts.clear();
        Choose(c.path);
        Press(Window->acLoadFromFile);
        ASSERT_EQ(Failures.Texts.size(), 1) << c.path;
        EXPECT_TRUE(Failures.Texts[0].startsWith(c.message)) << Failures.Texts[0].toStdString();
        EXPECT_EQ(Window->dsTank->rowCount(), 16);
        EXPECT_TRUE(Window->acIcWrite->isEnabled());
        EXPECT_EQ(ViewContent(), Sample());
    }
}

TEST_F(FileCommandsTest, FailedSaveLeavesTheViewAndRecordsItsContent) {
    Show(Sample());
    Choose(Dir.File("no/such/folder/x.cfg"));
    Press(Window->acWriteToFile);
    EXPECT_EQ(Failures.Texts.size(), 1);
    EXPECT_EQ(*Window->Config, Sample());
    EXPECT_EQ(Window->dsTank->rowCount(), 16);
}

// The real dialogs: one filter, the default suffix, a name that does not exist accepted.
TEST_F(FileCommandsTest, OpenDialogTakesANameThatDoesNotExistAndAddsTheSuffix) {
    QString filter;
    QString suffix;
    bool asksBeforeReplacing = true;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return;
        }
        filter = dialog->nameFilters().join('|');
        suffix = dialog->defaultSuffix();
        asksBeforeReplacing = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        dialog->setDirectory(QString::fromStdString(Dir.Path()));
        dialog->selectFile(QStringLiteral("new"));
        static_cast<QDialog*>(dialog)->accept(); // the dialog's own check runs
    });
    const QString chosen = ui::AskOpenConfigFile(Window.get());
    EXPECT_EQ(chosen, QString::fromStdString(Dir.File("new.cfg")));
    EXPECT_EQ(filter, QStringLiteral("*.cfg"));
    EXPECT_EQ(suffix, QStringLiteral("cfg"));
    EXPECT_FALSE(asksBeforeReplacing);
}

TEST_F(FileCommandsTest, SaveDialogReplacesAnExistingFileWithoutAsking) {
    std::ofstream(Dir.File("old.cfg")) << "old";
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return;
        }
        dialog->setDirectory(QString::fromStdString(Dir.Path()));
        dialog->selectFile(QStringLiteral("old.cfg"));
        static_cast<QDialog*>(dialog)->accept(); // the dialog's own check runs
    });
    EXPECT_EQ(ui::AskSaveConfigFile(Window.get()), QString::fromStdString(Dir.File("old.cfg")));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

} // namespace
} // namespace dravik::test
