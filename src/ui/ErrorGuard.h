#pragma once

#include <exception>
#include <functional>
#include <string>
#include <vector>

#include <QString>

namespace dravik::ui {

// Shows one failure to the user: caption (the application title), the message with its full
// stop, and what to do about it (empty when there is nothing to say). The real one is a modal
// stop box with the advice as its informative text; tests record instead.
using TFailurePresenter =
    std::function<void(const QString& caption, const QString& text, const QString& advice)>;

// Lines of Windows-1251 text that tell what to do about a failure; none for most.
using TFailureAdvisor = std::function<std::vector<std::string>(const std::exception& failure)>;

// The application's one error handler. Qt lets no exception leave a slot, so every command runs
// through here: a failure is shown and false returned, and the program goes on. The advisor, if
// any, adds its lines below the message.
bool Guarded(const std::function<void()>& work, const TFailureAdvisor& advisor = nullptr);

// The same for work done inside the grid's own editor handling, which a modal box must not
// re-enter: the failure is shown once control is back in the event loop.
bool GuardedDeferred(const std::function<void()>& work, const TFailureAdvisor& advisor = nullptr);

// Replaces the message box for as long as it lives.
class ScopedFailurePresenter {
public:
    explicit ScopedFailurePresenter(TFailurePresenter presenter);
    ~ScopedFailurePresenter();
    ScopedFailurePresenter(const ScopedFailurePresenter&) = delete;
    ScopedFailurePresenter& operator=(const ScopedFailurePresenter&) = delete;

private:
    TFailurePresenter Previous;
};

} // namespace dravik::ui
