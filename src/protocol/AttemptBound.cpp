#include "protocol/AttemptBound.h"

namespace dravik {
namespace {

constexpr uint8_t FunctionReadRegisters = 0x03;
constexpr uint8_t FunctionWriteRegisters = 0x10;
constexpr int32_t WriteAnswerLength = 8;     // address, function, start, count, CRC
constexpr int32_t ReadAnswerOverhead = 5;    // address, function, byte count, CRC
constexpr int32_t UnsizedAnswerLength = 253; // the cap of an answer whose length is not given
constexpr int32_t FrameOverhead = 3;         // address and CRC around a PDU
constexpr int32_t LineBaud = 19200;
constexpr int32_t BitsPerByte = 10; // start, eight data bits, stop
constexpr int32_t MarginTimeouts = 2;

int32_t WireMs(int32_t bytes) {
    return (bytes * BitsPerByte * 1000 + LineBaud - 1) / LineBaud;
}

// The whole frame of a normal answer to the request (address and CRC included).
int32_t AnswerFrameLength(const TModbusPdu& request) {
    switch (request.Size > 0 ? request.Buffer[0] : 0) {
    case FunctionReadRegisters:
        return 2 * (request.Buffer[3] << 8 | request.Buffer[4]) + ReadAnswerOverhead;
    case FunctionWriteRegisters:
        return WriteAnswerLength;
    default:
        return UnsizedAnswerLength;
    }
}

} // namespace

uint32_t AttemptBound(const TModbusPdu& request, int32_t replyTimeout) {
    const int32_t echo = request.Size + FrameOverhead;
    const int32_t wire = WireMs(echo + AnswerFrameLength(request));
    return static_cast<uint32_t>(replyTimeout + wire + MarginTimeouts * replyTimeout);
}

} // namespace dravik
