#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

// One RTU frame as it goes over the line: address, function, data, CRC low byte first.
using Bytes = std::vector<uint8_t>;

constexpr uint8_t SlaveAddress = 32;
constexpr uint8_t OtherAddress = 33; // what a wrong-address answer carries

constexpr uint8_t ReadCoils = 0x01;
constexpr uint8_t ReadDiscreteInputs = 0x02;
constexpr uint8_t ReadHolding = 0x03;
constexpr uint8_t ReadInputs = 0x04;
constexpr uint8_t WriteSingleCoil = 0x05;
constexpr uint8_t WriteSingle = 0x06;
constexpr uint8_t WriteCoils = 0x0F;
constexpr uint8_t WriteMultiple = 0x10;
constexpr uint8_t ExceptionBit = 0x80;

// Our own CRC-16, kept apart from the master's so that the two sides of the wire stay
// independent.
uint16_t Crc(const uint8_t* bytes, size_t count);

// Replaces the last two bytes of the frame with the CRC of the rest.
void SetCrc(Bytes& frame);

} // namespace sim
