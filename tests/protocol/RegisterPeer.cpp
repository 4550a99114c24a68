#include "RegisterPeer.h"

#include <chrono>

namespace dravik::test {
namespace {

constexpr uint8_t Address = 32;
constexpr uint8_t ReadFunction = 0x03;
constexpr uint8_t WriteFunction = 0x10;
constexpr uint8_t IllegalAddress = 0x02;
constexpr uint8_t ExceptionBit = 0x80;
constexpr int PollMs = 50; // how soon the peer notices Stop while the line is quiet
constexpr auto HeldDeadline = std::chrono::milliseconds(PseudoTerminal::DefaultDeadlineMs);

uint16_t Word(const TBytes& bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

void PutWord(TBytes& bytes, uint16_t value) {
    bytes.push_back(static_cast<uint8_t>(value >> 8));
    bytes.push_back(static_cast<uint8_t>(value & 0xFF));
}

} // namespace

TRegisterPeer::TRegisterPeer(PseudoTerminal& line, std::array<uint16_t, RegisterCount> registers,
                             TPeerFault fault)
    : Line(line), Memory(registers), Fault(std::move(fault)), Worker([this] { Serve(); }) {
}

TRegisterPeer::~TRegisterPeer() {
    Stop();
}

void TRegisterPeer::Stop() {
    Stopping = true;
    if (Worker.joinable()) {
        Worker.join();
    }
}

bool TRegisterPeer::DeliverLate() {
    TBytes bytes;
    {
        std::unique_lock lock(HeldLock);
        if (!HeldChanged.wait_for(lock, HeldDeadline, [this] { return !Held.empty(); })) {
            return false;
        }
        bytes = std::move(Held.front());
        Held.pop_front();
    }
    Line.Send(bytes);
    return Line.AwaitQueuedAtSlave(bytes.size());
}

bool TRegisterPeer::Receive(size_t count, TBytes& into) {
    size_t got = 0;
    while (got < count) {
        if (Stopping || Line.IsHungUp()) {
            return false;
        }
        const TBytes chunk = Line.Receive(count - got, PollMs);
        into.insert(into.end(), chunk.begin(), chunk.end());
        got += chunk.size();
    }
    return true;
}

bool TRegisterPeer::ReceiveRequest(TBytes& request) {
    // Address and function, then what the function says follows, the CRC included.
    if (!Receive(2, request)) {
        return false;
    }
    if (request[1] != WriteFunction) {
        return Receive(6, request);
    }
    return Receive(5, request) && Receive(static_cast<size_t>(request[6]) + 2, request);
}

TBytes TRegisterPeer::Answer(const TBytes& request) {
    const uint8_t function = request[1];
    const size_t start = Word(request, 2);
    const size_t count = Word(request, 4);
    if ((function != ReadFunction && function != WriteFunction) || start + count > RegisterCount) {
        return Framed({Address, static_cast<uint8_t>(function | ExceptionBit), IllegalAddress});
    }
    TBytes answer = {Address, function};
    if (function == ReadFunction) {
        answer.push_back(static_cast<uint8_t>(2 * count));
        for (size_t i = 0; i < count; ++i) {
            PutWord(answer, Memory[start + i]);
        }
        return Framed(answer);
    }
    for (size_t i = 0; i < count; ++i) {
        Memory[start + i] = Word(request, 7 + 2 * i);
    }
    PutWord(answer, static_cast<uint16_t>(start));
    PutWord(answer, static_cast<uint16_t>(count));
    return Framed(answer);
}

void TRegisterPeer::Serve() {
    for (size_t index = 0;; ++index) {
        TBytes request;
        if (!ReceiveRequest(request)) {
            return;
        }
        Seen.push_back(request);
        const TBytes answer = Answer(request);
        const TPeerReply reply = Fault ? Fault(index, answer) : TPeerReply{answer};
        Handled = index + 1;
        if (reply.Late) {
            std::lock_guard lock(HeldLock);
            Held.push_back(reply.Bytes);
            HeldChanged.notify_all();
            continue;
        }
        if (!reply.Bytes.empty()) {
            Line.Send(reply.Bytes);
        }
        if (reply.HangUp) {
            Line.HangUp();
            return;
        }
    }
}

} // namespace dravik::test
