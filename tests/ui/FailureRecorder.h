#pragma once

#include "QtPrinting.h"
#include "ui/ErrorGuard.h"

#include <QString>
#include <QStringList>

namespace dravik::test {

// Stands in for the message box: every failure the guard shows lands here, its advice (the
// box's informative text) beside its text.
class FailureRecorder {
public:
    FailureRecorder()
        : Presenter([this](const QString& caption, const QString& text, const QString& advice) {
              Captions.append(caption);
              Texts.append(text);
              Advice.append(advice);
          }) {}

    QStringList Captions;
    QStringList Texts;
    QStringList Advice;

private:
    ui::ScopedFailurePresenter Presenter;
};

} // namespace dravik::test
