#include "ui/UiText.h"

#include "base/Text.h"

namespace dravik::ui {

QString FromCp1251(const std::string& cp1251) {
    return QString::fromStdString(Cp1251ToUtf8(cp1251));
}

QString LabelText(const std::string& cp1251) {
    return FromCp1251(cp1251).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString ShownMessage(const std::string& message) {
    return LabelText(WithFullStop(message));
}

std::string ToCp1251(const QString& text) {
    return Cp1251(text.toStdString());
}

} // namespace dravik::ui
