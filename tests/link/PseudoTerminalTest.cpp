#include "support/PseudoTerminal.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace dravik::test {
namespace {

TEST(PseudoTerminal, CarriesBytesBothWaysAndHangsUp) {
    PseudoTerminal peer;
    const int slave = open(peer.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    const std::vector<uint8_t> request = {0x20, 0x03, 0x0A, 0xFF};
    ASSERT_EQ(write(slave, request.data(), request.size()), 4);
    EXPECT_EQ(peer.Receive(4), request);
    EXPECT_TRUE(peer.Available().empty());

    peer.Send({0x0D, 0x0A, 0x00});
    EXPECT_TRUE(peer.AwaitQueuedAtSlave(3));
    uint8_t got[3] = {};
    ASSERT_EQ(read(slave, got, 3), 3);
    EXPECT_EQ(std::vector<uint8_t>(got, got + 3), (std::vector<uint8_t>{0x0D, 0x0A, 0x00}));

    peer.HangUp();
    EXPECT_TRUE(peer.IsHungUp());
    EXPECT_LT(write(slave, request.data(), request.size()), 0);
    close(slave);
}

} // namespace
} // namespace dravik::test
