// A changed view is never replaced or dropped without the question «Сохранить изменения в
// файл?»; the caption carries the marker of a changed view.
#include "WindowFixture.h"
#include "config/ConfigFile.h"
#include "support/Simulator.h"

#include <cstdio>
#include <fstream>

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

namespace dravik::test {
namespace {

class UnsavedChangesTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        std::ofstream(Settings) << "[ports]\r\ncom1=" << Controller.Link() << "\r\n";
        Window->SaveDialog1 = [this](QWidget*) { return QString::fromStdString(Kept); };
        // A file other than the view, for the load to bring in.
        TTerminalConfig other;
        other.Tanks[7] = {1, 1, 2, 3};
        SaveConfigFile(Other, other);
        Window->OpenDialog1 = [this](QWidget*) { return QString::fromStdString(Other); };
    }

    static void SaveConfigFile(const std::string& path, const TTerminalConfig& config) {
        dravik::SaveConfigFile(path, config);
    }

    // The sample with the user's edit of tank 1's alarm level.
    TTerminalConfig ShowEdited() {
        Show(Sample());
        Window->dsTank->setData(Window->dsTank->index(0, ui::TankTableModel::ColHhigh), 91);
        TTerminalConfig edited = Sample();
        edited.Tanks[0].hhigh = 91;
        return edited;
    }

    TTerminalConfig ViewContent() {
        Window->ViewToConfig();
        return *Window->Config;
    }

    void Answer(QMessageBox::StandardButton answer) {
        Window->SaveQuestion = [this, answer](QWidget*) {
            ++Questions;
            return answer;
        };
    }

    test::Simulator Controller;
    std::string Kept = Dir.File("kept.cfg");
    std::string Other = Dir.File("other.cfg");
};

TEST_F(UnsavedChangesTest, TheCaptionMarksAnEditUntilASaveOrAWrite) {
    EXPECT_EQ(Window->windowTitle(), QStringLiteral("dravik-conf v0.1[*]"));
    Show(Sample()); // the window's own filling is no edit
    EXPECT_FALSE(Window->isWindowModified());
    Window->mScript->appendPlainText(QStringLiteral(" 00"));
    EXPECT_TRUE(Window->isWindowModified());
    Press(Window->acWriteToFile);
    EXPECT_FALSE(Window->isWindowModified());
    ShowEdited();
    EXPECT_TRUE(Window->isWindowModified());
    Press(Window->acIcWrite);
    ASSERT_TRUE(WaitForCommand());
    EXPECT_TRUE(Failures.Texts.isEmpty()) << Failures.Texts.join('\n').toStdString();
    EXPECT_FALSE(Window->isWindowModified());
    EXPECT_EQ(Questions, 0); // neither a save nor a write replaces the view
}

TEST_F(UnsavedChangesTest, ReadLoadAndCloseAskAndFollowEachAnswer) {
    enum Action { Read, Load, Close };
    for (const Action action : {Read, Load, Close}) {
        for (const QMessageBox::StandardButton answer :
             {QMessageBox::Cancel, QMessageBox::Discard, QMessageBox::Save}) {
            SCOPED_TRACE(testing::Message() << "action " << action << ", answer " << answer);
            std::remove(Kept.c_str());
            std::remove("port1.log");
            Window->show();
            const TTerminalConfig edited = ShowEdited();
            Answer(answer);
            Questions = 0;
            if (action == Read) {
                Press(Window->acIcRead);
                ASSERT_TRUE(WaitForCommand());
            } else if (action == Load) {
                Press(Window->acLoadFromFile);
            } else {
                Window->close();
            }
            EXPECT_EQ(Questions, 1);
            EXPECT_TRUE(Failures.Texts.isEmpty()) << Failures.Texts.join('\n').toStdString();
            const bool goesOn = answer != QMessageBox::Cancel;
            // Cancel sends nothing: no connection was even opened.
            EXPECT_EQ(std::ifstream("port1.log").good(), goesOn && action == Read);
            EXPECT_EQ(std::ifstream(Kept).good(), answer == QMessageBox::Save);
            if (answer == QMessageBox::Save) {
                TTerminalConfig saved;
                FillConfig(ReadConfigDocument(Kept), saved);
                TTerminalConfig expected = edited;
                expected.Tanks[9] = {}; // a disabled tank is kept with thresholds 0
                EXPECT_EQ(saved, expected);
            }
            if (action == Close) {
                EXPECT_EQ(Window->isVisible(), !goesOn);
            } else if (goesOn) {
                EXPECT_FALSE(Window->isWindowModified());
                EXPECT_NE(ViewContent(), edited);
            }
            if (!goesOn) {
                EXPECT_TRUE(Window->isWindowModified());
                EXPECT_EQ(ViewContent(), edited);
            }
        }
    }
}

TEST_F(UnsavedChangesTest, TheQuestionOffersQtsSaveDiscardAndCancelInRussian) {
    QString text;
    QStringList buttons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        text = box->text();
        for (QAbstractButton* button : box->buttons()) {
            buttons.append(button->text().remove('&'));
        }
        box->button(QMessageBox::Cancel)->click();
    });
    EXPECT_EQ(ui::AskSaveChanges(Window.get()), QMessageBox::Cancel);
    EXPECT_EQ(text, QStringLiteral("Сохранить изменения в файл?"));
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{"Отклонить", "Отмена", "Сохранить"}));
}

} // namespace
} // namespace dravik::test
