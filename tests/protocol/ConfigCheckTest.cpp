// The check that `dravik_cli check` lists and the one that a write refuses on are one: on every
// configuration of the test data and the fuzz corpora, the write raises the first problem listed,
// before it opens the port, or goes on to open it when none is listed.
#include "protocol/ConfigCheck.h"

#include "config/ConfigFile.h"
#include "protocol/Terminal.h"
#include "support/Files.h"
#include "support/Messages.h"
#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace dravik {
namespace {

using test::MessageOf;
using test::ReadBytes;
using test::W;

namespace fs = std::filesystem;

const fs::path DataDir = DRAVIK_TEST_DATA;
const fs::path CorpusDir = DataDir / ".." / "fuzz" / "corpus";

// The script lines of a text file, split as the script fuzzer splits them.
TTerminalConfig ScriptOf(const fs::path& path) {
    TTerminalConfig config;
    std::istringstream text(ReadBytes(path));
    for (std::string line; std::getline(text, line);) {
        config.Script.Add(line);
    }
    return config;
}

std::vector<std::pair<std::string, TTerminalConfig>> Configurations() {
    std::vector<std::pair<std::string, TTerminalConfig>> out;
    for (const fs::path& dir : {DataDir / "config", CorpusDir / "config_file"}) {
        for (const auto& entry : fs::directory_iterator(dir)) {
            TTerminalConfig config;
            const std::string name = entry.path().filename().string();
            if (MessageOf([&] { FillConfig(ParseConfigText(ReadBytes(entry.path())), config); }) ==
                "<no exception>") {
                out.emplace_back(name, config);
            }
        }
    }
    for (const auto& entry : fs::directory_iterator(CorpusDir / "script_encode")) {
        out.emplace_back(entry.path().filename().string(), ScriptOf(entry.path()));
    }
    return out;
}

TEST(ConfigCheck, CheckAndWriteAgreeOnEveryFileOfTheDataAndTheCorpora) {
    test::TempDir dir;
    TTerminal terminal;
    terminal.Resolver = FixedDevice("/nonexistent/tty");
    const auto configurations = Configurations();
    ASSERT_GE(configurations.size(), 5u);
    size_t refused = 0;
    for (const auto& named : configurations) {
        SCOPED_TRACE(named.first);
        const TTerminalConfig& config = named.second;
        const std::vector<std::string> problems = ConfigProblems(config);
        const std::string message = MessageOf([&] { terminal.WriteConfig(config); });
        if (problems.empty()) {
            EXPECT_EQ(message.rfind("COM1: ", 0), 0u) << message; // it went on to the port
            fs::remove("port1.log");
            continue;
        }
        ++refused;
        EXPECT_EQ(message, problems.front());
        EXPECT_FALSE(fs::exists("port1.log")) << "the port was opened";
    }
    EXPECT_GT(refused, 0u);
}

TEST(ConfigCheck, TanksComeFirstInIndexOrderThenTheScript) {
    TTerminalConfig config;
    config.Tanks[9] = {1, 0, 50, 90};
    config.Tanks[2] = {1, 50, 40, 90};
    config.Tanks[12] = {0, -1, 0, 0};
    config.Script.Assign(std::vector<std::string>{" 09", " 00", " 01"});
    const std::vector<std::string> problems = ConfigProblems(config);
    EXPECT_EQ(problems, (std::vector<std::string>{
                            W("Резервуар 3:\r\n40 не в диапазоне 51..99"),
                            W("Резервуар 10:\r\n0 не в диапазоне 1..99"),
                            W("Резервуар 13:\r\n-1 не в диапазоне 0..255"),
                            W("Ошибка загрузки скрипта \"09\":\r\nНеизвестная команда \" 9\""),
                            W("Ошибка загрузки скрипта \"01\":\r\n"
                              "Строка после команды конца (00) не будет записана")}));
    EXPECT_EQ(MessageOf([&] { CheckConfig(config); }), problems.front());
    config = TTerminalConfig();
    EXPECT_TRUE(ConfigProblems(config).empty());
    EXPECT_EQ(CheckConfig(config).Count, 0);
}

// The window marks a problem where it lies: the field of the first rule a tank breaks, the line of
// the script. Bounds one above the largest value do not overflow.
TEST(ConfigCheck, ReviewPlacesEveryProblem) {
    using enum TTankField;
    struct Case {
        TTankRecord Tank;
        TTankField Field;
    };
    const Case cases[] = {
        {{1, 0, 50, 90}, Hmin},        {{1, 10, 100, 90}, Hmax},
        {{1, 10, 50, 0}, Hhigh},       {{1, 50, 50, 90}, Hmax},
        {{1, 10, 90, 90}, Hhigh},      {{0, 10, 256, 0}, Hmax},
        {{0, 0, 0, INT32_MIN}, Hhigh}, {{1, INT32_MAX, INT32_MAX, INT32_MAX}, Hmin},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Tank.hmin);
        TTerminalConfig config;
        config.Tanks[7] = c.Tank;
        const TConfigReview review = ReviewConfig(config);
        ASSERT_EQ(review.Problems.size(), 1u);
        const TConfigProblem& problem = review.Problems.front();
        EXPECT_EQ(problem.Place, TConfigProblem::Tank);
        EXPECT_EQ(problem.Index, 7);
        EXPECT_EQ(problem.Field, c.Field);
        EXPECT_EQ(problem.Message, MessageOf([&] { CheckConfig(config); }));
    }

    TTerminalConfig config;
    config.Script.Assign(std::vector<std::string>{"; scheme", "04 01 02", "", "zz", "00", "03"});
    const TConfigReview review = ReviewConfig(config);
    ASSERT_EQ(review.Problems.size(), 2u);
    EXPECT_EQ(review.Problems[0].Place, TConfigProblem::ScriptLine);
    EXPECT_EQ(review.Problems[0].Index, 3);
    EXPECT_EQ(review.Problems[1].Index, 5);
    EXPECT_EQ(review.ScriptBytes, 4);
}

TEST(ConfigCheck, ReviewCountsTheBytesOfAScriptTooLong) {
    TTerminalConfig config;
    for (int i = 0; i < 100; ++i) {
        config.Script.Add("04 01 02");
    }
    const TConfigReview review = ReviewConfig(config);
    EXPECT_EQ(review.ScriptBytes, 300);
    ASSERT_EQ(review.Problems.size(), 1u);
    EXPECT_EQ(review.Problems.front().Index, 66); // 67 lines make 201 bytes
}

} // namespace
} // namespace dravik
