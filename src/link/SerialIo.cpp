#include "link/SerialIo.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>

namespace dravik {
namespace {

constexpr int OpenFlags = O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
constexpr int WaitForever = -1;
constexpr short LineGone = POLLERR | POLLHUP | POLLNVAL;

bool Retry(int code) {
    return code == EINTR || code == EAGAIN;
}

} // namespace

int OpenExclusive(SerialDevice& device, const std::string& path, int& fd) {
    fd = -1;
    if (path.empty()) {
        return ENOENT;
    }
    const int opened = device.Open(path.c_str(), OpenFlags);
    if (opened < 0) {
        return errno;
    }
    int error = 0;
    if (device.Lock(opened, LOCK_EX | LOCK_NB) != 0) {
        // "Resource temporarily unavailable" would not tell the user that someone holds the port.
        error = errno == EWOULDBLOCK ? EBUSY : errno;
    } else if (device.Control(opened, TIOCEXCL, nullptr) != 0) {
        error = errno;
    }
    if (error != 0) {
        device.Close(opened);
        return error;
    }
    fd = opened;
    return 0;
}

void ReleaseDevice(SerialDevice& device, int fd, const termios* saved) {
    if (saved != nullptr) {
        device.SetAttributes(fd, TCSANOW, saved);
    }
    device.Control(fd, TIOCNXCL, nullptr);
    device.Close(fd);
}

int ReadRequest(SerialDevice& device, int fd, uint8_t* buffer, size_t count, size_t& transferred,
                int waitMs) {
    transferred = 0;
    if (count == 0) {
        return 0;
    }
    if (fd < 0) {
        return EBADF; // poll would wait on a closed port instead of failing
    }
    pollfd line{fd, POLLIN, 0};
    const int ready = device.Poll(&line, 1, std::clamp(waitMs, 0, ReadRequestMs));
    if (ready <= 0) {
        return ready == 0 || errno == EINTR ? 0 : errno;
    }
    const ssize_t n = device.Read(fd, buffer, count);
    if (n > 0) {
        transferred = static_cast<size_t>(n);
        return 0;
    }
    if (n < 0) {
        return Retry(errno) ? 0 : errno;
    }
    // Readable with nothing to read: the other end has hung up.
    return EIO;
}

int WriteAll(SerialDevice& device, int fd, const uint8_t* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
        const ssize_t n = device.Write(fd, buffer + done, count - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && !Retry(errno)) {
            return errno;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        pollfd line{fd, POLLOUT, 0};
        const int ready = device.Poll(&line, 1, WaitForever);
        if (ready < 0 && errno != EINTR) {
            return errno;
        }
        if (ready > 0 && (line.revents & POLLOUT) == 0 && (line.revents & LineGone) != 0) {
            return EIO;
        }
    }
    return 0;
}

int DrainOutput(SerialDevice& device, int fd) {
    while (device.Drain(fd) != 0) {
        if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

int DiscardInput(SerialDevice& device, int fd) {
    return device.Flush(fd, TCIFLUSH) != 0 ? errno : 0;
}

} // namespace dravik
