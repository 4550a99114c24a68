#include "ui/UfmConn.h"

#include "base/Text.h"
#include "ui/ErrorGuard.h"
#include "ui/NumberEdit.h"
#include "ui/PortSearch.h"
#include "ui/SerialDevices.h"
#include "ui/UiLook.h"
#include "ui/UiText.h"

#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

namespace dravik::ui {
namespace {

// The number, its device and the buttons keep their places; the list and the search take the
// least room that shows four columns and a few rows, so the dialog grows down and to the right.
constexpr QSize ClientSize(520, 348);
constexpr QRect Label4Place(16, 20, 73, 21);
constexpr QRect ComPortPlace(96, 20, 137, 21);
constexpr QRect DevicePlace(16, 43, 488, 26);
constexpr QRect SettingsPlace(16, 72, 488, 21);
constexpr QRect PortsPlace(16, 100, 488, 150);
constexpr QRect FindPlace(16, 258, 130, 25);
constexpr QRect ProgressPlace(154, 260, 350, 21);
constexpr QRect FindStatePlace(16, 288, 488, 21);
constexpr QRect OkPlace(344, 314, 75, 25);
constexpr QRect CancelPlace(432, 314, 75, 25);

enum TPortColumn { pcNumber, pcDevice, pcAdapter, pcState, pcCount };
constexpr int ColumnWidths[] = {80, 120, 130};
constexpr int RowHeight = 18;

const QString FindText = QStringLiteral("Найти контроллер");
const QString StopText = QStringLiteral("Остановить");
const QString SettingsFileText = QStringLiteral("Хранится в %1");

QString AdapterText(const TSerialPort& port) {
    return QString::fromStdString(
        port.Maker + (port.Maker.empty() || port.Model.empty() ? "" : " ") + port.Model);
}

QTableWidgetItem* Cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

} // namespace

TfmConn::TfmConn(QWidget* owner, TPortResolver resolver, const QString& settingsPath)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      Label4(new QLabel(QStringLiteral("COM порт:"), this)), eComPort(new NumberEdit(this)),
      lblDevice(new QLabel(this)), lblSettings(new QLabel(this)),
      dsPorts(new QTableWidget(0, pcCount, this)), btnFind(new QPushButton(FindText, this)),
      pbFind(new QProgressBar(this)), lblFind(new QLabel(this)),
      btnOk(new QPushButton(QStringLiteral("OK"), this)),
      Button2(new QPushButton(QStringLiteral("Отмена"), this)), Resolver(std::move(resolver)) {
    setObjectName(QStringLiteral("fmConn"));
    setWindowTitle(QStringLiteral("Настройки подключения"));
    setFont(UiFont());
    setFixedSize(ClientSize);

    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setGeometry(Label4Place);
    Label4->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    eComPort->setObjectName(QStringLiteral("eComPort"));
    eComPort->setGeometry(ComPortPlace);
    lblDevice->setObjectName(QStringLiteral("lblDevice"));
    lblDevice->setGeometry(DevicePlace);
    lblDevice->setWordWrap(true);
    lblDevice->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblSettings->setObjectName(QStringLiteral("lblSettings"));
    lblSettings->setGeometry(SettingsPlace);
    lblSettings->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // A long path keeps both its ends in sight; the tooltip has it whole.
    const QString settingsText = SettingsFileText.arg(settingsPath);
    lblSettings->setText(lblSettings->fontMetrics().elidedText(settingsText, Qt::ElideMiddle,
                                                               SettingsPlace.width()));
    lblSettings->setToolTip(settingsText);

    dsPorts->setObjectName(QStringLiteral("dsPorts"));
    dsPorts->setGeometry(PortsPlace);
    dsPorts->setHorizontalHeaderLabels({QStringLiteral("Номер"), QStringLiteral("Устройство"),
                                        QStringLiteral("Адаптер"), QStringLiteral("Состояние")});
    for (int column = 0; column < pcState; ++column) {
        dsPorts->setColumnWidth(column, ColumnWidths[column]);
    }
    dsPorts->horizontalHeader()->setStretchLastSection(true);
    dsPorts->verticalHeader()->hide();
    dsPorts->verticalHeader()->setDefaultSectionSize(RowHeight);
    dsPorts->setSelectionBehavior(QAbstractItemView::SelectRows);
    dsPorts->setSelectionMode(QAbstractItemView::SingleSelection);
    dsPorts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dsPorts->setWordWrap(false);

    btnFind->setObjectName(QStringLiteral("btnFind"));
    btnFind->setGeometry(FindPlace);
    btnFind->setAutoDefault(false);
    pbFind->setObjectName(QStringLiteral("pbFind"));
    pbFind->setGeometry(ProgressPlace);
    pbFind->setTextVisible(false);
    pbFind->hide();
    lblFind->setObjectName(QStringLiteral("lblFind"));
    lblFind->setGeometry(FindStatePlace);

    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setGeometry(OkPlace);
    btnOk->setDefault(true);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(CancelPlace);
    Button2->setAutoDefault(false);

    setTabOrder(eComPort, btnOk);
    setTabOrder(btnOk, Button2);
    setTabOrder(Button2, dsPorts);
    setTabOrder(dsPorts, btnFind);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(eComPort, &QLineEdit::textChanged, this, &TfmConn::eComPortChange);
    connect(dsPorts, &QTableWidget::cellClicked, this, [this](int row) { dsPortsChoose(row); });
    connect(dsPorts, &QTableWidget::cellActivated, this, [this](int row) { dsPortsChoose(row); });
    connect(btnFind, &QPushButton::clicked, this, &TfmConn::btnFindClick);

    eComPortChange();
    ShowPorts(ListSerialPorts(Resolver));
}

TfmConn::~TfmConn() = default;

void TfmConn::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    eComPort->setFocus();
    eComPort->selectAll();
}

void TfmConn::eComPortChange() {
    const std::optional<int64_t> number = eComPort->Number();
    btnOk->setEnabled(number.has_value());
    // The device of the low byte: that is the port the number will become.
    lblDevice->setText(number ? DescribePort(static_cast<uint8_t>(*number), Resolver) : QString());
}

void TfmConn::ShowPorts(std::vector<TSerialPort> ports) {
    Search.reset();
    PortList = std::move(ports);
    Found.clear();
    dsPorts->setRowCount(static_cast<int>(PortList.size()));
    for (int row = 0; row < dsPorts->rowCount(); ++row) {
        ShowRow(row);
    }
    btnFind->setEnabled(!PortList.empty());
    lblFind->setText(PortList.empty() ? QStringLiteral("Последовательные порты не найдены")
                                      : QString());
}

void TfmConn::ShowRow(int row) {
    const TSerialPort& port = PortList[static_cast<size_t>(row)];
    dsPorts->setItem(row, pcNumber, Cell(FromCp1251(PortNumbersText(port))));
    dsPorts->setItem(row, pcDevice, Cell(QString::fromStdString(port.Device)));
    dsPorts->setItem(row, pcAdapter, Cell(AdapterText(port)));
    dsPorts->item(row, pcAdapter)->setToolTip(AdapterText(port)); // the column may cut it
    dsPorts->setItem(row, pcState, Cell(FromCp1251(PortStateText(port))));
    if (!port.ById.empty()) {
        dsPorts->item(row, pcDevice)->setToolTip(QString::fromStdString(port.ById));
    }
}

void TfmConn::dsPortsChoose(int row) {
    if (row < 0 || row >= static_cast<int>(PortList.size())) {
        return;
    }
    TSerialPort& port = PortList[static_cast<size_t>(row)];
    if (!port.Numbers.empty()) {
        eComPort->SetNumber(port.Numbers.front());
        return;
    }
    // A double click, or a single one where that activates, reaches here twice: a device is
    // asked about once while the dialog is open.
    if (!AddPortEntry || Asked.contains(port.Device)) {
        return;
    }
    Asked.insert(port.Device);
    const QString question =
        QStringLiteral("У устройства %1 нет номера COM. Дать ему свободный номер в файле настроек?")
            .arg(QString::fromStdString(port.Device));
    if (QMessageBox::question(this, windowTitle(), question) != QMessageBox::Yes) {
        return;
    }
    Guarded([&] {
        port.Numbers.push_back(AddPortEntry(port.Device));
        ShowRow(row);
        eComPort->SetNumber(port.Numbers.front());
    });
}

void TfmConn::btnFindClick() {
    if (Search != nullptr) {
        Search->Cancel();
        btnFind->setEnabled(false); // until the probe under way has ended
        return;
    }
    Found.clear();
    for (int row = 0; row < dsPorts->rowCount(); ++row) {
        ShowRow(row);
    }
    Search = std::make_unique<TPortSearch>(PortList, Resolver, nullptr);
    connect(Search.get(), &TPortSearch::Probed, this, &TfmConn::SearchProbed);
    connect(Search.get(), &TPortSearch::Finished, this, &TfmConn::SearchFinished);
    pbFind->setRange(0, static_cast<int>(PortList.size()));
    pbFind->setValue(0);
    pbFind->show();
    btnFind->setText(StopText);
    lblFind->setText(QStringLiteral("Поиск контроллера…"));
    Search->Start();
}

void TfmConn::SearchProbed(int index, bool answered, const QString& message) {
    if (Search == nullptr || index >= dsPorts->rowCount()) {
        return; // a report of a search given up
    }
    pbFind->setValue(index + 1);
    if (answered) {
        Found.push_back(index);
        QTableWidgetItem* state = dsPorts->item(index, pcState);
        state->setText(QStringLiteral("найден контроллер"));
        for (int column = 0; column < pcCount; ++column) {
            QFont bold = dsPorts->item(index, column)->font();
            bold.setBold(true);
            dsPorts->item(index, column)->setFont(bold);
        }
    } else {
        dsPorts->item(index, pcState)->setToolTip(message);
    }
}

void TfmConn::SearchFinished() {
    if (Search == nullptr) {
        return;
    }
    const bool cancelled = Search->IsCancelled();
    Search.release()->deleteLater(); // not under its own signal
    pbFind->hide();
    btnFind->setText(FindText);
    btnFind->setEnabled(true);
    QStringList names;
    for (const int row : Found) {
        names.append(dsPorts->item(row, pcNumber)->text() + QStringLiteral(" (") +
                     dsPorts->item(row, pcDevice)->text() + QStringLiteral(")"));
    }
    QString text = names.size() > 1
                       ? QStringLiteral("Контроллер ответил на %1 портах: %2; выберите один")
                             .arg(names.size())
                             .arg(names.join(QStringLiteral(", ")))
                   : names.size() == 1 ? QStringLiteral("Контроллер найден: ") + names.front()
                                       : QStringLiteral("Контроллер не найден");
    lblFind->setText(cancelled ? text + QStringLiteral(" (поиск прерван)") : text);
    if (Found.size() == 1) {
        dsPorts->setCurrentCell(Found.front(), pcNumber);
        dsPortsChoose(Found.front());
    }
}

} // namespace dravik::ui
