#pragma once

#include "protocol/TransferStep.h"

#include <functional>

#include <QString>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace dravik::ui {

// A step in the user's terms: the block ("маска", "пороги", "скрипт", "проверка"), and the
// attempt when it retries ("пороги, Дубль 3").
QString StepText(const TTransferStep& step);

// What the caption bar shows while a controller command runs: the step, a busy indicator and
// the «Прервать» button, which Esc presses too. It exists only while its command runs, so
// neither the button nor its key is there otherwise.
class TCommandProgress : public QWidget {
public:
    TCommandProgress(std::function<void()> abort, QWidget* parent);

    void Show(const TTransferStep& step);

    QLabel* lblStep;
    QProgressBar* pbBusy;
    QPushButton* btnAbort;
};

} // namespace dravik::ui
