#include "WindowFixture.h"
#include "support/Files.h"
#include "support/Simulator.h"
#include "ui/UfmTraffic.h"
#include "ui/UiText.h"

#include <algorithm>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>

namespace dravik::test {
namespace {

constexpr int KindColumn = 25; // "[dd.mm.yy hh:nn:ss.zzz]  " and then the kind character

class TrafficViewTest : public WindowTest {
protected:
    void ReadFrom(const Simulator& simulator) {
        std::ofstream(Settings) << "[ports]\r\ncom1=" << simulator.Link() << "\r\n";
        Press(Window->acIcRead);
        ASSERT_TRUE(WaitForCommand());
        ASSERT_TRUE(Failures.Texts.isEmpty()) << Failures.Texts.join('\n').toStdString();
    }

    ui::TfmTraffic& View() const { return *Window->fmTraffic; }

    // The view's lines with the kind each is shown as.
    std::vector<std::pair<QString, int>> Shown() const {
        std::vector<std::pair<QString, int>> lines;
        const QTextDocument* document = View().mTraffic->document();
        if (document->isEmpty()) {
            return lines;
        }
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
            lines.emplace_back(block.text(), block.userState());
        }
        return lines;
    }

    // The lines of the log file in Unicode, each with the kind its character stands for.
    static std::vector<std::pair<QString, int>> FileLines(const std::string& path) {
        std::vector<std::pair<QString, int>> lines;
        const std::string bytes = ReadBytes(path);
        for (size_t start = 0, end; (end = bytes.find("\r\n", start)) != std::string::npos;
             start = end + 2) {
            const std::string line = bytes.substr(start, end - start);
            lines.emplace_back(ui::FromCp1251(line), KindOf(line.at(KindColumn)));
        }
        return lines;
    }

    static int KindOf(char character) {
        switch (character) {
        case '<':
            return lkSent;
        case '>':
            return lkReceived;
        case 'i':
            return lkInfo;
        case 'e':
            return lkError;
        default:
            return lkPlain;
        }
    }

    static QString Canonical(const QString& path) { return QFileInfo(path).canonicalFilePath(); }
};

TEST_F(TrafficViewTest, AReadFromTheSimulatorShowsTheLogFilesLinesInUnicodeKindByKind) {
    Simulator simulator;
    ReadFrom(simulator);
    const std::string log = Dir.File("port1.log");
    const auto expected = FileLines(log);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Shown().size() >= expected.size(); }));
    EXPECT_EQ(Shown(), expected);

    const auto count = [&](int kind) {
        return std::count_if(expected.begin(), expected.end(),
                             [&](const auto& line) { return line.second == kind; });
    };
    EXPECT_GE(count(lkSent), 3) << "the mask, the thresholds and the script were asked for";
    EXPECT_EQ(count(lkSent), count(lkReceived));
    EXPECT_TRUE(std::any_of(expected.begin(), expected.end(), [](const auto& line) {
        return line.first.endsWith(QStringLiteral("  i COM1 подключен")) && line.second == lkInfo;
    }));

    EXPECT_EQ(View().lblLogState->text(), QStringLiteral("Файл журнала:"));
    EXPECT_EQ(Canonical(View().eLogPath->text()), Canonical(QString::fromStdString(log)));
    QUrl opened;
    View().OpenUrl = [&](const QUrl& url) {
        opened = url;
        return true;
    };
    QTest::mouseClick(View().btnOpenFolder, Qt::LeftButton);
    EXPECT_EQ(Canonical(opened.toLocalFile()), Canonical(QString::fromStdString(Dir.Path())));
    EXPECT_TRUE(Failures.Texts.isEmpty());
}

TEST_F(TrafficViewTest, TheShortcutAndTheToolbarButtonOpenIt) {
    EXPECT_EQ(Window->acTraffic->toolTip(), QStringLiteral("Журнал обмена (Ctrl+L)"));

    ASSERT_FALSE(View().isVisible());
    QTest::keyClick(Window.get(), Qt::Key_L, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&View()));
    EXPECT_EQ(View().windowTitle(), QStringLiteral("Журнал обмена"));
    View().close();
    Press(Window->acTraffic);
    EXPECT_TRUE(View().isVisible());

    // Before any connection the folder the logs go to is shown, and opened.
    EXPECT_EQ(View().lblLogState->text(), QStringLiteral("Папка журнала:"));
    EXPECT_EQ(Canonical(View().eLogPath->text()), Canonical(QDir::currentPath()));
    QUrl opened;
    View().OpenUrl = [&](const QUrl& url) {
        opened = url;
        return false;
    };
    QTest::mouseClick(View().btnOpenFolder, Qt::LeftButton);
    EXPECT_EQ(Canonical(opened.toLocalFile()), Canonical(QDir::currentPath()));
    ASSERT_EQ(Failures.Texts.size(), 1);
    EXPECT_TRUE(Failures.Texts[0].startsWith(QStringLiteral("Не удалось открыть папку /")))
        << Failures.Texts[0].toStdString();
}

TEST_F(TrafficViewTest, ALogHeldByAnotherProgramIsSaidToBeNotKept) {
    const int held = ::open("port1.log", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    Simulator simulator;
    ReadFrom(simulator);
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return View().lblLogState->text() == QStringLiteral("Журнал не ведётся, файл не открылся:");
    }));
    EXPECT_EQ(Canonical(View().eLogPath->text()),
              Canonical(QString::fromStdString(Dir.File("port1.log"))));
    EXPECT_TRUE(Shown().empty());
    ::close(held);
}

TEST_F(TrafficViewTest, KeepsTheLastLinesOnlyAndClearsTheWindowNotTheFile) {
    for (int i = 0; i <= ui::TfmTraffic::MaxLines; ++i) {
        View().Receive({TLinkLogEvent::Line, lkSent, std::to_string(i), "port1.log"});
    }
    const auto lines = Shown();
    ASSERT_EQ(lines.size(), static_cast<size_t>(ui::TfmTraffic::MaxLines));
    EXPECT_EQ(lines.front().first, QStringLiteral("1"));
    EXPECT_EQ(lines.back().first, QString::number(ui::TfmTraffic::MaxLines));
    QTest::mouseClick(View().btnClear, Qt::LeftButton);
    EXPECT_TRUE(Shown().empty());
}

} // namespace
} // namespace dravik::test
