#pragma once

class QCoreApplication;

namespace dravik::ui {

// Gives Qt's own texts (standard buttons, file dialogs) in Russian, as the rest of the window,
// whatever the user's locale; Debian's Qt translations provide them. Without them Qt's texts
// stay English and nothing else changes.
void UseRussianQtTexts(QCoreApplication& application);

} // namespace dravik::ui
