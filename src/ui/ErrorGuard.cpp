#include "ui/ErrorGuard.h"

#include "base/Exception.h"
#include "base/Text.h"
#include "ui/UiText.h"

#include <exception>
#include <new>
#include <optional>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace dravik::ui {
namespace {

const char* const OutOfMemory = "Недостаточно памяти";
const char* const UnexpectedFailure = "Непредвиденная ошибка";

void ShowStopBox(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

TFailurePresenter& Presenter() {
    static TFailurePresenter presenter = ShowStopBox;
    return presenter;
}

void Present(const std::string& message) {
    Presenter()(QApplication::applicationName(), ShownMessage(message));
}

// Runs work and gives the message of its failure, if any.
std::optional<std::string> FailureOf(const std::function<void()>& work) {
    try {
        work();
    } catch (const Exception& e) {
        return e.message();
    } catch (const std::bad_alloc&) {
        // The command's own memory is free again by now: there is room for the message.
        return Cp1251(OutOfMemory);
    } catch (const std::exception& e) {
        // Not the program's own failure (a library): still shown, never let into Qt.
        return std::string(e.what());
    } catch (...) {
        return Cp1251(UnexpectedFailure);
    }
    return std::nullopt;
}

} // namespace

bool Guarded(const std::function<void()>& work) {
    const std::optional<std::string> failure = FailureOf(work);
    if (failure) {
        Present(*failure);
    }
    return !failure;
}

bool GuardedDeferred(const std::function<void()>& work) {
    const std::optional<std::string> failure = FailureOf(work);
    if (failure) {
        QTimer::singleShot(0, qApp, [message = *failure] { Present(message); });
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
