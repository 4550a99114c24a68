// A controller that answers with arbitrary bytes, late, in pieces or not at all, or hangs up:
// every exchange returns or fails with the program's message, the port is closed after every
// transfer, and an exchange that succeeds was answered by a frame with a valid CRC, whose values
// a register read returns.
//
// Input: one byte choosing the operation, then answers, one per request, each as a mode byte, a
// length byte and that many bytes. Mode bits 0-2: delay in steps of 100 ms (from 600 ms on the
// answer comes after the reply timeout); bits 3-4: the bytes per read (all, 1, 2, 5); bit 5: the
// line hangs up once the answer is out; bit 6: a valid CRC is appended; bit 7: the slave address
// is put in front.
#include "AnsweringLine.h"
#include "base/Exception.h"
#include "base/FileSystem.h"
#include "protocol/ModbusPdu.h"
#include "protocol/Terminal.h"
#include "support/Frames.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

using namespace dravik;
using fuzz::TAnswer;
using fuzz::TAnsweringLine;
using test::Framed;

namespace {

constexpr uint32_t DelayStepMs = 100;
constexpr uint8_t DelayMask = 0x07;
constexpr int PieceShift = 3;
constexpr uint8_t PieceMask = 0x03;
constexpr size_t Pieces[] = {0, 1, 2, 5};
constexpr uint8_t HangUpBit = 0x20;
constexpr uint8_t CrcBit = 0x40;
constexpr uint8_t AddressBit = 0x80;
constexpr int32_t OneRegister = 32; // the mask register, read alone
// No run makes more requests: three exchanges of five attempts; later bytes are never answers.
constexpr size_t MostAnswers = 15;

// The link log as a plain file that swallows every line, so that logging runs at memory speed.
class TDiscardingLog : public FileSystem {
public:
    static constexpr int LogFd = 2000;

    int Open(const char*, int, mode_t) override { return LogFd; }
    ssize_t Write(int, const void*, size_t size) override { return static_cast<ssize_t>(size); }
    int Close(int) override { return 0; }
    int Lock(int, int) override { return 0; }
    int Stat(int, struct stat* info) override {
        *info = {};
        info->st_mode = S_IFREG;
        return 0;
    }
};

std::deque<TAnswer> Answers(const uint8_t* data, size_t size) {
    std::deque<TAnswer> answers;
    size_t at = 0;
    while (at + 2 <= size && answers.size() < MostAnswers) {
        const uint8_t mode = data[at];
        const size_t length = std::min<size_t>(data[at + 1], size - at - 2);
        at += 2;
        TAnswer answer;
        if ((mode & AddressBit) != 0) {
            answer.Bytes.push_back(TTerminal::SlaveAddress);
        }
        answer.Bytes.insert(answer.Bytes.end(), data + at, data + at + length);
        at += length;
        if ((mode & CrcBit) != 0) {
            answer.Bytes = Framed(std::move(answer.Bytes));
        }
        answer.DelayMs = (mode & DelayMask) * DelayStepMs;
        answer.Piece = Pieces[mode >> PieceShift & PieceMask];
        answer.HangUpAfter = (mode & HangUpBit) != 0;
        answers.push_back(std::move(answer));
    }
    return answers;
}

// The frame of a successful exchange: the slave's address, a PDU, and the CRC of both; a read's
// holds at least a whole answer of count registers and carries the values read.
void CheckFrame(const std::vector<uint8_t>& frame, const uint16_t* values, size_t count) {
    const size_t size = frame.size();
    if (size < 4 || frame[0] != TTerminal::SlaveAddress) {
        std::abort();
    }
    if (FrameCrc(frame[0], frame.data() + 1, size - 3) !=
        (frame[size - 2] | frame[size - 1] << 8)) {
        std::abort();
    }
    if (count == 0) {
        return; // a write's echo: nothing of it is kept
    }
    if (size < 2 * count + 5) {
        std::abort(); // a read succeeds only on a whole answer (a function-0x41 one may be longer)
    }
    for (size_t i = 0; i < count; ++i) {
        if (values[i] != (frame[3 + 2 * i] << 8 | frame[4 + 2 * i])) {
            std::abort();
        }
    }
}

TTerminalConfig WrittenConfig() {
    TTerminalConfig config;
    config.Tanks[0] = {1, 10, 50, 90};
    config.Tanks[15] = {1, 20, 30, 40};
    config.Script.Add(" 04 01 02");
    config.Script.Add(" 03 01 02 03 04");
    config.Script.Add(" 00");
    return config;
}

void Run(uint8_t operation, TTerminal& terminal, const TAnsweringLine& line) {
    std::array<uint16_t, RegisterBlockSize> words{};
    TTerminalConfig config;
    switch (operation % 5) {
    case 0:
        terminal.ReadRegisters(OneRegister, 1, words.data());
        CheckFrame(line.LastAttempt(), words.data(), 1);
        break;
    case 1:
        terminal.ReadRegisters(256, RegisterBlockSize, words.data());
        CheckFrame(line.LastAttempt(), words.data(), RegisterBlockSize);
        break;
    case 2:
        terminal.WriteRegisters(36, 32, words.data());
        CheckFrame(line.LastAttempt(), words.data(), 0);
        break;
    case 3:
        terminal.ReadConfig(config);
        break;
    default:
        terminal.WriteConfig(WrittenConfig());
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    TAnsweringLine line;
    line.Answers = Answers(data + 1, size - 1);
    TDiscardingLog log;
    ScopedSerialDevice device(line);
    ScopedClock clock(line);
    ScopedFileSystem files(log);
    {
        TTerminal terminal;
        terminal.Resolver = FixedDevice("fuzz-line");
        const bool transfer = data[0] % 5 >= 3;
        try {
            Run(data[0], terminal, line);
        } catch (const Exception&) {
            // every failure is one of the program's messages; anything else escapes and crashes
        }
        // A transfer closes the port whatever its outcome.
        if (transfer && (terminal.IsConnected() || line.IsOpen())) {
            std::abort();
        }
    }
    if (line.IsOpen()) {
        std::abort();
    }
    return 0;
}
