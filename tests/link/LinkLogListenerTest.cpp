#include "LinkTestSupport.h"
#include "link/ComPortChannel.h"
#include "link/LinkLog.h"
#include "support/PseudoTerminal.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace dravik::test {
namespace {

constexpr int32_t Port = 3;
const char* const LogName = "port3.log";

// Records what the listener hears for the test's life.
class LinkLogListenerTest : public ::testing::Test {
protected:
    TempDir Directory;
    FakeClock Time;
    ScopedClock UseTime{Time};
    std::vector<TLinkLogLine> Heard;

    void SetUp() override {
        SetLinkLogListener([this](const TLinkLogLine& line) { Heard.push_back(line); });
    }
    void TearDown() override { SetLinkLogListener({}); }

    // The heard lines as the file holds them, each with its "\r\n".
    std::string HeardBytes() const {
        std::string bytes;
        for (const TLinkLogLine& line : Heard) {
            bytes += line.Text + "\r\n";
        }
        return bytes;
    }

    std::vector<LogEntryKind> HeardKinds() const {
        std::vector<LogEntryKind> kinds;
        for (const TLinkLogLine& line : Heard) {
            kinds.push_back(line.Kind);
        }
        return kinds;
    }
};

TEST_F(LinkLogListenerTest, HearsAnExchangeLineByLineWithTheFilesBytesWhenEachIsWritten) {
    PseudoTerminal peer;
    const std::vector<uint8_t> request = {0x20, 0x03, 0x00, 0x20, 0x00, 0x01, 0x83, 0x71};
    const std::vector<uint8_t> reply = {0x20, 0x03, 0x02, 0x00, 0x01, 0xC5, 0x83};
    {
        TComPortChannel channel(Port, true, OnePort(Port, peer.SlavePath()));
        channel.Dcb = TerminalLine();
        channel.Open();
        channel.Purge();
        // The request in three pieces: one line, heard once it is complete.
        ASSERT_TRUE(channel.Write(request.data(), 1, true));
        Time.Advance(10);
        ASSERT_TRUE(channel.Write(request.data() + 1, 5, true));
        Time.Advance(10);
        ASSERT_TRUE(channel.Write(request.data() + 6, 2, true));
        ASSERT_EQ(peer.Receive(request.size()), request);
        EXPECT_EQ(Heard.size(), 4u) << "the sent line is still pending";
        peer.Send(reply);
        uint8_t answer[7] = {};
        int32_t received = 0;
        ASSERT_TRUE(channel.Read(answer, 3, received, 1000, true));
        ASSERT_EQ(Heard.size(), 5u);
        EXPECT_EQ(Body(Heard.back().Text), "  < 20 03 00 20 00 01 83 71 ");
        ASSERT_TRUE(channel.Read(answer + 3, 4, received, 1000, true));
        channel.Purge();
    }
    EXPECT_EQ(HeardBytes(), ReadBytes(LogName));
    EXPECT_EQ(HeardKinds(),
              (std::vector<LogEntryKind>{lkInfo, lkInfo, lkInfo, lkInfo, lkSent, lkReceived, lkInfo,
                                         lkInfo, lkInfo, lkPlain}));
    for (const TLinkLogLine& line : Heard) {
        EXPECT_EQ(line.Event, TLinkLogEvent::Line);
        EXPECT_EQ(line.Path, LogName);
    }
}

TEST_F(LinkLogListenerTest, AFlushedEntryJoiningThePendingLineIsHeardOnceWithTheLinesKind) {
    {
        TComPortChannel channel(Port, true, TPortResolver());
        channel.Log("", lkReceived, "20 ", false);
        Time.Advance(100);
        channel.Log("", lkReceived, "03 ", true);
        // A flushed entry that starts a line gives it its kind, though it leaves LastKind be.
        channel.Log("x", lkError, "", true);
    }
    EXPECT_EQ(HeardBytes(), ReadBytes(LogName));
    const std::vector<std::string> bodies = {Body(Heard.at(3).Text), Body(Heard.at(4).Text)};
    EXPECT_EQ(bodies, (std::vector<std::string>{"  > 20 03 ", "  e x"}));
    EXPECT_EQ(Heard.at(3).Kind, lkReceived);
    EXPECT_EQ(Heard.at(4).Kind, lkError);
}

TEST_F(LinkLogListenerTest, HearsThatAChannelRunsWithoutALog) {
    struct Case {
        const char* what;
        bool withLog;
        TLinkLogEvent event;
    };
    TComPortChannel holder(Port, true, TPortResolver()); // holds the file's lock
    const size_t opening = Heard.size();
    for (const Case& c : {Case{"held by another channel", true, TLinkLogEvent::Unavailable},
                          Case{"made without a log", false, TLinkLogEvent::Off}}) {
        SCOPED_TRACE(c.what);
        Heard.resize(opening);
        {
            TComPortChannel channel(Port, c.withLog, TPortResolver());
            channel.Log("lost", lkInfo, "", true);
        }
        ASSERT_EQ(Heard.size(), opening + 1);
        EXPECT_EQ(Heard.back().Event, c.event);
        EXPECT_EQ(Heard.back().Path, LogName);
        EXPECT_EQ(Heard.back().Text, "");
    }
}

TEST_F(LinkLogListenerTest, WithoutAListenerTheLogWritesAsBefore) {
    std::filesystem::create_directory("logs");
    SetLinkLogFolder("logs");
    { TComPortChannel channel(Port, true, TPortResolver()); }
    SetLinkLogFolder("");
    ASSERT_FALSE(Heard.empty());
    EXPECT_EQ(Heard.front().Path, std::string("logs/") + LogName);
    EXPECT_EQ(LinkLogFolder(), "");

    SetLinkLogListener({});
    const std::vector<TLinkLogLine> before = Heard;
    { TComPortChannel channel(Port, true, TPortResolver()); }
    EXPECT_EQ(Heard.size(), before.size());
    std::vector<std::string> bodies;
    for (const std::string& line : LogLines(LogName)) {
        bodies.push_back(Body(line));
    }
    std::vector<std::string> block = OpeningBodies();
    for (const std::string& body : ClosingBodies(Port)) {
        block.push_back(body);
    }
    EXPECT_EQ(bodies, block);
}

} // namespace
} // namespace dravik::test
