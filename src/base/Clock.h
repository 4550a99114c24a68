#pragma once

#include <cstdint>

namespace dravik {

struct LocalTime {
    int Year = 0; // four digits
    int Month = 0;
    int Day = 0;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Millisecond = 0;
};

// The one seam to time: the millisecond tick counter (32 bits, wrapping like the controller
// tools expect), the local wall-clock time, and sleeping. Tests install their own.
class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t TickCount() = 0;
    virtual LocalTime Now() = 0;
    virtual void Sleep(uint32_t milliseconds) = 0;
};

// The real clock: ticks from the monotonic clock, local time from the system.
Clock& SystemClock();

// The clock every component uses unless given another; tests swap it with ScopedClock.
Clock& CurrentClock();

class ScopedClock {
public:
    explicit ScopedClock(Clock& clock);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    Clock* Previous;
};

} // namespace dravik
