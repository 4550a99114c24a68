// dravik_cli as a technician runs it: each subcommand against dravik_sim, its exit codes and
// its messages in UTF-8.
#include "CliFolder.h"
#include "support/CliProcess.h"
#include "support/Files.h"
#include "support/Simulator.h"
#include "support/TempDir.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

#include <gtest/gtest.h>

namespace dravik::test {
namespace {

class CliTest : public CliFolderTest {};

TEST_F(CliTest, ReadsToStandardOutputAndToAFile) {
    Simulator sim;
    const CliRun toStdout = Cli("read --device " + sim.Link());
    EXPECT_EQ(toStdout.status, 0) << toStdout.err;
    EXPECT_EQ(toStdout.out.rfind("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n", 0), 0u);
    EXPECT_NE(toStdout.out.find("<item index=\"15\""), std::string::npos);

    const CliRun toFile = Cli("read --port 7 --device " + sim.Link() + " -o saved.cfg");
    EXPECT_EQ(toFile.status, 0) << toFile.err;
    EXPECT_EQ(ReadBytes("saved.cfg"), toStdout.out);
    EXPECT_NE(ReadBytes("port7.log").find("COM7"), std::string::npos); // the number names the log
}

TEST_F(CliTest, WritesAFileToTheControllerAndReadsTheSameBack) {
    Simulator sim;
    WriteBytes("good.cfg", GoodCfg);
    const CliRun write = Cli("write good.cfg --device " + sim.Link());
    EXPECT_EQ(write.status, 0) << write.err;
    EXPECT_EQ(sim.State().at(32), 0x0001);
    EXPECT_EQ(sim.State().at(36), 0x0A32);
    EXPECT_EQ(sim.State().at(256), 0x0401);

    const CliRun read = Cli("read --device " + sim.Link());
    EXPECT_NE(
        read.out.find("<item index=\"0\" active=\"-1\" hmin=\"10\" hmax=\"50\" hhigh=\"90\"/>"),
        std::string::npos);
    EXPECT_NE(read.out.find("<item> 03 01 02 03 04</item>"), std::string::npos);
}

// The message is the first line on standard error; a failure of the line has advice after it.
TEST_F(CliTest, FailuresGiveTheSystemsMessageWithItsFullStopAndStatusOne) {
    struct Case {
        std::string arguments;
        std::string message;
        bool advised;
    };
    WriteBytes("bad.cfg", "not xml");
    Simulator silent({"--fault", "silent"});
    const Case cases[] = {
        {"read --device " + silent.Link(), "Таймаут.\n", true},
        {"read --device /nonexistent/tty", "COM1: No such file or directory.\n", true},
        {"write missing.cfg --device " + silent.Link(),
         "Cannot open file \"" + Dir.File("missing.cfg") + "\". No such file or directory.\n",
         false},
        {"check bad.cfg", "Invalid Document: Unexpected text in file prolog.\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const CliRun run = Cli(c.arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err.substr(0, c.message.size()), c.message);
        EXPECT_EQ(run.err.size() > c.message.size(), c.advised) << run.err;
    }
}

TEST_F(CliTest, AFailedOpenPrintsTheMessageThenWhatToDo) {
    const CliRun run = Cli("read --port 3 --device /nonexistent/tty");
    EXPECT_EQ(run.status, 1);
    std::vector<std::string> lines;
    std::istringstream err(run.err);
    for (std::string line; std::getline(err, line);) {
        lines.push_back(line);
    }
    ASSERT_GE(lines.size(), 4u) << run.err;
    EXPECT_EQ(lines[0], "COM3: No such file or directory.");
    EXPECT_EQ(lines[1], "COM3 — это /nonexistent/tty");
    EXPECT_EQ(lines[2], "Устройства /nonexistent/tty нет: адаптер не подключён или получил другое "
                        "имя.");
    // What follows is this machine's own list of serial ports, or that it has none.
    EXPECT_TRUE(lines[3] == "Последовательные порты этого компьютера:" ||
                lines[3] == "Последовательных портов на этом компьютере не найдено.")
        << lines[3];
    EXPECT_EQ(run.err.find('\r'), std::string::npos) << "LF line ends";
}

TEST_F(CliTest, WhatIsNotARegularFileIsRefusedAtOnce) {
    ASSERT_EQ(::mkfifo("fifo.cfg", 0666), 0);
    const std::string fifo = Dir.File("fifo.cfg");
    for (const std::string& arguments :
         {std::string("check fifo.cfg"), std::string("write fifo.cfg --device /nonexistent/tty"),
          std::string("check /dev/zero")}) {
        SCOPED_TRACE(arguments);
        const CliRun run = Cli(arguments);
        EXPECT_EQ(run.status, 1);
        const std::string file = arguments.find("zero") != std::string::npos ? "/dev/zero" : fifo;
        EXPECT_EQ(run.err, "Cannot open file \"" + file + "\". Not a regular file.\n");
    }
}

// An address-space limit would only starve the sanitizer's own shadow memory.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool UnderSanitizer = true;
#else
constexpr bool UnderSanitizer = false;
#endif

TEST_F(CliTest, RunningOutOfMemoryEndsWithAMessageAndStatusOne) {
    if (UnderSanitizer) {
        GTEST_SKIP() << "an address-space limit starves the sanitizer";
    }
    // Some 4 MiB of comment lines: quick to read, far more than the limit once parsed.
    std::string lines;
    while (lines.size() < 4 * 1024 * 1024) {
        lines += "<item>;c</item>\r\n";
    }
    WriteBytes("big.cfg", "<configure><tanks/><script>" + lines + "</script></configure>");
    const std::string limited = "sh -c 'ulimit -v 60000; exec " + std::string(DRAVIK_BIN_DIR) +
                                "/dravik_cli check big.cfg' >cli.out 2>cli.err";
    const int raw = std::system(limited.c_str());
    ASSERT_TRUE(WIFEXITED(raw)) << "ended by signal " << WTERMSIG(raw);
    EXPECT_EQ(WEXITSTATUS(raw), 1);
    EXPECT_EQ(ReadBytes("cli.err"), "dravik_cli: out of memory\n");
}

TEST_F(CliTest, CheckListsEveryProblemOrPrintsTheScriptImage) {
    WriteBytes("good.cfg", GoodCfg);
    const CliRun good = Cli("check good.cfg");
    EXPECT_EQ(good.status, 0) << good.err;
    EXPECT_EQ(good.out, "256: 0401 0203 0102 0304 0000\n");

    WriteBytes("bad.cfg",
               "<configure><tanks>"
               "<item index=\"2\" active=\"1\" hmin=\"0\" hmax=\"50\" hhigh=\"90\"/>"
               "<item index=\"4\" active=\"1\" hmin=\"50\" hmax=\"50\" hhigh=\"60\"/>"
               "</tanks><script><item> 04 01</item><item> 04 01 02</item><item> 77</item>"
               "<item> 00</item><item>; a note</item><item> 05 01 02</item><item> 06</item>"
               "</script></configure>");
    const CliRun bad = Cli("check bad.cfg");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(bad.err, "Резервуар 3:\n0 не в диапазоне 1..99.\n"
                       "Резервуар 5:\n50 не в диапазоне 51..99.\n"
                       "Ошибка загрузки скрипта \"04 01\":\nТребуется параметров: 2 (получено 1)\n"
                       "Ошибка загрузки скрипта \"77\":\nНеизвестная команда \"119\"\n"
                       "Ошибка загрузки скрипта \"05 01 02\":\n"
                       "Строка после команды конца (00) не будет записана.\n");
    // write refuses on the first of them before it opens any port.
    const CliRun write = Cli("write bad.cfg --device /nonexistent/tty");
    EXPECT_EQ(write.status, 1);
    EXPECT_EQ(write.err, "Резервуар 3:\n0 не в диапазоне 1..99.\n");
    EXPECT_FALSE(std::ifstream("port1.log").good());
}

TEST_F(CliTest, CheckNamesTheLengthOnceHoweverLongTheScript) {
    std::string cfg = "<configure><script>";
    for (int i = 0; i < 100000; ++i) {
        cfg += "<item> 04 01 02</item>";
    }
    WriteBytes("long.cfg", cfg + "</script></configure>");
    const CliRun run = Cli("check long.cfg");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Ошибка загрузки скрипта \"04 01 02\":\n"
                       "Скрипт слишком длинный: 201 байт (не более 199)\n");
}

TEST_F(CliTest, VerifyAgreesAfterAWriteAndReportsAChangedRegisterWithStatusThree) {
    Simulator sim;
    WriteGoodAndChanged();
    ASSERT_EQ(Cli("write good.cfg --device " + sim.Link()).status, 0);
    const CliRun agrees = Cli("verify good.cfg --device " + sim.Link());
    EXPECT_EQ(agrees.status, 0) << agrees.err;
    EXPECT_EQ(agrees.out, "");

    ASSERT_EQ(Cli("write changed.cfg --device " + sim.Link()).status, 0);
    const CliRun differs = Cli("verify good.cfg --port 4 --device " + sim.Link());
    EXPECT_EQ(differs.status, 3) << differs.err;
    EXPECT_EQ(differs.out, "Резервуар 1, Hmin: ожидалось 10, в контроллере 20\n");
    EXPECT_NE(ReadBytes("port4.log").find("COM4"), std::string::npos); // the read-backs are logged

    // A file that write would refuse has nothing to compare: the operation fails.
    WriteBytes("bad.cfg", "<configure><script><item> 04</item></script></configure>");
    const CliRun refused = Cli("verify bad.cfg --device " + sim.Link());
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err.rfind("Ошибка загрузки скрипта \"04\"", 0), 0u) << refused.err;
}

TEST_F(CliTest, AWriteThatTheControllerDoesNotKeepFailsWithStatusOne) {
    Simulator sim({"--fault", "stuck=39"}); // tank 2's alarm level, 85 in the simulator
    WriteBytes("good.cfg", GoodCfg);
    const CliRun run = Cli("write good.cfg --device " + sim.Link());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Контроллер хранит не то, что записано:\n"
                       "Резервуар 2, Авария: ожидалось 0, в контроллере 85.\n");
}

TEST_F(CliTest, UsageErrorsGiveStatusTwoAndHelpGivesTheUsage) {
    for (const char* arguments :
         {"", "frobnicate", "read extra", "write", "check a.cfg --port 3", "read --port 300",
          "read --port", "read --bogus", "verify", "verify a.cfg b.cfg", "verify a.cfg -o x.cfg"}) {
        SCOPED_TRACE(arguments);
        const CliRun run = Cli(arguments);
        EXPECT_EQ(run.status, 2);
        // The fault first, then the commands' lines and where the rest is: not the whole help.
        EXPECT_EQ(run.err.rfind("dravik_cli: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("Usage:"), std::string::npos);
        EXPECT_NE(run.err.find("Try 'dravik_cli --help'"), std::string::npos);
        EXPECT_EQ(run.err.find("Exit status"), std::string::npos);
    }
    const CliRun help = Cli("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage:", 0), 0u);
}

} // namespace
} // namespace dravik::test
