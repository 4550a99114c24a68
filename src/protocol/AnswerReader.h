#pragma once

#include "link/ComPortChannel.h"

#include <array>
#include <cstdint>

namespace dravik {

// Reads one answer from the channel for the terminal, past the echo that many two-wire
// adapters (and every loopback plug) return of each request: what comes back is compared with
// the frame just sent, a whole copy of it is dropped, and anything else is kept as the start of
// the answer. The channel logs every byte it receives, the echo included.
class TAnswerReader {
public:
    static constexpr int32_t MaxFrame = 260; // the longest request frame, address and CRC included

    TAnswerReader(TComPortChannel& channel, uint32_t timeout);

    // Reads while the bytes equal sent[0..size); true when a whole copy came and was dropped.
    bool SkipEcho(const uint8_t* sent, int32_t size);

    // Like TComPortChannel::Read: the bytes kept by SkipEcho come first. Once the line has been
    // silent for the timeout, nothing more is waited for.
    bool Read(uint8_t* into, int32_t count, int32_t& received);

private:
    TComPortChannel& Channel;
    uint32_t Timeout;
    std::array<uint8_t, MaxFrame> Kept{};
    int32_t KeptCount = 0;
    int32_t KeptTaken = 0;
    bool Silent = false;
};

} // namespace dravik
