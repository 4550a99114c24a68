#pragma once

#include <QString>

namespace dravik::ui {

// The title of every message box and of the taskbar entry, from the executable's path: the file
// name up to its first ".", all but the first character in lower case (SETUP.EXE gives Setup).
QString ApplicationTitle(const QString& executablePath);

} // namespace dravik::ui
