#include "Controller.h"

#include "RequestFraming.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <time.h>
#include <unistd.h>

namespace sim {

volatile sig_atomic_t StopRequested = 0;

namespace {

constexpr int64_t NsPerMs = 1000000;
constexpr int64_t ByteNs = 10LL * 1000000000LL / 19200; // start, 8 data and stop bit at 19200

void SleepUntil(int64_t ns) {
    const timespec at{static_cast<time_t>(ns / 1000000000LL), static_cast<long>(ns % 1000000000LL)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR &&
           !StopRequested) {
    }
}

} // namespace

Controller::Controller(Options options)
    : Opts(std::move(options)), State(LoadState()), Slave(State), Wire(Opts.Link) {
}

void Controller::Serve() {
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

RegisterState Controller::LoadState() {
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

void Controller::SaveState() {
    if (!Opts.StatePath.empty()) {
        Slave.Store(State);
        if (!State.Save(Opts.StatePath)) {
            std::fprintf(stderr, "dravik_sim: cannot write %s\n", Opts.StatePath.c_str());
        }
    }
}

const Fault* Controller::Find(FaultKind kind) const {
    for (const Fault& f : Opts.Faults) {
        if (f.Kind == kind) {
            return &f;
        }
    }
    return nullptr;
}

void Controller::Handle(const Bytes& frame, int64_t firstByteNs) {
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

Bytes Controller::Answer(const Bytes& query) {
    const uint8_t function = query[1];
    if (const Fault* exception = Find(FaultKind::Exception); exception != nullptr) {
        Bytes answer = {static_cast<uint8_t>(SlaveAddress),
                        static_cast<uint8_t>(function | ExceptionBit),
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
    if (function == WriteMultiple && !answer.empty() && (answer[1] & ExceptionBit) == 0) {
        SaveState(); // so that a test or a demo sees a write without stopping the simulator
    }
    return answer;
}

void Controller::Spoil(Bytes& answer) const {
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

void Controller::Send(const Bytes& answer, size_t requestLength, int64_t firstByteNs) {
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

void Controller::WriteAll(const uint8_t* bytes, size_t count) {
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

} // namespace sim
