#pragma once

#include "ModbusSlave.h"
#include "Options.h"
#include "PseudoLine.h"
#include "RegisterState.h"
#include "RtuFrame.h"

#include <csignal>
#include <cstddef>
#include <cstdint>

namespace sim {

// Set by SIGINT or SIGTERM: the serving loop and every pause end on it.
extern volatile sig_atomic_t StopRequested;

// The controller on its line: hears requests, has libmodbus answer them, spoils, delays or
// drops the answers as the faults say, and keeps the registers in the state file.
class Controller {
public:
    explicit Controller(Options options);

    // Until StopRequested.
    void Serve();

private:
    RegisterState LoadState();
    void SaveState();
    const Fault* Find(FaultKind kind) const;
    void Handle(const Bytes& frame, int64_t firstByteNs);
    Bytes Answer(const Bytes& query);
    void Spoil(Bytes& answer) const;
    void Send(const Bytes& answer, size_t requestLength, int64_t firstByteNs);
    void WriteAll(const uint8_t* bytes, size_t count);

    Options Opts;
    RegisterState State;
    ModbusSlave Slave;
    Line Wire;
    int Requests = 0;
    bool HungUp = false;
};

} // namespace sim
