#include "protocol/ModbusPdu.h"

#include "support/Frames.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace dravik {
namespace {

using test::HexBytes;

uint16_t Crc(const std::vector<uint8_t>& bytes) {
    uint16_t crc = 0xFFFF;
    for (const uint8_t b : bytes) {
        crc = Crc16Update(crc, b);
    }
    return crc;
}

// Expected values checked with an independent CRC-16/MODBUS implementation (libmodbus answers
// the same frames in the simulator tests).
struct CrcRow {
    const char* Frame;
    uint16_t Expected; // as a number; on the wire low byte first
};

class CrcTableTest : public testing::TestWithParam<CrcRow> {};

TEST_P(CrcTableTest, MatchesTheModbusChecksum) {
    EXPECT_EQ(Crc(HexBytes(GetParam().Frame)), GetParam().Expected) << GetParam().Frame;
}

INSTANTIATE_TEST_SUITE_P(Frames, CrcTableTest,
                         testing::Values(CrcRow{"31 32 33 34 35 36 37 38 39", 0x4B37},
                                         CrcRow{"20 03 00 20 00 01", 0x7183},
                                         CrcRow{"20 03 02 00 05", 0x40C4},
                                         CrcRow{"20 03 02 00 01", 0x83C5},
                                         CrcRow{"20 83 02", 0xFB90},
                                         CrcRow{"20 10 00 20 00 01 02 00 05", 0x62F5},
                                         CrcRow{"20 10 00 20 00 01", 0xB206}, CrcRow{"00", 0x40BF},
                                         CrcRow{"FF", 0x00FF}));

TEST(Crc16, EmptyFrameKeepsTheStartValue) {
    EXPECT_EQ(Crc({}), 0xFFFF);
}

TEST(ModbusPdu, PutsBigEndianAndCutsToWidth) {
    TModbusPdu pdu;
    pdu.PutValue(300, 2);
    pdu.PutValue(300, 1);
    pdu.PutValue(0x12345678, 4);
    pdu.PutValue(0x0A0B0C, 3);
    EXPECT_EQ(pdu.Size, 10);
    EXPECT_EQ(pdu.Cursor, 10);
    const std::vector<uint8_t> expected = HexBytes("01 2C 2C 12 34 56 78 0A 0B 0C");
    EXPECT_EQ(std::vector<uint8_t>(pdu.Buffer.begin(), pdu.Buffer.begin() + 10), expected);
}

TEST(ModbusPdu, GetsZeroExtendedValues) {
    TModbusPdu pdu;
    pdu.PutValue(0xFFFE, 2);
    pdu.PutValue(-1, 4);
    pdu.Cursor = 0;
    EXPECT_EQ(pdu.GetValue(2), 65534);
    EXPECT_EQ(pdu.GetValue(1), 255);
    EXPECT_EQ(pdu.GetValue(3), 0xFFFFFF);
}

TEST(ModbusPdu, PutStopsAtByte254) {
    TModbusPdu pdu;
    for (int i = 0; i < 255; ++i) {
        pdu.PutValue(i, 1);
    }
    EXPECT_EQ(pdu.Size, 255);
    pdu.PutValue(0xEE, 1);
    EXPECT_EQ(pdu.Size, 255);
    EXPECT_EQ(pdu.Buffer[255], 0);

    // A two-byte put at 254 keeps only its high byte.
    pdu.Clear();
    pdu.Cursor = 254;
    pdu.PutValue(0xABCD, 2);
    EXPECT_EQ(pdu.Buffer[254], 0xAB);
    EXPECT_EQ(pdu.Buffer[255], 0);
    EXPECT_EQ(pdu.Size, 255);
}

TEST(ModbusPdu, ClearKeepsTheBytesAndTheCursorIsShared) {
    TModbusPdu pdu;
    pdu.PutValue(0x0102, 2);
    pdu.Clear();
    EXPECT_EQ(pdu.Size, 0);
    EXPECT_EQ(pdu.GetValue(2), 0x0102); // old bytes still there

    pdu.Clear();
    pdu.PutValue(0x55, 1);
    pdu.Buffer[1] = 0x66;
    EXPECT_EQ(pdu.GetValue(1), 0x66); // reads on from the end of what was written
}

TEST(ModbusPdu, ReadingPastTheBufferStaysInside) {
    TModbusPdu pdu;
    pdu.Buffer[255] = 0x7A;
    pdu.Cursor = 255;
    EXPECT_EQ(pdu.GetValue(2), 0x7A00);
    EXPECT_EQ(pdu.Cursor, 257);
    EXPECT_EQ(pdu.GetValue(4), 0);
    pdu.Cursor = -1;
    EXPECT_EQ(pdu.GetValue(2), 0x00);
}

} // namespace
} // namespace dravik
