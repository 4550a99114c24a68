#include "StepLateness.h"

#include <chrono>

namespace dravik::bench {

int TStepLateness::Poll(pollfd* fds, nfds_t count, int timeoutMs) {
    const auto start = std::chrono::steady_clock::now();
    const int ready = SerialDevice::Poll(fds, count, timeoutMs);
    if (ready == 0) {
        const double waited =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        Late += waited - timeoutMs;
        ++QuietSteps;
    }
    return ready;
}

void TStepLateness::Reset() {
    Late = 0;
    QuietSteps = 0;
}

} // namespace dravik::bench
