// The search for the controller: the simulator on one line, a silent peer on another, a line
// another process holds and a device that cannot be set up, all mapped through the port map.
#include "protocol/ControllerProbe.h"

#include "link/SerialPorts.h"
#include "support/HoldingProcess.h"
#include "support/Messages.h"
#include "support/PseudoTerminal.h"
#include "support/Simulator.h"
#include "support/TempDir.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

namespace dravik::test {
namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class ControllerProbeTest : public ::testing::Test {
protected:
    TempDir Dir;
    std::map<int32_t, std::string> Map;

    TPortResolver Resolver() const {
        return [map = Map](int32_t n) { return map.contains(n) ? map.at(n) : std::string(); };
    }

    // The listed devices that the map names: the machine's own lines are no concern here.
    std::vector<TSerialPort> MappedPorts() const {
        std::vector<TSerialPort> ports = ListSerialPorts(Resolver());
        std::erase_if(ports, [](const TSerialPort& port) { return port.Numbers.empty(); });
        return ports;
    }

    static const TProbeResult& Of(const std::vector<TProbeResult>& results, int32_t number) {
        const auto found = std::find_if(results.begin(), results.end(),
                                        [&](const TProbeResult& r) { return r.Number == number; });
        if (found == results.end()) {
            throw std::runtime_error("no result for COM" + std::to_string(number));
        }
        return *found;
    }
};

TEST_F(ControllerProbeTest, FindsTheSimulatorNotTheSilentPeerAndReportsTheOthers) {
    Simulator sim;
    PseudoTerminal silent;
    PseudoTerminal busy;
    HoldingProcess holder(busy.SlavePath());
    std::ofstream(Dir.File("not-a-line")) << "";
    Map = {{5, sim.Link()},
           {6, silent.SlavePath()},
           {7, Dir.File("not-a-line")},
           {8, busy.SlavePath()}};

    const std::vector<TSerialPort> ports = MappedPorts();
    ASSERT_EQ(ports.size(), 4u);
    std::vector<size_t> reported;
    const std::vector<TProbeResult> results =
        ScanForController(ports, Resolver(), nullptr,
                          [&](size_t index, const TProbeResult&) { reported.push_back(index); });

    EXPECT_EQ(reported, (std::vector<size_t>{0, 1, 2, 3}));
    EXPECT_TRUE(Of(results, 5).Answered);
    EXPECT_FALSE(Of(results, 6).Answered);
    EXPECT_EQ(Of(results, 6).Message, W("Таймаут"));
    EXPECT_TRUE(Of(results, 7).Probed);
    EXPECT_FALSE(Of(results, 7).Answered);
    EXPECT_EQ(Of(results, 7).Message, "COM7: Inappropriate ioctl for device");
    EXPECT_FALSE(Of(results, 8).Probed) << "a held line is not touched";
    EXPECT_EQ(Of(results, 8).Message, W("занят: sleep (pid ") + std::to_string(holder.Pid()) + ")");

    // One request each, in the log of the number the line was probed as.
    EXPECT_EQ(Count(Slurp(Dir.File("port5.log")), "< 20 03 00 20 00 01 83 71"), 1u);
    EXPECT_EQ(Count(Slurp(Dir.File("port6.log")), "< 20 03 00 20 00 01 83 71"), 1u);
    EXPECT_EQ(Count(Slurp(Dir.File("port6.log")), W("Дубль")), 0u);
    EXPECT_NE(Slurp(Dir.File("port7.log")).find("COM7: Inappropriate ioctl"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(Dir.File("port8.log")));
}

TEST_F(ControllerProbeTest, ADeviceWithoutANumberIsProbedAsTheNextFreeOneFrom97) {
    Simulator sim;
    PseudoTerminal silent;
    Map = {{97, "/dev/ttyUSB7"}};
    std::vector<TSerialPort> ports(2);
    ports[0].Device = silent.SlavePath();
    ports[1].Device = sim.Link();
    const std::vector<TProbeResult> results = ScanForController(ports, Resolver());
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].Number, 98);
    EXPECT_EQ(results[1].Number, 99);
    EXPECT_TRUE(results[1].Answered);
    EXPECT_NE(Slurp(Dir.File("port99.log")).find("COM99"), std::string::npos);
}

TEST_F(ControllerProbeTest, StopsProbingOnceCancelled) {
    PseudoTerminal first;
    PseudoTerminal second;
    Map = {{10, first.SlavePath()}, {11, second.SlavePath()}};
    TCancellation cancellation;
    const std::vector<TProbeResult> results =
        ScanForController(MappedPorts(), Resolver(), &cancellation,
                          [&](size_t, const TProbeResult&) { cancellation.Cancel(); });
    ASSERT_EQ(results.size(), 2u);
    EXPECT_TRUE(results[0].Probed);
    EXPECT_FALSE(results[1].Probed);
    EXPECT_EQ(results[1].Message, W("Прервано"));
    EXPECT_FALSE(std::filesystem::exists(Dir.File("port11.log")));
}

} // namespace
} // namespace dravik::test
