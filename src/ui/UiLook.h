#pragma once

#include <QFont>
#include <QIcon>
#include <QStyle>

namespace dravik::ui {

// Tahoma 8 pt where the system has it, else the desktop's sans-serif font at 8 pt.
QFont UiFont();

// An icon of the desktop's theme, else Qt's standard one: nothing is drawn by hand.
QIcon ThemeIcon(const QString& name, QStyle::StandardPixmap fallback);

} // namespace dravik::ui
