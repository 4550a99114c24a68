#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace dravik {

constexpr int PduBufferSize = 256;

// A frame from its function byte on (the address byte is never stored here), written and read
// big-endian through one cursor. A plain value: no port, no timer, no allocation.
class TModbusPdu {
public:
    std::array<uint8_t, PduBufferSize> Buffer{};
    int32_t Cursor = 0;
    int32_t Size = 0;

    // Resets cursor and size; the bytes stay as they are.
    void Clear();

    // Appends the low `width` bytes of value, most significant first; bytes beyond index 254 are
    // dropped one by one.
    void PutValue(int32_t value, int width);

    // Reads `width` bytes at the cursor, first byte most significant, zero-extended.
    int32_t GetValue(int width);
};

// One byte of CRC-16/MODBUS (reflected polynomial 0xA001, bit by bit, no table).
uint16_t Crc16Update(uint16_t crc, uint8_t byte);

// The CRC of a whole frame: the slave address, then `size` bytes of PDU.
uint16_t FrameCrc(uint8_t address, const uint8_t* pdu, size_t size);

} // namespace dravik
