// Whole configurations between the master and dravik_sim, whose registers libmodbus serves:
// the raw registers after a write are the controller's view, not our own unpacking.
#include "protocol/Terminal.h"
#include "support/Messages.h"
#include "support/Simulator.h"
#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include <gtest/gtest.h>

namespace dravik {
namespace {

using test::MessageOf;
using test::W;

class TransferTest : public ::testing::Test {
protected:
    test::TempDir Dir;
    TTerminal Terminal;

    void Attach(const test::Simulator& sim) {
        const std::string link = sim.Link();
        Terminal.Resolver = [link](int32_t) { return link; };
    }

    static TTerminalConfig Sample() {
        TTerminalConfig config;
        config.Tanks[0] = {1, 10, 50, 90};
        config.Tanks[5] = {1, 10, 11, 12};
        config.Tanks[9] = {0, 70, 20, 0};
        config.Script.Assign(std::vector<std::string>{" 04 01 02", " 04 03 04", " 00"});
        return config;
    }

    static int Count(const std::string& text, const std::string& part) {
        int count = 0;
        for (size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + 1)) {
            ++count;
        }
        return count;
    }

    static std::string Log() {
        std::ifstream in("port1.log", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

TEST_F(TransferTest, AWriteLandsInTheControllersRegistersAndReadsBack) {
    test::Simulator sim;
    Attach(sim);
    ASSERT_EQ(MessageOf([&] { Terminal.WriteConfig(Sample()); }), "<no exception>");
    EXPECT_FALSE(Terminal.IsConnected());
    const std::map<int, uint16_t> registers = sim.State();
    EXPECT_EQ(registers.at(32), 0x0021); // tanks 0 and 5
    EXPECT_EQ(registers.at(36), 0x0A32);
    EXPECT_EQ(registers.at(37), 0x5A1E);
    EXPECT_EQ(registers.at(46), 0x0A0B);
    EXPECT_EQ(registers.at(47), 0x0C0A);
    EXPECT_EQ(registers.at(54), 0x4614); // disabled: sent as it stands
    EXPECT_EQ(registers.at(55), 0x002D);
    EXPECT_EQ(registers.at(256), 0x0401);
    EXPECT_EQ(registers.at(257), 0x0204);
    EXPECT_EQ(registers.at(258), 0x0304);
    EXPECT_EQ(registers.at(259), 0x0000);

    TTerminalConfig read;
    ASSERT_EQ(MessageOf([&] { Terminal.ReadConfig(read); }), "<no exception>");
    TTerminalConfig expected = Sample();
    expected.Tanks[9] = {0, 70, 20, 0}; // thresholds of a disabled tank come back too
    EXPECT_EQ(read, expected);
    // One block per transfer in the link log.
    const std::string log = Log();
    size_t blocks = 0;
    for (size_t p = log.find(W("Начало работы")); p != std::string::npos;
         p = log.find(W("Начало работы"), p + 1)) {
        ++blocks;
    }
    EXPECT_EQ(blocks, 2u);
}

TEST_F(TransferTest, AReadOfTheDefaultControllerGivesSixteenTanksAndItsScript) {
    test::Simulator sim;
    Attach(sim);
    TTerminalConfig config;
    ASSERT_EQ(MessageOf([&] { Terminal.ReadConfig(config); }), "<no exception>");
    EXPECT_NE(config.Tanks[0].active, 0);
    ASSERT_GT(config.Script.Count(), 1);
    EXPECT_EQ(config.Script[config.Script.Count() - 1], " 00");
}

TEST_F(TransferTest, ARefusedWriteChangesNoRegisterAndOpensNoPort) {
    std::string twentyBytes = "01 11"; // a command of 20 bytes: ten of them make 200
    for (int i = 0; i < 18; ++i) {
        twentyBytes += " 00";
    }
    struct Case {
        const char* name;
        std::function<void(TTerminalConfig&)> spoil;
        std::string message;
    };
    const Case cases[] = {
        {"a bad tank after good ones",
         [](TTerminalConfig& c) {
             c.Tanks[4] = {1, 50, 50, 60};
         },
         W("Резервуар 5:\r\n50 не в диапазоне 51..99")},
        {"a disabled tank's value beyond its byte",
         [](TTerminalConfig& c) {
             c.Tanks[7] = {0, 0, 256, 0};
         },
         W("Резервуар 8:\r\n256 не в диапазоне 0..255")},
        {"a bad script line",
         [](TTerminalConfig& c) {
             c.Script.Assign(std::vector<std::string>{" 04 01", " 00"});
         },
         W("Ошибка загрузки скрипта \"04 01\":\r\nТребуется параметров: 2 (получено 1)")},
        {"a line after the end command", [](TTerminalConfig& c) { c.Script.Add(" 05 01 02"); },
         W("Ошибка загрузки скрипта \"05 01 02\":\r\n"
           "Строка после команды конца (00) не будет записана")},
        {"a script of 200 bytes",
         [&](TTerminalConfig& c) { c.Script.Assign(std::vector<std::string>(10, twentyBytes)); },
         W("Ошибка загрузки скрипта \"") + twentyBytes +
             W("\":\r\nСкрипт слишком длинный: 200 байт (не более 199)")},
    };
    test::Simulator sim;
    Attach(sim);
    const std::map<int, uint16_t> before = sim.State();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TTerminalConfig config = Sample();
        c.spoil(config);
        EXPECT_EQ(MessageOf([&] { Terminal.WriteConfig(config); }), c.message);
        EXPECT_FALSE(Terminal.IsConnected());
        EXPECT_EQ(sim.State(), before);
        EXPECT_FALSE(std::filesystem::exists("port1.log")) << "the port was opened";
    }
}

TEST_F(TransferTest, AControllerThatKeepsAnotherValueFailsTheWriteNamingIt) {
    struct Case {
        const char* stuck; // the register that ignores the write
        const char* difference;
    };
    // Sample() against the simulator's own configuration, which the stuck register keeps.
    const Case cases[] = {
        {"47", "Резервуар 6, Авария: ожидалось 12, в контроллере 0"},
        {"38", "Резервуар 2, Hmin: ожидалось 0, в контроллере 20\r\n"
               "Резервуар 2, Hmax: ожидалось 0, в контроллере 60"},
        {"32", "Резервуар 2, включён: ожидалось нет, в контроллере да\r\n"
               "Резервуар 3, включён: ожидалось нет, в контроллере да\r\n"
               "Резервуар 6, включён: ожидалось да, в контроллере нет"},
        {"257", "Скрипт, байт 4: ожидалось 04, в контроллере 03"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stuck);
        std::filesystem::remove("port1.log");
        test::Simulator sim({"--fault", std::string("stuck=") + c.stuck});
        Attach(sim);
        EXPECT_EQ(MessageOf([&] { Terminal.WriteConfig(Sample()); }),
                  W("Контроллер хранит не то, что записано:\r\n") + W(c.difference));
        EXPECT_FALSE(Terminal.IsConnected());
        // The read-backs stand in the link log like any other exchange: three writes, three
        // reads.
        const std::string log = Log();
        EXPECT_EQ(Count(log, "< 20 10 "), 3);
        EXPECT_EQ(Count(log, "< 20 03 "), 3);
    }
}

TEST_F(TransferTest, VerifyAgreesAfterAWriteAndNamesWhatChangedSince) {
    test::Simulator sim;
    Attach(sim);
    ASSERT_EQ(MessageOf([&] { Terminal.WriteConfig(Sample()); }), "<no exception>");
    std::vector<std::string> differences;
    ASSERT_EQ(MessageOf([&] { differences = Terminal.VerifyConfig(Sample()); }), "<no exception>");
    EXPECT_TRUE(differences.empty());
    EXPECT_FALSE(Terminal.IsConnected());

    TTerminalConfig other = Sample();
    other.Tanks[0].hmax = 60;
    other.Script.Assign(std::vector<std::string>{" 04 01 03", " 04 03 04", " 00"});
    ASSERT_EQ(MessageOf([&] { Terminal.WriteConfig(other); }), "<no exception>");
    ASSERT_EQ(MessageOf([&] { differences = Terminal.VerifyConfig(Sample()); }), "<no exception>");
    EXPECT_EQ(differences,
              (std::vector<std::string>{W("Резервуар 1, Hmax: ожидалось 50, в контроллере 60"),
                                        W("Скрипт, байт 3: ожидалось 02, в контроллере 03")}));
}

TEST_F(TransferTest, AnEmptyScriptLeavesTheScriptAreaAlone) {
    test::Simulator sim;
    Attach(sim);
    const std::map<int, uint16_t> before = sim.State();
    TTerminalConfig config;
    config.Script.Assign(std::vector<std::string>{"", " ; only a comment"});
    ASSERT_EQ(MessageOf([&] { Terminal.WriteConfig(config); }), "<no exception>");
    const std::map<int, uint16_t> after = sim.State();
    for (int a = 256; a < 356; ++a) {
        EXPECT_EQ(after.at(a), before.at(a)) << a;
    }
}

TEST_F(TransferTest, EveryFaultOfTheControllerEndsInItsMessage) {
    struct Case {
        const char* fault;
        const char* message;
    };
    const Case cases[] = {
        {"silent", "Таймаут"},
        {"badcrc", "Неверный формат"},
        {"wrongaddr", "Неверный формат"},
        {"exception=1", "Функция не поддерживается"},
        {"exception=2", "Неверный адрес"},
        {"exception=3", "Неверное значение"},
        {"exception=4", "Неизвестная ошибка: 4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        test::Simulator sim({"--fault", c.fault});
        Attach(sim);
        TTerminalConfig config;
        EXPECT_EQ(MessageOf([&] { Terminal.ReadConfig(config); }), W(c.message));
        EXPECT_FALSE(Terminal.IsConnected());
    }
}

TEST_F(TransferTest, DroppedRequestsAreRetriedAndAHangUpGivesThePortMessage) {
    {
        test::Simulator sim({"--fault", "drop=2"});
        Attach(sim);
        TTerminalConfig config;
        EXPECT_EQ(MessageOf([&] { Terminal.ReadConfig(config); }), "<no exception>");
        EXPECT_NE(Log().find(W("Дубль 3")), std::string::npos);
    }
    test::Simulator sim({"--fault", "hangup=1"});
    Attach(sim);
    TTerminalConfig config;
    const std::string message = MessageOf([&] { Terminal.ReadConfig(config); });
    EXPECT_EQ(message.rfind("COM1: ", 0), 0u) << message;
    EXPECT_FALSE(Terminal.IsConnected());
    EXPECT_NE(config.Tanks[0].active, 0); // the mask read before the line went
    // The controller is back behind its link: the next read works with the same terminal.
    EXPECT_EQ(MessageOf([&] { Terminal.ReadConfig(config); }), "<no exception>");
}

} // namespace
} // namespace dravik
