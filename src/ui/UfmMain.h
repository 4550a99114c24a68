#pragma once

#include "config/Settings.h"
#include "config/TerminalConfig.h"
#include "protocol/FailureAdvice.h"
#include "protocol/Terminal.h"
#include "ui/ComparisonBox.h"
#include "ui/ControllerCommand.h"
#include "ui/FileDialogs.h"
#include "ui/SaveQuestion.h"

#include <memory>
#include <optional>
#include <string>

#include <QMainWindow>

class QAction;
class QLabel;
class QPlainTextEdit;
class QStackedWidget;
class QTableView;
class QTimer;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace dravik::ui {

class TCommandProgress;
class TScriptMarks;
class TfmTraffic;
class TankCellDelegate;
class TankTableModel;

// The main window: shows one configuration for editing, copies it between its controls and
// Config, enables its commands, and hands every piece of work to the core. Every command runs
// through the application's error handler; none catches for itself. A controller command runs on
// a thread of its own (TControllerCommand) while the window goes on; its outcome comes back here.
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
    QAction* acIcCompare;
    QAction* acConfig;
    QAction* acWriteToFile;
    QAction* acLoadFromFile;
    QAction* acTraffic;    // shows «Журнал обмена»
    TfmTraffic* fmTraffic; // a window of its own, listening from the start
    QTreeWidget* tvConfig;
    QLabel* lblConfigCaption;
    QLabel* lblLastResult; // the port with its device, and the last command's result
    TCommandProgress* CommandProgress = nullptr; // only while a controller command runs
    QStackedWidget* pcConfig;
    QWidget* tsTank;
    QWidget* tsScript;
    QTableView* DBGridEh1;
    QPlainTextEdit* mScript;
    QLabel* lblScriptSize; // the bytes the script takes in the controller
    TScriptMarks* ScriptMarks;
    TankTableModel* dsTank;

    // The file dialogs; an empty name is a cancel. Tests answer in their place.
    TFileDialog OpenDialog1 = AskOpenConfigFile;
    TFileDialog SaveDialog1 = AskSaveConfigFile;
    // The question before a changed view is replaced; tests answer in its place.
    TSaveQuestion SaveQuestion = AskSaveChanges;
    // The outcome of a comparison; tests look in its place.
    TComparisonPresenter ShowComparison = ShowComparisonBox;
    // Where the advice for a failed controller command looks; tests hand in a fixture tree.
    TAdviceHost AdviceHost = ThisHost();

    // True from the start of a controller command until its outcome has been shown.
    bool IsCommandRunning() const { return Command != nullptr; }

    void ClearView();
    void ViewToConfig();
    // The configuration the view shows, with the number being typed into a cell; changes nothing.
    TTerminalConfig ViewConfig() const;
    // Marks what the write would refuse and shows the script's size. Runs shortly after every
    // change of the view, so that a burst of typing is looked at once.
    void ReviewView();
    void ConfigToView();
    void DisableCommands();
    void UpdateCommands();
    void LoadConfigFile(const QString& fileName);
    void SaveConfigFile(const QString& fileName);
    void LoadSettings();
    void SaveSettings();

    void acIcReadExecute();
    void acIcWriteExecute();
    void acIcCompareExecute();
    void acConfigExecute();
    void acWriteToFileExecute();
    void acLoadFromFileExecute();
    void acTrafficExecute();
    void tvConfigChange(QTreeWidgetItem* node);

signals:
    // The step a controller command has reached, as the caption bar shows it.
    void CommandStepShown(const QString& text);

protected:
    // A changed view is offered for saving first; a running command is cancelled and the
    // window closes once it has released the port.
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateActions();
    void SetShortcut(QAction* action, const QKeySequence& keys, const QString& hint);
    void CreateToolBar();
    QWidget* CreateCaptionBar();
    void CreatePages();
    void CreateTree();
    void FormCreate();
    void FormDestroy();

    void StartWithView(TCommandKind kind);
    void StartCommand(TCommandKind kind);
    void CommandFinished();
    void ShowOutcome(const TControllerCommand& command);
    void ShowComparisonOutcome(const TControllerCommand& command, const QString& time);
    void EndCommandDisplay();
    bool MayReplaceView();
    bool SaveToChosenFile();
    void ViewChanged();
    void ScheduleReview();
    void ShowScriptSize(int bytes, int badLines, int firstBadLine);
    void ShowLastResult(const QString& result);

    std::string SettingsPath;
    TankCellDelegate* TankCells;
    QTimer* ReviewTimer;
    std::unique_ptr<TControllerCommand> Command;
    bool Filling = false;       // the window itself fills the view: no change of the user's
    bool CloseWhenDone = false; // the user closed the window while a command ran
    QString LastResult;
};

} // namespace dravik::ui
