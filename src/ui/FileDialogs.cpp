#include "ui/FileDialogs.h"

#include <QFileDialog>

namespace dravik::ui {
namespace {

const QString ConfigFilter = QStringLiteral("*.cfg");
const QString ConfigSuffix = QStringLiteral("cfg");

QString Ask(QWidget* parent, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent);
    // The desktop's own dialogs cannot open a name that does not exist yet.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(ConfigFilter);
    dialog.setDefaultSuffix(ConfigSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

} // namespace

QString AskOpenConfigFile(QWidget* parent) {
    return Ask(parent, QFileDialog::AcceptOpen);
}

QString AskSaveConfigFile(QWidget* parent) {
    return Ask(parent, QFileDialog::AcceptSave);
}

} // namespace dravik::ui
