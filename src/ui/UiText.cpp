#include "ui/UiText.h"

#include "base/Text.h"

namespace dravik::ui {

QString FromCp1251(const std::string& cp1251) {
    return QString::fromStdString(Cp1251ToUtf8(cp1251));
}

std::string ToCp1251(const QString& text) {
    return Cp1251(text.toStdString());
}

} // namespace dravik::ui
