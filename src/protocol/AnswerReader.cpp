#include "protocol/AnswerReader.h"

#include <algorithm>

namespace dravik {

TAnswerReader::TAnswerReader(TComPortChannel& channel, uint32_t timeout)
    : Channel(channel), Timeout(timeout) {
}

bool TAnswerReader::SkipEcho(const uint8_t* sent, int32_t size) {
    KeptCount = 0;
    KeptTaken = 0;
    size = std::min(size, MaxFrame);
    // Byte by byte, so that a real answer that only begins like the request is never read past
    // its end while the copy is still being waited for.
    while (KeptCount < size) {
        int32_t got = 0;
        uint8_t& byte = Kept[static_cast<size_t>(KeptCount)];
        if (!Channel.Read(&byte, 1, got, Timeout, true)) {
            Silent = true;
            return false;
        }
        ++KeptCount;
        if (byte != sent[KeptCount - 1]) {
            return false;
        }
    }
    KeptCount = 0;
    return true;
}

bool TAnswerReader::Read(uint8_t* into, int32_t count, int32_t& received) {
    const int32_t fromKept = std::min(count, KeptCount - KeptTaken);
    std::copy_n(Kept.begin() + KeptTaken, fromKept, into);
    KeptTaken += fromKept;
    received = fromKept;
    if (received == count) {
        return true;
    }
    if (Silent) {
        return false;
    }
    int32_t more = 0;
    const bool all = Channel.Read(into + received, count - received, more, Timeout, true);
    received += more;
    Silent = !all;
    return all;
}

} // namespace dravik
