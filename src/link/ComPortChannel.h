#pragma once

#include "base/Cancellation.h"
#include "base/PortResolver.h"
#include "link/LineSettings.h"
#include "link/LinkLog.h"
#include "link/OperationStatus.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <termios.h>

namespace dravik {

// One COM port for exclusive use: opens the device that the resolver names for the port number
// with the settings of Dcb, moves bytes with an inactivity timeout, and keeps the port's link log
// "port<N>.log". A failed operation is recorded in Status() and raised by the next Read or Write,
// as a TPortFailure that carries the errno and the device.
// The terminal's own settings are saved at open and put back at close.
class TComPortChannel {
public:
    TComPortChannel(int32_t portNumber, bool withLog, TPortResolver resolver);
    virtual ~TComPortChannel();
    TComPortChannel(const TComPortChannel&) = delete;
    TComPortChannel& operator=(const TComPortChannel&) = delete;

    TDcb Dcb;
    // Looked at on every wake-up of a read; set by the owner before the exchanges, or none.
    const TCancellation* Cancellation = nullptr;

    void Open();
    void Close(const std::string& operation, int32_t errorCode);
    bool Read(uint8_t* buffer, int32_t count, int32_t& received, uint32_t timeout, bool hex);
    bool Write(const uint8_t* buffer, int32_t count, bool hex);
    // Waits until everything written has left the line; a failure closes the port like a
    // failed write.
    void Drain();
    // Every read from now on ends at the latest milliseconds after this call, until the next
    // call; 0 lifts the limit.
    void LimitReads(uint32_t milliseconds);
    // When the command has been cancelled: logs that the user interrupted it and raises
    // TCancelled. A read that sees the flag stops, logs what came, and raises the same way.
    void CheckCancelled();
    void Purge();
    void Check(bool condition);
    void Log(const std::string& text, LogEntryKind kind, const std::string& data, bool flush);
    void FlushLog();

    const TOperationStatus& Status() const;
    int32_t PortNumber() const;

private:
    int OpenDevice();               // the system error code, 0 when the device is open and set up
    std::string DevicePath() const; // what the resolver names for the number, or empty
    // How long a read request may still wait under the limit of LimitReads: 0 once it is over.
    int LimitLeft(uint32_t now) const;

    TOperationStatus CurrentStatus;
    int32_t Number;
    int Handle = -1;                      // the open device, or -1 while the port is closed
    std::optional<termios> SavedSettings; // the terminal's settings as the open found them
    uint32_t LimitStart = 0;
    uint32_t LimitSpan = 0; // 0: reads end by their inactivity timeout only
    TPortResolver Resolver;
    std::recursive_mutex PortLock; // always taken before the log's own lock
    TLinkLog LinkLog;
};

} // namespace dravik
