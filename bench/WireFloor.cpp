#include "WireFloor.h"

#include "protocol/RegisterMap.h"

namespace dravik::bench {
namespace {

constexpr double BitsPerByte = 10; // start, eight data bits, stop
constexpr double ByteMs = BitsPerByte * 1000 / LineBaud;
constexpr int ReplyTimeoutMs = 500;
constexpr int Attempts = 5;
constexpr int RetryPauseMs = 100;
constexpr int Exchanges = 3;

// Address, function, start, count and CRC; a write adds its byte count and the values.
constexpr int ReadRequestBytes = 8;
constexpr int WriteRequestBytes = 9;
// Address, function, byte count and CRC around the values; a write's echo is as long as a read
// request.
constexpr int ReadAnswerBytes = 5;
constexpr int WriteAnswerBytes = 8;

int ReadBytes(int registers) {
    return ReadRequestBytes + ReadAnswerBytes + 2 * registers;
}

int WriteBytes(int registers) {
    return WriteRequestBytes + 2 * registers + WriteAnswerBytes;
}

std::string Times(int count, int ms) {
    return std::to_string(count) + " × " + std::to_string(ms);
}

} // namespace

TFloor ReadFloor() {
    const int bytes = ReadBytes(1) + ReadBytes(ThresholdCount) + ReadBytes(ScriptRegisterCount);
    return {bytes * ByteMs + Exchanges * TurnaroundMs,
            std::to_string(bytes) + " bytes + " + Times(Exchanges, TurnaroundMs) + " ms"};
}

TFloor WriteFloor(int scriptRegisters) {
    const bool script = scriptRegisters > 0;
    const int writes = script ? Exchanges : Exchanges - 1;
    const int writeBytes =
        WriteBytes(1) + WriteBytes(ThresholdCount) + (script ? WriteBytes(scriptRegisters) : 0);
    // The read-backs of the same registers, which end by their length, not by silence.
    const int readBytes =
        ReadBytes(1) + ReadBytes(ThresholdCount) + (script ? ReadBytes(scriptRegisters) : 0);
    const int bytes = writeBytes + readBytes;
    return {bytes * ByteMs + 2 * writes * TurnaroundMs + writes * ReplyTimeoutMs,
            std::to_string(bytes) + " bytes + " + Times(2 * writes, TurnaroundMs) + " + " +
                Times(writes, ReplyTimeoutMs) + " ms"};
}

TFloor SilentFloor() {
    return {static_cast<double>(Attempts * ReplyTimeoutMs + (Attempts - 1) * RetryPauseMs),
            Times(Attempts, ReplyTimeoutMs) + " + " + Times(Attempts - 1, RetryPauseMs) + " ms"};
}

} // namespace dravik::bench
