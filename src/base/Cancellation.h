#pragma once

#include "base/Exception.h"
#include "base/Text.h"

#include <atomic>

namespace dravik {

// A request from outside the running command (a signal handler, the window's thread) to stop it.
// The channel looks at it on every wake-up of its read loop and in the pause between attempts.
// Cancel is async-signal-safe: one store to a lock-free atomic.
class TCancellation {
public:
    void Cancel() noexcept { Flag.store(true); }
    void Reset() noexcept { Flag.store(false); }
    bool IsCancelled() const noexcept { return Flag.load(); }

private:
    static_assert(std::atomic<bool>::is_always_lock_free);
    std::atomic<bool> Flag{false};
};

// The failure of a command that was cancelled from outside.
class TCancelled : public Exception {
public:
    TCancelled() : Exception(Cp1251("Прервано")) {}
};

} // namespace dravik
