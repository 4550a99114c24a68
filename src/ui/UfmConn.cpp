#include "ui/UfmConn.h"

#include "ui/NumberEdit.h"
#include "ui/SerialDevices.h"
#include "ui/UiLook.h"

#include <QLabel>
#include <QPushButton>

namespace dravik::ui {
namespace {

constexpr QSize ClientSize(248, 132);
constexpr QRect Label4Place(16, 20, 73, 21);
constexpr QRect ComPortPlace(96, 20, 137, 21);
constexpr QRect DevicePlace(16, 43, 217, 26);
constexpr QRect SettingsPlace(16, 72, 217, 21);
constexpr QRect OkPlace(72, 98, 75, 25);
constexpr QRect CancelPlace(160, 98, 75, 25);

const QString SettingsFileText = QStringLiteral("Хранится в %1");

} // namespace

TfmConn::TfmConn(QWidget* owner, TPortResolver resolver, const QString& settingsPath)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      Label4(new QLabel(QStringLiteral("COM порт:"), this)), eComPort(new NumberEdit(this)),
      lblDevice(new QLabel(this)), lblSettings(new QLabel(this)),
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
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setGeometry(OkPlace);
    btnOk->setDefault(true);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(CancelPlace);
    Button2->setAutoDefault(false);

    setTabOrder(eComPort, btnOk);
    setTabOrder(btnOk, Button2);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(eComPort, &QLineEdit::textChanged, this, &TfmConn::eComPortChange);

    const QString devices = ListSerialDevices(Resolver);
    eComPort->setToolTip(devices);
    lblDevice->setToolTip(devices);
    eComPortChange();
}

void TfmConn::eComPortChange() {
    const std::optional<int64_t> number = eComPort->Number();
    btnOk->setEnabled(number.has_value());
    // The device of the low byte: that is the port the number will become.
    lblDevice->setText(number ? DescribePort(static_cast<uint8_t>(*number), Resolver) : QString());
}

} // namespace dravik::ui
