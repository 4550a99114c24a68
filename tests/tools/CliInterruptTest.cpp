// dravik_cli stopped by a signal in the middle of its work, and dravik_cli in a Russian locale:
// the command ends in order (exit status 128 + the signal, the link log block complete, the
// line free for the next user) and every text keeps its code page.
#include "base/Text.h"
#include "support/CliProcess.h"
#include "support/Files.h"
#include "support/Simulator.h"
#include "support/TempDir.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace dravik::test {
namespace {

constexpr uid_t Nobody = 65534;

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) {
        ++n;
    }
    return n;
}

// 0 when a user without privileges can open the device, else the errno of the refusal. The
// privileged user passes over the exclusive-use flag, so the open is made as nobody.
int OpenAsOrdinaryUser(const std::string& link) {
    char* real = ::realpath(link.c_str(), nullptr);
    const std::string path = real != nullptr ? real : link;
    std::free(real);
    if (::geteuid() == 0) {
        ::chmod(path.c_str(), 0666);
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(Nobody) != 0 || ::setuid(Nobody) != 0)) {
            ::_exit(EPERM);
        }
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ::_exit(fd >= 0 ? 0 : errno);
    }
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

class CliInterruptTest : public ::testing::Test {
protected:
    TempDir Dir;
};

TEST_F(CliInterruptTest, ASignalEndsTheCommandInOrderWithItsOwnStatus) {
    std::ofstream("good.cfg", std::ios::binary)
        << "<configure><tanks><item index=\"0\" active=\"1\" hmin=\"10\" hmax=\"50\" "
           "hhigh=\"90\"/></tanks><script><item> 04 01 02</item></script></configure>";
    struct Case {
        int signal;
        int status;
    };
    const Case signals[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}};
    // A controller that never answers keeps a read waiting; one that sends its answers a byte
    // every 150 ms is stopped in the middle of a write, with part of an answer received: its
    // first answer takes 1.2 s, the whole write about 5 s, so 1.5 s leaves a loaded machine room.
    struct Scenario {
        const char* name;
        std::vector<std::string> simulator;
        std::vector<std::string> command;
        int afterOpenMs;
    };
    const Scenario scenarios[] = {
        {"silent read", {"--fault", "silent"}, {"read"}, 300},
        {"trickled write", {"--fault", "trickle=150"}, {"write", "good.cfg"}, 1500},
    };
    for (const Scenario& s : scenarios) {
        for (const Case& c : signals) {
            SCOPED_TRACE(std::string(s.name) + ", signal " + std::to_string(c.signal));
            // A simulator of its own: an interrupted write leaves the rest of an answer trickling
            // onto the line, which would spoil the next command's first attempts.
            Simulator sim(s.simulator);
            std::remove("port1.log");
            std::vector<std::string> arguments = s.command;
            arguments.insert(arguments.end(), {"--port", "1", "--device", sim.Link()});
            const pid_t cli = StartCli(arguments);
            ASSERT_TRUE(AwaitInFile("port1.log", Cp1251("COM1 подключен")));
            std::this_thread::sleep_for(std::chrono::milliseconds(s.afterOpenMs));
            ::kill(cli, c.signal);
            EXPECT_EQ(AwaitExit(cli), c.status);
            EXPECT_EQ(ReadBytes("cli.err"), "Прервано.\n");
            const std::string log = ReadBytes("port1.log");
            const size_t interrupted = log.find(Cp1251("  i Прервано пользователем\r\n"));
            const size_t closed = log.find(Cp1251("  i COM1 закрыт\r\n"));
            ASSERT_NE(interrupted, std::string::npos) << log;
            EXPECT_LT(interrupted, closed) << log;
            EXPECT_EQ(Count(log, Cp1251("Завершено")), 1) << log;
            EXPECT_EQ(log.find(Cp1251("закрыт(")), std::string::npos) << log;
            if (s.command[0] == std::string("write")) {
                EXPECT_NE(log.find("  > 20 "), std::string::npos) << "no answer byte logged";
            }
            EXPECT_EQ(OpenAsOrdinaryUser(sim.Link()), 0);
        }
    }
}

TEST_F(CliInterruptTest, AFailedOpenInARussianLocaleKeepsEachTextsCodePage) {
    const std::string command = std::string("LC_ALL=ru_RU.UTF-8 ") + DRAVIK_BIN_DIR +
                                "/dravik_cli read --device /nonexistent/tty >cli.out 2>cli.err";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 1);
    if (std::system("locale -a 2>/dev/null | grep -qix ru_RU.utf8") != 0) {
        GTEST_SKIP() << "ru_RU.UTF-8 is not generated (scripts/install-deps.sh does it)";
    }
    // The system's Russian text, in UTF-8 on the terminal and in Windows-1251 in the log.
    const std::string russian = "COM1: Нет такого файла или каталога";
    const std::string err = ReadBytes("cli.err");
    EXPECT_EQ(err.substr(0, err.find('\n') + 1), russian + ".\n") << "the advice follows";
    EXPECT_NE(ReadBytes("port1.log").find(Cp1251(russian) + "\r\n"), std::string::npos);
}

} // namespace
} // namespace dravik::test
