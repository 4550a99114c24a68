#pragma once

#include "link/PortResolver.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace dravik::ui {

class NumberEdit;

// The connection dialog: the number of the COM port through which the controller is reached.
// It touches neither the terminal nor the settings; the main window's command does.
class TfmConn : public QDialog {
    Q_OBJECT

public:
    // The resolver only tells the user which device a number stands for.
    TfmConn(QWidget* owner, TPortResolver resolver);

    QLabel* Label4;
    NumberEdit* eComPort;
    QLabel* lblDevice;
    QPushButton* btnOk;
    QPushButton* Button2;

    void eComPortChange();

private:
    TPortResolver Resolver;
};

} // namespace dravik::ui
