#pragma once

#include "protocol/ModbusPdu.h"

#include <cstdint>
#include <vector>

namespace dravik::test {

// A frame with its CRC appended, low byte first, as the line carries it.
inline std::vector<uint8_t> Framed(std::vector<uint8_t> frame) {
    uint16_t crc = 0xFFFF;
    for (uint8_t b : frame) {
        crc = Crc16Update(crc, b);
    }
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    return frame;
}

} // namespace dravik::test
