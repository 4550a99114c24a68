#pragma once

#include <QIcon>

namespace dravik::app {

// The program's icon in every size compiled into the program, so that the window shows it
// without an icon theme or an SVG plug-in.
QIcon ProgramIcon();

} // namespace dravik::app
