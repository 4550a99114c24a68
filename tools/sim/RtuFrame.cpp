#include "RtuFrame.h"

namespace sim {

uint16_t Crc(const uint8_t* bytes, size_t count) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < count; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? static_cast<uint16_t>(crc >> 1 ^ 0xA001) : crc >> 1;
        }
    }
    return crc;
}

void SetCrc(Bytes& frame) {
    frame.resize(frame.size() - 2);
    const uint16_t crc = Crc(frame.data(), frame.size());
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
}

} // namespace sim
