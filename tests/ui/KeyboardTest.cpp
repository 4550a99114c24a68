// Every command has its key, named in its tooltip; Tab reaches the toolbar; a long script shows
// its scroll bar.
#include "WindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

namespace dravik::test {
namespace {

class KeyboardTest : public WindowTest {};

TEST_F(KeyboardTest, EveryCommandHasAKeyNamedInItsTooltip) {
    struct Case {
        QAction* Command;
        QKeySequence Keys;
        const char* Tip;
    };
    const Case cases[] = {
        {Window->acIcRead, QKeySequence(Qt::Key_F5), "Считать из контроллера (F5)"},
        {Window->acIcWrite, QKeySequence(Qt::Key_F6), "Загрузить в контроллер (F6)"},
        {Window->acIcCompare, QKeySequence(Qt::Key_F7), "Сравнить с контроллером (F7)"},
        {Window->acConfig, QKeySequence(Qt::CTRL | Qt::Key_P), "Связь (Ctrl+P)"},
        {Window->acLoadFromFile, QKeySequence(Qt::CTRL | Qt::Key_O), "Загрузить из файла (Ctrl+O)"},
        {Window->acWriteToFile, QKeySequence(Qt::CTRL | Qt::Key_S), "Сохранить в файл (Ctrl+S)"},
        {Window->acTraffic, QKeySequence(Qt::CTRL | Qt::Key_L), "Журнал обмена (Ctrl+L)"},
    };
    Window->OpenDialog1 = [](QWidget*) { return QString(); };
    Window->SaveDialog1 = [](QWidget*) { return QString(); };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Tip);
        Show(Sample());           // a failed read empties the view, and write and compare need rows
        Window->activateWindow(); // a dialog the key before opened had taken it
        ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
        EXPECT_EQ(c.Command->shortcut(), c.Keys);
        EXPECT_EQ(c.Command->toolTip(), QString::fromUtf8(c.Tip));
        // The key reaches the command from the window, wherever the focus is.
        int triggered = 0;
        const QMetaObject::Connection counting =
            QObject::connect(c.Command, &QAction::triggered, [&] { ++triggered; });
        QTimer::singleShot(0, [] { // the connection dialog, when the key opened it
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                dialog->close();
            }
        });
        QTest::keySequence(Window.get(), c.Keys);
        QObject::disconnect(counting);
        EXPECT_EQ(triggered, 1);
        ASSERT_TRUE(WaitForCommand()); // a controller command fails on the unmapped port
    }
}

TEST_F(KeyboardTest, TabGoesAlongTheToolbarToTheTreeAndThePage) {
    Show(Sample());
    QWidget* first = Window->ToolBar1->widgetForAction(Window->acLoadFromFile);
    first->setFocus(Qt::TabFocusReason);
    QList<QWidget*> visited{QApplication::focusWidget()};
    for (int step = 0; step < 9; ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(QApplication::focusWidget());
    }
    QList<QWidget*> expected;
    for (QAction* command :
         {Window->acLoadFromFile, Window->acWriteToFile, Window->acConfig, Window->acIcRead,
          Window->acIcWrite, Window->acIcCompare, Window->acTraffic}) {
        expected.append(Window->ToolBar1->widgetForAction(command));
    }
    expected.append(Window->tvConfig);
    expected.append(Window->DBGridEh1);
    ASSERT_GE(visited.size(), expected.size());
    EXPECT_EQ(visited.mid(0, expected.size()), expected);
}

// Lines wrap, so there is no sideways bar; a script longer than the page shows the upright one.
TEST_F(KeyboardTest, AScriptLongerThanThePageShowsItsScrollBar) {
    Window->tvConfig->setCurrentItem(Window->tvConfig->topLevelItem(1));
    QPlainTextEdit& editor = *Window->mScript;
    editor.setPlainText(QStringLiteral("04 01 02"));
    QTest::qWait(0);
    EXPECT_FALSE(editor.verticalScrollBar()->isVisible());
    editor.setPlainText(QStringList(46, QStringLiteral("04 01 02")).join('\n'));
    EXPECT_TRUE(QTest::qWaitFor([&] { return editor.verticalScrollBar()->isVisible(); }));
    EXPECT_FALSE(editor.horizontalScrollBar()->isVisible());
}

} // namespace
} // namespace dravik::test
