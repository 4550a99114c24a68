// What a transfer tells its progress hook, against dravik_sim: each block as it begins, and
// each retry of its exchange with the attempt's number.
#include "protocol/Terminal.h"
#include "support/Messages.h"
#include "support/Simulator.h"
#include "support/TempDir.h"

#include <vector>

#include <gtest/gtest.h>

namespace dravik {
namespace {

using test::MessageOf;
using Block = TTransferBlock;

class TransferProgressTest : public ::testing::Test {
protected:
    TransferProgressTest() {
        Terminal.Progress = [this](const TTransferStep& step) { Steps.push_back(step); };
    }

    void Attach(const test::Simulator& sim) {
        const std::string link = sim.Link();
        Terminal.Resolver = [link](int32_t) { return link; };
    }

    test::TempDir Dir; // the link log's folder
    TTerminal Terminal;
    std::vector<TTransferStep> Steps;
};

TEST_F(TransferProgressTest, AReadTellsEachBlockAndEveryRetryOfItsExchange) {
    test::Simulator sim({"--fault", "drop=2"});
    Attach(sim);
    TTerminalConfig config;
    ASSERT_EQ(MessageOf([&] { Terminal.ReadConfig(config); }), "<no exception>");
    EXPECT_EQ(Steps, (std::vector<TTransferStep>{{Block::Mask, 1},
                                                 {Block::Mask, 2},
                                                 {Block::Mask, 3},
                                                 {Block::Thresholds, 1},
                                                 {Block::Script, 1}}));
}

TEST_F(TransferProgressTest, AWriteTellsTheBlocksItSendsThenItsReadBack) {
    test::Simulator sim;
    Attach(sim);
    TTerminalConfig config;
    config.Tanks[0] = {1, 10, 50, 90};
    config.Script.Add(" 00");
    ASSERT_EQ(MessageOf([&] { Terminal.WriteConfig(config); }), "<no exception>");
    EXPECT_EQ(
        Steps,
        (std::vector<TTransferStep>{
            {Block::Mask, 1}, {Block::Thresholds, 1}, {Block::Script, 1}, {Block::Verify, 1}}));
}

} // namespace
} // namespace dravik
