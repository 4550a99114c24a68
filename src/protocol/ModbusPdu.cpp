#include "protocol/ModbusPdu.h"

#include <algorithm>

namespace dravik {
namespace {

constexpr int32_t PutLimit = PduBufferSize - 1; // the last byte is filled only from the line
constexpr int MaxWidth = 4;

int ClampWidth(int width) {
    return std::clamp(width, 0, MaxWidth);
}

} // namespace

void TModbusPdu::Clear() {
    Cursor = 0;
    Size = 0;
}

void TModbusPdu::PutValue(int32_t value, int width) {
    const auto bits = static_cast<uint32_t>(value);
    for (int i = ClampWidth(width) - 1; i >= 0; --i) {
        if (Cursor < 0 || Cursor >= PutLimit) {
            break;
        }
        Buffer[static_cast<size_t>(Cursor)] = static_cast<uint8_t>(bits >> (8 * i));
        ++Cursor;
    }
    Size = std::max(Size, Cursor);
}

int32_t TModbusPdu::GetValue(int width) {
    uint32_t result = 0;
    for (int i = 0; i < ClampWidth(width); ++i) {
        // Past the buffer (or before it) reads as zero; the cursor still moves on.
        const bool inside = Cursor >= 0 && Cursor < PduBufferSize;
        const uint8_t byte = inside ? Buffer[static_cast<size_t>(Cursor)] : 0;
        result = (result << 8) | byte;
        ++Cursor;
    }
    return static_cast<int32_t>(result);
}

uint16_t Crc16Update(uint16_t crc, uint8_t byte) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) {
        crc = (crc & 1u) != 0 ? static_cast<uint16_t>((crc >> 1) ^ 0xA001u)
                              : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

uint16_t FrameCrc(uint8_t address, const uint8_t* pdu, size_t size) {
    uint16_t crc = Crc16Update(0xFFFF, address);
    for (size_t i = 0; i < size; ++i) {
        crc = Crc16Update(crc, pdu[i]);
    }
    return crc;
}

} // namespace dravik
