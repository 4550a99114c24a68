// The write's own check runs as the user edits: a refused threshold is marked in its cell and a
// refused script line in the editor, each with the message the write would show.
#include "WindowFixture.h"
#include "ui/ScriptMarks.h"

#include <QAction>
#include <QHelpEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTextBlock>
#include <QToolTip>
#include <QTreeWidget>

namespace dravik::test {
namespace {

using ui::TankTableModel;

class LiveValidationTest : public WindowTest {
protected:
    // The marks appear after a short pause in the typing.
    bool AwaitReview(const std::function<bool()>& shown) {
        return QTest::qWaitFor(shown, CommandDeadlineMs);
    }

    QString CellTip(int row, int column) const {
        return Window->dsTank->index(row, column).data(Qt::ToolTipRole).toString();
    }

    // What the write refuses the view with, through the same command the user presses.
    QString WriteRefusal() {
        Failures.Texts.clear();
        Press(Window->acIcWrite);
        EXPECT_TRUE(WaitForCommand());
        return Failures.Texts.value(0);
    }

    void ShowScript(const QString& text) {
        Window->tvConfig->setCurrentItem(Window->tvConfig->topLevelItem(1));
        Window->mScript->setPlainText(text);
    }
};

// Each typed value is marked in the cell of the rule it breaks, while the editor is still open,
// with the very message the write then refuses with.
TEST_F(LiveValidationTest, MarksTheFailingCellWithTheWritesMessage) {
    struct Case {
        int Row;
        int Column;
        const char* Typed;
        int MarkedColumn;
        const char* Message;
    };
    const Case cases[] = {
        {0, TankTableModel::ColHmin, "70", TankTableModel::ColHmax,
         "Резервуар 1:\n50 не в диапазоне 71..99."},
        {1, TankTableModel::ColHhigh, "100", TankTableModel::ColHhigh,
         "Резервуар 2:\n100 не в диапазоне 1..99."},
        {2, TankTableModel::ColHmin, "", TankTableModel::ColHmin,
         "Резервуар 3:\n0 не в диапазоне 1..99."},
        {9, TankTableModel::ColHmax, "300", TankTableModel::ColHmax,
         "Резервуар 10:\n300 не в диапазоне 0..255."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Message);
        Show(Sample());
        QLineEdit* editor = TypeInto(c.Row, c.Column, QString::fromUtf8(c.Typed));
        ASSERT_NE(editor, nullptr);
        const QString message = QString::fromUtf8(c.Message);
        if (c.Column == c.MarkedColumn) { // the editor covers the cell: it carries the mark
            ASSERT_TRUE(AwaitReview([&] { return editor->toolTip() == message; }))
                << editor->toolTip().toStdString();
            EXPECT_NE(editor->palette().color(QPalette::Base),
                      Window->DBGridEh1->palette().color(QPalette::Base));
        }
        ASSERT_TRUE(AwaitReview([&] { return CellTip(c.Row, c.MarkedColumn) == message; }))
            << CellTip(c.Row, c.MarkedColumn).toStdString();
        EXPECT_TRUE(
            Window->dsTank->index(c.Row, c.MarkedColumn).data(Qt::BackgroundRole).isValid());
        EXPECT_EQ(WriteRefusal(), message);
    }
}

TEST_F(LiveValidationTest, AMendedValueLosesItsMarkAndMarksDoNotCountAsChanges) {
    TTerminalConfig config = Sample();
    config.Tanks[4] = {1, 50, 40, 90}; // as a file may hold it
    Show(config);
    ASSERT_TRUE(AwaitReview([&] { return !CellTip(4, TankTableModel::ColHmax).isEmpty(); }));
    EXPECT_FALSE(Window->isWindowModified()) << "a mark is no edit of the user's";
    for (int column : {TankTableModel::ColNpp, TankTableModel::ColHmin, TankTableModel::ColHhigh}) {
        EXPECT_TRUE(CellTip(4, column).isEmpty()) << column;
    }
    ASSERT_NE(TypeInto(4, TankTableModel::ColHmax, QStringLiteral("60")), nullptr);
    ASSERT_TRUE(AwaitReview([&] { return CellTip(4, TankTableModel::ColHmax).isEmpty(); }));
    EXPECT_FALSE(
        Window->dsTank->index(4, TankTableModel::ColHmax).data(Qt::BackgroundRole).isValid());
    Window->ViewToConfig();
    EXPECT_EQ(Window->Config->Tanks[4].hmax, 60);
}

TEST_F(LiveValidationTest, MarksRefusedScriptLinesAndShowsTheirMessageOnHover) {
    Show(Sample());
    ShowScript(QStringLiteral("04 01 02\n; note\nzz\n00\n03"));
    ui::TScriptMarks& marks = *Window->ScriptMarks;
    const QString bad = QStringLiteral("Ошибка загрузки скрипта \"zz\":\n'$zz' is not a valid "
                                       "integer value.");
    ASSERT_TRUE(AwaitReview([&] { return marks.Problem(2) == bad; }))
        << marks.Problem(2).toStdString();
    EXPECT_EQ(marks.Problem(4), QStringLiteral("Ошибка загрузки скрипта \"03\":\nСтрока после "
                                               "команды конца (00) не будет записана."));
    EXPECT_TRUE(marks.Problem(0).isEmpty());
    EXPECT_TRUE(marks.Problem(1).isEmpty());
    EXPECT_EQ(Window->mScript->extraSelections().size(), 2);
    EXPECT_EQ(Window->mScript->extraSelections().front().cursor.block().blockNumber(), 2);

    // The mouse resting on the marked line shows its message.
    QPlainTextEdit& editor = *Window->mScript;
    const QTextBlock line = editor.document()->findBlockByNumber(2);
    const QPoint place = editor.cursorRect(QTextCursor(line)).center();
    QHelpEvent hover(QEvent::ToolTip, place, editor.viewport()->mapToGlobal(place));
    QApplication::sendEvent(editor.viewport(), &hover);
    EXPECT_EQ(QToolTip::text(), bad);
    QToolTip::hideText();

    EXPECT_EQ(WriteRefusal(), bad);
}

TEST_F(LiveValidationTest, ShowsTheScriptsSizeAndWhenItIsTooLong) {
    Show(Sample());
    QLabel& size = *Window->lblScriptSize;
    ShowScript(QStringLiteral("04 01 02\n00"));
    ASSERT_TRUE(AwaitReview([&] { return size.text() == "Скрипт: 4 байт из 199"; }))
        << size.text().toStdString();
    const QColor normal = size.palette().color(QPalette::WindowText);
    QStringList lines(67, QStringLiteral("04 01 02")); // 201 bytes
    ShowScript(lines.join('\n'));
    ASSERT_TRUE(AwaitReview([&] {
        return size.text() == "Скрипт: 201 байт из 199 · строк с ошибками: 1, первая — 67";
    })) << size.text().toStdString();
    EXPECT_NE(size.palette().color(QPalette::WindowText), normal);
    EXPECT_FALSE(Window->ScriptMarks->Problem(66).isEmpty());
    // Marks out of sight are counted, with the first line that has one.
    lines.append({QStringLiteral("zz"), QStringLiteral("; note"), QStringLiteral("05")});
    lines.remove(0); // 198 bytes
    ShowScript(lines.join('\n'));
    ASSERT_TRUE(AwaitReview([&] {
        return size.text() == "Скрипт: 198 байт из 199 · строк с ошибками: 2, первая — 67";
    })) << size.text().toStdString();
    EXPECT_NE(size.palette().color(QPalette::WindowText), normal);
}

// A pasted file of garbage is counted whole, but only its first lines are marked: the review
// stays as cheap as a few hundred marks.
TEST_F(LiveValidationTest, CountsEveryRefusedLineAndMarksTheFirstOnes) {
    Show(Sample());
    ShowScript(QStringList(2000, QStringLiteral("zz")).join('\n'));
    QLabel& size = *Window->lblScriptSize;
    ASSERT_TRUE(AwaitReview([&] {
        return size.text() == "Скрипт: 0 байт из 199 · строк с ошибками: 2000, первая — 1";
    })) << size.text().toStdString();
    const ui::TScriptMarks& marks = *Window->ScriptMarks;
    EXPECT_FALSE(marks.Problem(0).isEmpty());
    EXPECT_TRUE(marks.Problem(1999).isEmpty());
    EXPECT_LT(Window->mScript->extraSelections().size(), 2000);
}

} // namespace
} // namespace dravik::test
