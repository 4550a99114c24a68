// The line as it is in the field, against peers that the tests script on pseudo-terminals and
// against the simulator: adapters that echo, controllers that answer late or a byte at a time,
// lines that babble, a command cancelled from outside, a terminal that must be left as found.
#include "base/Cancellation.h"
#include "base/Clock.h"
#include "protocol/Terminal.h"
#include "support/Frames.h"
#include "support/Messages.h"
#include "support/PseudoTerminal.h"
#include "support/Simulator.h"
#include "support/TempDir.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace dravik {
namespace {

using Bytes = std::vector<uint8_t>;
using test::MessageOf;
using test::W;

constexpr const char* NoException = "<no exception>";
constexpr uint8_t Address = TTerminal::SlaveAddress;
constexpr int ScriptStart = 256;

double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) {
        ++n;
    }
    return n;
}

// How an attempt cut off by its bound ends depends on where the bytes stood: in the header of
// the answer (a timeout) or behind it (a malformed answer). Both are failures.
bool IsLineFailure(const std::string& message) {
    return message == W("Таймаут") || message == W("Неверный формат");
}

TTerminalConfig SmallConfig() {
    TTerminalConfig config;
    config.Tanks[0] = {1, 10, 50, 90};
    config.Script.Add(" 04 01 02");
    return config;
}

// The master side of a line whose peer runs on its own thread until the object goes.
class TPeerThread {
public:
    explicit TPeerThread(test::PseudoTerminal& line) : Line(line) {}
    ~TPeerThread() { Stop(); }
    TPeerThread(const TPeerThread&) = delete;
    TPeerThread& operator=(const TPeerThread&) = delete;

    template <typename F>
    void Start(F&& body) {
        Worker = std::thread([this, body] { body(Line, Stopping); });
    }
    void Stop() {
        Stopping = true;
        if (Worker.joinable()) {
            Worker.join();
        }
    }

private:
    test::PseudoTerminal& Line;
    std::atomic<bool> Stopping{false};
    std::thread Worker;
};

class FieldLineTest : public ::testing::Test {
protected:
    test::TempDir Dir;
    test::PseudoTerminal Line;
    TTerminal Terminal;
    TCancellation Cancellation;

    void SetUp() override { Use(Line.SlavePath()); }

    void Use(const std::string& path) {
        Terminal.Resolver = [path](int32_t) { return path; };
        Terminal.Cancellation = &Cancellation;
    }

    std::string Log() {
        Terminal.Disconnect();
        std::ifstream in("port1.log", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

// A line that sends the slave's address every 400 ms for ever: every byte restarts the
// inactivity timeout of an answer whose length is not given.
TEST_F(FieldLineTest, ABabblingLineEndsEveryAttemptWithinItsBound) {
    TPeerThread babbler(Line);
    babbler.Start([](test::PseudoTerminal& line, std::atomic<bool>& stopping) {
        while (!stopping) {
            line.Send({Address});
            for (int i = 0; i < 20 && !stopping; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
    });
    const auto start = std::chrono::steady_clock::now();
    const uint16_t value = 5;
    const std::string message = MessageOf([&] { Terminal.WriteRegisters(32, 1, &value); });
    EXPECT_TRUE(IsLineFailure(message)) << message;
    // Five attempts of at most 500 + 10 + 1000 ms and four pauses: about 8 s, where the
    // inactivity timeout alone would have read for over 100 s per attempt.
    EXPECT_LT(MsSince(start), 12000.0);
    EXPECT_EQ(Count(Log(), W("Дубль")), 4);
}

// A controller that answers each request 650 ms after it came, past the reply timeout, and
// refuses the script's registers: each step must not take an earlier step's answer as its own.
TEST_F(FieldLineTest, LateAnswersAreMatchedToTheirRequestsAndTheRefusalIsSeen) {
    TPeerThread peer(Line);
    peer.Start([](test::PseudoTerminal& line, std::atomic<bool>& stopping) {
        using Clock = std::chrono::steady_clock;
        std::vector<std::pair<Clock::time_point, Bytes>> due;
        Bytes heard;
        while (!stopping) {
            pollfd p{line.MasterFd(), POLLIN, 0};
            ::poll(&p, 1, 5);
            const Bytes more = line.Available();
            heard.insert(heard.end(), more.begin(), more.end());
            while (heard.size() >= 7 && heard.size() >= size_t{9} + heard[6]) {
                const int start = heard[2] << 8 | heard[3];
                const Bytes answer =
                    start == ScriptStart
                        ? test::Framed({Address, 0x90, 0x02})
                        : test::Framed({Address, 0x10, heard[2], heard[3], heard[4], heard[5]});
                due.emplace_back(Clock::now() + std::chrono::milliseconds(650), answer);
                heard.erase(heard.begin(), heard.begin() + 9 + heard[6]);
            }
            while (!due.empty() && due.front().first <= Clock::now()) {
                line.Send(due.front().second);
                due.erase(due.begin());
            }
        }
    });
    EXPECT_EQ(MessageOf([&] { Terminal.WriteConfig(SmallConfig()); }), W("Неверный адрес"));
}

// An answer in three pieces 300 ms apart, within the reply timeout of each other, is read.
TEST_F(FieldLineTest, AnAnswerInPiecesWithShortGapsIsStillRead) {
    TPeerThread peer(Line);
    peer.Start([](test::PseudoTerminal& line, std::atomic<bool>&) {
        if (line.Receive(8).size() < 8) {
            return;
        }
        const Bytes answer = test::Framed({Address, 0x03, 0x02, 0x00, 0x05});
        line.Send(Bytes(answer.begin(), answer.begin() + 2));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        line.Send(Bytes(answer.begin() + 2, answer.begin() + 4));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        line.Send(Bytes(answer.begin() + 4, answer.end()));
    });
    uint16_t value = 0;
    EXPECT_EQ(MessageOf([&] { Terminal.ReadRegisters(32, 1, &value); }), NoException);
    EXPECT_EQ(value, 5);
}

TEST_F(FieldLineTest, ACancelledReadEndsInOrderWithinItsNextWakeUp) {
    std::thread canceller([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        Cancellation.Cancel();
    });
    const auto start = std::chrono::steady_clock::now();
    TTerminalConfig config;
    EXPECT_EQ(MessageOf([&] { Terminal.ReadConfig(config); }), W("Прервано"));
    canceller.join();
    EXPECT_LT(MsSince(start), 2000.0); // a silent line would hold it for about 3 s
    EXPECT_FALSE(Terminal.IsConnected());
    const std::string log = Log();
    const size_t interrupted = log.find(W("  i Прервано пользователем\r\n"));
    ASSERT_NE(interrupted, std::string::npos) << log;
    EXPECT_LT(interrupted, log.find(W("  i COM1 закрыт\r\n"))) << log;
    EXPECT_EQ(Count(log, W("Завершено")), 1);
    EXPECT_EQ(Count(log, W("Дубль")), 0);
}

// The pause between attempts looks at the flag too: a cancel within it makes no next attempt.
TEST_F(FieldLineTest, TheCancelledPauseMakesNoFurtherAttempt) {
    class TCancellingClock : public Clock {
    public:
        explicit TCancellingClock(TCancellation& c) : Cancellation(c) {}
        uint32_t TickCount() override { return SystemClock().TickCount(); }
        LocalTime Now() override { return SystemClock().Now(); }
        void Sleep(uint32_t ms) override {
            Cancellation.Cancel();
            SystemClock().Sleep(ms);
        }

    private:
        TCancellation& Cancellation;
    } clock(Cancellation);
    const ScopedClock scoped(clock);
    uint16_t value = 0;
    EXPECT_EQ(MessageOf([&] { Terminal.ReadRegisters(32, 1, &value); }), W("Прервано"));
    EXPECT_EQ(Line.Available().size(), 8u); // one request only
    EXPECT_EQ(Count(Log(), W("Дубль")), 0);
}

TEST_F(FieldLineTest, TheTerminalGetsItsSettingsBackAtClose) {
    const int fd = ::open(Line.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios cooked{};
    ASSERT_EQ(::tcgetattr(fd, &cooked), 0);
    cooked.c_lflag |= ICANON | ECHO;
    cooked.c_oflag |= OPOST;
    ::cfsetspeed(&cooked, B9600);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &cooked), 0);

    Terminal.Connect();
    termios during{};
    ::tcgetattr(fd, &during);
    EXPECT_EQ(during.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(::cfgetospeed(&during), speed_t{B19200});
    Terminal.Disconnect();

    termios after{};
    ::tcgetattr(fd, &after);
    ::close(fd);
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO), tcflag_t{ICANON | ECHO});
    EXPECT_EQ(after.c_oflag & OPOST, tcflag_t{OPOST});
    EXPECT_EQ(::cfgetospeed(&after), speed_t{B9600});
}

// The simulator behind an adapter that echoes, with and without a controller behind it,
// answering late, and answering a byte every 400 ms.
TEST_F(FieldLineTest, TheSimulatorsLineFaults) {
    {
        test::Simulator sim({"--fault", "echo"});
        Use(sim.Link());
        EXPECT_EQ(MessageOf([&] { Terminal.WriteConfig(SmallConfig()); }), NoException);
        EXPECT_EQ(sim.State().at(36), 0x0A32);
        TTerminalConfig config;
        EXPECT_EQ(MessageOf([&] { Terminal.ReadConfig(config); }), NoException);
        EXPECT_EQ(config.Tanks[0].hhigh, 90);
    }
    {
        test::Simulator sim({"--fault", "echo", "--fault", "silent"});
        Use(sim.Link());
        TTerminalConfig config;
        EXPECT_EQ(MessageOf([&] { Terminal.ReadConfig(config); }), W("Таймаут"));
        EXPECT_EQ(MessageOf([&] { Terminal.WriteConfig(SmallConfig()); }), W("Таймаут"));
    }
    {
        // Late, but within the reply timeout of the request's end: every answer is read.
        test::Simulator sim({"--fault", "late=300"});
        Use(sim.Link());
        std::remove("port1.log"); // the blocks of the faults before
        const auto start = std::chrono::steady_clock::now();
        TTerminalConfig config;
        EXPECT_EQ(MessageOf([&] { Terminal.ReadConfig(config); }), NoException);
        EXPECT_GE(MsSince(start), 900.0);
        EXPECT_EQ(Count(Log(), W("Дубль")), 0);
    }
    {
        test::Simulator sim({"--fault", "trickle=400"});
        Use(sim.Link());
        const auto start = std::chrono::steady_clock::now();
        const std::string message = MessageOf([&] { Terminal.WriteConfig(SmallConfig()); });
        EXPECT_TRUE(IsLineFailure(message)) << message;
        EXPECT_LT(MsSince(start), 12000.0);
    }
}

} // namespace
} // namespace dravik
