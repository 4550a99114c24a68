// The master against a scripted controller on a pseudo-terminal: the test writes the exact bytes
// of every answer, so each rule of the exchange is seen on the wire.
#include "protocol/Terminal.h"

#include "link/OperationStatus.h"
#include "support/Files.h"
#include "support/Frames.h"
#include "support/Messages.h"
#include "support/PseudoTerminal.h"
#include "support/TempDir.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace dravik {
namespace {

using Bytes = std::vector<uint8_t>;
using test::Framed;
using test::MessageOf;
using test::ReadBytes;
using test::W;

constexpr size_t ReadRequestLength = 8; // address, function, start, count, CRC

// A function-0x41 answer whose length byte promises more than the answer buffer holds.
Bytes OversizedReport() {
    Bytes frame = {0x20, 0x41, 0x00, 0xFF};
    frame.resize(frame.size() + 0xFF, 0x11);
    return Framed(frame);
}

// Answers each request of a known length with the next scripted answer; an empty answer is a
// silent controller for that attempt.
class ScriptedController {
public:
    ScriptedController(test::PseudoTerminal& line, size_t requestLength, std::vector<Bytes> answers)
        : Worker([this, &line, requestLength, answers] {
              for (const Bytes& answer : answers) {
                  Bytes request = line.Receive(requestLength);
                  if (request.size() < requestLength) {
                      return;
                  }
                  Requests.push_back(std::move(request));
                  if (!answer.empty()) {
                      line.Send(answer);
                  }
              }
          }) {}
    ~ScriptedController() {
        if (Worker.joinable()) {
            Worker.join();
        }
    }

    // Valid once the exchange is over and the worker has been joined.
    const std::vector<Bytes>& Seen() {
        if (Worker.joinable()) {
            Worker.join();
        }
        return Requests;
    }

private:
    std::vector<Bytes> Requests;
    std::thread Worker;
};

class TerminalTest : public ::testing::Test {
protected:
    test::TempDir Dir; // the link log lands in the current directory
    test::PseudoTerminal Line;
    TTerminal Terminal;

    void SetUp() override {
        const std::string path = Line.SlavePath();
        Terminal.Resolver = FixedDevice(path);
    }

    std::string Log() {
        Terminal.Disconnect();
        return ReadBytes("port1.log");
    }

    static int Count(const std::string& text, const std::string& what) {
        int n = 0;
        for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) {
            ++n;
        }
        return n;
    }

    // Every received byte of the log, its lines joined.
    static std::string ReceivedHex(const std::string& log) {
        const std::string mark = " > ";
        std::string hex;
        for (size_t p = log.find(mark); p != std::string::npos; p = log.find(mark, p + 1)) {
            const size_t from = p + mark.size();
            hex += log.substr(from, log.find("\r\n", from) - from);
        }
        return hex;
    }

    std::string ReadOne(uint16_t& value) {
        return MessageOf([&] { Terminal.ReadRegisters(32, 1, &value); });
    }
};

const Bytes ReadOneRequest = {0x20, 0x03, 0x00, 0x20, 0x00, 0x01, 0x83, 0x71};
const Bytes AnswerFive = {0x20, 0x03, 0x02, 0x00, 0x05, 0xC4, 0x40};

TEST_F(TerminalTest, ReadsOneRegisterWithTheBytesOfTheWire) {
    ScriptedController controller(Line, ReadRequestLength, {AnswerFive});
    uint16_t value = 0;
    EXPECT_EQ(ReadOne(value), "<no exception>");
    EXPECT_EQ(value, 5);
    EXPECT_TRUE(Terminal.IsConnected()); // an exchange without Connect connects and stays
    ASSERT_EQ(controller.Seen().size(), 1u);
    EXPECT_EQ(controller.Seen()[0], ReadOneRequest);
    const std::string log = Log();
    EXPECT_NE(log.find(" < 20 03 00 20 00 01 83 71 \r\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" > 20 03 02 00 05 C4 40 \r\n"), std::string::npos) << log;
    EXPECT_EQ(Count(log, W("Дубль")), 0);
}

TEST_F(TerminalTest, WritesRegistersAndWaitsForSilenceAfterTheEcho) {
    ScriptedController controller(Line, 11, {{0x20, 0x10, 0x00, 0x20, 0x00, 0x01, 0x06, 0xB2}});
    const uint16_t value = 5;
    EXPECT_EQ(MessageOf([&] { Terminal.WriteRegisters(32, 1, &value); }), "<no exception>");
    ASSERT_EQ(controller.Seen().size(), 1u);
    EXPECT_EQ(controller.Seen()[0],
              (Bytes{0x20, 0x10, 0x00, 0x20, 0x00, 0x01, 0x02, 0x00, 0x05, 0xF5, 0x62}));
}

TEST_F(TerminalTest, RetriesTimeoutsAndMalformedAnswersFiveTimes) {
    struct Case {
        const char* name;
        Bytes answer;
        const char* message;
    };
    const Case cases[] = {
        {"silent", {}, "Таймаут"},
        {"bad CRC", {0x20, 0x03, 0x02, 0x00, 0x05, 0xC4, 0x41}, "Неверный формат"},
        {"other address", Framed({0x21, 0x03, 0x02, 0x00, 0x05}), "Неверный формат"},
        {"only the address", {0x20}, "Таймаут"},
        {"longer than asked", Framed({0x20, 0x03, 0x04, 0x00, 0x05, 0x00, 0x06}),
         "Неверный формат"},
        {"0x41 longer than the buffer", OversizedReport(), "Неверный формат"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedController controller(Line, ReadRequestLength, std::vector<Bytes>(5, c.answer));
        uint16_t value = 0;
        EXPECT_EQ(ReadOne(value), W(c.message));
        EXPECT_EQ(controller.Seen().size(), 5u);
        const std::string log = Log();
        EXPECT_EQ(Count(log, W("Дубль")), 4);
        EXPECT_NE(log.find(W(" i Дубль 5\r\n")), std::string::npos);
        std::remove("port1.log");
    }
}

TEST_F(TerminalTest, AnAnswerOnTheThirdAttemptSucceeds) {
    ScriptedController controller(Line, ReadRequestLength, {{}, {}, AnswerFive});
    uint16_t value = 0;
    EXPECT_EQ(ReadOne(value), "<no exception>");
    EXPECT_EQ(value, 5);
    const std::string log = Log();
    EXPECT_EQ(Count(log, W("Дубль")), 2);
    EXPECT_NE(log.find(W(" i Дубль 3\r\n")), std::string::npos);
}

TEST_F(TerminalTest, ExceptionAnswersAreNotRetried) {
    struct Case {
        uint8_t code;
        const char* message;
    };
    for (const Case& c : {Case{1, "Функция не поддерживается"}, Case{2, "Неверный адрес"},
                          Case{3, "Неверное значение"}, Case{7, "Неизвестная ошибка: 7"}}) {
        SCOPED_TRACE(c.code);
        ScriptedController controller(Line, ReadRequestLength, {Framed({0x20, 0x83, c.code})});
        uint16_t value = 0;
        EXPECT_EQ(ReadOne(value), W(c.message));
        EXPECT_EQ(controller.Seen().size(), 1u);
        EXPECT_EQ(Count(Log(), W("Дубль")), 0);
        std::remove("port1.log");
    }
}

TEST_F(TerminalTest, ExceptionTwoHasItsOwnWireBytes) {
    ScriptedController controller(Line, ReadRequestLength, {{0x20, 0x83, 0x02, 0x90, 0xFB}});
    uint16_t value = 0;
    EXPECT_EQ(ReadOne(value), W("Неверный адрес"));
}

TEST_F(TerminalTest, AReadAnswerWithoutAllItsRegistersIsRetriedAndLeavesTheValues) {
    // Asked for three registers: the missing ones would come from the CRC and older bytes.
    const struct {
        const char* name;
        Bytes answer;
    } cases[] = {
        {"one register of three", Framed({0x20, 0x03, 0x02, 0x00, 0x05})},
        {"an exception of code 0", Framed({0x20, 0x83, 0x00})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedController controller(Line, ReadRequestLength, std::vector<Bytes>(5, c.answer));
        uint16_t values[3] = {0xAAAA, 0xAAAA, 0xAAAA};
        EXPECT_EQ(MessageOf([&] { Terminal.ReadRegisters(32, 3, values); }), W("Неверный формат"));
        EXPECT_EQ(controller.Seen().size(), 5U);
        EXPECT_EQ(values[0], 0xAAAA);
        EXPECT_EQ(values[2], 0xAAAA);
        std::remove("port1.log");
    }
}

TEST_F(TerminalTest, AWriteAnsweredByAnExceptionOfCodeZeroSucceeds) {
    ScriptedController controller(Line, 11, {Framed({0x20, 0x90, 0x00})});
    const uint16_t value = 5;
    EXPECT_EQ(MessageOf([&] { Terminal.WriteRegisters(32, 1, &value); }), "<no exception>");
    EXPECT_EQ(controller.Seen().size(), 1u);
}

TEST_F(TerminalTest, AnAnswerToAnotherRequestIsMalformedAndRetried) {
    // Every answer has a good CRC; none answers the request that was sent.
    const Bytes writeRequest = {0x20, 0x10, 0x00, 0x20, 0x00, 0x01, 0x02, 0x00, 0x05, 0xF5, 0x62};
    const struct {
        const char* name;
        bool write;
        Bytes answer;
    } cases[] = {
        {"read answered by function 4", false, Framed({0x20, 0x04, 0x02, 0x12, 0x34})},
        {"read answered with a byte count of 4", false,
         Framed({0x20, 0x03, 0x04, 0x12, 0x34, 0x56, 0x78})},
        {"read answered by an exception of function 4", false, Framed({0x20, 0x84, 0x02})},
        {"write answered for another start", true, Framed({0x20, 0x10, 0x00, 0x21, 0x00, 0x01})},
        {"write answered for another count", true, Framed({0x20, 0x10, 0x00, 0x20, 0x00, 0x02})},
        {"write answered by function 3", true, Framed({0x20, 0x03, 0x00, 0x20, 0x00, 0x01})},
        {"write answered by a read's exception", true, Framed({0x20, 0x83, 0x02})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedController controller(Line, c.write ? writeRequest.size() : ReadRequestLength,
                                      std::vector<Bytes>(5, c.answer));
        uint16_t value = 5;
        const std::string message = MessageOf([&] {
            c.write ? Terminal.WriteRegisters(32, 1, &value)
                    : Terminal.ReadRegisters(32, 1, &value);
        });
        EXPECT_EQ(message, W("Неверный формат"));
        EXPECT_EQ(controller.Seen().size(), 5u);
        EXPECT_EQ(Count(Log(), W("Дубль")), 4);
        std::remove("port1.log");
    }
}

TEST_F(TerminalTest, AnEchoOfTheRequestIsSkippedAndIsNeverTheAnswer) {
    const Bytes writeRequest = {0x20, 0x10, 0x00, 0x20, 0x00, 0x01, 0x02, 0x00, 0x05, 0xF5, 0x62};
    const Bytes writeAnswer = {0x20, 0x10, 0x00, 0x20, 0x00, 0x01, 0x06, 0xB2};
    const auto then = [](Bytes first, const Bytes& second) {
        first.insert(first.end(), second.begin(), second.end());
        return first;
    };
    const struct {
        const char* name;
        bool write;
        Bytes answer; // sent for each of five attempts
        const char* message;
    } cases[] = {
        {"read behind an echo", false, then(ReadOneRequest, AnswerFive), "<no exception>"},
        {"write behind an echo", true, then(writeRequest, writeAnswer), "<no exception>"},
        {"read with only an echo", false, ReadOneRequest, "Таймаут"},
        {"write with only an echo", true, writeRequest, "Таймаут"},
        {"write answered by its own request cut short", true,
         Bytes(writeRequest.begin(), writeRequest.begin() + 8), "Неверный формат"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool succeeds = std::string(c.message) == "<no exception>";
        ScriptedController controller(Line, c.write ? writeRequest.size() : ReadRequestLength,
                                      std::vector<Bytes>(succeeds ? 1 : 5, c.answer));
        uint16_t value = 5;
        const std::string message = MessageOf([&] {
            c.write ? Terminal.WriteRegisters(32, 1, &value)
                    : Terminal.ReadRegisters(32, 1, &value);
        });
        EXPECT_EQ(message, succeeds ? c.message : W(c.message));
        controller.Seen();
        // The link log shows the echo as it came, with the answer behind it, on every attempt.
        std::string received;
        for (size_t i = 0; i < (succeeds ? 1u : 5u); ++i) {
            received += BytesToHex(c.answer.data(), static_cast<int32_t>(c.answer.size()));
        }
        const std::string log = Log();
        EXPECT_EQ(ReceivedHex(log), received) << log;
        std::remove("port1.log");
    }
}

TEST_F(TerminalTest, AHangUpInTheMiddleRaisesThePortMessage) {
    std::thread peer([this] {
        Line.Receive(ReadRequestLength);
        // The master drains its output before it reads; a hang-up inside that drain would fail
        // the write instead, so the answer starts once the master is surely reading.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Line.Send({0x20, 0x03});
        Line.HangUp();
    });
    uint16_t value = 0;
    const std::string message = ReadOne(value);
    peer.join();
    EXPECT_EQ(message.rfind("COM1: ", 0), 0u) << message;
    const std::string log = Log();
    EXPECT_NE(log.find(W("COM1 закрыт(операция: READ; err: ")), std::string::npos) << log;
    EXPECT_EQ(Count(log, W("Завершено")), 1);
}

TEST_F(TerminalTest, CountsOutsideModbusLimitsAreRefusedBeforeSending) {
    std::vector<uint16_t> values(200);
    EXPECT_EQ(MessageOf([&] { Terminal.ReadRegisters(0, 126, values.data()); }),
              W("Неверное число регистров: 126 (допустимо 1..125)"));
    EXPECT_EQ(MessageOf([&] { Terminal.WriteRegisters(0, 124, values.data()); }),
              W("Неверное число регистров: 124 (допустимо 1..123)"));
    EXPECT_EQ(MessageOf([&] { Terminal.ReadRegisters(0, 0, values.data()); }),
              W("Неверное число регистров: 0 (допустимо 1..125)"));
    EXPECT_FALSE(Terminal.IsConnected());
    EXPECT_TRUE(Line.Available().empty());
}

TEST_F(TerminalTest, AFailedConnectLeavesAChannelThatTheNextConnectReplaces) {
    Terminal.Resolver = FixedDevice("/nonexistent/tty");
    EXPECT_EQ(MessageOf([&] { Terminal.Connect(); }), "COM1: No such file or directory");
    EXPECT_TRUE(Terminal.IsConnected());
    EXPECT_EQ(Terminal.ReplyTimeout, 0);
    const std::string path = Line.SlavePath();
    Terminal.Resolver = FixedDevice(path);
    EXPECT_EQ(MessageOf([&] { Terminal.Connect(); }), "<no exception>");
    EXPECT_EQ(Terminal.ReplyTimeout, 500);
}

} // namespace
} // namespace dravik
