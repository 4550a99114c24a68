#pragma once

#include "protocol/ModbusPdu.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dravik::test {

// Bytes written as hex pairs one blank apart: "20 03 00 20".
inline std::vector<uint8_t> HexBytes(const std::string& hex) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size() + 1; i += 3) {
        out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

// A frame with its CRC appended, low byte first, as the line carries it. Its first byte stands
// for the address; an empty one gets the CRC of nothing.
inline std::vector<uint8_t> Framed(std::vector<uint8_t> frame) {
    const uint16_t crc =
        frame.empty() ? uint16_t{0xFFFF} : FrameCrc(frame[0], frame.data() + 1, frame.size() - 1);
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    return frame;
}

} // namespace dravik::test
