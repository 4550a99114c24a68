#include "link/ComPortChannel.h"

#include "LinkTestSupport.h"
#include "base/SystemError.h"
#include "link/SerialIo.h"
#include "support/Messages.h"
#include "support/PseudoTerminal.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>

#include <gtest/gtest.h>

namespace dravik::test {
namespace {

constexpr int32_t Port = 3;
const char* const LogName = "port3.log";
const std::vector<uint8_t> Request = {0x20, 0x03, 0x00, 0x20, 0x00, 0x01, 0x83, 0x71};
const std::vector<uint8_t> Reply = {0x20, 0x03, 0x02, 0x00, 0x01, 0xC5, 0x83};

std::vector<std::string> Bodies() {
    std::vector<std::string> bodies;
    for (const std::string& line : LogLines(LogName)) {
        bodies.push_back(Body(line));
    }
    return bodies;
}

std::vector<std::string> Block(const std::vector<std::string>& middle, int32_t port = Port) {
    std::vector<std::string> block = OpeningBodies();
    block.insert(block.end(), middle.begin(), middle.end());
    const auto closing = ClosingBodies(port);
    block.insert(block.end(), closing.begin(), closing.end());
    return block;
}

class ComPortChannelTest : public ::testing::Test {
protected:
    TempDir Directory;
    PseudoTerminal Peer;

    std::unique_ptr<TComPortChannel> NewChannel(bool withLog = true) {
        auto channel =
            std::make_unique<TComPortChannel>(Port, withLog, OnePort(Port, Peer.SlavePath()));
        channel->Dcb = TerminalLine();
        return channel;
    }

    std::unique_ptr<TComPortChannel> Opened(bool withLog = true) {
        auto channel = NewChannel(withLog);
        channel->Open();
        return channel;
    }

    // Sends bytes and waits until the channel's side has them all.
    void Arrive(const std::vector<uint8_t>& bytes) {
        Peer.Send(bytes);
        ASSERT_TRUE(Peer.AwaitQueuedAtSlave(bytes.size()));
    }
};

TEST_F(ComPortChannelTest, OpensWritesAndReadsAWholeAnswer) {
    auto channel = Opened();
    EXPECT_TRUE(channel->Status().Success);
    EXPECT_EQ(channel->Status().Code, 0);
    EXPECT_EQ(channel->Status().Message, "OK");
    EXPECT_EQ(channel->PortNumber(), Port);

    ASSERT_TRUE(channel->Write(Request.data(), static_cast<int32_t>(Request.size()), true));
    EXPECT_EQ(Peer.Receive(Request.size()), Request);
    Peer.Send(Reply);
    uint8_t answer[16] = {};
    int32_t received = -1;
    EXPECT_TRUE(channel->Read(answer, 7, received, 500, true));
    EXPECT_EQ(received, 7);
    EXPECT_EQ(std::vector<uint8_t>(answer, answer + 7), Reply);
    channel->Purge();
    channel.reset();
    EXPECT_EQ(Bodies(), Block({W("  i COM3 подключен"), "  < 20 03 00 20 00 01 83 71 ",
                               "  > 20 03 02 00 01 C5 83 "}));
}

TEST_F(ComPortChannelTest, WithoutHexTheBytesAreLoggedAsTheyAre) {
    auto channel = Opened();
    const uint8_t text[] = {'A', 'B'};
    ASSERT_TRUE(channel->Write(text, 2, false));
    EXPECT_EQ(Peer.Receive(2).size(), 2u);
    Arrive({'o', 'k'});
    uint8_t answer[2] = {};
    int32_t received = 0;
    EXPECT_TRUE(channel->Read(answer, 2, received, 500, false));
    channel.reset();
    EXPECT_EQ(Bodies(), Block({W("  i COM3 подключен"), "  < AB", "  > ok"}));
}

TEST_F(ComPortChannelTest, APartialAnswerIsReturnedAndLoggedAndThePortStaysOpen) {
    auto channel = Opened();
    Arrive({0x20, 0x03, 0x02});
    uint8_t answer[7] = {};
    int32_t received = 0;
    EXPECT_FALSE(channel->Read(answer, 7, received, 200, true));
    EXPECT_EQ(received, 3);
    EXPECT_TRUE(channel->Status().Success);
    EXPECT_TRUE(channel->Write(Request.data(), 2, true)) << "a timeout leaves the port usable";
    channel.reset();
    EXPECT_EQ(Bodies(), Block({W("  i COM3 подключен"), "  > 20 03 02 ", "  < 20 03 "}));
}

TEST_F(ComPortChannelTest, SilenceEndsTheReadAfterTheTimeoutSleepingAndLogsNothing) {
    auto channel = Opened();
    RecordingDevice device;
    ScopedSerialDevice useDevice(device);
    constexpr uint32_t timeout = 300;
    uint8_t answer[7] = {};
    int32_t received = -1;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(channel->Read(answer, 7, received, timeout, true));
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
    EXPECT_EQ(received, 0);
    // The silence is counted in whole ticks, so 301 ticks may span a little over 300 ms.
    EXPECT_GE(elapsed, timeout);
    EXPECT_LT(elapsed, timeout + 30000) << "a read on a silent line ends";
    // Every request sleeps in poll for up to its 20 ms; a spinning loop would poll thousands of
    // times.
    EXPECT_GE(device.Count("poll"), 1);
    EXPECT_LE(device.Count("poll"), elapsed / (ReadRequestMs / 2) + 2);
    EXPECT_EQ(device.Count("read"), 0);
    EXPECT_TRUE(channel->Status().Success);
    channel.reset();
    EXPECT_EQ(Bodies(), Block({W("  i COM3 подключен")}));
}

TEST_F(ComPortChannelTest, AZeroByteReadSucceedsAtOnceAndLogsNothing) {
    auto channel = Opened();
    RecordingDevice device;
    ScopedSerialDevice useDevice(device);
    uint8_t answer[1] = {};
    int32_t received = -1;
    EXPECT_TRUE(channel->Read(answer, 0, received, 500, true));
    EXPECT_EQ(received, 0);
    EXPECT_EQ(device.Count("poll"), 0);
    channel.reset();
    EXPECT_EQ(Bodies(), Block({W("  i COM3 подключен")}));
}

// Lets the peer's pieces arrive at chosen times of a fake clock: a read request that finds nothing
// costs its 20 ms on that clock, and a piece that is due is sent and awaited before the request
// looks. So the inactivity timeout is driven exactly, however slow the machine.
class PacedPeer : public RecordingDevice {
public:
    struct Piece {
        uint32_t At; // milliseconds after the start
        std::vector<uint8_t> Bytes;
    };

    PacedPeer(PseudoTerminal& peer, FakeClock& clock, std::vector<Piece> pieces)
        : Peer(peer), Time(clock), Start(clock.Tick), Pieces(std::move(pieces)) {}

    int Poll(pollfd* fds, nfds_t count, int timeoutMs) override {
        if (Next < Pieces.size() && Time.Tick - Start >= Pieces[Next].At) {
            Peer.Send(Pieces[Next].Bytes);
            Peer.AwaitQueuedAtSlave(Pieces[Next].Bytes.size());
            ++Next;
            return RecordingDevice::Poll(fds, count, timeoutMs);
        }
        Time.Advance(static_cast<uint32_t>(timeoutMs));
        return RecordingDevice::Poll(fds, count, 0);
    }

    uint32_t Elapsed() const { return Time.Tick - Start; }

private:
    PseudoTerminal& Peer;
    FakeClock& Time;
    uint32_t Start;
    std::vector<Piece> Pieces;
    size_t Next = 0;
};

TEST_F(ComPortChannelTest, TheTimeoutCountsFromTheLastByteAcrossTheTickWrap) {
    struct Case {
        const char* what;
        uint32_t startTick;
        std::vector<PacedPeer::Piece> pieces;
        bool complete;
        int32_t received;
        uint32_t minElapsed;
        uint32_t maxElapsed;
    };
    const std::vector<PacedPeer::Piece> gapsOf300 = {
        {0, {0x20, 0x03}}, {300, {0x02, 0x00}}, {600, {0x01, 0xC5, 0x83}}};
    const uint32_t beforeWrap = 0xFFFFFF00;
    const std::vector<Case> cases = {
        {"pieces 300 ms apart", 1000, gapsOf300, true, 7, 600, 600},
        {"pieces across the wrap", beforeWrap, gapsOf300, true, 7, 600, 600},
        {"a gap of exactly the timeout",
         1000,
         {{0, {0x20, 0x03, 0x02}}, {500, {0, 1, 2, 3}}},
         true,
         7,
         500,
         500},
        {"a gap longer than the timeout",
         1000,
         {{0, {0x20, 0x03, 0x02}}, {700, {0, 1, 2, 3}}},
         false,
         3,
         501,
         520},
        {"silence", 1000, {}, false, 0, 501, 520},
        {"silence across the wrap", 0xFFFFFFF0, {}, false, 0, 501, 520},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto channel = Opened(false);
        FakeClock clock;
        clock.Tick = c.startTick;
        ScopedClock useClock(clock);
        PacedPeer device(Peer, clock, c.pieces);
        ScopedSerialDevice useDevice(device);
        uint8_t answer[7] = {};
        int32_t received = 0;
        EXPECT_EQ(channel->Read(answer, 7, received, 500, true), c.complete);
        EXPECT_EQ(received, c.received);
        EXPECT_GE(device.Elapsed(), c.minElapsed);
        EXPECT_LE(device.Elapsed(), c.maxElapsed);
    }
}

// Every read request that finds nothing wakes up a few milliseconds late on the fake clock, as
// on a loaded machine.
class LateWakingDevice : public RecordingDevice {
public:
    LateWakingDevice(FakeClock& clock, uint32_t lateness) : Time(clock), Lateness(lateness) {}

    int Poll(pollfd* fds, nfds_t count, int timeoutMs) override {
        Time.Advance(static_cast<uint32_t>(timeoutMs) + Lateness);
        return RecordingDevice::Poll(fds, count, 0);
    }

private:
    FakeClock& Time;
    uint32_t Lateness;
};

TEST_F(ComPortChannelTest, LateWakeUpsOfTheRequestsDoNotAddUpBehindTheTimeout) {
    constexpr uint32_t lateness = 5;
    constexpr uint32_t timeout = 500;
    auto channel = Opened(false);
    FakeClock clock;
    clock.Tick = 1000;
    ScopedClock useClock(clock);
    LateWakingDevice device(clock, lateness);
    ScopedSerialDevice useDevice(device);
    uint8_t answer[7] = {};
    int32_t received = -1;
    EXPECT_FALSE(channel->Read(answer, 7, received, timeout, true));
    EXPECT_EQ(received, 0);
    // Full 20 ms requests, each 25 ms on this clock, would first pass the timeout at 525 ms.
    EXPECT_GT(clock.Tick - 1000, timeout);
    EXPECT_LE(clock.Tick - 1000, timeout + 1 + lateness);
}

TEST_F(ComPortChannelTest, ADeviceThatDoesNotExistFailsTheOpenWithTheSystemText) {
    struct Case {
        int32_t port;
        std::string path;
    };
    for (const Case& c : {Case{7, ""}, Case{12, "/dev/dravik-no-such-device"}}) {
        SCOPED_TRACE(c.port);
        const std::string logName = Format("port%d.log", c.port);
        {
            TComPortChannel channel(c.port, true, OnePort(c.port, c.path));
            const std::string expected = Format("COM%d: No such file or directory", c.port);
            EXPECT_EQ(MessageOf([&] { channel.Open(); }), expected);
            EXPECT_FALSE(channel.Status().Success);
            EXPECT_EQ(channel.Status().Code, -ENOENT);
            EXPECT_EQ(channel.Status().Message, expected);
            uint8_t buffer[1] = {};
            int32_t received = 0;
            EXPECT_EQ(MessageOf([&] { channel.Read(buffer, 1, received, 10, true); }), expected);
            EXPECT_EQ(MessageOf([&] { channel.Write(buffer, 1, true); }), expected);
        }
        std::vector<std::string> bodies;
        for (const std::string& line : LogLines(logName)) {
            bodies.push_back(Body(line));
        }
        EXPECT_EQ(bodies, Block({Format("  e COM%d: No such file or directory", c.port)}, c.port));
    }
}

TEST_F(ComPortChannelTest, ReadAndWriteBeforeOpenRaiseAnEmptyMessage) {
    auto channel = NewChannel();
    uint8_t buffer[1] = {};
    int32_t received = 5;
    EXPECT_EQ(MessageOf([&] { channel->Read(buffer, 1, received, 10, true); }), "");
    EXPECT_EQ(received, 5) << "nothing is touched before the check";
    EXPECT_EQ(MessageOf([&] { channel->Write(buffer, 1, true); }), "");
}

TEST_F(ComPortChannelTest, ADeviceHeldByAnotherChannelIsBusyUntilItIsReleased) {
    auto holder = Opened();
    auto second = NewChannel(false);
    EXPECT_EQ(MessageOf([&] { second->Open(); }), "COM3: Device or resource busy");
    EXPECT_EQ(second->Status().Code, -EBUSY);
    holder.reset();
    EXPECT_EQ(MessageOf([&] { second->Open(); }), "<no exception>");
    EXPECT_TRUE(second->Status().Success);
}

TEST_F(ComPortChannelTest, ThePortIsOpenedExclusivelyAndReleasedBeforeItIsClosed) {
    RecordingDevice device;
    ScopedSerialDevice useDevice(device);
    auto channel = Opened(false);
    EXPECT_EQ(device.LastOpenFlags, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_EQ(device.Count("flock"), 1);
    EXPECT_EQ(device.Count("ioctl TIOCEXCL"), 1);
    const size_t before = device.Calls.size();
    channel->Open();
    EXPECT_EQ(device.Calls.size(), before) << "opening an open port does nothing";
    channel.reset();
    ASSERT_GE(device.Calls.size(), 2u);
    EXPECT_EQ(device.Calls[device.Calls.size() - 2], "ioctl TIOCNXCL");
    EXPECT_EQ(device.Calls.back(), "close");
}

TEST_F(ComPortChannelTest, OpeningAnOpenPortLogsNothing) {
    auto channel = Opened();
    channel->Open();
    channel.reset();
    EXPECT_EQ(Bodies(), Block({W("  i COM3 подключен")}));
}

TEST_F(ComPortChannelTest, AFailingStepOfTheOpenReleasesTheDevice) {
    struct Case {
        const char* call;
        int injected;
        int reported;
    };
    for (const Case& c : {Case{"open", EACCES, EACCES}, Case{"flock", EWOULDBLOCK, EBUSY},
                          Case{"ioctl TIOCEXCL", ENOTTY, ENOTTY}, Case{"tcgetattr", EIO, EIO},
                          Case{"cfsetspeed", EINVAL, EINVAL}, Case{"tcsetattr", EIO, EIO},
                          Case{"tcflush", EIO, EIO}}) {
        SCOPED_TRACE(c.call);
        std::remove(LogName);
        RecordingDevice device;
        device.Failures[c.call] = {c.injected};
        {
            ScopedSerialDevice useDevice(device);
            auto channel = NewChannel();
            const std::string expected = "COM3: " + SystemText(c.reported);
            EXPECT_EQ(MessageOf([&] { channel->Open(); }), expected);
            EXPECT_EQ(channel->Status().Code, -c.reported);
            EXPECT_EQ(device.Count("close"),
                      device.Count("open") - (c.call == std::string("open")));
            channel.reset();
            EXPECT_EQ(Bodies(), Block({"  e " + expected}));
        }
        EXPECT_EQ(MessageOf([&] { Opened(false); }), "<no exception>") << "the device is free";
    }
}

TEST_F(ComPortChannelTest, APathThatIsNoTerminalIsRefused) {
    TComPortChannel channel(Port, false, OnePort(Port, "/dev/null"));
    channel.Dcb = TerminalLine();
    EXPECT_EQ(MessageOf([&] { channel.Open(); }), "COM3: " + SystemText(ENOTTY));
}

TEST_F(ComPortChannelTest, AHangUpFailsTheReadAndEveryLaterTransfer) {
    auto channel = Opened();
    Peer.HangUp();
    uint8_t answer[7] = {};
    int32_t received = -1;
    EXPECT_FALSE(channel->Read(answer, 7, received, 5000, true));
    EXPECT_EQ(received, 0);
    const std::string message = "COM3: Input/output error";
    EXPECT_FALSE(channel->Status().Success);
    EXPECT_EQ(channel->Status().Code, -EIO);
    EXPECT_EQ(channel->Status().Message, message);
    EXPECT_EQ(MessageOf([&] { channel->Read(answer, 7, received, 10, true); }), message);
    EXPECT_EQ(MessageOf([&] { channel->Write(answer, 1, true); }), message);
    channel.reset();
    EXPECT_EQ(Bodies(), Block({W("  i COM3 подключен"),
                               W("  i COM3 закрыт(операция: READ; err: 5 - Input/output error)")}));
}

TEST_F(ComPortChannelTest, BytesThatCameBeforeAFailedReadAreLoggedAfterTheClosingLine) {
    auto channel = Opened();
    RecordingDevice device;
    device.AfterRead = [this](ssize_t n) {
        if (n > 0) {
            Peer.HangUp();
        }
    };
    ScopedSerialDevice useDevice(device);
    Arrive({0x20, 0x03, 0x02});
    uint8_t answer[7] = {};
    int32_t received = 0;
    EXPECT_FALSE(channel->Read(answer, 7, received, 5000, true));
    EXPECT_EQ(received, 3);
    channel.reset();
    EXPECT_EQ(Bodies(), Block({W("  i COM3 подключен"),
                               W("  i COM3 закрыт(операция: READ; err: 5 - Input/output error)"),
                               "  > 20 03 02 "}));
}

TEST_F(ComPortChannelTest, AHangUpFailsTheWriteWhoseDataIsNotLogged) {
    auto channel = Opened();
    Peer.HangUp();
    EXPECT_FALSE(channel->Write(Request.data(), 8, true));
    EXPECT_EQ(channel->Status().Code, -EIO);
    uint8_t answer[1] = {};
    int32_t received = 0;
    EXPECT_EQ(MessageOf([&] { channel->Read(answer, 1, received, 10, true); }),
              "COM3: Input/output error");
    channel.reset();
    EXPECT_EQ(Bodies(),
              Block({W("  i COM3 подключен"),
                     W("  i COM3 закрыт(операция: WRITE; err: 5 - Input/output error)")}));
}

TEST_F(ComPortChannelTest, PurgeDiscardsUnreadInputAndWritesThePendingLine) {
    auto channel = Opened();
    Arrive({0x01, 0x02, 0x03});
    channel->Log("", lkSent, "20 ", false);
    channel->Purge();
    EXPECT_EQ(Bodies().back(), "  < 20 ");
    uint8_t answer[3] = {};
    int32_t received = -1;
    EXPECT_FALSE(channel->Read(answer, 3, received, 100, true));
    EXPECT_EQ(received, 0);
}

TEST_F(ComPortChannelTest, PurgeOnAClosedPortOnlyWritesThePendingLine) {
    RecordingDevice device;
    ScopedSerialDevice useDevice(device);
    auto channel = NewChannel();
    channel->Log("", lkSent, "20 ", false);
    channel->Purge();
    EXPECT_EQ(Bodies().back(), "  < 20 ");
    EXPECT_TRUE(device.Calls.empty());
}

} // namespace
} // namespace dravik::test
