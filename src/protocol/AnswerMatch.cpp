#include "protocol/AnswerMatch.h"

#include <algorithm>

namespace dravik {
namespace {

constexpr uint8_t FunctionReadRegisters = 0x03;
constexpr uint8_t FunctionWriteRegisters = 0x10;
constexpr uint8_t ExceptionBit = 0x80;
constexpr int32_t ExceptionSize = 2;    // function, code
constexpr int32_t StartAndCountEnd = 5; // function, start (2), count (2)

int32_t Word(const TModbusPdu& pdu, size_t at) {
    return pdu.Buffer[at] << 8 | pdu.Buffer[at + 1];
}

bool ReadAnswerMatches(const TModbusPdu& request, const TModbusPdu& answer) {
    const int32_t dataBytes = 2 * Word(request, 3);
    return answer.Size == dataBytes + 2 && answer.Buffer[1] == dataBytes;
}

bool WriteAnswerMatches(const TModbusPdu& request, const TModbusPdu& answer) {
    return answer.Size == StartAndCountEnd &&
           std::equal(request.Buffer.begin() + 1, request.Buffer.begin() + StartAndCountEnd,
                      answer.Buffer.begin() + 1);
}

} // namespace

bool AnswerMatches(const TModbusPdu& request, const TModbusPdu& answer) {
    if (request.Size < StartAndCountEnd || answer.Size < 1) {
        return false;
    }
    const uint8_t function = request.Buffer[0];
    const uint8_t answered = answer.Buffer[0];
    if (answered == (function | ExceptionBit)) {
        return answer.Size == ExceptionSize;
    }
    if (answered != function) {
        return false;
    }
    switch (function) {
    case FunctionReadRegisters:
        return ReadAnswerMatches(request, answer);
    case FunctionWriteRegisters:
        return WriteAnswerMatches(request, answer);
    default:
        return true; // no other function is ever asked
    }
}

} // namespace dravik
