#include "ui/UiLook.h"

#include <QApplication>
#include <QFontDatabase>

namespace dravik::ui {
namespace {

constexpr int FontPoints = 8;
const QString PreferredFamily = QStringLiteral("Tahoma");
// A desktop without a theme of its own (a bare X server, a plain window manager) still has this
// one installed with the icon theme package.
const QString SpareTheme = QStringLiteral("Adwaita");
const QString ProbeIcon = QStringLiteral("document-open");

void ChooseIconTheme() {
    static bool chosen = false;
    if (chosen) {
        return;
    }
    chosen = true;
    if (QIcon::hasThemeIcon(ProbeIcon)) {
        return;
    }
    const QString previous = QIcon::themeName();
    QIcon::setThemeName(SpareTheme);
    if (!QIcon::hasThemeIcon(ProbeIcon)) {
        QIcon::setThemeName(previous);
    }
}

} // namespace

QFont UiFont() {
    QFont font = QFontDatabase::families().contains(PreferredFamily)
                     ? QFont(PreferredFamily)
                     : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(FontPoints);
    return font;
}

QIcon ThemeIcon(const QString& name, QStyle::StandardPixmap fallback) {
    ChooseIconTheme();
    return QIcon::fromTheme(name, QApplication::style()->standardIcon(fallback));
}

} // namespace dravik::ui
