// Faults of the line during whole transfers, against a controller on a pseudo-terminal: unplugged
// in the middle, answering garbage, answering late, answering for another slave. Each command
// ends in the program's message with the port closed and the link log block whole, and the next
// read works on the same terminal.
#include "RegisterPeer.h"
#include "base/Clock.h"
#include "base/SystemError.h"
#include "protocol/Terminal.h"
#include "support/Files.h"
#include "support/Messages.h"
#include "support/PseudoTerminal.h"
#include "support/TempDir.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

namespace dravik {
namespace {

using test::MessageOf;
using test::ReadBytes;
using test::TBytes;
using test::TPeerReply;
using test::TRegisterPeer;
using test::W;
using TRegisters = std::array<uint16_t, TRegisterPeer::RegisterCount>;

constexpr const char* NoException = "<no exception>";
constexpr const char* LogName = "port1.log";
constexpr size_t TimeStampLength = 23; // "[dd.mm.yy hh:nn:ss.zzz]"
constexpr uint8_t Address = TTerminal::SlaveAddress;
constexpr uint8_t OtherAddress = 33;

// The controller's configuration: tanks 1 and 16 enabled. No byte of any answer after its address
// is 0x20, so that the tail of a refused answer left on the line never passes for a frame start.
TTerminalConfig ControllerConfig() {
    TTerminalConfig config;
    for (int i = 0; i < TankCount; ++i) {
        config.Tanks[static_cast<size_t>(i)] = {
            static_cast<uint8_t>(i == 0 || i == TankCount - 1 ? 1 : 0), 40 + i, 60 + i, 80 + i};
    }
    config.Script.Add(" 04 01 02");
    config.Script.Add(" 03 01 02 03 04");
    config.Script.Add(" 00");
    return config;
}

TRegisters ControllerRegisters() {
    TRegisters registers{};
    registers[32] = 0x8001;
    for (int i = 0; i < TankCount; ++i) {
        const auto at = static_cast<size_t>(36 + 2 * i);
        registers[at] = static_cast<uint16_t>((40 + i) << 8 | (60 + i));
        registers[at + 1] = static_cast<uint16_t>((80 + i) << 8 | (50 + i)); // the midpoint
    }
    const uint16_t script[] = {0x0401, 0x0203, 0x0102, 0x0304};
    std::copy(std::begin(script), std::end(script), registers.begin() + 256);
    return registers;
}

std::string HungUpMessage() {
    return Format(W("COM%d: %s"), 1, SystemText(EIO).c_str());
}

// A real clock whose pause between attempts first lets the test act on the line.
class TPauseClock : public Clock {
public:
    std::function<void()> OnPause;

    uint32_t TickCount() override { return SystemClock().TickCount(); }
    LocalTime Now() override { return SystemClock().Now(); }
    void Sleep(uint32_t milliseconds) override {
        if (OnPause) {
            OnPause();
        }
        SystemClock().Sleep(milliseconds);
    }
};

class LineFaultTest : public ::testing::Test {
protected:
    test::TempDir Dir; // the link log lands in the current directory
    const std::string Device = Dir.File("ttyCOM1");
    std::unique_ptr<test::PseudoTerminal> Line;
    TTerminal Terminal; // one for the whole test, as in one run of the program

    void SetUp() override {
        Plug();
        Terminal.Resolver = FixedDevice(Device);
    }

    // A controller plugged in afresh: a new line behind the same device name.
    void Plug() {
        Line = std::make_unique<test::PseudoTerminal>();
        std::filesystem::remove(Device);
        std::filesystem::create_symlink(Line->SlavePath(), Device);
    }

    std::string ReadConfig() {
        TTerminalConfig config;
        return MessageOf([&] { Terminal.ReadConfig(config); });
    }

    std::string WriteConfig() {
        return MessageOf([&] { Terminal.WriteConfig(ControllerConfig()); });
    }

    static std::vector<std::string> LogBodies() {
        const std::string log = ReadBytes(LogName);
        EXPECT_TRUE(log.size() >= 2 && log.substr(log.size() - 2) == "\r\n") << "last line cut";
        std::vector<std::string> bodies;
        size_t start = 0;
        for (size_t end = log.find("\r\n"); end != std::string::npos;
             end = log.find("\r\n", start)) {
            const std::string line = log.substr(start, end - start);
            bodies.push_back(line.size() > TimeStampLength ? line.substr(TimeStampLength) : "");
            start = end + 2;
        }
        return bodies;
    }

    // Checks that the log is made of whole blocks only, from the opening header to the closing
    // line, and gives each block's lines between them.
    static std::vector<std::vector<std::string>> LogBlocks() {
        const std::vector<std::string> opening = {"  i  ", "  i " + std::string(30, '='),
                                                  W("  i Начало работы")};
        const std::vector<std::string> closing = {"  i  ", W("  i Завершено"),
                                                  "    " + std::string(30, '*')};
        const std::vector<std::string> bodies = LogBodies();
        std::vector<std::vector<std::string>> blocks;
        size_t at = 0;
        while (at < bodies.size()) {
            const auto from = bodies.begin() + static_cast<std::ptrdiff_t>(at);
            const auto to = bodies.begin() + static_cast<std::ptrdiff_t>(
                                                 std::min(at + opening.size(), bodies.size()));
            if (!std::equal(opening.begin(), opening.end(), from, to)) {
                ADD_FAILURE() << "no opening header at line " << at + 1;
                return blocks;
            }
            at += opening.size();
            std::vector<std::string> block;
            while (at < bodies.size() && bodies[at] != closing.back() &&
                   bodies[at] != opening.back()) {
                block.push_back(bodies[at++]);
            }
            if (at == bodies.size() || bodies[at] != closing.back() || block.size() < 3 ||
                !std::equal(closing.begin(), closing.end() - 1, block.end() - 2)) {
                ADD_FAILURE() << "block " << blocks.size() + 1 << " has no closing lines";
                return blocks;
            }
            ++at;
            block.resize(block.size() - 2);
            blocks.push_back(block);
        }
        return blocks;
    }

    static int Count(const std::vector<std::string>& block, const std::string& prefix) {
        return static_cast<int>(std::count_if(block.begin(), block.end(), [&](const auto& line) {
            return line.rfind(prefix, 0) == 0;
        }));
    }

    // The block's own closing line of the port, the last before its closing entries.
    static const std::string& PortClosing(const std::vector<std::string>& block) {
        return block.back();
    }

    // The next read on the same terminal, against a sound controller on the line as it is now;
    // gives the read's own log block.
    std::vector<std::string> ExpectTheNextReadWorks(size_t blocksBefore) {
        test::TRegisterPeer good(*Line, ControllerRegisters());
        TTerminalConfig config;
        config.Script.Add("left over");
        EXPECT_EQ(MessageOf([&] { Terminal.ReadConfig(config); }), NoException);
        EXPECT_EQ(config, ControllerConfig());
        EXPECT_FALSE(Terminal.IsConnected());
        good.Stop();
        const auto blocks = LogBlocks();
        EXPECT_EQ(blocks.size(), blocksBefore + 1);
        if (blocks.empty()) {
            return {};
        }
        EXPECT_EQ(PortClosing(blocks.back()), W("  i COM1 закрыт"));
        return blocks.back();
    }
};

TEST_F(LineFaultTest, AnUnpluggedControllerEndsTheTransferAndTheNextReadWorksAgain) {
    constexpr size_t WholeAnswer = SIZE_MAX;
    struct Case {
        const char* name;
        bool write;
        size_t request;     // the request it is unplugged at (0: the mask)
        size_t bytesBefore; // of that request's answer, sent before the plug is pulled
    };
    const Case cases[] = {
        {"read: unplugged inside the thresholds' answer", false, 1, 10},
        {"read: unplugged before the script's answer", false, 2, 0},
        {"read: unplugged right after the mask's answer", false, 0, WholeAnswer},
        {"write: unplugged inside the thresholds' echo", true, 1, 3},
        {"write: unplugged before the script's echo", true, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(LogName);
        {
            TRegisterPeer peer(
                *Line, ControllerRegisters(), [&c](size_t request, const TBytes& answer) {
                    if (request != c.request) {
                        return TPeerReply{answer};
                    }
                    const size_t sent = std::min(c.bytesBefore, answer.size());
                    return TPeerReply{
                        TBytes(answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(sent)),
                        false, true};
                });
            EXPECT_EQ(c.write ? WriteConfig() : ReadConfig(), HungUpMessage());
            EXPECT_FALSE(Terminal.IsConnected());
            peer.Stop();
            EXPECT_EQ(peer.Requests(), c.request + 1);
        }
        const auto blocks = LogBlocks();
        ASSERT_EQ(blocks.size(), 1u);
        // The failed transfer closes the port, then the channel's end logs its own closing.
        EXPECT_EQ(Count(blocks[0], W("  i COM1 закрыт(операция: ")), 1);
        EXPECT_EQ(PortClosing(blocks[0]), W("  i COM1 закрыт"));
        Plug();
        EXPECT_EQ(Count(ExpectTheNextReadWorks(1), W("  i Дубль")), 0);
    }
}

// Bytes of no frame: never the slave's address, so every attempt is refused at its first byte.
TBytes Garbage(size_t request) {
    std::mt19937 random(static_cast<uint32_t>(request));
    TBytes bytes(1 + random() % 60);
    for (uint8_t& b : bytes) {
        do {
            b = static_cast<uint8_t>(random());
        } while (b == Address);
    }
    return bytes;
}

TBytes Mangled(TBytes answer) {
    answer[answer.size() / 2] ^= 0x01;
    return answer;
}

TBytes FromOtherSlave(TBytes answer) {
    answer[0] = OtherAddress;
    answer.resize(answer.size() - 2);
    return test::Framed(answer);
}

TEST_F(LineFaultTest, WrongAnswersInTheMiddleOfAReadEndInTheMessageAndTheNextReadWorks) {
    struct Case {
        const char* name;
        std::function<TBytes(size_t request, const TBytes& answer)> reply;
    };
    const Case cases[] = {
        {"garbage", [](size_t request, const TBytes&) { return Garbage(request); }},
        {"a flipped bit", [](size_t, const TBytes& answer) { return Mangled(answer); }},
        {"another slave's address",
         [](size_t, const TBytes& answer) { return FromOtherSlave(answer); }},
    };
    size_t blocks = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            // The mask is answered properly, the thresholds never.
            TRegisterPeer peer(
                *Line, ControllerRegisters(), [&c](size_t request, const TBytes& answer) {
                    return TPeerReply{request == 0 ? answer : c.reply(request, answer)};
                });
            EXPECT_EQ(ReadConfig(), W("Неверный формат"));
            EXPECT_FALSE(Terminal.IsConnected());
            peer.Stop();
            EXPECT_EQ(peer.Requests(), 6u); // the mask, then five attempts at the thresholds
        }
        const auto log = LogBlocks();
        ASSERT_EQ(log.size(), blocks + 1);
        EXPECT_EQ(Count(log.back(), W("  i Дубль")), 4);
        EXPECT_EQ(PortClosing(log.back()), W("  i COM1 закрыт"));
        // Tails of refused answers may still reach the line: a retry of the next read is fair.
        ExpectTheNextReadWorks(blocks + 1);
        blocks += 2;
    }
}

TEST_F(LineFaultTest, LateAnswersAreNeverTakenForTheNextOne) {
    // Each answer comes after the reply timeout, and says another mask than the controller holds.
    const TBytes lateMask = test::Framed({Address, 0x03, 0x02, 0x0F, 0x0F});
    TPauseClock clock;
    const ScopedClock scoped(clock);
    {
        TRegisterPeer peer(*Line, ControllerRegisters(), [&](size_t, const TBytes&) {
            return TPeerReply{lateMask, true};
        });
        // The late answer reaches the line after the attempt gave up, before the next one.
        clock.OnPause = [&] { EXPECT_TRUE(peer.DeliverLate()); };
        EXPECT_EQ(ReadConfig(), W("Таймаут"));
        clock.OnPause = nullptr;
        EXPECT_FALSE(Terminal.IsConnected());
        // The answer to the last attempt arrives once the port is closed, before the next read.
        EXPECT_TRUE(peer.DeliverLate());
        peer.Stop();
        EXPECT_EQ(peer.Requests(), 5u);
    }
    const auto blocks = LogBlocks();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(Count(blocks[0], W("  i Дубль")), 4);
    EXPECT_EQ(Count(blocks[0], "  > "), 0) << "a late byte was read";
    EXPECT_EQ(PortClosing(blocks[0]), W("  i COM1 закрыт"));
    // The last late answer waits on the line; the read neither takes it nor needs a retry for it.
    EXPECT_EQ(Count(ExpectTheNextReadWorks(1), W("  i Дубль")), 0);
}

} // namespace
} // namespace dravik
