#include "ui/ComparisonBox.h"

#include <QApplication>
#include <QMessageBox>

namespace dravik::ui {
namespace {

// A box grows with its lines: the first ones are shown, all of them under «Подробности».
constexpr qsizetype ShownDifferences = 12;

} // namespace

void ShowComparisonBox(QWidget* parent, const QStringList& differences) {
    QMessageBox box(parent);
    box.setWindowTitle(QApplication::applicationName());
    if (differences.isEmpty()) {
        box.setIcon(QMessageBox::Information);
        box.setText(QStringLiteral("Контроллер хранит то же, что показано в окне."));
    } else {
        box.setIcon(QMessageBox::Warning);
        box.setText(QStringLiteral("Контроллер хранит не то, что показано в окне:"));
        QStringList shown = differences.first(std::min(ShownDifferences, differences.size()));
        if (differences.size() > ShownDifferences) {
            shown.append(QStringLiteral("… и ещё %1").arg(differences.size() - ShownDifferences));
            box.setDetailedText(differences.join('\n'));
        }
        box.setInformativeText(shown.join('\n'));
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

} // namespace dravik::ui
