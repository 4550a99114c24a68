#pragma once

#include "config/Settings.h"
#include "config/TerminalConfig.h"
#include "protocol/Terminal.h"
#include "ui/FileDialogs.h"

#include <memory>
#include <string>

#include <QMainWindow>

class QAction;
class QLabel;
class QPlainTextEdit;
class QStackedWidget;
class QTableView;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace dravik::ui {

class TankCellDelegate;
class TankTableModel;

// The main window: shows one configuration for editing, copies it between its controls and
// Config, enables its commands, and hands every piece of work to the core. Every command runs
// through the application's error handler; none catches for itself.
class TfmMain : public QMainWindow {
    Q_OBJECT

public:
    // The settings file holds the port number and the port map; beside the executable normally.
    explicit TfmMain(std::string settingsPath = SettingsFilePath(), QWidget* parent = nullptr);
    ~TfmMain() override;

    std::unique_ptr<TTerminal> Terminal;
    std::unique_ptr<TTerminalConfig> Config;

    QToolBar* ToolBar1;
    QAction* acIcRead;
    QAction* acIcWrite;
    QAction* acConfig;
    QAction* acWriteToFile;
    QAction* acLoadFromFile;
    QTreeWidget* tvConfig;
    QLabel* lblConfigCaption;
    QStackedWidget* pcConfig;
    QWidget* tsTank;
    QWidget* tsScript;
    QTableView* DBGridEh1;
    QPlainTextEdit* mScript;
    TankTableModel* dsTank;

    // The file dialogs; an empty name is a cancel. Tests answer in their place.
    TFileDialog OpenDialog1 = AskOpenConfigFile;
    TFileDialog SaveDialog1 = AskSaveConfigFile;

    void ClearView();
    void ViewToConfig();
    void ConfigToView();
    void DisableCommands();
    void UpdateCommands();
    void LoadConfigFile(const QString& fileName);
    void SaveConfigFile(const QString& fileName);
    void LoadSettings();
    void SaveSettings();

    void acIcReadExecute();
    void acIcWriteExecute();
    void acConfigExecute();
    void acWriteToFileExecute();
    void acLoadFromFileExecute();
    void tvConfigChange(QTreeWidgetItem* node);

private:
    void CreateActions();
    void CreateToolBar();
    QWidget* CreateCaptionBar();
    void CreatePages();
    void CreateTree();
    void FormCreate();
    void FormDestroy();

    std::string SettingsPath;
    TankCellDelegate* TankCells;
};

} // namespace dravik::ui
