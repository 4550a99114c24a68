#include "ui/ErrorGuard.h"

#include "base/Exception.h"
#include "base/Text.h"
#include "ui/UiText.h"

#include <exception>
#include <new>
#include <optional>

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

namespace dravik::ui {
namespace {

const char* const OutOfMemory = "Недостаточно памяти";
const char* const UnexpectedFailure = "Непредвиденная ошибка";

void ShowStopBox(const QString& caption, const QString& text, const QString& advice) {
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setInformativeText(advice);
    box.exec();
}

TFailurePresenter& Presenter() {
    static TFailurePresenter presenter = ShowStopBox;
    return presenter;
}

// A failure as the user is to see it: the message and the advice for it.
struct TShownFailure {
    std::string Message;
    std::vector<std::string> Advice;
};

void Present(const TShownFailure& failure) {
    QStringList advice;
    for (const std::string& line : failure.Advice) {
        advice.append(LabelText(line));
    }
    Presenter()(QApplication::applicationName(), ShownMessage(failure.Message), advice.join('\n'));
}

// Runs work and gives its failure, if any, with the advice for it.
std::optional<TShownFailure> FailureOf(const std::function<void()>& work,
                                       const TFailureAdvisor& advisor) {
    try {
        work();
    } catch (const Exception& e) {
        return TShownFailure{e.message(), advisor ? advisor(e) : std::vector<std::string>()};
    } catch (const std::bad_alloc&) {
        // The command's own memory is free again by now: there is room for the message.
        return TShownFailure{Cp1251(OutOfMemory), {}};
    } catch (const std::exception& e) {
        // Not the program's own failure (a library): still shown, never let into Qt.
        return TShownFailure{std::string(e.what()), {}};
    } catch (...) {
        return TShownFailure{Cp1251(UnexpectedFailure), {}};
    }
    return std::nullopt;
}

} // namespace

bool Guarded(const std::function<void()>& work, const TFailureAdvisor& advisor) {
    const std::optional<TShownFailure> failure = FailureOf(work, advisor);
    if (failure) {
        Present(*failure);
    }
    return !failure;
}

bool GuardedDeferred(const std::function<void()>& work, const TFailureAdvisor& advisor) {
    const std::optional<TShownFailure> failure = FailureOf(work, advisor);
    if (failure) {
        QTimer::singleShot(0, qApp, [shown = *failure] { Present(shown); });
    }
    return !failure;
}

ScopedFailurePresenter::ScopedFailurePresenter(TFailurePresenter presenter)
    : Previous(std::move(Presenter())) {
    Presenter() = std::move(presenter);
}

ScopedFailurePresenter::~ScopedFailurePresenter() {
    Presenter() = std::move(Previous);
}

} // namespace dravik::ui
