// --help and --version of the window and the simulator, as a packager or a script calls them: on a
// machine without a display.
#include "base/Version.h"
#include "support/Files.h"
#include "support/TempDir.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>

#include <gtest/gtest.h>

namespace dravik::test {
namespace {

struct TRun {
    int Status;
    std::string Out;
    std::string Err;
};

// Runs a program of the build without any display or Qt platform in its environment.
TRun RunProgram(const std::string& program, const std::string& arguments,
                const std::string& output = "run.out") {
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                                std::string(DRAVIK_BIN_DIR) + "/" + program + " " + arguments +
                                " >" + output + " 2>run.err";
    const int raw = std::system(command.c_str());
    // A device given as the output is not read back: /dev/full reads as endless zeros.
    const std::string out = output.starts_with("/dev/") ? std::string() : ReadBytes(output);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, out, ReadBytes("run.err")};
}

// The runs leave their output in a folder of their own.
class InformationOptionsTest : public ::testing::Test {
protected:
    TempDir Dir;
};

TEST_F(InformationOptionsTest, AnswerWithoutADisplay) {
    for (const std::string program : {"dravik_conf", "dravik_sim"}) {
        SCOPED_TRACE(program);
        const TRun version = RunProgram(program, "--version");
        EXPECT_EQ(version.Status, 0) << version.Err;
        EXPECT_EQ(version.Out, program + " " + ProgramVersion + "\n");
        const TRun help = RunProgram(program, "--help");
        EXPECT_EQ(help.Status, 0) << help.Err;
        EXPECT_EQ(help.Out.rfind("Usage: " + program, 0), 0u) << help.Out;
        EXPECT_EQ(help.Err, "");
    }
    const TRun help = RunProgram("dravik_conf", "--help");
    EXPECT_NE(help.Out.find("--from-menu"), std::string::npos);
}

TEST_F(InformationOptionsTest, AFullStandardOutputIsAFailureWithItsReason) {
    const TRun version = RunProgram("dravik_conf", "--version", "/dev/full");
    EXPECT_EQ(version.Status, 1);
    EXPECT_NE(version.Err.find("No space left on device"), std::string::npos) << version.Err;
}

} // namespace
} // namespace dravik::test
