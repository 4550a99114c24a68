#pragma once

#include "support/Frames.h"
#include "support/PseudoTerminal.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace dravik::test {

using TBytes = std::vector<uint8_t>;

// What the controller does with one request instead of its proper answer.
struct TPeerReply {
    TBytes Bytes;        // sent at once; empty: nothing is sent
    bool Late = false;   // Bytes are held back until DeliverLate
    bool HangUp = false; // the line is hung up after Bytes
};

// Decides the reply to the request with this number (0 for the first) given the proper answer.
using TPeerFault = std::function<TPeerReply(size_t request, const TBytes& answer)>;

// A controller at slave address 32 on the far end of a pseudo-terminal: it reads function-3 and
// function-16 requests off the line and answers them from its holding registers, unless the
// fault says otherwise. It runs on its own thread from construction until it is destroyed, the
// line is hung up, or the master stops sending.
class TRegisterPeer {
public:
    static constexpr size_t RegisterCount = 512;

    TRegisterPeer(PseudoTerminal& line, std::array<uint16_t, RegisterCount> registers,
                  TPeerFault fault = nullptr);
    ~TRegisterPeer();
    TRegisterPeer(const TRegisterPeer&) = delete;
    TRegisterPeer& operator=(const TRegisterPeer&) = delete;

    // Sends the oldest held-back reply and returns once the master's side of the line holds
    // it, so that whatever the master does next meets those bytes; false when none came in time.
    bool DeliverLate();

    // Stops the peer; afterwards Requests(), Received() and Registers() may be read.
    void Stop();
    size_t Requests() const { return Handled; }
    const std::vector<TBytes>& Received() const { return Seen; }
    const std::array<uint16_t, RegisterCount>& Registers() const { return Memory; }

private:
    void Serve();
    bool Receive(size_t count, TBytes& into);
    bool ReceiveRequest(TBytes& request);
    TBytes Answer(const TBytes& request);

    PseudoTerminal& Line;
    std::array<uint16_t, RegisterCount> Memory;
    std::vector<TBytes> Seen; // every request, as it came
    TPeerFault Fault;
    std::atomic<bool> Stopping{false};
    std::atomic<size_t> Handled{0};
    std::mutex HeldLock;
    std::condition_variable HeldChanged;
    std::deque<TBytes> Held;
    std::thread Worker;
};

} // namespace dravik::test
