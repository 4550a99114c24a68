#pragma once

class QCoreApplication;

namespace dravik::app {

// Qt's own texts (file dialogs, standard buttons) in Russian like the rest of the window, whatever
// the locale; without the translations installed they stay in English.
void InstallQtTranslation(QCoreApplication& application);

} // namespace dravik::app
