#pragma once

#include <functional>

#include <QString>

class QWidget;

namespace dravik::ui {

// Asks for a configuration file; an empty name means the user cancelled. The window holds one of
// each so that tests can answer in place of the user.
using TFileDialog = std::function<QString(QWidget* parent)>;

// The open dialog takes the name of a file that does not exist: the load then says so.
QString AskOpenConfigFile(QWidget* parent);

// The save dialog replaces an existing file without asking.
QString AskSaveConfigFile(QWidget* parent);

} // namespace dravik::ui
