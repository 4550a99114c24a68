// dravik_sim seen by libmodbus as the master: the registers it serves, its refusals, its state
// file and each fault mode.
#include "support/Simulator.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>
#include <modbus.h>

namespace dravik::test {
namespace {

struct ModbusFree {
    void operator()(modbus_t* ctx) const {
        modbus_close(ctx);
        modbus_free(ctx);
    }
};
using Master = std::unique_ptr<modbus_t, ModbusFree>;

Master Connect(const Simulator& sim) {
    Master master(modbus_new_rtu(sim.Link().c_str(), 19200, 'N', 8, 1));
    EXPECT_NE(master, nullptr);
    modbus_set_slave(master.get(), 32);
    modbus_set_response_timeout(master.get(), 0, 400000);
    EXPECT_EQ(modbus_connect(master.get()), 0) << modbus_strerror(errno);
    return master;
}

// The registers read, or the errno of the failure.
struct ReadResult {
    int rc;
    int error;
    std::vector<uint16_t> values;
};

ReadResult Read(modbus_t* master, int start, int count) {
    ReadResult r{0, 0, std::vector<uint16_t>(static_cast<size_t>(count))};
    r.rc = modbus_read_registers(master, start, count, r.values.data());
    r.error = r.rc < 0 ? errno : 0;
    return r;
}

TEST(Simulator, ServesARealisticControllerToAnIndependentMaster) {
    Simulator sim;
    Master master = Connect(sim);
    const ReadResult mask = Read(master.get(), 32, 1);
    ASSERT_EQ(mask.rc, 1) << modbus_strerror(mask.error);
    EXPECT_NE(mask.values[0], 0); // some tanks enabled
    const ReadResult thresholds = Read(master.get(), 36, 32);
    ASSERT_EQ(thresholds.rc, 32);
    for (int i = 0; i < 16; ++i) {
        const uint16_t a = thresholds.values[static_cast<size_t>(2 * i)];
        const uint16_t b = thresholds.values[static_cast<size_t>(2 * i + 1)];
        if ((mask.values[0] >> i & 1) != 0) {
            EXPECT_LT(a >> 8, a & 0xFF) << i; // hmin < hmax
            EXPECT_LT(a & 0xFF, b >> 8) << i; // hmax < hhigh
            EXPECT_EQ(b & 0xFF, ((a >> 8) + (a & 0xFF)) / 2) << i;
        }
    }
    const ReadResult script = Read(master.get(), 256, 100);
    ASSERT_EQ(script.rc, 100);
    EXPECT_NE(script.values[0], 0);
}

TEST(Simulator, RefusesOtherRegistersAndFunctions) {
    Simulator sim;
    Master master = Connect(sim);
    for (const auto& [start, count] :
         std::vector<std::pair<int, int>>{{33, 1}, {31, 2}, {66, 3}, {255, 1}, {355, 2}, {0, 1}}) {
        const ReadResult r = Read(master.get(), start, count);
        EXPECT_EQ(r.rc, -1) << start;
        EXPECT_EQ(r.error, EMBXILADD) << start;
    }
    EXPECT_EQ(modbus_write_register(master.get(), 32, 1), -1); // function 6
    EXPECT_EQ(errno, EMBXILFUN);
}

TEST(Simulator, KeepsWritesInItsStateFileAcrossARestart) {
    std::string statePath;
    std::map<int, uint16_t> written;
    {
        Simulator sim;
        Master master = Connect(sim);
        const uint16_t values[] = {0x0A32, 0x5A1E};
        ASSERT_EQ(modbus_write_registers(master.get(), 36, 2, values), 2);
        written = sim.State(); // written after the request, before any stop
        EXPECT_EQ(written[36], 0x0A32);
        EXPECT_EQ(written[37], 0x5A1E);
        EXPECT_EQ(sim.Stop(), 0);
        statePath = (std::filesystem::temp_directory_path() /
                     ("dravik-state-" + std::to_string(::getpid())))
                        .string();
        std::ofstream(statePath) << "32 0x8001\n36 0x0A32\n";
    }
    Simulator restarted({"--state", statePath});
    Master master = Connect(restarted);
    const ReadResult r = Read(master.get(), 32, 1);
    ASSERT_EQ(r.rc, 1);
    EXPECT_EQ(r.values[0], 0x8001);
    std::remove(statePath.c_str());
}

TEST(Simulator, FaultModesBreakTheAnswerAsAsked) {
    struct Case {
        const char* fault;
        int firstError;  // errno of the first read
        bool secondGood; // whether a second read succeeds
    };
    const Case cases[] = {
        {"silent", ETIMEDOUT, false},      {"badcrc", EMBBADCRC, false},
        {"exception=3", EMBXILVAL, false}, {"exception=7", MODBUS_ENOBASE + 7, false},
        {"drop=1", ETIMEDOUT, true},       {"wrongaddr", -1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        Simulator sim({"--fault", c.fault});
        Master master = Connect(sim);
        const ReadResult first = Read(master.get(), 32, 1);
        EXPECT_EQ(first.rc, -1);
        if (c.firstError >= 0) {
            EXPECT_EQ(first.error, c.firstError) << modbus_strerror(first.error);
        }
        modbus_flush(master.get());
        EXPECT_EQ(Read(master.get(), 32, 1).rc == 1, c.secondGood);
    }
}

TEST(Simulator, AStuckRegisterKeepsItsValueThroughAnAcknowledgedWrite) {
    Simulator sim({"--fault", "stuck=37"});
    Master master = Connect(sim);
    const uint16_t before = Read(master.get(), 37, 1).values[0];
    const uint16_t values[] = {0x0A32, static_cast<uint16_t>(before ^ 0xFFFF)};
    EXPECT_EQ(modbus_write_registers(master.get(), 36, 2, values), 2); // acknowledged
    const ReadResult after = Read(master.get(), 36, 2);
    ASSERT_EQ(after.rc, 2);
    EXPECT_EQ(after.values, (std::vector<uint16_t>{0x0A32, before}));
    EXPECT_EQ(sim.State()[37], before);
}

TEST(Simulator, AHangUpUnplugsTheLineAndComesBackBehindTheSameLink) {
    Simulator sim({"--fault", "hangup=1"});
    {
        Master master = Connect(sim);
        EXPECT_EQ(Read(master.get(), 32, 1).rc, 1);
        EXPECT_EQ(Read(master.get(), 32, 1).rc, -1); // unplugged on the second request
    }
    Master again = Connect(sim);
    EXPECT_EQ(Read(again.get(), 32, 1).rc, 1);
}

TEST(Simulator, PacedAnswersStillArriveWhole) {
    Simulator sim({"--pace", "--turnaround", "2"});
    Master master = Connect(sim);
    EXPECT_EQ(Read(master.get(), 256, 100).rc, 100);
}

} // namespace
} // namespace dravik::test
