#include "RequestFraming.h"

#include <poll.h>
#include <time.h>
#include <unistd.h>

namespace sim {
namespace {

constexpr int PollStepMs = 100;    // how often the loop looks at the stop flag
constexpr int FrameSilenceMs = 20; // ends a request whose length its function does not give

} // namespace

int64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

int RequestLength(const Bytes& frame) {
    if (frame.size() < 2) {
        return 0;
    }
    switch (frame[1]) {
    case ReadCoils:
    case ReadDiscreteInputs:
    case ReadHolding:
    case ReadInputs:
    case WriteSingleCoil:
    case WriteSingle:
        return 8;
    case WriteCoils:
    case WriteMultiple:
        return frame.size() < 7 ? 0 : 9 + frame[6];
    default:
        return -1;
    }
}

Bytes ReceiveFrame(int fd, int64_t& firstByteNs) {
    Bytes frame;
    int waitMs = PollStepMs;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, waitMs);
        if (ready <= 0 || (p.revents & POLLIN) == 0) {
            return frame; // silence ends the frame, or there is none
        }
        uint8_t buffer[512];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            return frame;
        }
        if (frame.empty()) {
            firstByteNs = NowNs();
        }
        frame.insert(frame.end(), buffer, buffer + n);
        const int length = RequestLength(frame);
        if (length > 0 && frame.size() >= static_cast<size_t>(length)) {
            frame.resize(
                static_cast<size_t>(length)); // more is the start of a later frame: dropped
            return frame;
        }
        waitMs = FrameSilenceMs;
    }
}

} // namespace sim
