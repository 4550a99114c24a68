#pragma once

#include "link/SerialDevice.h"

namespace dravik::bench {

// The real serial device, noting how late every read step that saw no byte woke up: a read ends
// by silence only after a series of such steps, so their lateness adds to every timeout.
class TStepLateness final : public SerialDevice {
public:
    int Poll(pollfd* fds, nfds_t count, int timeoutMs) override;

    void Reset();
    double LateMs() const { return Late; }
    int Steps() const { return QuietSteps; }

private:
    double Late = 0;
    int QuietSteps = 0;
};

} // namespace dravik::bench
