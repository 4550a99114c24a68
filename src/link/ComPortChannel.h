#pragma once
// INTERFACE CONTRACT (written before the implementation; the implementer may add members and
// private parts but keeps these names and signatures, which the protocol layer uses).

#include "link/OperationStatus.h"
#include "link/PortResolver.h"

#include <cstdint>
#include <mutex>
#include <string>

namespace dravik {

// Bits of TDcb::Flags, laid out like the platform record's flag word.
constexpr uint32_t DcbBinary = 1u << 0;
constexpr uint32_t DcbParity = 1u << 1;
// ... the implementer adds the flow-control and DTR/RTS fields

struct TDcb {
    TDcb(); // all zero but DCBlength
    uint32_t DCBlength;
    uint32_t BaudRate;
    uint32_t Flags;
    uint8_t ByteSize;
    uint8_t Parity;   // 0 none, 1 odd, 2 even (others rejected)
    uint8_t StopBits; // 0 one, 2 two (1.5 rejected)
};

class TComPortChannel {
public:
    TComPortChannel(int32_t portNumber, bool withLog, TPortResolver resolver);
    virtual ~TComPortChannel();

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
};

} // namespace dravik
