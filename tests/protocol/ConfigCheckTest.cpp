// The check that `dravik_cli check` lists and the one that a write refuses on are one: on every
// configuration of the test data and the fuzz corpora, the write raises the first problem listed,
// before it opens the port, or goes on to open it when none is listed.
#include "protocol/ConfigCheck.h"

#include "config/ConfigFile.h"
#include "protocol/Terminal.h"
#include "support/Messages.h"
#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace dravik {
namespace {

using test::MessageOf;
using test::W;

namespace fs = std::filesystem;

const fs::path DataDir = DRAVIK_TEST_DATA;
const fs::path CorpusDir = DataDir / ".." / "fuzz" / "corpus";

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The script lines of a text file, split as the script fuzzer splits them.
TTerminalConfig ScriptOf(const fs::path& path) {
    TTerminalConfig config;
    std::istringstream text(Slurp(path));
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
            if (MessageOf([&] { FillConfig(ParseConfigText(Slurp(entry.path())), config); }) ==
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
    terminal.Resolver = [](int32_t) { return std::string("/nonexistent/tty"); };
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

} // namespace
} // namespace dravik
