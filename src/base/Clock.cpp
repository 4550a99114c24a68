#include "base/Clock.h"

#include <cerrno>
#include <ctime>
#include <time.h>

namespace dravik {
namespace {

class TSystemClock final : public Clock {
public:
    uint32_t TickCount() override {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        const uint64_t ms =
            static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
        return static_cast<uint32_t>(ms);
    }

    LocalTime Now() override {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        tm local{};
        localtime_r(&ts.tv_sec, &local);
        return LocalTime{local.tm_year + 1900,
                         local.tm_mon + 1,
                         local.tm_mday,
                         local.tm_hour,
                         local.tm_min,
                         local.tm_sec,
                         static_cast<int>(ts.tv_nsec / 1000000)};
    }

    void Sleep(uint32_t milliseconds) override {
        timespec left{static_cast<time_t>(milliseconds / 1000),
                      static_cast<long>(milliseconds % 1000) * 1000000L};
        while (nanosleep(&left, &left) != 0 && errno == EINTR) {
        }
    }
};

Clock* Installed = nullptr;

} // namespace

Clock& SystemClock() {
    static TSystemClock clock;
    return clock;
}

Clock& CurrentClock() {
    return Installed != nullptr ? *Installed : SystemClock();
}

ScopedClock::ScopedClock(Clock& clock) : Previous(Installed) {
    Installed = &clock;
}

ScopedClock::~ScopedClock() {
    Installed = Previous;
}

} // namespace dravik
