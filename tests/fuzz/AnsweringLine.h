#pragma once

#include "base/Clock.h"
#include "link/SerialDevice.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace dravik::fuzz {

// One answer of the controller: its bytes, how long after the request they start to arrive, in
// pieces of how many bytes per read, and whether the line goes dead once they are out.
struct TAnswer {
    std::vector<uint8_t> Bytes;
    uint32_t DelayMs = 0;
    size_t Piece = 0; // 0: as many as the reader asks for
    bool HangUpAfter = false;
};

// A serial line and its clock in one: the controller at the far end takes the next answer for
// every request the master writes, and time moves only while the master waits for bytes (a
// read request's worth per empty poll) or sleeps. No device is touched and no real time passes.
class TAnsweringLine : public SerialDevice, public Clock {
public:
    static constexpr int LineFd = 1000; // never a real descriptor: every call lands here

    std::deque<TAnswer> Answers; // taken one per request; none left is a silent controller

    // The bytes the master read between its last two discards of the input (or the discard and
    // the closing of the port): after an exchange, those of its last attempt.
    const std::vector<uint8_t>& LastAttempt() const { return Finished; }
    bool IsOpen() const { return Opened; }

    uint32_t TickCount() override { return Tick; }
    LocalTime Now() override { return LocalTime{2024, 12, 9, 14, 5, 30, 982}; }
    void Sleep(uint32_t milliseconds) override { Tick += milliseconds; }

    int Open(const char* path, int flags) override;
    int Control(int fd, unsigned long request, void* argument) override;
    int Lock(int fd, int operation) override;
    int GetAttributes(int fd, termios* attributes) override;
    int SetAttributes(int fd, int when, const termios* attributes) override;
    int Flush(int fd, int queue) override;
    int Drain(int) override { return 0; } // what is written is on the line at once
    int Poll(pollfd* fds, nfds_t count, int timeoutMs) override;
    ssize_t Read(int fd, void* data, size_t size) override;
    ssize_t Write(int fd, const void* data, size_t size) override;
    int Close(int fd) override;

private:
    struct TInFlight {
        uint32_t ArrivalTick;
        std::vector<uint8_t> Bytes;
        size_t Piece;
    };

    bool Refuse(int fd); // true, with errno set, for a call on anything but the open line
    void TakeAnswer();
    void Arrive();
    void EndAttempt();

    uint32_t Tick = 0;
    bool Opened = false;
    bool HungUp = false;
    bool RequestPending = false;
    bool HangUpWhenDelivered = false;
    termios Attributes{};
    std::deque<TInFlight> InFlight;
    std::vector<uint8_t> Received; // arrived at the port, not yet read
    size_t Piece = 0;              // of the bytes arrived last
    std::vector<uint8_t> Current;
    std::vector<uint8_t> Finished;
};

} // namespace dravik::fuzz
