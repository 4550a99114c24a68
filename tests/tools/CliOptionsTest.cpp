// dravik_cli's command line by the conventions of its kind: the forms of each option, "--",
// "-" for the standard streams, a standard output that cannot be written, the link log's folder.
#include "CliFolder.h"
#include "base/Text.h"
#include "base/Version.h"
#include "support/CliProcess.h"
#include "support/Files.h"
#include "support/Simulator.h"
#include "support/TempDir.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

namespace dravik::test {
namespace {

constexpr uid_t Nobody = 65534;

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// Whether process pid has come to handle signal, within a generous deadline.
bool AwaitHandler(pid_t pid, int signal) {
    const std::string status = "/proc/" + std::to_string(pid) + "/status";
    return AwaitUntil([&] {
        std::ifstream in(status);
        for (std::string line; std::getline(in, line);) {
            if (line.starts_with("SigCgt:") &&
                (std::stoull(line.substr(line.find_first_not_of(" \t", 7)), nullptr, 16) >>
                     (signal - 1) &
                 1) != 0) {
                return true;
            }
        }
        return false;
    });
}

const char* const GoodImage = "256: 0401 0203 0102 0304 0000\n";

class CliOptionsTest : public CliFolderTest {};

TEST_F(CliOptionsTest, VersionAndHelpAnswerWhateverElseIsGiven) {
    const std::string version = std::string("dravik_cli ") + ProgramVersion + "\n";
    for (const char* arguments : {"--version", "-V", "read --bogus --version", "--vers"}) {
        SCOPED_TRACE(arguments);
        const CliRun run = Cli(arguments);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, version);
        EXPECT_EQ(run.err, "");
    }
    for (const char* arguments : {"--help", "-h", "check a.cfg --port 3 --help", "frobnicate -h"}) {
        SCOPED_TRACE(arguments);
        const CliRun run = Cli(arguments);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out.rfind("Usage: dravik_cli read", 0), 0u) << run.out;
        EXPECT_NE(run.out.find("--log-dir=DIR"), std::string::npos);
        EXPECT_EQ(run.err, "");
    }
}

TEST_F(CliOptionsTest, EveryFormOfAnOptionMeansTheSame) {
    Simulator sim;
    const std::string link = sim.Link();
    const CliRun reference = Cli("read --device " + link);
    ASSERT_EQ(reference.status, 0) << reference.err;
    struct Case {
        std::string arguments;
        std::string saved; // the file the configuration goes to, "" for standard output
    };
    const Case cases[] = {
        {"read --port=7 --device=" + link, ""},
        {"read --port 7 --device " + link, ""},
        {"read -p 7 -d " + link, ""},
        {"read -p7 -d" + link + " -o saved.cfg", "saved.cfg"},
        {"--port 7 --output=saved.cfg --device " + link + " read", "saved.cfg"},
        {"read --output saved.cfg --port 7 --device " + link, "saved.cfg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        std::remove("port7.log");
        std::remove("saved.cfg");
        const CliRun run = Cli(c.arguments);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(c.saved.empty() ? run.out : ReadBytes(c.saved), reference.out);
        EXPECT_NE(ReadBytes("port7.log").find("COM7"), std::string::npos);
    }
}

TEST_F(CliOptionsTest, DoubleDashEndsTheOptions) {
    WriteBytes("--odd.cfg", GoodCfg);
    WriteBytes("-p", GoodCfg);
    struct Case {
        const char* arguments;
        int status;
        std::string out;
    };
    const Case cases[] = {
        {"check -- --odd.cfg", 0, GoodImage},
        {"-- check -p", 0, GoodImage},
        {"check --odd.cfg", 2, ""},  // an option it does not know
        {"check -p", 2, ""},         // -p without its value
        {"check -- -p 3", 2, ""},    // two files
        {"read -- --port=3", 2, ""}, // read takes no file
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const CliRun run = Cli(c.arguments);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_EQ(run.out, c.out);
    }
    EXPECT_EQ(Cli("check --odd.cfg").err.rfind("dravik_cli: unknown option --odd.cfg\n", 0), 0u);
}

TEST_F(CliOptionsTest, ADashIsStandardInputOrStandardOutput) {
    Simulator sim;
    const std::string device = " --device " + sim.Link();
    WriteGoodAndChanged();

    const CliRun check = Cli("check -", "good.cfg");
    EXPECT_EQ(check.status, 0) << check.err;
    EXPECT_EQ(check.out, GoodImage);

    const CliRun write = Cli("write -" + device, "good.cfg");
    EXPECT_EQ(write.status, 0) << write.err;
    EXPECT_EQ(sim.State().at(36), 0x0A32);

    const CliRun agrees = Cli("verify -" + device, "good.cfg");
    EXPECT_EQ(agrees.status, 0) << agrees.err;
    const CliRun differs = Cli("verify -" + device, "changed.cfg");
    EXPECT_EQ(differs.status, 3) << differs.err;
    EXPECT_EQ(differs.out, "Резервуар 1, Hmin: ожидалось 20, в контроллере 10\n");

    const CliRun read = Cli("read -o -" + device);
    EXPECT_EQ(read.status, 0) << read.err;
    ASSERT_EQ(Cli("read -o saved.cfg" + device).status, 0);
    EXPECT_EQ(read.out, ReadBytes("saved.cfg"));
    EXPECT_FALSE(Exists("-")); // no file of that name anywhere
}

TEST_F(CliOptionsTest, ASignalEndsTheWaitForStandardInput) {
    int input[2];
    ASSERT_EQ(::pipe(input), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(input[0], STDIN_FILENO);
        ::close(input[1]);
        ::freopen("cli.err", "w", stderr);
        const std::string program = std::string(DRAVIK_BIN_DIR) + "/dravik_cli";
        ::execl(program.c_str(), program.c_str(), "check", "-", nullptr);
        ::_exit(127);
    }
    ::close(input[0]);
    ASSERT_EQ(::write(input[1], "<configure>", 11), 11); // and the rest never comes
    ASSERT_TRUE(AwaitHandler(pid, SIGINT));
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // let it wait in the read
    ::kill(pid, SIGINT);
    int raw = 0;
    ASSERT_EQ(::waitpid(pid, &raw, 0), pid);
    ::close(input[1]);
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 130);
    EXPECT_EQ(ReadBytes("cli.err"), "Прервано.\n");
}

TEST_F(CliOptionsTest, AFullStandardOutputFailsWithItsReason) {
    Simulator sim;
    const std::string device = " --device " + sim.Link();
    WriteGoodAndChanged();
    ASSERT_EQ(Cli("write good.cfg" + device).status, 0);
    for (const std::string& arguments :
         {std::string("--version"), std::string("--help"), std::string("check good.cfg"),
          "read" + device, "read -o -" + device, "verify changed.cfg" + device}) {
        SCOPED_TRACE(arguments);
        const CliRun run = Cli(arguments, "/dev/null", "/dev/full");
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "Cannot write standard output. No space left on device.\n");
    }
}

TEST_F(CliOptionsTest, TheLinkLogGoesToTheFolderGiven) {
    Simulator sim;
    const std::string device = " --device " + sim.Link();
    ASSERT_EQ(::mkdir("logs", 0700), 0);
    const CliRun run = Cli("read --port 5 --log-dir logs" + device);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(Exists("port5.log"));
    // Its lines keep their CR LF, whatever the terminal's messages end with.
    EXPECT_NE(ReadBytes("logs/port5.log").find(Cp1251("  i COM5 закрыт\r\n")), std::string::npos);

    WriteBytes("good.cfg", GoodCfg);
    struct Case {
        std::string arguments;
        int status;
        std::string err;
    };
    const Case refused[] = {
        {"read --log-dir=missing" + device, 1,
         "Cannot write the log folder \"missing\". No such file or directory.\n"},
        {"write good.cfg --log-dir good.cfg" + device, 1,
         "Cannot write the log folder \"good.cfg\". Not a directory.\n"},
        {"check good.cfg --log-dir logs", 2, "dravik_cli: check works offline"},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.arguments);
        const CliRun failed = Cli(c.arguments);
        EXPECT_EQ(failed.status, c.status);
        EXPECT_EQ(failed.err.rfind(c.err, 0), 0u) << failed.err;
    }
    EXPECT_FALSE(Exists("port1.log")); // refused before the port opened
}

// A current directory the user may not write: the log goes to the state folder, as the window's
// does. The privileged user writes anywhere, so the command runs as nobody then.
TEST_F(CliOptionsTest, AnUnwritableCurrentDirectoryLogsToTheStateFolder) {
    Simulator sim;
    char* real = ::realpath(sim.Link().c_str(), nullptr);
    ASSERT_NE(real, nullptr);
    const std::string device = real;
    std::free(real);
    const bool root = ::geteuid() == 0;
    ASSERT_EQ(::mkdir("locked", 0555), 0);
    ASSERT_EQ(::mkdir("home", 0777), 0);
    if (root) {
        ASSERT_EQ(::chmod(device.c_str(), 0666), 0);
        ASSERT_EQ(::chmod(Dir.Path().c_str(), 0711), 0);
        ASSERT_EQ(::chmod("home", 0777), 0); // whatever the umask
    }
    const std::string home = Dir.File("home");
    const std::string prefix = "cd locked && env XDG_STATE_HOME=" + home +
                               "/state XDG_CONFIG_HOME=" + home + "/config " +
                               (root ? "setpriv --reuid=" + std::to_string(Nobody) +
                                           " --regid=" + std::to_string(Nobody) + " --clear-groups "
                                     : std::string());
    const CliRun run =
        Cli("read --port 9 --device " + device, "/dev/null", Dir.File("cli.out"), prefix);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(ReadBytes(home + "/state/dravik_conf/port9.log").find("COM9"), std::string::npos);
    EXPECT_FALSE(Exists("locked/port9.log"));
}

} // namespace
} // namespace dravik::test
