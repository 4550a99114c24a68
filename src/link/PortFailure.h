#pragma once

#include "base/Exception.h"

#include <cstdint>
#include <string>

namespace dravik {

// A port that did not open, or that failed under a transfer: the message is the channel's own
// "COM%d: %s", and the cause travels beside it so that what to do about it is chosen by the errno,
// never by reading the text (which is in the user's language).
class TPortFailure : public Exception {
public:
    TPortFailure(std::string message, int32_t port, std::string device, int error)
        : Exception(std::move(message)), Port(port), Device(std::move(device)), Error(error) {}

    int32_t PortNumber() const noexcept { return Port; }
    // The path the port map gave for the number; empty when it gave none.
    const std::string& DevicePath() const noexcept { return Device; }
    int SystemError() const noexcept { return Error; }

private:
    int32_t Port;
    std::string Device;
    int Error;
};

} // namespace dravik
