#include "ui/UfmConn.h"

#include "ui/NumberEdit.h"
#include "ui/SerialDevices.h"
#include "ui/UiLook.h"

#include <QLabel>
#include <QPushButton>

namespace dravik::ui {
namespace {

constexpr QSize ClientSize(248, 106);
constexpr QRect Label4Place(16, 20, 73, 21);
constexpr QRect ComPortPlace(96, 20, 137, 21);
constexpr QRect DevicePlace(16, 43, 217, 26);
constexpr QRect OkPlace(72, 72, 75, 25);
constexpr QRect CancelPlace(160, 72, 75, 25);

} // namespace

TfmConn::TfmConn(QWidget* owner, TPortResolver resolver)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      Label4(new QLabel(QStringLiteral("COM порт:"), this)), eComPort(new NumberEdit(this)),
      lblDevice(new QLabel(this)), btnOk(new QPushButton(QStringLiteral("OK"), this)),
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
