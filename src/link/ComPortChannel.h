#pragma once

#include "link/LinkLog.h"
#include "link/OperationStatus.h"
#include "link/PortResolver.h"

#include <cstdint>
#include <mutex>
#include <string>

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
class TComPortChannel {
public:
    TComPortChannel(int32_t portNumber, bool withLog, TPortResolver resolver);
    virtual ~TComPortChannel();
    TComPortChannel(const TComPortChannel&) = delete;
    TComPortChannel& operator=(const TComPortChannel&) = delete;

    TDcb Dcb;

    void Open();
    void Close(const std::string& operation, int32_t errorCode);
    bool Read(uint8_t* buffer, int32_t count, int32_t& received, uint32_t timeout, bool hex);
    bool Write(const uint8_t* buffer, int32_t count, bool hex);
    void Purge();
    void Check(bool condition);
    void Log(const std::string& text, LogEntryKind kind, const std::string& data, bool flush);
    void FlushLog();

    const TOperationStatus& Status() const;
    int32_t PortNumber() const;

private:
    int OpenDevice(); // the system error code, 0 when the device is open and set up

    TOperationStatus CurrentStatus;
    int32_t Number;
    int Handle = -1; // the open device, or -1 while the port is closed
    TPortResolver Resolver;
    std::recursive_mutex PortLock; // always taken before the log's own lock
    TLinkLog LinkLog;
};

} // namespace dravik
