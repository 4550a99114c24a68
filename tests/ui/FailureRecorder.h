#pragma once

#include "QtPrinting.h"
#include "ui/ErrorGuard.h"

#include <QString>
#include <QStringList>

namespace dravik::test {

// Stands in for the message box: every failure the guard shows lands here.
class FailureRecorder {
public:
    FailureRecorder()
        : Presenter([this](const QString& caption, const QString& text) {
              Captions.append(caption);
              Texts.append(text);
          }) {}

    QStringList Captions;
    QStringList Texts;

private:
    ui::ScopedFailurePresenter Presenter;
};

} // namespace dravik::test
