#pragma once

#include <functional>

#include <QMessageBox>

class QWidget;

namespace dravik::ui {

// Asks whether a changed view is to be saved before something replaces it: Save, Discard or
// Cancel. The window holds one so that tests can answer in place of the user.
using TSaveQuestion = std::function<QMessageBox::StandardButton(QWidget* parent)>;

// «Сохранить изменения в файл?» with Qt's standard buttons; Esc and the close button answer
// Cancel.
QMessageBox::StandardButton AskSaveChanges(QWidget* parent);

} // namespace dravik::ui
