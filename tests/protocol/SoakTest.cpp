// Cycles of configuration reads and writes through TTerminal against dravik_sim with faults
// chosen from a fixed seed: every cycle ends in the exact configuration or the message its fault
// calls for, with no descriptor left open and a complete block in the link log.
//   DRAVIK_SOAK_CYCLES=1000 build/dev/bin/test_protocol --gtest_filter='Soak*'
// runs the long version (DRAVIK_SOAK_SEED picks another sequence).
#include "base/Text.h"
#include "protocol/RegisterMap.h"
#include "protocol/Terminal.h"
#include "support/Messages.h"
#include "support/Simulator.h"
#include "support/TempDir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

namespace dravik {
namespace {

using test::MessageOf;
using test::W;

constexpr const char* NoException = "<no exception>";
constexpr int ShortCycles = 30;
constexpr unsigned DefaultSeed = 20240607;
constexpr int Attempts = 5;       // of one exchange before it gives up
constexpr int ReadExchanges = 3;  // of a read
constexpr int WriteExchanges = 6; // of a write with a script: three writes, three read-backs
constexpr int MostDropped = 6;    // up to one more than an exchange survives
constexpr int MostAnswered = WriteExchanges; // before a hang-up: all of a transfer's at most
constexpr int MostException = 6;
constexpr int LevelLow = 1;
constexpr int LevelHigh = 99;
constexpr size_t ScriptRoom = 150; // bytes of random commands, within the 199 the area takes

enum class TFaultKind { None, Silent, BadCrc, WrongAddress, Exception, Drop, HangUp };

struct TFaultWeight {
    TFaultKind Kind;
    const char* Name;
    int Weight; // a silent controller costs about 2.9 s a transfer, so it comes rarely
};

constexpr TFaultWeight Faults[] = {
    {TFaultKind::None, "none", 8},           {TFaultKind::Silent, "silent", 1},
    {TFaultKind::BadCrc, "badcrc", 2},       {TFaultKind::WrongAddress, "wrongaddr", 2},
    {TFaultKind::Exception, "exception", 3}, {TFaultKind::Drop, "drop", 2},
    {TFaultKind::HangUp, "hangup", 3},
};

struct TFault {
    const TFaultWeight* Kind;
    int Value = 0;

    std::vector<std::string> Arguments() const {
        if (Kind->Kind == TFaultKind::None) {
            return {};
        }
        const bool valued = Kind->Kind == TFaultKind::Exception || Kind->Kind == TFaultKind::Drop ||
                            Kind->Kind == TFaultKind::HangUp;
        return {"--fault", std::string(Kind->Name) + (valued ? "=" + std::to_string(Value) : "")};
    }
};

// The program's message for a transfer of so many exchanges under the fault; empty: it succeeds,
// "COM1: " stands for the port's message with the system's text.
std::string ExpectedMessage(const TFault& fault, int exchanges) {
    switch (fault.Kind->Kind) {
    case TFaultKind::None:
        return "";
    case TFaultKind::Silent:
        return W("Таймаут");
    case TFaultKind::BadCrc:
    case TFaultKind::WrongAddress:
        return W("Неверный формат");
    case TFaultKind::Exception:
        switch (fault.Value) {
        case 1:
            return W("Функция не поддерживается");
        case 2:
            return W("Неверный адрес");
        case 3:
            return W("Неверное значение");
        default:
            return Format(W("Неизвестная ошибка: %d"), fault.Value);
        }
    case TFaultKind::Drop:
        return fault.Value < Attempts ? "" : W("Таймаут");
    case TFaultKind::HangUp:
        return fault.Value < exchanges ? "COM1: " : "";
    }
    return "?";
}

bool MessageMatches(const std::string& message, const std::string& expected) {
    return expected.ends_with(": ") ? message.starts_with(expected) : message == expected;
}

int Setting(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::atoi(text) : fallback;
}

size_t OpenDescriptors() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

// The configuration that the registers hold, as a read unpacks it.
TTerminalConfig FromRegisters(const std::map<int, uint16_t>& registers) {
    TTerminalConfig config;
    const uint16_t mask = registers.at(MaskRegister);
    for (int i = 0; i < TankCount; ++i) {
        TTankRecord& tank = config.Tanks[static_cast<size_t>(i)];
        tank.active = (mask >> i & 1) != 0 ? 1 : 0;
        const uint16_t words[] = {registers.at(ThresholdRegister + 2 * i),
                                  registers.at(ThresholdRegister + 2 * i + 1)};
        UnpackTank(words, tank);
    }
    std::vector<uint16_t> script;
    for (int k = 0; k < ScriptRegisterCount; ++k) {
        script.push_back(registers.at(ScriptRegister + k));
    }
    DecodeScript(ScriptAreaBytes(script.data()), config.Script);
    return config;
}

// The registers after a complete write of config over before.
std::map<int, uint16_t> AfterWrite(std::map<int, uint16_t> before, const TTerminalConfig& config) {
    before[MaskRegister] = TankMask(config);
    for (int i = 0; i < TankCount; ++i) {
        uint16_t words[2];
        PackTank(config.Tanks[static_cast<size_t>(i)], words);
        before[ThresholdRegister + 2 * i] = words[0];
        before[ThresholdRegister + 2 * i + 1] = words[1];
    }
    const std::vector<uint16_t> image = ScriptImage(EncodeScript(config.Script));
    for (size_t k = 0; k < image.size(); ++k) {
        before[ScriptRegister + static_cast<int>(k)] = image[k];
    }
    return before;
}

class SoakTest : public ::testing::Test {
protected:
    test::TempDir Dir;
    TTerminal Terminal;
    std::mt19937 Random{static_cast<unsigned>(Setting("DRAVIK_SOAK_SEED", DefaultSeed))};
    size_t LogRead = 0;

    int Between(int low, int high) { return std::uniform_int_distribution(low, high)(Random); }

    TFault PickFault(int cycle) {
        constexpr int kinds = static_cast<int>(std::size(Faults));
        int index = cycle; // every kind once first, then at random by weight
        if (cycle >= kinds) {
            std::vector<int> weights;
            for (const TFaultWeight& f : Faults) {
                weights.push_back(f.Weight);
            }
            index = std::discrete_distribution<int>(weights.begin(), weights.end())(Random);
        }
        TFault fault{&Faults[index]};
        switch (fault.Kind->Kind) {
        case TFaultKind::Exception:
            fault.Value = Between(1, MostException);
            break;
        case TFaultKind::Drop:
            fault.Value = Between(1, MostDropped);
            break;
        case TFaultKind::HangUp:
            fault.Value = Between(0, MostAnswered);
            break;
        default:
            break;
        }
        return fault;
    }

    // Lines as the decoder writes them, ending in the end command.
    TScriptLines RandomScript() {
        static constexpr int FixedParameters[] = {0, 0, 0, 4, 2, 2, 4, 3, 5};
        TScriptLines script;
        size_t used = 0;
        for (;;) {
            const int opcode = Between(1, 8);
            std::vector<int> bytes = {opcode};
            int parameters = FixedParameters[opcode];
            if (opcode <= 2) {
                const int count = Between(0, 4);
                bytes.push_back(count);
                parameters = count + 1;
            }
            for (int i = 0; i < parameters; ++i) {
                bytes.push_back(Between(0, 255));
            }
            used += bytes.size();
            if (used > ScriptRoom || Between(0, 5) == 0) {
                break;
            }
            std::string line;
            for (const int b : bytes) {
                line += FormatRaw(" %02X", b);
            }
            script.Add(line);
        }
        script.Add(" 00");
        return script;
    }

    TTerminalConfig RandomConfig() {
        TTerminalConfig config;
        for (TTankRecord& tank : config.Tanks) {
            if (Between(0, 1) == 1) {
                const int hmin = Between(LevelLow, LevelHigh - 2);
                const int hmax = Between(hmin + 1, LevelHigh - 1);
                tank = {1, hmin, hmax, Between(hmax + 1, LevelHigh)};
            } else {
                tank = {0, Between(0, LevelHigh), Between(0, LevelHigh), Between(0, LevelHigh)};
            }
        }
        config.Script = RandomScript();
        return config;
    }

    // What this cycle added to the link log: exactly one block, from its header to its closing
    // line.
    void ExpectOneCompleteBlock() {
        std::ifstream in("port1.log", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        const std::string all = text.str();
        ASSERT_GE(all.size(), LogRead);
        const std::string added = all.substr(LogRead);
        LogRead = all.size();
        const std::string header = W("Начало работы") + "\r\n";
        const std::string closing = std::string(30, '*') + "\r\n";
        const size_t first = added.find(header);
        ASSERT_NE(first, std::string::npos) << added;
        EXPECT_EQ(added.find(header, first + 1), std::string::npos) << added;
        EXPECT_TRUE(added.ends_with(closing)) << added;
        EXPECT_EQ(added.find(closing), added.size() - closing.size()) << added;
    }
};

TEST_F(SoakTest, EveryCycleEndsInTheExactConfigurationOrItsMessage) {
    const int cycles = Setting("DRAVIK_SOAK_CYCLES", ShortCycles);
    const std::string stateFile = Dir.File("registers.txt");
    const size_t descriptors = OpenDescriptors();
    std::optional<TTerminalConfig> known; // what the controller holds, while we know it
    std::map<std::string, int> injected;
    int survived = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        const TFault fault = PickFault(cycle);
        const bool writing = Between(0, 1) == 1;
        const std::vector<std::string> arguments = fault.Arguments();
        SCOPED_TRACE(std::to_string(cycle) + (writing ? ": write, " : ": read, ") +
                     (arguments.empty() ? "no fault" : arguments[1]));
        ++injected[fault.Kind->Name];
        std::vector<std::string> options = {"--state", stateFile};
        options.insert(options.end(), arguments.begin(), arguments.end());
        test::Simulator sim(options);
        const std::string link = sim.Link();
        Terminal.Resolver = [link](int32_t) { return link; };
        const std::map<int, uint16_t> before = sim.State();

        const TTerminalConfig written = RandomConfig();
        TTerminalConfig read;
        const std::string message = MessageOf([&] {
            if (writing) {
                Terminal.WriteConfig(written);
            } else {
                Terminal.ReadConfig(read);
            }
        });
        EXPECT_FALSE(Terminal.IsConnected());
        sim.Stop(); // the registers are saved as the simulator ends
        const std::map<int, uint16_t> after = sim.State();

        const std::string expected =
            ExpectedMessage(fault, writing ? WriteExchanges : ReadExchanges);
        if (expected.empty()) {
            EXPECT_EQ(message, NoException);
        } else {
            EXPECT_TRUE(MessageMatches(message, expected)) << message;
        }
        if (message == NoException && writing) {
            EXPECT_EQ(after, AfterWrite(before, written));
            known = written;
        } else if (message == NoException) {
            EXPECT_EQ(read, FromRegisters(before));
            if (known) {
                EXPECT_EQ(read, *known);
            }
            EXPECT_EQ(after, before);
            known = read;
        } else if (writing) {
            known.reset(); // a part of it may have gone out
        } else {
            EXPECT_EQ(after, before);
        }
        EXPECT_EQ(OpenDescriptors(), descriptors);
        ExpectOneCompleteBlock();
        if (::testing::Test::HasFailure()) {
            break;
        }
        ++survived;
    }
    std::string summary;
    for (const auto& [name, count] : injected) {
        summary += " " + name + "=" + std::to_string(count);
    }
    std::printf("soak: %d of %d cycles survived; faults:%s\n", survived, cycles, summary.c_str());
    EXPECT_EQ(survived, cycles);
}

} // namespace
} // namespace dravik
