#include "ui/UiLook.h"

#include <QApplication>
#include <QFontDatabase>

namespace dravik::ui {
namespace {

constexpr int FontPoints = 8;
const QString PreferredFamily = QStringLiteral("Tahoma");

} // namespace

QFont UiFont() {
    QFont font = QFontDatabase::families().contains(PreferredFamily)
                     ? QFont(PreferredFamily)
                     : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(FontPoints);
    return font;
}

QIcon ThemeIcon(const QString& name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(name, QApplication::style()->standardIcon(fallback));
}

} // namespace dravik::ui
