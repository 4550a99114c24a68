#include "ui/SaveQuestion.h"

#include <QApplication>

namespace dravik::ui {

QMessageBox::StandardButton AskSaveChanges(QWidget* parent) {
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(),
                    QStringLiteral("Сохранить изменения в файл?"),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box.setObjectName(QStringLiteral("SaveQuestion"));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace dravik::ui
