#pragma once

#include "base/Cancellation.h"
#include "base/PortResolver.h"
#include "link/SerialPorts.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace dravik {

// What one device told when it was asked whether the controller is on it. Texts: Windows-1251.
struct TProbeResult {
    std::string Device;
    int32_t Number = -1;   // the COM number it was probed as, whose link log has the block
    bool Probed = false;   // false: skipped, or the search was cancelled first
    bool Answered = false; // the controller answered
    std::string Message;   // why it did not answer, or why it was skipped
};

// One read of the enable mask at the controller's address, 19200 8N1, one attempt with the
// answer's usual timeout, on the device, logged as COM `number`. Failures become the Message.
TProbeResult ProbeController(const std::string& device, int32_t number,
                             const TCancellation* cancellation = nullptr);

// Called after each port of a search, with its place in the list.
using TProbeProgress = std::function<void(size_t index, const TProbeResult& result)>;

// Probes every free port of the list in turn, one result per port in the list's order. A port
// without a COM number is probed as the next number the map leaves free from 97 up, the number
// the connection dialog would give it. Held ports and ports without access are skipped; after a
// cancellation the rest are skipped too.
std::vector<TProbeResult> ScanForController(const std::vector<TSerialPort>& ports,
                                            const TPortResolver& resolver,
                                            const TCancellation* cancellation = nullptr,
                                            const TProbeProgress& progress = {});

} // namespace dravik
