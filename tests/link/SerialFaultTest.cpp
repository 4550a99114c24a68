#include "LinkTestSupport.h"
#include "link/ComPortChannel.h"
#include "support/Messages.h"
#include "support/PseudoTerminal.h"

#include <cerrno>

#include <gtest/gtest.h>

namespace dravik::test {
namespace {

constexpr int32_t Port = 3;
const std::vector<uint8_t> Request = {0x20, 0x03, 0x00, 0x20, 0x00, 0x01, 0x83, 0x71};
const std::vector<uint8_t> Reply = {0x20, 0x03, 0x02, 0x00, 0x01, 0xC5, 0x83};

std::vector<std::string> Bodies() {
    std::vector<std::string> bodies;
    for (const std::string& line : LogLines("port3.log")) {
        bodies.push_back(Body(line));
    }
    return bodies;
}

// The system calls under a channel fail the way a loaded or failing machine makes them fail.
class SerialFaultTest : public ::testing::Test {
protected:
    TempDir Directory;
    PseudoTerminal Peer;
    RecordingDevice Device;
    std::unique_ptr<TComPortChannel> Channel;

    void SetUp() override {
        Channel = std::make_unique<TComPortChannel>(Port, true, OnePort(Port, Peer.SlavePath()));
        Channel->Dcb = TerminalLine();
        Channel->Open();
    }
};

TEST_F(SerialFaultTest, AWriteGoesOnThroughInterruptsAFullQueueAndShortWrites) {
    ScopedSerialDevice useDevice(Device);
    Device.Failures["write"] = {EINTR, EAGAIN, 0, EINTR};
    Device.MaxWrite = 3;
    EXPECT_TRUE(Channel->Write(Request.data(), 8, true));
    EXPECT_EQ(Peer.Receive(8), Request);
    EXPECT_GE(Device.Count("poll"), 1) << "a full queue is waited for in poll";
    Channel.reset();
    const auto bodies = Bodies();
    EXPECT_EQ(bodies[4], "  < 20 03 00 20 00 01 83 71 ");
}

TEST_F(SerialFaultTest, AReadGoesOnThroughInterruptsAndSpuriousWakeUps) {
    ScopedSerialDevice useDevice(Device);
    Peer.Send(Reply);
    ASSERT_TRUE(Peer.AwaitQueuedAtSlave(Reply.size()));
    Device.Failures["poll"] = {EINTR};
    Device.Failures["read"] = {EINTR, EAGAIN};
    uint8_t answer[7] = {};
    int32_t received = 0;
    EXPECT_TRUE(Channel->Read(answer, 7, received, 2000, true));
    EXPECT_EQ(std::vector<uint8_t>(answer, answer + 7), Reply);
    EXPECT_TRUE(Channel->Status().Success);
}

TEST_F(SerialFaultTest, AFailingReadClosesThePortWithItsErrorCode) {
    ScopedSerialDevice useDevice(Device);
    Peer.Send(Reply);
    ASSERT_TRUE(Peer.AwaitQueuedAtSlave(Reply.size()));
    Device.Failures["read"] = {ENXIO};
    uint8_t answer[7] = {};
    int32_t received = -1;
    EXPECT_FALSE(Channel->Read(answer, 7, received, 2000, true));
    EXPECT_EQ(received, 0);
    EXPECT_EQ(Channel->Status().Code, -ENXIO);
    EXPECT_EQ(Channel->Status().Message, "COM3: No such device or address");
    EXPECT_EQ(Device.Count("ioctl TIOCNXCL"), 1);
    EXPECT_EQ(Device.Count("close"), 1);
    Channel.reset();
    EXPECT_EQ(Bodies()[4],
              W("  i COM3 закрыт(операция: READ; err: 6 - No such device or address)"));
}

TEST_F(SerialFaultTest, AWriteFailingHalfWayLogsNoData) {
    ScopedSerialDevice useDevice(Device);
    Device.Failures["write"] = {0, EIO};
    Device.MaxWrite = 3;
    EXPECT_FALSE(Channel->Write(Request.data(), 8, true));
    EXPECT_EQ(Channel->Status().Code, -EIO);
    EXPECT_EQ(MessageOf([&] { Channel->Write(Request.data(), 8, true); }),
              "COM3: Input/output error");
    Channel.reset();
    const auto bodies = Bodies();
    ASSERT_EQ(bodies.size(), 9u);
    EXPECT_EQ(bodies[4], W("  i COM3 закрыт(операция: WRITE; err: 5 - Input/output error)"));
    EXPECT_EQ(bodies[5], W("  i COM3 закрыт"));
}

TEST_F(SerialFaultTest, AFailingPurgeIsIgnored) {
    ScopedSerialDevice useDevice(Device);
    Device.Failures["tcflush"] = {EIO};
    Channel->Purge();
    EXPECT_TRUE(Channel->Status().Success);
    EXPECT_TRUE(Channel->Write(Request.data(), 2, true));
}

} // namespace
} // namespace dravik::test
