#include "ui/NumberEdit.h"

#include <QKeyEvent>
#include <QRegularExpressionValidator>

namespace dravik::ui {
namespace {

// Eighteen digits always fit a 64-bit number, one step up or down included.
const QString NumberPattern = QStringLiteral("-?\\d{0,18}");
constexpr int64_t Largest = 999'999'999'999'999'999;

} // namespace

NumberEdit::NumberEdit(QWidget* parent) : QLineEdit(parent) {
    setValidator(new QRegularExpressionValidator(QRegularExpression(NumberPattern), this));
}

std::optional<int64_t> NumberEdit::Number() const {
    bool isNumber = false;
    const qlonglong number = text().toLongLong(&isNumber);
    return isNumber ? std::optional<int64_t>(number) : std::nullopt;
}

void NumberEdit::SetNumber(int64_t number) {
    setText(QString::number(number));
}

void NumberEdit::keyPressEvent(QKeyEvent* event) {
    const int step = event->key() == Qt::Key_Up ? 1 : event->key() == Qt::Key_Down ? -1 : 0;
    if (step == 0) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    const int64_t number = Number().value_or(0);
    if ((step > 0 && number < Largest) || (step < 0 && number > -Largest)) {
        SetNumber(number + step);
    }
    event->accept();
}

} // namespace dravik::ui
