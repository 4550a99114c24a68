#pragma once

#include "link/PortResolver.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace dravik::ui {

class NumberEdit;

// The connection dialog: the number of the COM port through which the controller is reached.
// It touches neither the terminal nor the settings; the main window's command does. It names the
// settings file that keeps the number, which may be beside the program or in the user's folder.
class TfmConn : public QDialog {
    Q_OBJECT

public:
    // The resolver only tells the user which device a number stands for.
    TfmConn(QWidget* owner, TPortResolver resolver, const QString& settingsPath = QString());

    QLabel* Label4;
    NumberEdit* eComPort;
    QLabel* lblDevice;
    QLabel* lblSettings;
    QPushButton* btnOk;
    QPushButton* Button2;

    void eComPortChange();

private:
    TPortResolver Resolver;
};

} // namespace dravik::ui
