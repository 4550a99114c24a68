#include "ui/QtRussian.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace dravik::ui {

void UseRussianQtTexts(QCoreApplication& application) {
    auto* translator = new QTranslator(&application);
    if (translator->load(QStringLiteral("qtbase_ru"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
    } else {
        delete translator;
    }
}

} // namespace dravik::ui
