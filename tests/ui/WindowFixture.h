#pragma once

#include "FailureRecorder.h"
#include "QtPrinting.h"
#include "support/Messages.h"
#include "support/TempDir.h"
#include "ui/TankTableModel.h"
#include "ui/UfmMain.h"

#include <memory>
#include <string>

#include <QAbstractItemView>
#include <QLineEdit>
#include <QMessageBox>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

namespace dravik::test {

// The real main window in a fresh folder (its current directory, so the link log lands there too)
// with its settings file there and the message box replaced by a recorder.
class WindowTest : public testing::Test {
protected:
    WindowTest() : Settings(Dir.File("dravik_conf.ini")) {}

    void SetUp() override {
        Window = std::make_unique<ui::TfmMain>(Settings);
        // Tests that are not about the question give up changed views, and count the questions.
        Window->SaveQuestion = [this](QWidget*) {
            ++Questions;
            return QMessageBox::Discard;
        };
        Window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
    }

    void TearDown() override { Window.reset(); }

    // Waits for the controller command under way to end and its outcome to be shown.
    bool WaitForCommand() {
        return QTest::qWaitFor([&] { return !Window->IsCommandRunning(); }, CommandDeadlineMs);
    }

    // Presses the command's toolbar button, as the user does.
    void Press(QAction* command) {
        QTest::mouseClick(Window->ToolBar1->widgetForAction(command), Qt::LeftButton);
    }

    // Copies the record into the window as a read or a load does.
    void Show(const TTerminalConfig& config) {
        *Window->Config = config;
        Window->ClearView();
        Window->ConfigToView();
        Window->UpdateCommands();
    }

    // The editor open on the cell, if any.
    QLineEdit* EditorOf(const QModelIndex& cell) const {
        QTableView* grid = Window->DBGridEh1;
        for (QLineEdit* editor : grid->viewport()->findChildren<QLineEdit*>()) {
            if (editor->isVisible() &&
                editor->geometry().contains(grid->visualRect(cell).center())) {
                return editor;
            }
        }
        return nullptr;
    }

    // Clicks the cell, which opens its editor, and types over its text without storing it.
    QLineEdit* TypeInto(int row, int column, const QString& text) {
        QTableView* grid = Window->DBGridEh1;
        const QModelIndex cell = Window->dsTank->index(row, column);
        grid->scrollTo(cell);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
        QLineEdit* editor = nullptr;
        if (!QTest::qWaitFor([&] { return (editor = EditorOf(cell)) != nullptr; })) {
            return nullptr;
        }
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Delete);
        QTest::keyClicks(editor, text);
        return editor;
    }

    const ui::TTankRow& Row(int row) const { return Window->dsTank->Row(row); }

    // Sixteen tanks, the first three enabled with sound thresholds, and two script lines.
    static TTerminalConfig Sample() {
        TTerminalConfig config;
        config.Tanks[0] = {1, 10, 50, 90};
        config.Tanks[1] = {1, 20, 60, 95};
        config.Tanks[2] = {1, 5, 6, 7};
        config.Tanks[9] = {0, 3, 2, 1};
        config.Script.Add(" 04 01 02");
        config.Script.Add(" 00");
        return config;
    }

    static constexpr int CommandDeadlineMs = 30000; // generous: a loaded machine is slow

    TempDir Dir;
    std::string Settings;
    int Questions = 0;
    FailureRecorder Failures;
    std::unique_ptr<ui::TfmMain> Window;
};

} // namespace dravik::test
