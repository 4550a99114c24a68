// dravik_sim: a tank-level controller on a pseudo-terminal, Modbus RTU slave 32 at 19200 8N1,
// answered by libmodbus so that the master meets an implementation that is not its own.
#include "RegisterState.h"
#include "base/ProgramGuard.h"
#include "base/Version.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <string>
#include <sys/socket.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#include <vector>

#include <modbus.h>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int SlaveAddress = 32;
constexpr int OtherAddress = 33;
constexpr int FirstRegister = 32;
constexpr int RegisterSpan = 356 - FirstRegister;
constexpr uint8_t ReadHolding = 0x03;
constexpr uint8_t WriteMultiple = 0x10;
constexpr int64_t NsPerMs = 1000000;
constexpr int64_t ByteNs = 10LL * 1000000000LL / 19200; // start, 8 data and stop bit at 19200
constexpr int PollStepMs = 100;                         // how often the loop looks at the stop flag
constexpr int FrameSilenceMs = 20; // ends a request whose length its function does not give
constexpr int DefaultTurnaroundMs = 5;

volatile sig_atomic_t StopRequested = 0;

void OnSignal(int) {
    StopRequested = 1;
}

enum class FaultKind {
    Silent,
    BadCrc,
    WrongAddress,
    Exception,
    Drop,
    HangUp,
    Echo,
    Late,
    Trickle,
    Stuck
};

struct Fault {
    FaultKind Kind;
    int Value = 0;
};

struct Options {
    std::string Link;
    std::string StatePath;
    bool Pace = false;
    int TurnaroundMs = DefaultTurnaroundMs;
    std::vector<Fault> Faults;
};

const char* const Usage =
    "Usage: dravik_sim --link PATH [--state FILE] [--pace] [--turnaround MS] [--fault F]...\n"
    "       dravik_sim --help | --version\n"
    "  --link PATH      make PATH a symbolic link to the simulator's terminal; printed when ready\n"
    "  --state FILE     registers to start from, written at start, after every write and on exit;\n"
    "                   lines \"<register> 0x<value>\" for 32, 36..67 and 256..355\n"
    "  --pace           answer byte by byte at the wire speed of 19200 baud 8N1\n"
    "  --turnaround MS  with --pace, the pause before an answer (default 5)\n"
    "  --fault F        silent | badcrc | wrongaddr | exception=N | drop=K (ignore the first\n"
    "                   K requests) | hangup=K (answer K requests, then unplug on the next one\n"
    "                   and come back on a fresh terminal behind the same link)\n"
    "                   | echo (return every request before anything else, as a two-wire\n"
    "                   adapter does) | late=MS (answer MS ms after the request)\n"
    "                   | trickle=MS (send the answer one byte every MS ms)\n"
    "                   | stuck=R (register R keeps its value through a write that is still\n"
    "                   acknowledged)\n"
    "Ends on SIGINT or SIGTERM.\n";

[[noreturn]] void Fail(const std::string& text, int status = 1) {
    std::fprintf(stderr, "dravik_sim: %s\n", text.c_str());
    std::exit(status);
}

int ParseNumber(const std::string& text, const std::string& what) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < 0 || value > 1000000) {
        Fail(what + " wants a whole number, not '" + text + "'", 2);
    }
    return static_cast<int>(value);
}

Fault ParseFault(const std::string& text) {
    const size_t eq = text.find('=');
    const std::string name = text.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : text.substr(eq + 1);
    const auto withValue = [&](FaultKind kind) {
        if (value.empty()) {
            Fail("--fault " + name + " wants =N", 2);
        }
        return Fault{kind, ParseNumber(value, "--fault " + name)};
    };
    if (name == "silent" && value.empty()) {
        return {FaultKind::Silent};
    }
    if (name == "badcrc" && value.empty()) {
        return {FaultKind::BadCrc};
    }
    if (name == "wrongaddr" && value.empty()) {
        return {FaultKind::WrongAddress};
    }
    if (name == "exception") {
        return withValue(FaultKind::Exception);
    }
    if (name == "drop") {
        return withValue(FaultKind::Drop);
    }
    if (name == "hangup") {
        return withValue(FaultKind::HangUp);
    }
    if (name == "echo" && value.empty()) {
        return {FaultKind::Echo};
    }
    if (name == "late") {
        return withValue(FaultKind::Late);
    }
    if (name == "trickle") {
        return withValue(FaultKind::Trickle);
    }
    if (name == "stuck") {
        const Fault stuck = withValue(FaultKind::Stuck);
        if (!RegisterState::Served(stuck.Value)) {
            Fail("--fault stuck wants a register of 32, 36..67 or 256..355", 2);
        }
        return stuck;
    }
    Fail("unknown fault '" + text + "'", 2);
}

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                Fail(a + " wants a value", 2);
            }
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            std::fputs(Usage, stdout);
            std::exit(0);
        } else if (a == "--version") {
            std::printf("dravik_sim %s\n", dravik::ProgramVersion);
            std::exit(0);
        } else if (a == "--link") {
            o.Link = value();
        } else if (a == "--state") {
            o.StatePath = value();
        } else if (a == "--pace") {
            o.Pace = true;
        } else if (a == "--turnaround") {
            o.TurnaroundMs = ParseNumber(value(), "--turnaround");
        } else if (a == "--fault") {
            o.Faults.push_back(ParseFault(value()));
        } else {
            Fail("unknown option '" + a + "'\n" + Usage, 2);
        }
    }
    if (o.Link.empty()) {
        Fail(std::string("--link PATH is required\n") + Usage, 2);
    }
    return o;
}

int64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

void SleepUntil(int64_t ns) {
    const timespec at{static_cast<time_t>(ns / 1000000000LL), static_cast<long>(ns % 1000000000LL)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR &&
           !StopRequested) {
    }
}

uint16_t Crc(const uint8_t* bytes, size_t count) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < count; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? static_cast<uint16_t>(crc >> 1 ^ 0xA001) : crc >> 1;
        }
    }
    return crc;
}

void SetCrc(Bytes& frame) {
    frame.resize(frame.size() - 2);
    const uint16_t crc = Crc(frame.data(), frame.size());
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
}

// The pseudo-terminal and the link that names its device; unplugging makes a fresh one.
class Line {
public:
    explicit Line(std::string link) : Link(std::move(link)) { Plug(); }
    ~Line() {
        Close();
        ::unlink(Link.c_str());
    }
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    int Master() const { return MasterFd; }

    // The link names the fresh terminal before the old one goes, so that a client that sees
    // the hang-up and reconnects at once never opens the dead device.
    void Unplug() {
        const int oldMaster = MasterFd;
        const int oldSlave = SlaveFd;
        Plug();
        ::close(oldMaster);
        ::close(oldSlave);
    }

private:
    void Plug() {
        char name[256] = {};
        if (::openpty(&MasterFd, &SlaveFd, name, nullptr, nullptr) != 0) {
            Fail(std::string("openpty: ") + std::strerror(errno));
        }
        // Raw before any client opens it, so nothing is echoed back; the simulator keeps this
        // slave descriptor so that the master never reads EIO between two clients.
        termios tio{};
        ::tcgetattr(SlaveFd, &tio);
        ::cfmakeraw(&tio);
        ::cfsetspeed(&tio, B19200);
        ::tcsetattr(SlaveFd, TCSANOW, &tio);
        ::fcntl(MasterFd, F_SETFD, FD_CLOEXEC);
        ::fcntl(SlaveFd, F_SETFD, FD_CLOEXEC);
        const std::string temporary = Link + ".new";
        ::unlink(temporary.c_str());
        if (::symlink(name, temporary.c_str()) != 0 ||
            ::rename(temporary.c_str(), Link.c_str()) != 0) {
            Fail("cannot make the link " + Link + ": " + std::strerror(errno));
        }
    }

    void Close() {
        if (MasterFd >= 0) {
            ::close(MasterFd);
            ::close(SlaveFd);
        }
        MasterFd = SlaveFd = -1;
    }

    std::string Link;
    int MasterFd = -1;
    int SlaveFd = -1;
};

// libmodbus as the slave, over one end of a socket pair; the other end carries our bytes.
class ModbusSlave {
public:
    explicit ModbusSlave(const RegisterState& state) {
        Context = modbus_new_rtu("/dev/null", 19200, 'N', 8, 1);
        Mapping = modbus_mapping_new_start_address(0, 0, 0, 0, FirstRegister, RegisterSpan, 0, 0);
        if (Context == nullptr || Mapping == nullptr ||
            ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, Pair) != 0) {
            Fail(std::string("libmodbus: ") + modbus_strerror(errno));
        }
        modbus_set_slave(Context, SlaveAddress);
        modbus_set_socket(Context, Pair[0]);
        for (int a = FirstRegister; a < FirstRegister + RegisterSpan; ++a) {
            Mapping->tab_registers[a - FirstRegister] = state.Get(a);
        }
    }
    ~ModbusSlave() {
        modbus_free(Context); // not modbus_close: the socket is no tty
        modbus_mapping_free(Mapping);
        ::close(Pair[0]);
        ::close(Pair[1]);
    }
    ModbusSlave(const ModbusSlave&) = delete;
    ModbusSlave& operator=(const ModbusSlave&) = delete;

    // The request as libmodbus takes it: empty when it ignores the frame (a bad CRC, another
    // slave), else the indication.
    Bytes Receive(const Bytes& frame) {
        if (::write(Pair[1], frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) {
            return {};
        }
        Bytes query(MODBUS_RTU_MAX_ADU_LENGTH);
        const int rc = modbus_receive(Context, query.data());
        Drain();
        if (rc <= 0) {
            return {};
        }
        query.resize(static_cast<size_t>(rc));
        return query;
    }

    Bytes Reply(const Bytes& query) {
        modbus_reply(Context, query.data(), static_cast<int>(query.size()), Mapping);
        return Drain();
    }

    Bytes ReplyException(const Bytes& query, unsigned code) {
        modbus_reply_exception(Context, query.data(), code);
        return Drain();
    }

    uint16_t Register(int address) const { return Mapping->tab_registers[address - FirstRegister]; }
    void SetRegister(int address, uint16_t value) {
        Mapping->tab_registers[address - FirstRegister] = value;
    }

    void Store(RegisterState& state) const {
        for (int a = FirstRegister; a < FirstRegister + RegisterSpan; ++a) {
            if (RegisterState::Served(a)) {
                state.Set(a, Mapping->tab_registers[a - FirstRegister]);
            }
        }
    }

private:
    // What libmodbus wrote, or anything left unread on our end.
    Bytes Drain() {
        Bytes out;
        uint8_t buffer[512];
        for (;;) {
            const ssize_t n = ::recv(Pair[1], buffer, sizeof buffer, MSG_DONTWAIT);
            if (n <= 0) {
                return out;
            }
            out.insert(out.end(), buffer, buffer + n);
        }
    }

    modbus_t* Context = nullptr;
    modbus_mapping_t* Mapping = nullptr;
    int Pair[2] = {-1, -1};
};

// The length its function gives a request, 0 while it cannot be told yet, -1 for none.
int RequestLength(const Bytes& frame) {
    if (frame.size() < 2) {
        return 0;
    }
    switch (frame[1]) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x05:
    case 0x06:
        return 8;
    case 0x0F:
    case 0x10:
        return frame.size() < 7 ? 0 : 9 + frame[6];
    default:
        return -1;
    }
}

// One request from the line: the bytes and when the first came; empty on a quiet line.
Bytes ReceiveFrame(int fd, int64_t& firstByteNs) {
    Bytes frame;
    int waitMs = PollStepMs;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, waitMs);
        if (ready <= 0 || (p.revents & POLLIN) == 0) {
            return frame; // silence ends the frame, or there is none
        }
        uint8_t buffer[512];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            return frame;
        }
        if (frame.empty()) {
            firstByteNs = NowNs();
        }
        frame.insert(frame.end(), buffer, buffer + n);
        const int length = RequestLength(frame);
        if (length > 0 && frame.size() >= static_cast<size_t>(length)) {
            frame.resize(
                static_cast<size_t>(length)); // more is the start of a later frame: dropped
            return frame;
        }
        waitMs = FrameSilenceMs;
    }
}

class Controller {
public:
    explicit Controller(Options options)
        : Opts(std::move(options)), State(LoadState()), Slave(State), Wire(Opts.Link) {}

    void Serve() {
        SaveState(); // readable from the start, so that a test sees what a write changed
        std::printf("%s\n", Opts.Link.c_str());
        std::fflush(stdout);
        while (!StopRequested) {
            int64_t firstByteNs = 0;
            const Bytes frame = ReceiveFrame(Wire.Master(), firstByteNs);
            if (!frame.empty()) {
                Handle(frame, firstByteNs);
            }
        }
        SaveState();
    }

private:
    RegisterState LoadState() {
        if (Opts.StatePath.empty() || ::access(Opts.StatePath.c_str(), F_OK) != 0) {
            return RegisterState::Default();
        }
        std::string error;
        std::optional<RegisterState> state = RegisterState::Load(Opts.StatePath, error);
        if (!state) {
            Fail(error);
        }
        return *state;
    }

    void SaveState() {
        if (!Opts.StatePath.empty()) {
            Slave.Store(State);
            if (!State.Save(Opts.StatePath)) {
                std::fprintf(stderr, "dravik_sim: cannot write %s\n", Opts.StatePath.c_str());
            }
        }
    }

    const Fault* Find(FaultKind kind) const {
        for (const Fault& f : Opts.Faults) {
            if (f.Kind == kind) {
                return &f;
            }
        }
        return nullptr;
    }

    void Handle(const Bytes& frame, int64_t firstByteNs) {
        ++Requests;
        if (Find(FaultKind::Echo) != nullptr) {
            WriteAll(frame.data(), frame.size()); // the adapter hears its own line first
        }
        if (const Fault* drop = Find(FaultKind::Drop); drop != nullptr && Requests <= drop->Value) {
            return;
        }
        if (const Fault* hangUp = Find(FaultKind::HangUp);
            hangUp != nullptr && !HungUp && Requests > hangUp->Value) {
            HungUp = true;
            Wire.Unplug();
            return;
        }
        if (Find(FaultKind::Silent) != nullptr) {
            return;
        }
        const Bytes query = Slave.Receive(frame);
        if (query.empty()) {
            return;
        }
        Bytes answer = Answer(query);
        Spoil(answer);
        Send(answer, frame.size(), firstByteNs);
    }

    Bytes Answer(const Bytes& query) {
        const uint8_t function = query[1];
        if (const Fault* exception = Find(FaultKind::Exception); exception != nullptr) {
            Bytes answer = {static_cast<uint8_t>(SlaveAddress),
                            static_cast<uint8_t>(function | 0x80),
                            static_cast<uint8_t>(exception->Value), 0, 0};
            SetCrc(answer);
            return answer;
        }
        if (function != ReadHolding && function != WriteMultiple) {
            return Slave.ReplyException(query, MODBUS_EXCEPTION_ILLEGAL_FUNCTION);
        }
        const int start = query[2] << 8 | query[3];
        const int count = query[4] << 8 | query[5];
        if (!RegisterState::RangeServed(start, count)) {
            return Slave.ReplyException(query, MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);
        }
        const Fault* stuck = Find(FaultKind::Stuck);
        const uint16_t kept = stuck != nullptr ? Slave.Register(stuck->Value) : 0;
        Bytes answer = Slave.Reply(query);
        if (stuck != nullptr) {
            Slave.SetRegister(stuck->Value, kept); // the write is acknowledged all the same
        }
        if (function == WriteMultiple && !answer.empty() && (answer[1] & 0x80) == 0) {
            SaveState(); // so that a test or a demo sees a write without stopping the simulator
        }
        return answer;
    }

    void Spoil(Bytes& answer) const {
        if (answer.size() < 4) {
            return;
        }
        if (Find(FaultKind::WrongAddress) != nullptr) {
            answer[0] = OtherAddress;
            SetCrc(answer);
        }
        if (Find(FaultKind::BadCrc) != nullptr) {
            answer.back() ^= 0xFF;
        }
    }

    void Send(const Bytes& answer, size_t requestLength, int64_t firstByteNs) {
        const Fault* late = Find(FaultKind::Late);
        const Fault* trickle = Find(FaultKind::Trickle);
        if (!Opts.Pace && late == nullptr && trickle == nullptr) {
            WriteAll(answer.data(), answer.size());
            return;
        }
        int64_t at = NowNs();
        int64_t gap = 0;
        if (Opts.Pace) {
            // The request takes its wire time to arrive, then the controller turns the line
            // round.
            at = firstByteNs + static_cast<int64_t>(requestLength) * ByteNs +
                 static_cast<int64_t>(Opts.TurnaroundMs) * NsPerMs;
            gap = ByteNs;
        }
        if (late != nullptr) {
            at = std::max(at, firstByteNs + static_cast<int64_t>(late->Value) * NsPerMs);
        }
        if (trickle != nullptr) {
            gap = static_cast<int64_t>(trickle->Value) * NsPerMs;
        }
        for (uint8_t byte : answer) {
            SleepUntil(at);
            WriteAll(&byte, 1);
            at += gap;
        }
        SleepUntil(at); // the last byte leaves the wire before the next request is heard
    }

    void WriteAll(const uint8_t* bytes, size_t count) {
        while (count > 0) {
            const ssize_t n = ::write(Wire.Master(), bytes, count);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return;
            }
            bytes += n;
            count -= static_cast<size_t>(n);
        }
    }

    Options Opts;
    RegisterState State;
    ModbusSlave Slave;
    Line Wire;
    int Requests = 0;
    bool HungUp = false;
};

int Main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    Controller controller(options);
    controller.Serve();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    return dravik::RunProgram("dravik_sim", [&] { return Main(argc, argv); });
}
