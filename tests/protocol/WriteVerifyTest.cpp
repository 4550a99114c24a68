// A write against a scripted controller on a pseudo-terminal: what goes on the wire when the
// configuration is refused (nothing), when it is written (the same writes as ever, then their
// read-backs), and which answers to the read-backs fail it.
#include "RegisterPeer.h"
#include "protocol/Terminal.h"
#include "support/Frames.h"
#include "support/Messages.h"
#include "support/PseudoTerminal.h"
#include "support/TempDir.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace dravik {
namespace {

using test::MessageOf;
using test::TBytes;
using test::TPeerReply;
using test::TRegisterPeer;
using test::W;
using TRegisters = std::array<uint16_t, TRegisterPeer::RegisterCount>;

constexpr const char* NoException = "<no exception>";
constexpr size_t ThresholdReadBack = 4; // the request that reads registers 36..67 back

TTerminalConfig Written() {
    TTerminalConfig config;
    config.Tanks[0] = {1, 10, 50, 90};
    config.Tanks[15] = {1, 20, 30, 40};
    config.Script.Assign(std::vector<std::string>{" 04 01 02", " 03 01 02 03 04", " 00"});
    return config;
}

// A controller that already holds something else in every register.
TRegisters Previous() {
    TRegisters registers{};
    registers.fill(0x5A5A);
    return registers;
}

// The function, start and count of a request.
std::array<int, 3> Head(const TBytes& request) {
    return {request[1], request[2] << 8 | request[3], request[4] << 8 | request[5]};
}

// The answer to a read of 36..67 with the low byte of one of its registers changed.
TBytes WithLowByte(TBytes answer, size_t registerOffset, uint8_t value) {
    answer[3 + 2 * registerOffset + 1] = value;
    answer.resize(answer.size() - 2);
    return test::Framed(answer);
}

class WriteVerifyTest : public ::testing::Test {
protected:
    test::TempDir Dir; // the link log lands in the current directory
    test::PseudoTerminal Line;
    TTerminal Terminal;

    void SetUp() override {
        Terminal.Resolver = [path = Line.SlavePath()](int32_t) { return path; };
    }
};

TEST_F(WriteVerifyTest, AValidWriteSendsTheSameWritesAndThenReadsEachBlockBack) {
    TRegisterPeer peer(Line, Previous());
    EXPECT_EQ(MessageOf([&] { Terminal.WriteConfig(Written()); }), NoException);
    peer.Stop();
    std::vector<std::array<int, 3>> heads;
    for (const TBytes& request : peer.Received()) {
        heads.push_back(Head(request));
    }
    EXPECT_EQ(heads, (std::vector<std::array<int, 3>>{{0x10, 32, 1},
                                                      {0x10, 36, 32},
                                                      {0x10, 256, 5},
                                                      {0x03, 32, 1},
                                                      {0x03, 36, 32},
                                                      {0x03, 256, 5}}));
    EXPECT_EQ(peer.Registers()[32], 0x8001);
    EXPECT_EQ(peer.Registers()[37], 0x5A1E);
    EXPECT_EQ(peer.Registers()[260], 0x0000);
    EXPECT_EQ(peer.Registers()[261], 0x5A5A); // beyond the image: untouched
}

TEST_F(WriteVerifyTest, ARefusedWriteSendsNothingAndLogsNothing) {
    for (const char* line : {" 04 01", " 05 01 02"}) { // a bad line; a line after the end
        SCOPED_TRACE(line);
        TTerminalConfig config = Written();
        config.Script.Add(line);
        TRegisterPeer peer(Line, Previous());
        EXPECT_NE(MessageOf([&] { Terminal.WriteConfig(config); }), NoException);
        peer.Stop();
        EXPECT_EQ(peer.Requests(), 0u);
        EXPECT_EQ(peer.Registers(), Previous());
        EXPECT_FALSE(std::filesystem::exists("port1.log"));
    }
}

TEST_F(WriteVerifyTest, AControllerThatComputesItsOwnMidpointIsNoDifference) {
    TRegisterPeer peer(Line, Previous(), [](size_t request, const TBytes& answer) {
        return TPeerReply{request == ThresholdReadBack ? WithLowByte(answer, 1, 0x77) : answer};
    });
    EXPECT_EQ(MessageOf([&] { Terminal.WriteConfig(Written()); }), NoException);
}

TEST_F(WriteVerifyTest, AReadBackThatDiffersFailsTheWriteWithBothValues) {
    // Register 36 of tank 1 carries hmin high, hmax low: hmax comes back as 51.
    TRegisterPeer peer(Line, Previous(), [](size_t request, const TBytes& answer) {
        return TPeerReply{request == ThresholdReadBack ? WithLowByte(answer, 0, 51) : answer};
    });
    EXPECT_EQ(MessageOf([&] { Terminal.WriteConfig(Written()); }),
              W("Контроллер хранит не то, что записано:\r\n"
                "Резервуар 1, Hmax: ожидалось 50, в контроллере 51"));
    EXPECT_FALSE(Terminal.IsConnected());
    peer.Stop();
    EXPECT_EQ(peer.Requests(), 6u);
}

} // namespace
} // namespace dravik
