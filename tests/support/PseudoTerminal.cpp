#include "support/PseudoTerminal.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace dravik::test {
namespace {

[[noreturn]] void Fail(const char* what) {
    throw std::runtime_error(std::string("pseudo-terminal: ") + what + ": " + std::strerror(errno));
}

using SteadyClock = std::chrono::steady_clock;

int MillisecondsLeft(SteadyClock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

} // namespace

PseudoTerminal::PseudoTerminal() {
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&Master, &Slave, name, &raw, nullptr) != 0) {
        Fail("openpty");
    }
    Path = name;
    // The master must not hand its descriptor to a child the code under test may start.
    fcntl(Master, F_SETFD, FD_CLOEXEC);
    fcntl(Slave, F_SETFD, FD_CLOEXEC);
    fcntl(Master, F_SETFL, fcntl(Master, F_GETFL) | O_NONBLOCK);
}

PseudoTerminal::~PseudoTerminal() {
    HangUp();
    if (Slave >= 0) {
        close(Slave);
    }
}

void PseudoTerminal::Send(const std::vector<uint8_t>& bytes) {
    Send(bytes.data(), bytes.size());
}

void PseudoTerminal::Send(const uint8_t* bytes, size_t count) {
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(DefaultDeadlineMs);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = write(Master, bytes + done, count - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EINTR && errno != EAGAIN) {
            Fail("write");
        }
        pollfd p{Master, POLLOUT, 0};
        if (poll(&p, 1, MillisecondsLeft(deadline)) == 0) {
            errno = ETIMEDOUT;
            Fail("write");
        }
    }
}

std::vector<uint8_t> PseudoTerminal::Receive(size_t count, int deadlineMs) {
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(deadlineMs);
    std::vector<uint8_t> bytes;
    while (bytes.size() < count && !IsHungUp()) {
        pollfd p{Master, POLLIN, 0};
        const int ready = poll(&p, 1, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            break;
        }
        uint8_t chunk[256];
        const size_t want = std::min(sizeof chunk, count - bytes.size());
        const ssize_t n = read(Master, chunk, want);
        if (n > 0) {
            bytes.insert(bytes.end(), chunk, chunk + n);
        } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
            break;
        }
    }
    return bytes;
}

std::vector<uint8_t> PseudoTerminal::Available() {
    std::vector<uint8_t> bytes;
    uint8_t chunk[256];
    for (;;) {
        const ssize_t n = read(Master, chunk, sizeof chunk);
        if (n > 0) {
            bytes.insert(bytes.end(), chunk, chunk + n);
        } else if (!(n < 0 && errno == EINTR)) {
            return bytes;
        }
    }
}

bool PseudoTerminal::AwaitQueuedAtSlave(size_t count, int deadlineMs) {
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(deadlineMs);
    for (;;) {
        int queued = 0;
        if (ioctl(Slave, FIONREAD, &queued) == 0 && static_cast<size_t>(queued) >= count) {
            return true;
        }
        if (MillisecondsLeft(deadline) == 0) {
            return false;
        }
        usleep(1000); // the pty hands bytes over from a kernel worker; nothing to wait on here
    }
}

void PseudoTerminal::HangUp() {
    if (Master >= 0) {
        close(Master);
        Master = -1;
    }
}

} // namespace dravik::test
