#include "ui/UiText.h"

#include "base/Text.h"

namespace dravik::ui {

QString FromCp1251(const std::string& cp1251) {
    return QString::fromStdString(Cp1251ToUtf8(cp1251));
}

QString ShownMessage(const std::string& message) {
    // The core ends lines with CR LF; a label breaks at LF alone.
    return FromCp1251(WithFullStop(message)).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

std::string ToCp1251(const QString& text) {
    return Cp1251(text.toStdString());
}

} // namespace dravik::ui
