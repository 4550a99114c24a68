#include "protocol/RegisterMap.h"

#include "support/Messages.h"

#include <vector>

#include <gtest/gtest.h>

namespace dravik {
namespace {

using test::MessageOf;
using test::W;

TTankRecord Tank(uint8_t active, int32_t hmin, int32_t hmax, int32_t hhigh) {
    return TTankRecord{active, hmin, hmax, hhigh};
}

TEST(RegisterMap, TanksPackIntoTwoRegistersWithATruncatedMidpoint) {
    struct Case {
        TTankRecord tank;
        uint16_t first, second;
    };
    for (const Case& c :
         {Case{Tank(1, 10, 50, 90), 0x0A32, 0x5A1E}, Case{Tank(1, 10, 11, 12), 0x0A0B, 0x0C0A},
          Case{Tank(0, 70, 20, 0), 0x4614, 0x002D}, Case{Tank(0, 0, 0, 0), 0x0000, 0x0000}}) {
        uint16_t words[2] = {};
        PackTank(c.tank, words);
        EXPECT_EQ(words[0], c.first);
        EXPECT_EQ(words[1], c.second);
    }
    TTankRecord read;
    const uint16_t words[] = {0x0A32, 0x5AFF};
    UnpackTank(words, read);
    EXPECT_EQ(read, Tank(0, 10, 50, 90)); // the midpoint byte is dropped
}

TEST(RegisterMap, MaskHasOneBitPerEnabledTank) {
    TTerminalConfig config;
    EXPECT_EQ(TankMask(config), 0);
    config.Tanks[0].active = 1;
    config.Tanks[15].active = 2;
    EXPECT_EQ(TankMask(config), 0x8001);
}

TEST(RegisterMap, TankChecksRunInOrderAndNameTheTank) {
    struct Case {
        int index;
        TTankRecord tank;
        const char* message; // empty: accepted
    };
    const Case cases[] = {
        {0, Tank(1, 10, 50, 90), ""},
        {2, Tank(1, 0, 50, 90), "Резервуар 3:\r\n0 не в диапазоне 1..99"},
        {4, Tank(1, 50, 50, 60), "Резервуар 5:\r\n50 не в диапазоне 51..99"},
        {0, Tank(1, 0, 50, 100), "Резервуар 1:\r\n0 не в диапазоне 1..99"},
        {0, Tank(1, 40, 60, 100), "Резервуар 1:\r\n100 не в диапазоне 1..99"},
        {0, Tank(1, 40, 60, 60), "Резервуар 1:\r\n60 не в диапазоне 61..99"},
        {15, Tank(1, -5, 60, 70), "Резервуар 16:\r\n-5 не в диапазоне 1..99"},
        {1, Tank(0, 70, 20, 0), ""},
        {1, Tank(0, 0, 255, 255), ""},
        {1, Tank(0, 0, 256, 0), "Резервуар 2:\r\n256 не в диапазоне 0..255"},
        {1, Tank(0, -1, 0, 0), "Резервуар 2:\r\n-1 не в диапазоне 0..255"},
    };
    for (const Case& c : cases) {
        const std::string expected = *c.message != 0 ? W(c.message) : "<no exception>";
        EXPECT_EQ(MessageOf([&] { CheckTank(c.index, c.tank); }), expected) << c.message;
    }
}

TEST(RegisterMap, ScriptImageEndsWithAZeroByteInWholeRegisters) {
    struct Case {
        std::vector<uint8_t> bytes;
        std::vector<uint16_t> words;
    };
    const Case cases[] = {
        {{}, {}},
        {{0x04, 0x01, 0x02, 0x00}, {0x0401, 0x0200, 0x0000}},
        {{0x03, 0x01, 0x02, 0x03, 0x04}, {0x0301, 0x0203, 0x0400}},
        {{0x04, 0x01, 0x02, 0x04, 0x03, 0x04, 0x00}, {0x0401, 0x0204, 0x0304, 0x0000}},
    };
    for (const Case& c : cases) {
        TEncodedScript script;
        std::copy(c.bytes.begin(), c.bytes.end(), script.Bytes.begin());
        script.Count = static_cast<int>(c.bytes.size());
        EXPECT_EQ(ScriptImage(script), c.words);
    }
}

TEST(RegisterMap, ScriptAreaBytesAreHighByteFirst) {
    uint16_t words[ScriptRegisterCount] = {0x0401, 0x0200};
    const TScriptArea bytes = ScriptAreaBytes(words);
    EXPECT_EQ(bytes[0], 0x04);
    EXPECT_EQ(bytes[1], 0x01);
    EXPECT_EQ(bytes[2], 0x02);
    EXPECT_EQ(bytes[3], 0x00);
    EXPECT_EQ(bytes[199], 0x00);
}

} // namespace
} // namespace dravik
