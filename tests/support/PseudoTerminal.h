#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dravik::test {

// The far end of a serial line for tests: a pseudo-terminal whose master side the test drives
// while the code under test opens SlavePath() like any serial device.
//
// The helper keeps its own descriptor of the slave open for its whole life, as a peer program
// that holds the line would; so the master never reads EIO between two openers of the slave, and
// an opener that leaves the line exclusive would lock out the next one. The slave starts in raw
// mode, so nothing is echoed or translated before the code under test sets the line up.
//
// Waiting is bounded by generous deadlines, never by short sleeps: a loaded machine makes the
// helper slower, not wrong.
class PseudoTerminal {
public:
    static constexpr int DefaultDeadlineMs = 5000;

    PseudoTerminal(); // throws std::runtime_error when no pseudo-terminal can be had
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    const std::string& SlavePath() const { return Path; }
    int MasterFd() const { return Master; }

    // Writes every byte to the master side, so that the slave side can read them.
    void Send(const std::vector<uint8_t>& bytes);
    void Send(const uint8_t* bytes, size_t count);

    // Reads from the master side what the slave side wrote: returns as soon as count bytes came,
    // or with fewer when the deadline passed.
    std::vector<uint8_t> Receive(size_t count, int deadlineMs = DefaultDeadlineMs);

    // What has arrived by now, without waiting.
    std::vector<uint8_t> Available();

    // Waits until the slave side has at least count unread bytes queued, so that a test knows
    // what sent bytes are there before the code under test looks; false when the deadline passed.
    bool AwaitQueuedAtSlave(size_t count, int deadlineMs = DefaultDeadlineMs);

    // Closes the master side: the slave side is hung up, its reads and writes fail from now on.
    void HangUp();
    bool IsHungUp() const { return Master < 0; }

private:
    int Master = -1;
    int Slave = -1;
    std::string Path;
};

} // namespace dravik::test
