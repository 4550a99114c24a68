#include "protocol/ControllerProbe.h"

#include "base/Text.h"
#include "config/Settings.h"
#include "protocol/RegisterMap.h"
#include "protocol/Terminal.h"

namespace dravik {
namespace {

constexpr int32_t ProbeAttempts = 1; // a silent device costs one reply timeout, not five

// The number each port is probed as: its own lowest, else the next spare one; -1 when none is
// left.
std::vector<int32_t> ProbeNumbers(const std::vector<TSerialPort>& ports,
                                  const TPortResolver& resolver) {
    std::vector<int32_t> numbers;
    int32_t spare = FirstSparePort;
    for (const TSerialPort& port : ports) {
        if (!port.Numbers.empty()) {
            numbers.push_back(port.Numbers.front());
            continue;
        }
        const std::optional<int32_t> free = FreePortNumber(resolver, spare);
        numbers.push_back(free.value_or(-1));
        spare = free.value_or(spare) + 1;
    }
    return numbers;
}

} // namespace

TProbeResult ProbeController(const std::string& device, int32_t number,
                             const TCancellation* cancellation) {
    TProbeResult result;
    result.Device = device;
    result.Number = number;
    if (cancellation != nullptr && cancellation->IsCancelled()) {
        result.Message = TCancelled().message();
        return result;
    }
    result.Probed = true;
    TTerminal terminal;
    terminal.Port = static_cast<uint8_t>(number);
    terminal.Resolver = [device](int32_t) { return device; };
    terminal.Attempts = ProbeAttempts;
    terminal.Cancellation = cancellation;
    try {
        uint16_t mask = 0;
        terminal.ReadRegisters(MaskRegister, 1, &mask);
        result.Answered = true;
    } catch (const Exception& e) {
        result.Message = e.message();
    }
    terminal.Disconnect();
    return result;
}

std::vector<TProbeResult> ScanForController(const std::vector<TSerialPort>& ports,
                                            const TPortResolver& resolver,
                                            const TCancellation* cancellation,
                                            const TProbeProgress& progress) {
    const std::vector<int32_t> numbers = ProbeNumbers(ports, resolver);
    std::vector<TProbeResult> results;
    for (size_t i = 0; i < ports.size(); ++i) {
        const TSerialPort& port = ports[i];
        TProbeResult result;
        result.Device = port.Device;
        result.Number = numbers[i];
        if (port.State != TPortState::Free) {
            result.Message = PortStateText(port);
        } else if (numbers[i] < 0) {
            result.Message = Cp1251("нет свободного номера");
        } else {
            result = ProbeController(port.Device, numbers[i], cancellation);
        }
        results.push_back(result);
        if (progress) {
            progress(i, result);
        }
    }
    return results;
}

} // namespace dravik
