// The serial devices as the connection dialog and `dravik_cli ports` list them: read from a
// fixture tree of dev, sys and proc, and from this machine's own process table for a line that
// another process holds.
#include "link/SerialPorts.h"

#include "base/Text.h"
#include "support/FixtureTree.h"
#include "support/HoldingProcess.h"
#include "support/PseudoTerminal.h"

#include <filesystem>
#include <fstream>
#include <map>

#include <gtest/gtest.h>

namespace dravik::test {
namespace {

namespace fs = std::filesystem;

const TSerialPort* Find(const std::vector<TSerialPort>& ports, const std::string& device) {
    for (const TSerialPort& port : ports) {
        if (port.Device == device) {
            return &port;
        }
    }
    return nullptr;
}

std::vector<std::string> Devices(const std::vector<TSerialPort>& ports) {
    std::vector<std::string> devices;
    for (const TSerialPort& port : ports) {
        devices.push_back(port.Device);
    }
    return devices;
}

TEST(SerialPorts, ListsTheDevicesOfAFixtureTreeWithNumbersMakersAndStates) {
    FixtureTree tree;
    tree.Uart("ttyS0", "4");
    tree.Uart("ttyS1", "0"); // a node without a UART behind it
    tree.File("/dev/ttyS2"); // nor one the kernel tells anything about
    tree.File("/dev/console");
    tree.File("/dev/tty0");
    tree.UsbTty("ttyUSB0", "1-1",
                {{"idVendor", "0403"}, {"manufacturer", "FTDI"}, {"product", "FT232R USB UART"}});
    tree.Link("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "../../ttyUSB0");
    tree.UsbTty("ttyUSB1", "1-2", {{"idVendor", "1a86"}, {"idProduct", "7523"}});
    tree.UsbTty("ttyACM0", "1-3", {{"idVendor", "2341"}, {"product", "Uno"}});
    tree.UsbTty("ttyUSB40", "1-4", {{"idVendor", "067b"}, {"manufacturer", "Prolific"}});
    tree.File("/dev/pts/7");
    tree.Link("/opt/sim/ttySIM", "../../dev/pts/7");
    tree.Process(4242, "picocom", {"/dev/ttyUSB1", "/dev/null"});
    // The far end of pts/7: it holds the master and the line itself, and does not count.
    tree.Process(4243, "dravik_sim", {"/dev/ptmx", "/dev/pts/7"});
    tree.File("/proc/4243/fdinfo/3", "pos:\t0\nflags:\t02\nmnt_id:\t23\nino:\t89\ntty-index:\t7\n");

    const std::map<int32_t, std::string> map = {
        {1, "/dev/ttyS0"},    {2, "/dev/ttyS1"},        {3, "/dev/ttyUSB0"},
        {33, "/dev/ttyUSB0"}, {34, "/dev/ttyUSB1"},     {65, "/dev/ttyACM0"},
        {66, "/dev/ttyACM1"}, {100, "/opt/sim/ttySIM"}, {101, "/dev/unplugged"}};
    const TPortResolver resolver = [&](int32_t n) {
        return map.contains(n) ? map.at(n) : std::string();
    };
    const std::vector<TSerialPort> ports = ListSerialPorts(resolver, tree.Path());

    EXPECT_EQ(Devices(ports),
              (std::vector<std::string>{"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyUSB1",
                                        "/dev/ttyACM0", "/dev/pts/7", "/dev/ttyUSB40"}));
    const TSerialPort* ftdi = Find(ports, "/dev/ttyUSB0");
    ASSERT_NE(ftdi, nullptr);
    EXPECT_EQ(ftdi->Numbers, (std::vector<int32_t>{3, 33}));
    EXPECT_EQ(ftdi->ById, "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    EXPECT_EQ(ftdi->Maker, "FTDI");
    EXPECT_EQ(ftdi->Model, "FT232R USB UART");
    EXPECT_EQ(ftdi->State, TPortState::Free);
    EXPECT_EQ(PortNumbersText(*ftdi), "COM3, COM33");
    EXPECT_EQ(PortStateText(*ftdi), Cp1251("свободен"));

    const TSerialPort* held = Find(ports, "/dev/ttyUSB1");
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(held->State, TPortState::Held);
    EXPECT_EQ(PortStateText(*held), Cp1251("занят: picocom (pid 4242)"));
    EXPECT_EQ(held->Model, "1a86:7523") << "without names, the USB ids";

    const TSerialPort* arduino = Find(ports, "/dev/ttyACM0");
    ASSERT_NE(arduino, nullptr);
    EXPECT_EQ(arduino->Maker, "");
    EXPECT_EQ(arduino->Model, "Uno");

    const TSerialPort* simulator = Find(ports, "/dev/pts/7");
    ASSERT_NE(simulator, nullptr);
    EXPECT_EQ(simulator->Numbers, std::vector<int32_t>{100});
    EXPECT_EQ(simulator->State, TPortState::Free);

    const TSerialPort* unnumbered = Find(ports, "/dev/ttyUSB40");
    ASSERT_NE(unnumbered, nullptr);
    EXPECT_TRUE(unnumbered->Numbers.empty());
    EXPECT_EQ(PortNumbersText(*unnumbered), Cp1251("нет номера"));
    EXPECT_EQ(unnumbered->Maker, "Prolific");
}

TEST(SerialPorts, AnEmptyTreeHasNoDevices) {
    FixtureTree tree;
    tree.File("/dev/null");
    EXPECT_TRUE(ListSerialPorts({}, tree.Path()).empty());
    EXPECT_TRUE(
        ListSerialPorts([](int32_t) { return std::string("/dev/ttyS0"); }, tree.Path()).empty());
}

TEST(SerialPorts, TellsWhatKeepsAUserFromADevice) {
    constexpr uid_t Owner = 54321; // ids no machine names, so the texts give the numbers
    constexpr gid_t Group = 54322;
    constexpr uid_t Other = 54323;
    const struct {
        mode_t mode;
        uid_t user;
        std::vector<gid_t> groups;
        const char* problem;
    } cases[] = {
        {0660, 0, {0}, ""},
        {0600, Owner, {Owner}, ""},
        {0660, Other, {Other, Group}, ""},
        {0660, Other, {Other}, "нужна группа 54322"},
        {0666, Other, {Other}, ""},
        {0640, Other, {Other, Group}, "права 0640, владелец 54321"},
        {0400, Owner, {Group}, "права 0400, владелец 54321"},
        {0600, Other, {Other}, "права 0600, владелец 54321"},
    };
    for (const auto& c : cases) {
        struct stat device {};
        device.st_mode = S_IFCHR | c.mode;
        device.st_uid = Owner;
        device.st_gid = Group;
        EXPECT_EQ(Cp1251ToUtf8(AccessProblem(device, c.user, c.groups)), c.problem)
            << std::oct << c.mode << std::dec << " for " << c.user;
    }
}

TEST(SerialPorts, ALineAnotherProcessHoldsShowsAsHeldUntilItLetsGo) {
    PseudoTerminal line; // this process holds both sides, and is never counted
    const TPortResolver resolver = [&](int32_t n) {
        return n == 200 ? line.SlavePath() : std::string();
    };
    const auto state = [&]() {
        const std::vector<TSerialPort> ports = ListSerialPorts(resolver);
        const TSerialPort* port = Find(ports, line.SlavePath());
        return port != nullptr ? PortStateText(*port) : std::string("missing");
    };
    EXPECT_EQ(state(), Cp1251("свободен"));
    {
        HoldingProcess holder(line.SlavePath());
        EXPECT_EQ(state(), Cp1251("занят: sleep (pid ") + std::to_string(holder.Pid()) + ")");
    }
    EXPECT_EQ(state(), Cp1251("свободен"));
}

} // namespace
} // namespace dravik::test
