#include "ui/ApplicationTitle.h"

namespace dravik::ui {

QString ApplicationTitle(const QString& executablePath) {
    QString name = executablePath.section(QLatin1Char('/'), -1);
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0) {
        name.truncate(dot);
    }
    return name.left(1) + name.mid(1).toLower();
}

} // namespace dravik::ui
