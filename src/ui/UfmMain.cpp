#include "ui/UfmMain.h"

#include "base/Exception.h"
#include "base/Text.h"
#include "config/ConfigFile.h"
#include "protocol/ConfigCheck.h"
#include "ui/CellInteger.h"
#include "ui/CommandProgress.h"
#include "ui/ErrorGuard.h"
#include "ui/NumberEdit.h"
#include "ui/ScriptEditorText.h"
#include "ui/ScriptMarks.h"
#include "ui/TankCellDelegate.h"
#include "ui/TankTableModel.h"
#include "ui/UfmConn.h"
#include "ui/UfmTraffic.h"
#include "ui/UiLook.h"
#include "ui/UiText.h"

#include <array>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStackedWidget>
#include <QTableView>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

namespace dravik::ui {
namespace {

constexpr QSize ClientSize(516, 429);
constexpr int ToolBarHeight = 34;
constexpr QSize ToolButtonSize(31, 30);
constexpr QSize ToolIconSize(24, 24);
constexpr int TreeWidth = 169;
constexpr int TreeIndentation = 19;
constexpr int CaptionBarHeight = 25;
constexpr int CaptionIndent = 10;
constexpr int RowPadding = 6;
constexpr int MinimumColumnWidth = 8; // the two narrow columns are 20 wide
constexpr std::array<int, TankTableModel::ColumnCount> ColumnWidths = {20, 20, 100, 100, 100};
constexpr int PageNumberRole = Qt::UserRole;
constexpr uint8_t PortMask = 0xFF;

constexpr int DeviceTextWidth = 70; // a long device name is shortened in its middle
constexpr int ReviewDelayMs = 150;  // typing goes on undisturbed; the marks follow a pause
constexpr int SizeIndent = 4;
const QColor ProblemColour(Qt::red);
// The script lines marked at most: a pasted file of garbage would otherwise cost a mark, a
// converted message and a tooltip entry for each of its lines at every pause in the typing.
constexpr int MarkedLinesMax = 500;
const QString TimeFormat = QStringLiteral("HH:mm:ss");

// A separator of eight pixels, as narrow as the toolbar's own.
const QString ToolBarStyle = QStringLiteral("QToolBar::separator { width: 8px; }");

// Runs at the end of a scope however it is left: a command's UpdateCommands.
template <typename F>
class Finally {
public:
    explicit Finally(F work) : Work(std::move(work)) {}
    ~Finally() { Work(); }
    Finally(const Finally&) = delete;
    Finally& operator=(const Finally&) = delete;

private:
    F Work;
};

QAction* MakeAction(QObject* owner, const char* name, const QString& caption, const QIcon& icon) {
    auto* action = new QAction(icon, caption, owner);
    action->setObjectName(QString::fromLatin1(name));
    action->setToolTip(caption);
    return action;
}

int TankColumn(TTankField field) {
    switch (field) {
    case TTankField::Hmin:
        return TankTableModel::ColHmin;
    case TTankField::Hmax:
        return TankTableModel::ColHmax;
    case TTankField::Hhigh:
        return TankTableModel::ColHhigh;
    }
    return TankTableModel::ColHmin;
}

// Paths reach the core as the bytes the file system uses.
std::string FilePath(const QString& fileName) {
    return QFile::encodeName(fileName).toStdString();
}

} // namespace

TfmMain::TfmMain(std::string settingsPath, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      SettingsPath(std::move(settingsPath)) {
    setObjectName(QStringLiteral("fmMain"));
    // The placeholder shows the marker of a changed view the desktop's way.
    setWindowTitle(QStringLiteral("dravik-conf v0.1[*]"));
    setFont(UiFont());
    setFixedSize(ClientSize);
    // No menu to hide the toolbar: it is the only way to the commands.
    setContextMenuPolicy(Qt::PreventContextMenu);
    fmTraffic = new TfmTraffic(this);
    CreateActions();
    CreateToolBar();
    CreatePages();
    CreateTree();

    auto* panel = new QWidget(this);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->setSpacing(0);
    panelLayout->addWidget(CreateCaptionBar());
    panelLayout->addWidget(pcConfig);

    auto* client = new QWidget(this);
    auto* clientLayout = new QHBoxLayout(client);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->setSpacing(0);
    clientLayout->addWidget(tvConfig);
    clientLayout->addWidget(panel);
    setCentralWidget(client);

    move(screen()->availableGeometry().center() - rect().center());
    FormCreate();
}

TfmMain::~TfmMain() {
    if (Command) { // its thread is cancelled and waited for before the window goes
        Command.reset();
        EndCommandDisplay();
    }
    FormDestroy();
}

void TfmMain::CreateActions() {
    acIcRead = MakeAction(this, "acIcRead", QStringLiteral("Считать из контроллера"),
                          ThemeIcon(QStringLiteral("go-down"), QStyle::SP_ArrowDown));
    acIcWrite = MakeAction(this, "acIcWrite", QStringLiteral("Загрузить в контроллер"),
                           ThemeIcon(QStringLiteral("go-up"), QStyle::SP_ArrowUp));
    acIcCompare =
        MakeAction(this, "acIcCompare", QStringLiteral("Сравнить с контроллером"),
                   ThemeIcon(QStringLiteral("edit-find"), QStyle::SP_FileDialogContentsView));
    acConfig = MakeAction(this, "acConfig", QStringLiteral("Связь"),
                          ThemeIcon(QStringLiteral("network-wired"), QStyle::SP_DriveNetIcon));
    acWriteToFile =
        MakeAction(this, "acWriteToFile", QString(),
                   ThemeIcon(QStringLiteral("document-save"), QStyle::SP_DialogSaveButton));
    acLoadFromFile =
        MakeAction(this, "acLoadFromFile", QString(),
                   ThemeIcon(QStringLiteral("document-open"), QStyle::SP_DialogOpenButton));
    // Read, write and compare side by side on the function keys; the desktop's own keys for
    // files; P for the port.
    SetShortcut(acIcRead, QKeySequence(Qt::Key_F5), acIcRead->text());
    SetShortcut(acIcWrite, QKeySequence(Qt::Key_F6), acIcWrite->text());
    SetShortcut(acIcCompare, QKeySequence(Qt::Key_F7), acIcCompare->text());
    SetShortcut(acConfig, QKeySequence(Qt::CTRL | Qt::Key_P), acConfig->text());
    SetShortcut(acWriteToFile, QKeySequence::Save, QStringLiteral("Сохранить в файл"));
    SetShortcut(acLoadFromFile, QKeySequence::Open, QStringLiteral("Загрузить из файла"));
    acWriteToFile->setEnabled(false);
    acLoadFromFile->setEnabled(false);
    acTraffic = MakeAction(
        this, "acTraffic", QStringLiteral("Журнал обмена"),
        ThemeIcon(QStringLiteral("utilities-log-viewer"), QStyle::SP_FileDialogDetailedView));
    SetShortcut(acTraffic, QKeySequence(Qt::CTRL | Qt::Key_L), acTraffic->text()); // L for log

    const auto command = [this](QAction* action, void (TfmMain::*handler)()) {
        connect(action, &QAction::triggered, this,
                // A command that copies the view first stores the cell being edited.
                [this, handler] {
                    Guarded([this, handler] { (this->*handler)(); }, CellRefusalAdvice);
                });
    };
    command(acIcRead, &TfmMain::acIcReadExecute);
    command(acIcWrite, &TfmMain::acIcWriteExecute);
    command(acIcCompare, &TfmMain::acIcCompareExecute);
    command(acTraffic, &TfmMain::acTrafficExecute);
    command(acConfig, &TfmMain::acConfigExecute);
    command(acWriteToFile, &TfmMain::acWriteToFileExecute);
    command(acLoadFromFile, &TfmMain::acLoadFromFileExecute);
}

// The shortcut is named in the tooltip: «Считать из контроллера (F5)».
void TfmMain::SetShortcut(QAction* action, const QKeySequence& keys, const QString& hint) {
    action->setShortcut(keys);
    action->setToolTip(
        QStringLiteral("%1 (%2)").arg(hint, keys.toString(QKeySequence::NativeText)));
}

void TfmMain::CreateToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setFixedHeight(ToolBarHeight);
    ToolBar1->setIconSize(ToolIconSize);
    ToolBar1->setStyleSheet(ToolBarStyle);
    for (QAction* action : {acLoadFromFile, acWriteToFile, static_cast<QAction*>(nullptr), acConfig,
                            static_cast<QAction*>(nullptr), acIcRead, acIcWrite, acIcCompare,
                            static_cast<QAction*>(nullptr), acTraffic}) {
        if (action == nullptr) {
            ToolBar1->addSeparator();
            continue;
        }
        ToolBar1->addAction(action);
        QWidget* button = ToolBar1->widgetForAction(action);
        button->setFixedSize(ToolButtonSize);
        button->setFocusPolicy(Qt::TabFocus); // the keyboard reaches every command
    }
    addToolBar(Qt::TopToolBarArea, ToolBar1);
}

QWidget* TfmMain::CreateCaptionBar() {
    auto* bar = new QWidget(this);
    bar->setFixedHeight(CaptionBarHeight);
    bar->setAutoFillBackground(true);
    QPalette palette = bar->palette();
    // The colour of a window caption that is not active: between the selection and the window.
    const QColor selection = palette.color(QPalette::Inactive, QPalette::Highlight);
    const QColor window = palette.color(QPalette::Window);
    palette.setColor(QPalette::Window, QColor((selection.red() + window.red()) / 2,
                                              (selection.green() + window.green()) / 2,
                                              (selection.blue() + window.blue()) / 2));
    bar->setPalette(palette);

    lblConfigCaption = new QLabel(bar);
    lblConfigCaption->setObjectName(QStringLiteral("lblConfigCaption"));
    QFont bold = font();
    bold.setBold(true);
    lblConfigCaption->setFont(bold);
    lblLastResult = new QLabel(bar);
    lblLastResult->setObjectName(QStringLiteral("lblLastResult"));
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(CaptionIndent, 0, CaptionIndent, 0);
    layout->addWidget(lblConfigCaption, 0, Qt::AlignLeft | Qt::AlignVCenter);
    layout->addStretch();
    layout->addWidget(lblLastResult, 0, Qt::AlignRight | Qt::AlignVCenter);
    return bar;
}

void TfmMain::CreatePages() {
    pcConfig = new QStackedWidget(this);
    pcConfig->setObjectName(QStringLiteral("pcConfig"));

    dsTank = new TankTableModel(this);
    dsTank->setObjectName(QStringLiteral("dsTank"));
    TankCells = new TankCellDelegate(*dsTank, this);
    DBGridEh1 = new QTableView;
    DBGridEh1->setObjectName(QStringLiteral("DBGridEh1"));
    DBGridEh1->setModel(dsTank);
    DBGridEh1->setItemDelegate(TankCells);
    DBGridEh1->verticalHeader()->hide();
    DBGridEh1->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + RowPadding);
    DBGridEh1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    DBGridEh1->horizontalHeader()->setHighlightSections(false);
    DBGridEh1->horizontalHeader()->setMinimumSectionSize(MinimumColumnWidth);
    for (int column = 0; column < TankTableModel::ColumnCount; ++column) {
        DBGridEh1->setColumnWidth(column, ColumnWidths[static_cast<size_t>(column)]);
    }
    DBGridEh1->setShowGrid(true);
    // Two digits in a narrow column: clipped by a pixel rather than replaced by an ellipsis.
    DBGridEh1->setTextElideMode(Qt::ElideNone);
    DBGridEh1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGridEh1->setSelectionBehavior(QAbstractItemView::SelectItems);
    // The editor opens on the cell that becomes current, so typing always edits.
    DBGridEh1->setEditTriggers(QAbstractItemView::AllEditTriggers);
    DBGridEh1->setTabKeyNavigation(true);

    mScript = new QPlainTextEdit;
    mScript->setObjectName(QStringLiteral("mScript"));
    mScript->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    mScript->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Lines wrap, so no sideways bar; a script longer than the page shows that there is more.
    mScript->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mScript->setTabChangesFocus(true);
    ScriptMarks = new TScriptMarks(*mScript);
    lblScriptSize = new QLabel;
    lblScriptSize->setObjectName(QStringLiteral("lblScriptSize"));
    lblScriptSize->setContentsMargins(SizeIndent, 0, SizeIndent, 0);
    auto* script = new QWidget;
    auto* scriptLayout = new QVBoxLayout(script);
    scriptLayout->setContentsMargins(0, 0, 0, 0);
    scriptLayout->setSpacing(0);
    scriptLayout->addWidget(mScript);
    scriptLayout->addWidget(lblScriptSize);

    ReviewTimer = new QTimer(this);
    ReviewTimer->setSingleShot(true);
    ReviewTimer->setInterval(ReviewDelayMs);
    connect(ReviewTimer, &QTimer::timeout, this, [this] { Guarded([this] { ReviewView(); }); });
    connect(dsTank, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (TankTableModel::ChangesData(roles)) {
                    ViewChanged();
                }
            });
    connect(mScript, &QPlainTextEdit::textChanged, this, [this] { ViewChanged(); });
    connect(TankCells, &TankCellDelegate::PendingEditChanged, this, [this] { ScheduleReview(); });

    const auto page = [this](const char* name, const QString& caption, QWidget* content) {
        auto* sheet = new QWidget;
        sheet->setObjectName(QString::fromLatin1(name));
        sheet->setWindowTitle(caption); // the caption the caption bar shows
        auto* layout = new QVBoxLayout(sheet);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(content);
        pcConfig->addWidget(sheet);
        return sheet;
    };
    tsTank = page("tsTank", QStringLiteral("Резервуары"), DBGridEh1);
    tsScript = page("tsScript", QStringLiteral("Схема"), script);
}

void TfmMain::CreateTree() {
    tvConfig = new QTreeWidget(this);
    tvConfig->setObjectName(QStringLiteral("tvConfig"));
    tvConfig->setFixedWidth(TreeWidth);
    tvConfig->setIndentation(TreeIndentation);
    tvConfig->setHeaderHidden(true);
    tvConfig->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QPalette palette = tvConfig->palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    }
    tvConfig->setPalette(palette);
    for (int page = 0; page < pcConfig->count(); ++page) {
        auto* node = new QTreeWidgetItem(tvConfig, {pcConfig->widget(page)->windowTitle()});
        node->setData(0, PageNumberRole, page);
    }
    connect(tvConfig, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* node) { tvConfigChange(node); });
    // Tab goes along the toolbar, then to the tree and the page it shows.
    QWidget* previous = nullptr;
    for (QAction* action : ToolBar1->actions()) {
        QWidget* button = ToolBar1->widgetForAction(action);
        if (button == nullptr || button->focusPolicy() == Qt::NoFocus) {
            continue;
        }
        if (previous != nullptr) {
            setTabOrder(previous, button);
        }
        previous = button;
    }
    setTabOrder(previous, tvConfig);
    setTabOrder(tvConfig, DBGridEh1);
    setTabOrder(DBGridEh1, mScript);
}

void TfmMain::FormCreate() {
    Terminal = std::make_unique<TTerminal>();
    Terminal->Resolver = MakePortResolver(SettingsPath);
    Config = std::make_unique<TTerminalConfig>();
    LoadSettings();
    ClearView();
    tvConfig->expandAll();
    tvConfig->setCurrentItem(tvConfig->topLevelItem(0));
    tvConfigChange(tvConfig->currentItem());
    UpdateCommands();
    ShowLastResult({});
}

void TfmMain::FormDestroy() {
    Terminal.reset();
    Config.reset();
}

void TfmMain::tvConfigChange(QTreeWidgetItem* node) {
    if (node == nullptr) {
        node = tvConfig->topLevelItem(0);
    }
    pcConfig->setCurrentIndex(node->data(0, PageNumberRole).toInt());
    lblConfigCaption->setText(pcConfig->currentWidget()->windowTitle());
}

void TfmMain::ClearView() {
    const QScopedValueRollback filling(Filling, true);
    dsTank->Clear();
    mScript->clear();
    ScheduleReview();
}

void TfmMain::ViewToConfig() {
    TankCells->CommitPendingEdit();
    *Config = ViewConfig();
    if (dsTank->rowCount() > 0) {
        DBGridEh1->setCurrentIndex(
            dsTank->index(0, std::max(DBGridEh1->currentIndex().column(), 0)));
    }
}

TTerminalConfig TfmMain::ViewConfig() const {
    TTerminalConfig config;
    const auto pending = TankCells->PendingValue();
    for (int row = 0; row < dsTank->rowCount(); ++row) {
        TTankRow tank = dsTank->Row(row);
        if (pending && pending->Cell.row() == row) {
            tank.Threshold(pending->Cell.column()) = pending->Value;
        }
        config.Tanks.at(static_cast<size_t>(tank.idx)) = {
            static_cast<uint8_t>(tank.active ? 1 : 0), tank.hmin.value_or(0), tank.hmax.value_or(0),
            tank.hhigh.value_or(0)};
    }
    config.Script.Assign(ScriptLines(*mScript->document()));
    return config;
}

void TfmMain::ReviewView() {
    ReviewTimer->stop();
    const TConfigReview review = ReviewConfig(ViewConfig());
    std::map<int, TCellProblem> cells;
    std::map<int, QString> lines;
    int badLines = 0;
    for (const TConfigProblem& problem : review.Problems) {
        if (problem.Place == TConfigProblem::ScriptLine) {
            if (++badLines <= MarkedLinesMax) {
                lines.emplace(problem.Index, ShownMessage(problem.Message));
            }
        } else if (problem.Index < dsTank->rowCount()) { // rows are in index order
            cells.emplace(problem.Index,
                          TCellProblem{TankColumn(problem.Field), ShownMessage(problem.Message)});
        }
    }
    TankCells->MarkEditor(cells);
    dsTank->SetProblems(std::move(cells));
    ShowScriptSize(review.ScriptBytes, badLines, lines.empty() ? 0 : lines.begin()->first);
    ScriptMarks->SetProblems(std::move(lines));
}

// «Скрипт: 37 байт из 199», and the refused lines counted from 1, so that a mark scrolled out
// of sight is still known: «… · строк с ошибками: 2, первая — 41».
void TfmMain::ShowScriptSize(int bytes, int badLines, int firstBadLine) {
    QString text = QStringLiteral("Скрипт: %1 байт из %2").arg(bytes).arg(ScriptMaxBytes);
    if (badLines > 0) {
        text += QStringLiteral(" · строк с ошибками: %1, первая — %2")
                    .arg(badLines)
                    .arg(firstBadLine + 1);
    }
    lblScriptSize->setText(text);
    const bool refused = bytes > ScriptMaxBytes || badLines > 0;
    QPalette palette = lblScriptSize->palette();
    palette.setColor(QPalette::WindowText,
                     refused ? ProblemColour : mScript->palette().color(QPalette::WindowText));
    lblScriptSize->setPalette(palette);
}

void TfmMain::ScheduleReview() {
    ReviewTimer->start();
}

void TfmMain::ConfigToView() {
    const QScopedValueRollback filling(Filling, true);
    for (int i = 0; i < TankCount; ++i) {
        const TTankRecord& tank = Config->Tanks[static_cast<size_t>(i)];
        dsTank->Append({i, tank.active != 0, tank.hmin, tank.hmax, tank.hhigh});
    }
    DBGridEh1->setCurrentIndex(dsTank->index(0, std::max(DBGridEh1->currentIndex().column(), 0)));
    mScript->setPlainText(ScriptText(Config->Script));
    ScheduleReview();
}

void TfmMain::DisableCommands() {
    for (QAction* action : {acIcRead, acIcWrite, acIcCompare, acWriteToFile, acLoadFromFile}) {
        action->setEnabled(false);
    }
}

void TfmMain::UpdateCommands() {
    acIcRead->setEnabled(true);
    acIcWrite->setEnabled(acIcRead->isEnabled() && dsTank->rowCount() > 0);
    acIcCompare->setEnabled(acIcWrite->isEnabled());
    acWriteToFile->setEnabled(acIcRead->isEnabled());
    acLoadFromFile->setEnabled(acIcRead->isEnabled());
}

void TfmMain::LoadConfigFile(const QString& fileName) {
    const TXmlDocument document = ReadConfigDocument(FilePath(fileName));
    ClearView();
    FillConfig(document, *Config);
}

void TfmMain::SaveConfigFile(const QString& fileName) {
    dravik::SaveConfigFile(FilePath(fileName), *Config);
}

void TfmMain::LoadSettings() {
    Terminal->Port = LoadPortSetting(SettingsPath);
}

void TfmMain::SaveSettings() {
    SavePortSetting(SettingsPath, Terminal->Port);
}

void TfmMain::acIcReadExecute() {
    if (!MayReplaceView()) {
        return;
    }
    DisableCommands();
    ClearView();
    setWindowModified(false); // nothing is left in the view to lose
    StartCommand(TCommandKind::Read);
}

void TfmMain::acIcWriteExecute() {
    StartWithView(TCommandKind::Write);
}

// The view against the controller, neither of them changed: the same comparison as the check
// after a write.
void TfmMain::acIcCompareExecute() {
    StartWithView(TCommandKind::Compare);
}

// A command that takes the view's configuration to the controller.
void TfmMain::StartWithView(TCommandKind kind) {
    DisableCommands();
    try {
        ViewToConfig();
    } catch (...) {
        UpdateCommands();
        throw;
    }
    StartCommand(kind);
}

// The command gets copies of the port and of Config; the view stays closed to edits meanwhile,
// since a read's outcome replaces it.
void TfmMain::StartCommand(TCommandKind kind) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    pcConfig->setEnabled(false);
    lblLastResult->hide();
    CommandProgress =
        new TCommandProgress([this] { Command->Cancel(); }, lblLastResult->parentWidget());
    lblLastResult->parentWidget()->layout()->addWidget(CommandProgress);
    Command = std::make_unique<TControllerCommand>(
        TCommandInput{kind, Terminal->Port, Terminal->Resolver, *Config},
        TControllerCommand::THandlers{[this](const TTransferStep& step) {
                                          CommandProgress->Show(step);
                                          emit CommandStepShown(StepText(step));
                                      },
                                      [this] { CommandFinished(); }});
}

void TfmMain::EndCommandDisplay() {
    delete CommandProgress;
    CommandProgress = nullptr;
    lblLastResult->show();
    pcConfig->setEnabled(true);
    QApplication::restoreOverrideCursor();
}

void TfmMain::CommandFinished() {
    // The object is inside its own call: it goes once that has returned.
    TControllerCommand* done = Command.release();
    done->deleteLater();
    EndCommandDisplay();
    if (CloseWhenDone) {
        UpdateCommands();
        close();
        return;
    }
    Guarded(
        [&] {
            const Finally update([this] { UpdateCommands(); });
            ShowOutcome(*done);
        },
        [&](const std::exception& failure) {
            return FailureAdvice(failure, done->Port(), done->Resolver(), AdviceHost);
        });
}

void TfmMain::ShowOutcome(const TControllerCommand& command) {
    const QString time = QTime::currentTime().toString(TimeFormat);
    const bool read = command.Kind() == TCommandKind::Read;
    if (command.Kind() == TCommandKind::Compare) {
        ShowComparisonOutcome(command, time);
        return;
    }
    if (read) {
        *Config = command.Config(); // what the transfer stored, even before a failure
    }
    if (const std::exception_ptr failure = command.Failure()) {
        try {
            std::rethrow_exception(failure);
        } catch (const TCancelled&) {
            ShowLastResult(QStringLiteral("Прервано %1").arg(time));
            if (read) {
                throw;
            }
            Raise(Cp1251("Прервано.\r\nКонтроллер может теперь хранить часть новой конфигурации. "
                         "Чтение из контроллера покажет, что он хранит."));
        } catch (...) {
            ShowLastResult((read ? QStringLiteral("Чтение не удалось %1")
                                 : QStringLiteral("Запись не удалась %1"))
                               .arg(time));
            throw;
        }
    }
    if (read) {
        ConfigToView();
        ShowLastResult(QStringLiteral("Считано %1").arg(time));
    } else {
        ShowLastResult(QStringLiteral("Записано и проверено %1").arg(time));
    }
    setWindowModified(false);
}

void TfmMain::ShowComparisonOutcome(const TControllerCommand& command, const QString& time) {
    if (const std::exception_ptr failure = command.Failure()) {
        ShowLastResult(QStringLiteral("Сравнение не удалось %1").arg(time));
        std::rethrow_exception(failure);
    }
    QStringList differences;
    for (const std::string& difference : command.Differences()) {
        differences.append(FromCp1251(difference));
    }
    ShowLastResult(
        (differences.isEmpty() ? QStringLiteral("Совпадает %1") : QStringLiteral("Отличается %1"))
            .arg(time));
    ShowComparison(this, differences);
}

void TfmMain::acConfigExecute() {
    TfmConn fmConn(this, Terminal->Resolver, QString::fromStdString(SettingsPath));
    fmConn.eComPort->SetNumber(Terminal->Port);
    fmConn.AddPortEntry = [this](const std::string& device) {
        const std::optional<int32_t> number = FreePortNumber(Terminal->Resolver);
        if (!number) {
            Raise(Cp1251("Нет свободного номера COM"));
        }
        SavePortDevice(SettingsPath, *number, device);
        return *number;
    };
    if (fmConn.exec() != QDialog::Accepted || !fmConn.eComPort->Number()) {
        return;
    }
    Terminal->Disconnect();
    Terminal->Port = static_cast<uint8_t>(*fmConn.eComPort->Number() & PortMask);
    ShowLastResult({});
    SaveSettings();
}

void TfmMain::acLoadFromFileExecute() {
    if (!MayReplaceView()) {
        return;
    }
    const QString fileName = OpenDialog1(this);
    if (fileName.isEmpty()) {
        return;
    }
    const Finally update([this] { UpdateCommands(); });
    LoadConfigFile(fileName);
    ConfigToView();
    setWindowModified(false);
    ShowLastResult(QStringLiteral("Загружено: %1").arg(QFileInfo(fileName).fileName()));
}

// The traffic window is shown beside the main one and brought to the front.
void TfmMain::acTrafficExecute() {
    fmTraffic->show();
    fmTraffic->raise();
    fmTraffic->activateWindow();
}

void TfmMain::acWriteToFileExecute() {
    SaveToChosenFile();
}

// Save of the view to a file the user chooses; false when the dialog was cancelled.
bool TfmMain::SaveToChosenFile() {
    const QString fileName = SaveDialog1(this);
    if (fileName.isEmpty()) {
        return false;
    }
    const Finally update([this] { UpdateCommands(); });
    ViewToConfig();
    SaveConfigFile(fileName);
    setWindowModified(false);
    ShowLastResult(QStringLiteral("Сохранено: %1").arg(QFileInfo(fileName).fileName()));
    return true;
}

// Whether the view may be replaced: unchanged, or saved, or given up by the user. A failed save
// raises, so that nothing is replaced.
bool TfmMain::MayReplaceView() {
    if (!isWindowModified()) {
        return true;
    }
    switch (SaveQuestion(this)) {
    case QMessageBox::Save:
        return SaveToChosenFile();
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

void TfmMain::ViewChanged() {
    if (!Filling) {
        setWindowModified(true);
    }
    ScheduleReview();
}

void TfmMain::closeEvent(QCloseEvent* event) {
    if (!CloseWhenDone) {
        bool mayClose = false;
        Guarded([&] { mayClose = MayReplaceView(); });
        if (!mayClose) {
            event->ignore();
            return;
        }
    }
    if (Command) {
        CloseWhenDone = true;
        Command->Cancel();
        event->ignore();
        return;
    }
    event->accept();
}

// The port and the device it leads to, then the last result: «COM1 /dev/ttyS0 · Считано 14:05:31».
void TfmMain::ShowLastResult(const QString& result) {
    if (!result.isEmpty()) {
        LastResult = result;
    }
    const QString device =
        Terminal->Resolver ? QString::fromStdString(Terminal->Resolver(Terminal->Port)) : QString();
    const QString port = QStringLiteral("COM%1").arg(Terminal->Port);
    const QString shown = fontMetrics().elidedText(device, Qt::ElideMiddle, DeviceTextWidth);
    QStringList parts{device.isEmpty() ? port : port + ' ' + shown};
    if (!LastResult.isEmpty()) {
        parts.append(LastResult);
    }
    lblLastResult->setText(parts.join(QStringLiteral(" · ")));
    lblLastResult->setToolTip(device);
}

} // namespace dravik::ui
