#include "WindowFixture.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeWidget>

namespace dravik::test {
namespace {

using ui::TankTableModel;

class MainWindowTest : public WindowTest {
protected:
    void ChooseSection(int node) {
        QTreeWidget* tree = Window->tvConfig;
        const QRect place = tree->visualItemRect(tree->topLevelItem(node));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, place.center());
    }
};

TEST_F(MainWindowTest, StartsOnTheTankPageWithAnEmptyViewAndWriteDisabled) {
    EXPECT_EQ(Window->windowTitle(), QStringLiteral("dravik-conf v0.1[*]"));
    EXPECT_FALSE(Window->isWindowModified());
    EXPECT_EQ(Window->size(), QSize(516, 429));
    EXPECT_EQ(Window->pcConfig->currentWidget(), Window->tsTank);
    EXPECT_EQ(Window->lblConfigCaption->text(), QStringLiteral("Резервуары"));
    EXPECT_EQ(Window->dsTank->rowCount(), 0);
    EXPECT_TRUE(Window->mScript->toPlainText().isEmpty());
    EXPECT_FALSE(Window->acIcWrite->isEnabled());
    EXPECT_FALSE(Window->acIcCompare->isEnabled());
    for (QAction* command :
         {Window->acIcRead, Window->acConfig, Window->acWriteToFile, Window->acLoadFromFile}) {
        EXPECT_TRUE(command->isEnabled()) << command->objectName().toStdString();
    }
    EXPECT_EQ(Window->Terminal->Port, 1);
    EXPECT_TRUE(Failures.Texts.isEmpty());
}

// Their keys and tooltips: KeyboardTest.
TEST_F(MainWindowTest, OffersTheCommandsInTheToolbarInOrder) {
    const QList<QAction*> actions = Window->ToolBar1->actions();
    ASSERT_EQ(actions.size(), 10);
    EXPECT_EQ(actions[0], Window->acLoadFromFile);
    EXPECT_EQ(actions[1], Window->acWriteToFile);
    EXPECT_TRUE(actions[2]->isSeparator());
    EXPECT_EQ(actions[3], Window->acConfig);
    EXPECT_TRUE(actions[4]->isSeparator());
    EXPECT_EQ(actions[5], Window->acIcRead);
    EXPECT_EQ(actions[6], Window->acIcWrite);
    EXPECT_EQ(actions[7], Window->acIcCompare);
    EXPECT_TRUE(actions[8]->isSeparator());
    EXPECT_EQ(actions[9], Window->acTraffic); // the traffic view, after the controller commands
    for (QAction* command :
         {Window->acLoadFromFile, Window->acWriteToFile, Window->acConfig, Window->acIcRead,
          Window->acIcWrite, Window->acIcCompare, Window->acTraffic}) {
        EXPECT_FALSE(command->icon().isNull()) << command->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, SwitchesPagesByTheSectionTree) {
    ChooseSection(1);
    EXPECT_EQ(Window->pcConfig->currentWidget(), Window->tsScript);
    EXPECT_EQ(Window->lblConfigCaption->text(), QStringLiteral("Схема"));
    ChooseSection(0);
    EXPECT_EQ(Window->pcConfig->currentWidget(), Window->tsTank);
    EXPECT_EQ(Window->lblConfigCaption->text(), QStringLiteral("Резервуары"));
}

TEST_F(MainWindowTest, ShowsTheTankGridsColumnsAsTitledWithoutRowIndicator) {
    QHeaderView* header = Window->DBGridEh1->horizontalHeader();
    const int widths[] = {20, 20, 100, 100, 100};
    for (int column = 0; column < TankTableModel::ColumnCount; ++column) {
        EXPECT_EQ(header->sectionSize(column), widths[column]);
    }
    EXPECT_FALSE(Window->DBGridEh1->verticalHeader()->isVisible());
}

TEST_F(MainWindowTest, ShowsTheRecordWithRowsNumberedOneToSixteenAndEnablesWrite) {
    Show(Sample());
    ASSERT_EQ(Window->dsTank->rowCount(), 16);
    for (int row = 0; row < 16; ++row) {
        EXPECT_EQ(Window->dsTank->index(row, TankTableModel::ColNpp).data().toInt(), row + 1);
        EXPECT_EQ(Row(row).idx, row);
    }
    EXPECT_EQ(Row(0), (ui::TTankRow{0, true, 10, 50, 90}));
    EXPECT_EQ(Window->mScript->toPlainText(), QStringLiteral(" 04 01 02\n 00"));
    EXPECT_TRUE(Window->acIcWrite->isEnabled());
}

TEST_F(MainWindowTest, CopiesAnEmptyViewAsSixteenDisabledTanksAndTheScriptText) {
    Window->mScript->setPlainText(QStringLiteral(" 01\n\n; ё"));
    Window->ViewToConfig();
    TTerminalConfig expected;
    expected.Script.Assign(std::vector<std::string>{" 01", "", W("; ё")});
    EXPECT_EQ(*Window->Config, expected);
}

TEST_F(MainWindowTest, CopiesTheViewBackIntoTheRecordUnchanged) {
    const TTerminalConfig sample = Sample();
    Show(sample);
    Window->Config->Clear();
    Window->ViewToConfig();
    EXPECT_EQ(*Window->Config, sample);
}

TEST_F(MainWindowTest, TakesScriptCharactersOutsideTheCodePageAsQuestionMarks) {
    Window->mScript->setPlainText(QStringLiteral("; Схема ✓ №"));
    Window->ViewToConfig();
    ASSERT_EQ(Window->Config->Script.Count(), 1);
    EXPECT_EQ(Window->Config->Script[0], W("; Схема ? №"));
}

TEST_F(MainWindowTest, ReadsAnEmptiedCellAsZeroAndAnUntickedBoxAsDisabled) {
    Show(Sample());
    QLineEdit* editor = TypeInto(0, TankTableModel::ColHmax, QString());
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Tab);
    const QModelIndex flag = Window->dsTank->index(1, TankTableModel::ColActive);
    Window->dsTank->setData(flag, Qt::Unchecked, Qt::CheckStateRole);
    Window->ViewToConfig();
    EXPECT_EQ(Window->Config->Tanks[0], (TTankRecord{1, 10, 0, 90}));
    EXPECT_EQ(Window->Config->Tanks[1], (TTankRecord{0, 20, 60, 95}));
}

TEST_F(MainWindowTest, StoresACellStillBeingEditedBeforeCopying) {
    Show(Sample());
    ASSERT_NE(TypeInto(1, TankTableModel::ColHhigh, QStringLiteral("0x4A")), nullptr);
    EXPECT_EQ(Row(1).hhigh, 95); // not stored yet
    Window->ViewToConfig();
    EXPECT_EQ(Window->Config->Tanks[1].hhigh, 0x4A);
    EXPECT_EQ(Row(1).hhigh, 0x4A);
}

TEST_F(MainWindowTest, RefusesATypedNonNumberWithItsMessageAndKeepsTheValue) {
    Show(Sample());
    QLineEdit* editor = TypeInto(0, TankTableModel::ColHmin, QStringLiteral("12abc"));
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Tab);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Failures.Texts.isEmpty(); }));
    EXPECT_EQ(Failures.Texts, QStringList{"'12abc' is not a valid integer value for field 'hmin'"});
    EXPECT_EQ(Row(0).hmin, 10);
    // The grid's own message stays; what to do is said in the window's language.
    const QString advice =
        QStringLiteral("Порог — целое число, например 50 (можно и -5, $32, 0x32).\n"
                       "В ячейке оставлено прежнее значение.");
    EXPECT_EQ(Failures.Advice, QStringList{advice});
    // The same when a command stores the cell first.
    Failures.Texts.clear();
    Failures.Advice.clear();
    Window->SaveDialog1 = [this](QWidget*) { return QString::fromStdString(Dir.File("a.cfg")); };
    editor = TypeInto(1, TankTableModel::ColHmax, QStringLiteral("x"));
    ASSERT_NE(editor, nullptr);
    Window->acWriteToFile->trigger();
    EXPECT_EQ(Failures.Texts, QStringList{"'x' is not a valid integer value for field 'hmax'"});
    EXPECT_EQ(Failures.Advice, QStringList{advice});
    QTest::keyClick(editor, Qt::Key_Escape); // the typing given up, so it is not refused again
}

TEST_F(MainWindowTest, AcceptsSignedAndHexadecimalNumbersTypedIntoCells) {
    Show(Sample());
    const struct {
        const char* typed;
        int32_t value;
    } cases[] = {{"  -3", -3}, {"$1F", 31}, {"0x10", 16}, {"+8", 8}};
    int row = 4;
    for (const auto& c : cases) {
        QLineEdit* editor = TypeInto(row, TankTableModel::ColHmin, QString::fromLatin1(c.typed));
        ASSERT_NE(editor, nullptr);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents(); // the grid stores on Enter once the key is handled
        EXPECT_EQ(Row(row).hmin, c.value) << c.typed;
        ++row;
    }
    EXPECT_TRUE(Failures.Texts.isEmpty());
}

TEST_F(MainWindowTest, LeavesTheIndexAndTheRowsOutOfTheUsersReach) {
    Show(Sample());
    const QModelIndex number = Window->dsTank->index(3, TankTableModel::ColNpp);
    QTest::mouseClick(Window->DBGridEh1->viewport(), Qt::LeftButton, {},
                      Window->DBGridEh1->visualRect(number).center());
    EXPECT_EQ(EditorOf(number), nullptr);
    QTest::keyClick(Window->DBGridEh1, Qt::Key_Insert);
    QTest::keyClick(Window->DBGridEh1, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(Window->dsTank->rowCount(), 16);
}

} // namespace
} // namespace dravik::test
