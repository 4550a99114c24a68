#include "link/LinkLog.h"

#include "LinkTestSupport.h"
#include "base/FileSystem.h"
#include "link/ComPortChannel.h"
#include "support/Messages.h"
#include "support/PseudoTerminal.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>

#include <gtest/gtest.h>

namespace dravik::test {
namespace {

constexpr int32_t Port = 3;
const char* const LogName = "port3.log";

std::string Stamp(const LocalTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "[%02d.%02d.%02d %02d:%02d:%02d.%03d]", t.Day, t.Month,
                  t.Year % 100, t.Hour, t.Minute, t.Second, t.Millisecond);
    return text;
}

std::vector<std::string> Bodies(const std::string& path) {
    std::vector<std::string> bodies;
    for (const std::string& line : LogLines(path)) {
        bodies.push_back(Body(line));
    }
    return bodies;
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class LinkLogTest : public ::testing::Test {
protected:
    TemporaryDirectory Directory;
    FakeClock Time;
    ScopedClock UseTime{Time};

    // A channel that only logs: there is no device behind its port.
    std::unique_ptr<TComPortChannel> Logger(bool withLog = true) {
        return std::make_unique<TComPortChannel>(Port, withLog, TPortResolver());
    }

    void At(int second, int millisecond, uint32_t tick) {
        Time.Time.Second = second;
        Time.Time.Millisecond = millisecond;
        Time.Tick = tick;
    }
};

TEST_F(LinkLogTest, OneExchangeLeavesTheTenLineBlockByteForByte) {
    PseudoTerminal peer;
    const std::vector<uint8_t> request = {0x20, 0x03, 0x00, 0x20, 0x00, 0x01, 0x83, 0x71};
    const std::vector<uint8_t> reply = {0x20, 0x03, 0x02, 0x00, 0x01, 0xC5, 0x83};
    {
        At(30, 982, 5000);
        TComPortChannel channel(Port, true, OnePort(Port, peer.SlavePath()));
        channel.Dcb = TerminalLine();
        At(30, 998, 5016);
        channel.Open();
        At(31, 14, 5032);
        channel.Purge();
        ASSERT_TRUE(channel.Write(request.data(), 1, true));
        ASSERT_TRUE(channel.Write(request.data() + 1, 5, true));
        ASSERT_TRUE(channel.Write(request.data() + 6, 2, true));
        ASSERT_EQ(peer.Receive(request.size()), request);
        EXPECT_EQ(LogLines(LogName).size(), 4u) << "the sent line is still pending";

        peer.Send(reply);
        At(31, 45, 5063);
        uint8_t answer[7] = {};
        int32_t received = 0;
        ASSERT_TRUE(channel.Read(answer, 3, received, 1000, true));
        EXPECT_EQ(LogLines(LogName).size(), 5u) << "a change of kind writes the sent line out";
        ASSERT_TRUE(channel.Read(answer + 3, 2, received, 1000, true));
        ASSERT_TRUE(channel.Read(answer + 5, 2, received, 1000, true));
        EXPECT_EQ(std::vector<uint8_t>(answer, answer + 7), reply);
        At(31, 61, 5079);
        channel.Purge();
        EXPECT_EQ(LogLines(LogName).size(), 6u);
    }
    const std::string expected = W("[09.12.24 14:05:30.982]  i  \r\n"
                                   "[09.12.24 14:05:30.982]  i ==============================\r\n"
                                   "[09.12.24 14:05:30.982]  i Начало работы\r\n"
                                   "[09.12.24 14:05:30.998]  i COM3 подключен\r\n"
                                   "[09.12.24 14:05:31.014]  < 20 03 00 20 00 01 83 71 \r\n"
                                   "[09.12.24 14:05:31.045]  > 20 03 02 00 01 C5 83 \r\n"
                                   "[09.12.24 14:05:31.061]  i COM3 закрыт\r\n"
                                   "[09.12.24 14:05:31.061]  i  \r\n"
                                   "[09.12.24 14:05:31.061]  i Завершено\r\n"
                                   "[09.12.24 14:05:31.061]    ******************************\r\n");
    EXPECT_EQ(FileText(LogName), expected);
}

TEST_F(LinkLogTest, EntriesJoinWithin200MillisecondsOfOneKindAcrossTheTickWrap) {
    struct Case {
        uint32_t startTick;
        uint32_t gap;
        LogEntryKind second;
        bool joined;
    };
    const uint32_t nearWrap = 0xFFFFFF9C; // 100 ms before the counter wraps to 0
    for (const Case& c : {Case{1000, 150, lkSent, true}, Case{1000, 200, lkSent, true},
                          Case{1000, 201, lkSent, false}, Case{1000, 250, lkSent, false},
                          Case{1000, 1, lkReceived, false}, Case{nearWrap, 200, lkSent, true},
                          Case{nearWrap, 201, lkSent, false}}) {
        SCOPED_TRACE(testing::Message() << c.startTick << " + " << c.gap << " kind " << +c.second);
        std::filesystem::remove(LogName);
        Time.Tick = c.startTick;
        auto channel = Logger();
        const LocalTime firstTime = Time.Now();
        channel->Log("", lkSent, "20 03 ", false);
        Time.Advance(c.gap);
        const LocalTime secondTime = Time.Now();
        channel->Log("", c.second, "00 01 ", false);
        const size_t opening = OpeningBodies().size();
        if (c.joined) {
            EXPECT_EQ(LogLines(LogName).size(), opening);
            channel->FlushLog();
            const auto lines = LogLines(LogName);
            ASSERT_EQ(lines.size(), opening + 1);
            EXPECT_EQ(lines.back(), Stamp(firstTime) + "  < 20 03 00 01 ");
        } else {
            auto lines = LogLines(LogName);
            ASSERT_EQ(lines.size(), opening + 1)
                << "the first line is written when the second comes";
            EXPECT_EQ(lines.back(), Stamp(firstTime) + "  < 20 03 ");
            channel->FlushLog();
            lines = LogLines(LogName);
            ASSERT_EQ(lines.size(), opening + 2);
            const char kind = c.second == lkSent ? '<' : '>';
            EXPECT_EQ(lines.back(), Stamp(secondTime) + "  " + kind + " 00 01 ");
        }
    }
}

TEST_F(LinkLogTest, AFlushedEntryJoinsThePendingLineAndWritesItAtOnce) {
    auto channel = Logger();
    channel->Log("", lkSent, "20 ", false);
    Time.Advance(100);
    channel->Log(W("Дубль "), lkSent, "2", true);
    EXPECT_EQ(Bodies(LogName).back(), W("  < 20 Дубль 2"));
    Time.Advance(10);
    channel->Log("next", lkSent, "", true);
    EXPECT_EQ(Bodies(LogName).back(), "  < next") << "a flushed line leaves nothing pending";
}

TEST_F(LinkLogTest, EachKindHasItsCharacterAndUnknownKindsABlank) {
    struct Case {
        uint8_t kind;
        const char* body;
    };
    auto channel = Logger();
    for (const Case& c :
         {Case{lkPlain, "    x"}, Case{lkInfo, "  i x"}, Case{lkError, "  e x"},
          Case{lkReceived, "  > x"}, Case{lkSent, "  < x"}, Case{5, "    x"}, Case{255, "    x"}}) {
        channel->Log("x", static_cast<LogEntryKind>(c.kind), "", true);
        EXPECT_EQ(Bodies(LogName).back(), c.body) << +c.kind;
    }
    channel->Log("", lkInfo, "", true);
    EXPECT_EQ(LogLines(LogName).back(), Stamp(Time.Now()) + "  i ")
        << "an empty entry still makes a line";
}

TEST_F(LinkLogTest, ABlockHasItsOpeningAndClosingEntriesAfterWhatTheFileHeld) {
    const std::string earlier = "[01.01.24 10:00:00.000]    earlier block\r\n";
    WriteFileText(LogName, earlier);
    Logger().reset();
    Logger().reset();
    const std::string text = FileText(LogName);
    EXPECT_EQ(text.substr(0, earlier.size()), earlier);
    const auto block = Concat(OpeningBodies(), ClosingBodies(Port));
    EXPECT_EQ(Bodies(LogName), Concat(Concat({"    earlier block"}, block), block));
}

TEST_F(LinkLogTest, WithoutLogNoFileIsTouched) {
    auto channel = Logger(false);
    channel->Log("text", lkInfo, "data", true);
    channel->Log("text", lkSent, "data", false);
    channel->FlushLog();
    channel.reset();
    EXPECT_FALSE(std::filesystem::exists(LogName));
}

TEST_F(LinkLogTest, GoesToTheLogFolderOnceOneIsSet) {
    std::filesystem::create_directory("logs");
    const std::string elsewhere = std::string("logs/") + LogName;
    for (const char* folder : {"logs", "logs/"}) {
        SetLinkLogFolder(folder);
        Logger().reset();
    }
    SetLinkLogFolder("");
    Logger().reset();
    EXPECT_EQ(Bodies(elsewhere), Concat(Concat(OpeningBodies(), ClosingBodies(Port)),
                                        Concat(OpeningBodies(), ClosingBodies(Port))));
    EXPECT_EQ(Bodies(LogName), Concat(OpeningBodies(), ClosingBodies(Port)));
}

TEST_F(LinkLogTest, ASecondChannelFindsTheLogLockedAndLogsNothing) {
    auto first = Logger();
    {
        auto second = Logger();
        second->Log("second", lkInfo, "", true);
    }
    first->Log("first", lkInfo, "", true);
    first.reset();
    const auto block = Concat(Concat(OpeningBodies(), {"  i first"}), ClosingBodies(Port));
    EXPECT_EQ(Bodies(LogName), block);

    Logger().reset();
    EXPECT_EQ(Bodies(LogName).size(), block.size() + 7) << "the lock ends with its channel";
}

TEST_F(LinkLogTest, OnlyAPlainFileUnderTheNameIsAppendedTo) {
    struct Case {
        const char* what;
        std::function<void()> plant;
    };
    const std::string target = "target.txt";
    for (const Case& c :
         {Case{"a link to a file",
               [&] {
                   WriteFileText(target, "keep");
                   std::filesystem::create_symlink(target, LogName);
               }},
          Case{"a dangling link", [&] { std::filesystem::create_symlink(target, LogName); }},
          Case{"a directory", [] { std::filesystem::create_directory(LogName); }},
          Case{"a fifo", [] { ASSERT_EQ(mkfifo(LogName, 0600), 0); }}}) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(LogName);
        std::filesystem::remove(target);
        c.plant();
        auto channel = Logger();
        channel->Log("text", lkInfo, "", true);
        channel.reset();
        EXPECT_FALSE(std::filesystem::is_regular_file(std::filesystem::symlink_status(LogName)));
        if (std::filesystem::exists(target)) {
            EXPECT_EQ(FileText(target), "keep");
        }
    }
    std::filesystem::remove_all(LogName);
    EXPECT_FALSE(std::filesystem::exists(target)) << "a dangling link is not followed";
}

// Writes to the log fail while Failing is set, and take at most a few bytes each otherwise.
class FlakyLogFiles : public FileSystem {
public:
    bool Failing = false;
    int Writes = 0;
    ssize_t Write(int fd, const void* data, size_t size) override {
        ++Writes;
        if (Failing) {
            errno = ENOSPC;
            return -1;
        }
        return FileSystem::Write(fd, data, std::min<size_t>(size, 5));
    }
};

TEST_F(LinkLogTest, AFailedWriteLosesItsLineAndAShortWriteNothing) {
    FlakyLogFiles files;
    ScopedFileSystem useFiles(files);
    auto channel = Logger();
    files.Failing = true;
    channel->Log("lost", lkInfo, "", true);
    files.Failing = false;
    channel->Log("kept", lkSent, "20 ", true);
    channel.reset();
    EXPECT_EQ(Bodies(LogName),
              Concat(Concat(OpeningBodies(), {"  < kept20 "}), ClosingBodies(Port)));
}

TEST_F(LinkLogTest, AnUnflushedEntryTouchesOnlyMemoryAndALineCostsTwoWrites) {
    auto channel = Logger();
    struct CountingFiles : FileSystem {
        int Writes = 0;
        ssize_t Write(int fd, const void* data, size_t size) override {
            ++Writes;
            return FileSystem::Write(fd, data, size);
        }
    } files;
    ScopedFileSystem useFiles(files);
    for (int i = 0; i < 5; ++i) {
        channel->Log("", lkSent, "20 ", false);
        Time.Advance(10);
    }
    EXPECT_EQ(files.Writes, 0);
    channel->FlushLog();
    EXPECT_EQ(files.Writes, 2);
    channel->FlushLog();
    EXPECT_EQ(files.Writes, 2) << "nothing pending, nothing written";
}

} // namespace
} // namespace dravik::test
