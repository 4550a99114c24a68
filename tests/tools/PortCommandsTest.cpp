// `dravik_cli ports` and `dravik_cli scan` against simulators on pseudo-terminals that the port map
// names: one answering, one silent, one held by another program, and a device that is no line.
#include "base/Text.h"
#include "support/CliProcess.h"
#include "support/Files.h"
#include "support/HoldingProcess.h"
#include "support/Simulator.h"
#include "support/TempDir.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace dravik::test {
namespace {

// What a script sees in the JSON output: the program reads it with Python's own parser and prints
// the fields asked for, one entry a line, for the entries with a COM number from 5 to 8.
std::string JsonFields(const std::string& fields) {
    const std::string script = "import json, sys\n"
                               "for e in json.load(open('cli.out')):\n"
                               "    if e['port'] is not None and 5 <= e['port'] <= 8:\n"
                               "        print(' '.join(str(e[f]) for f in '" +
                               fields + "'.split()))\n";
    std::ofstream("fields.py") << script;
    const int raw = std::system("python3 fields.py >fields.out 2>&1");
    const bool ran = WIFEXITED(raw) && WEXITSTATUS(raw) == 0;
    return ran ? ReadBytes("fields.out") : "python3 failed: " + ReadBytes("fields.out");
}

std::string Final(const std::string& path) {
    return std::filesystem::canonical(path).string();
}

class PortCommandsTest : public ::testing::Test {
protected:
    TempDir Dir;
    Simulator Answering;
    Simulator Silent{{"--fault", "silent"}};
    Simulator Busy{{"--fault", "silent"}};
    HoldingProcess Holder{Busy.Link()};

    PortCommandsTest() {
        std::ofstream("not-a-line") << "";
        std::ofstream("ports.ini")
            << "[ports]\r\ncom5=" << Answering.Link() << "\r\ncom6=" << Silent.Link()
            << "\r\ncom7=" << Dir.File("not-a-line") << "\r\ncom8=" << Busy.Link() << "\r\n";
    }

    std::string HeldBy() const { return "sleep (pid " + std::to_string(Holder.Pid()) + ")"; }
};

TEST_F(PortCommandsTest, PortsListsTheMappedLinesWithTheirNumbersAndStates) {
    const CliRun table = Cli("ports --settings ports.ini");
    EXPECT_EQ(table.status, 0) << table.err;
    EXPECT_EQ(table.out.rfind("COM   DEVICE", 0), 0u) << table.out;
    for (const std::string& row :
         {"COM5  " + Final(Answering.Link()), "COM6  " + Final(Silent.Link()),
          "COM7  " + Dir.File("not-a-line"), "COM8  " + Final(Busy.Link())}) {
        EXPECT_NE(table.out.find(row), std::string::npos) << row << " in\n" << table.out;
    }
    EXPECT_NE(table.out.find("занят: " + HeldBy() + "\n"), std::string::npos) << table.out;

    const CliRun json = Cli("--json --settings ports.ini ports"); // options may come first
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(JsonFields("port device state reason"),
              "5 " + Final(Answering.Link()) + " free None\n" + "6 " + Final(Silent.Link()) +
                  " free None\n" + "7 " + Dir.File("not-a-line") + " free None\n" + "8 " +
                  Final(Busy.Link()) + " held " + HeldBy() + "\n");
}

TEST_F(PortCommandsTest, ScanFindsTheSimulatorAndReportsTheOthers) {
    const CliRun scan = Cli("scan --settings ports.ini");
    EXPECT_EQ(scan.status, 0) << scan.err;
    EXPECT_EQ(scan.out, "COM5  " + Final(Answering.Link()) + "\n");
    for (const std::string& line :
         {"COM6 " + Final(Silent.Link()) + ": Таймаут.\n",
          Dir.File("not-a-line") + ": COM7: Inappropriate ioctl for device.\n",
          "COM8 " + Final(Busy.Link()) + ": занят: " + HeldBy() + "\n"}) {
        EXPECT_NE(scan.err.find(line), std::string::npos) << line << " in\n" << scan.err;
    }
    EXPECT_NE(ReadBytes("port5.log").find("COM5"), std::string::npos);
    EXPECT_NE(ReadBytes("port6.log").find("COM6"), std::string::npos);

    const CliRun json = Cli("scan --json --settings ports.ini");
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(JsonFields("port probed answered"),
              "5 True True\n6 True False\n7 True False\n8 False False\n");
}

// The probes' logs go where --log-dir says, and a folder that cannot take them stops the scan
// before any device is asked.
TEST_F(PortCommandsTest, ScanLogsItsProbesInTheFolderGiven) {
    std::ofstream("one.ini") << "[ports]\r\ncom5=" << Answering.Link() << "\r\n";
    std::filesystem::create_directory("logs");
    const CliRun scan = Cli("scan --settings one.ini --log-dir logs");
    EXPECT_EQ(scan.status, 0) << scan.err;
    EXPECT_NE(ReadBytes("logs/port5.log").find("COM5"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists("port5.log"));

    const CliRun refused = Cli("scan --settings one.ini --log-dir not-a-line");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err.rfind("Cannot write the log folder \"not-a-line\".", 0), 0u)
        << refused.err;
    EXPECT_FALSE(std::filesystem::exists("port5.log"));
}

TEST_F(PortCommandsTest, ScanGivesStatusOneWhenNoControllerAnswers) {
    std::ofstream("silent.ini") << "[ports]\r\ncom6=" << Silent.Link() << "\r\n";
    const CliRun scan = Cli("scan --settings silent.ini");
    EXPECT_EQ(scan.status, 1);
    EXPECT_EQ(scan.out, "");
    EXPECT_NE(scan.err.find("no controller answered\n"), std::string::npos) << scan.err;
}

TEST_F(PortCommandsTest, UsageErrorsGiveStatusTwo) {
    for (const char* arguments : {"ports --bogus", "scan extra", "scan --settings",
                                  "scan --log-dir", "ports --log-dir x"}) {
        SCOPED_TRACE(arguments);
        const CliRun run = Cli(arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find("Usage:"), std::string::npos);
    }
    EXPECT_NE(Cli("--help").out.find("dravik_cli scan [--json]"), std::string::npos);
    EXPECT_NE(Cli("scan --bogus --help").out.find("dravik_cli scan [--json]"), std::string::npos);
}

TEST_F(PortCommandsTest, ASignalStopsTheScanInOrder) {
    std::ofstream("silent.ini") << "[ports]\r\ncom6=" << Silent.Link()
                                << "\r\ncom7=" << Answering.Link() << "\r\n";
    const pid_t cli = StartCli({"scan", "--settings", "silent.ini"});
    // The probe of COM6 waits for an answer that does not come; COM7 is never asked.
    ASSERT_TRUE(AwaitInFile("port6.log", Cp1251("COM6 подключен")));
    ::kill(cli, SIGINT);
    EXPECT_EQ(AwaitExit(cli), 130);
    EXPECT_EQ(ReadBytes("cli.out"), "");
    EXPECT_NE(ReadBytes("cli.err").find("Прервано.\n"), std::string::npos) << ReadBytes("cli.err");
    EXPECT_FALSE(std::filesystem::exists("port7.log"));
}

} // namespace
} // namespace dravik::test
