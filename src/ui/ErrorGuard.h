#pragma once

#include <functional>

#include <QString>

namespace dravik::ui {

// Shows one failure to the user: caption (the application title) and the message with its full
// stop. The real one is a modal stop box; tests record instead.
using TFailurePresenter = std::function<void(const QString& caption, const QString& text)>;

// The application's one error handler. Qt lets no exception leave a slot, so every command runs
// through here: a failure is shown and false returned, and the program goes on.
bool Guarded(const std::function<void()>& work);

// The same for work done inside the grid's own editor handling, which a modal box must not
// re-enter: the failure is shown once control is back in the event loop.
bool GuardedDeferred(const std::function<void()>& work);

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
