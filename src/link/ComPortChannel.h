#pragma once

#include "base/Cancellation.h"
#include "link/LinkLog.h"
#include "link/OperationStatus.h"
#include "link/PortResolver.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <termios.h>

namespace dravik {

// Bits of TDcb::Flags, laid out like the platform record's flag word.
constexpr uint32_t DcbBinary = 1u << 0;
constexpr uint32_t DcbParity = 1u << 1; // check the parity of received bytes
constexpr uint32_t DcbOutxCtsFlow = 1u << 2;
constexpr uint32_t DcbOutxDsrFlow = 1u << 3;
constexpr uint32_t DcbDtrControlShift = 4; // two bits, a DcbControl value
constexpr uint32_t DcbDtrControlMask = 3u << DcbDtrControlShift;
constexpr uint32_t DcbDsrSensitivity = 1u << 6;
constexpr uint32_t DcbTxContinueOnXoff = 1u << 7;
constexpr uint32_t DcbOutX = 1u << 8;
constexpr uint32_t DcbInX = 1u << 9;
constexpr uint32_t DcbErrorChar = 1u << 10;
constexpr uint32_t DcbNull = 1u << 11;
constexpr uint32_t DcbRtsControlShift = 12; // two bits, a DcbControl value
constexpr uint32_t DcbRtsControlMask = 3u << DcbRtsControlShift;
constexpr uint32_t DcbAbortOnError = 1u << 14;

// Values of the DTR and RTS control fields.
constexpr uint32_t DcbControlDisable = 0;
constexpr uint32_t DcbControlEnable = 1;
constexpr uint32_t DcbControlHandshake = 2;
constexpr uint32_t DcbControlToggle = 3; // RTS only

struct TDcb {
    TDcb(); // all zero but DCBlength
    uint32_t DCBlength;
    uint32_t BaudRate;
    uint32_t Flags;
    uint8_t ByteSize;
    uint8_t Parity;   // 0 none, 1 odd, 2 even (others rejected)
    uint8_t StopBits; // 0 one, 2 two (1.5 rejected)
};

// One COM port for exclusive use: opens the device that the resolver names for the port number
// with the settings of Dcb, moves bytes with an inactivity timeout, and keeps the port's link log
// "port<N>.log". A failed operation is recorded in Status() and raised by the next Read or Write.
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
    int OpenDevice(); // the system error code, 0 when the device is open and set up
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
