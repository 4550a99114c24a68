#include "AnsweringLine.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace dravik::fuzz {

bool TAnsweringLine::Refuse(int fd) {
    if (fd == LineFd && Opened) {
        return false;
    }
    errno = EBADF;
    return true;
}

void TAnsweringLine::TakeAnswer() {
    if (!RequestPending) {
        return;
    }
    RequestPending = false;
    if (Answers.empty()) {
        return;
    }
    TAnswer answer = std::move(Answers.front());
    Answers.pop_front();
    InFlight.push_back({Tick + answer.DelayMs, std::move(answer.Bytes), answer.Piece});
    HangUpWhenDelivered = HangUpWhenDelivered || answer.HangUpAfter;
}

void TAnsweringLine::Arrive() {
    TakeAnswer();
    while (!InFlight.empty() && static_cast<int32_t>(Tick - InFlight.front().ArrivalTick) >= 0) {
        const TInFlight& next = InFlight.front();
        Received.insert(Received.end(), next.Bytes.begin(), next.Bytes.end());
        Piece = next.Piece;
        InFlight.pop_front();
    }
    if (HangUpWhenDelivered && InFlight.empty()) {
        HungUp = true;
    }
}

void TAnsweringLine::EndAttempt() {
    Finished = std::move(Current);
    Current.clear();
}

int TAnsweringLine::Open(const char*, int) {
    if (Opened) {
        errno = EBUSY;
        return -1;
    }
    Opened = true;
    return LineFd;
}

int TAnsweringLine::Control(int fd, unsigned long, void*) {
    return Refuse(fd) ? -1 : 0;
}

int TAnsweringLine::Lock(int fd, int) {
    return Refuse(fd) ? -1 : 0;
}

int TAnsweringLine::GetAttributes(int fd, termios* attributes) {
    if (Refuse(fd)) {
        return -1;
    }
    *attributes = Attributes;
    return 0;
}

int TAnsweringLine::SetAttributes(int fd, int, const termios* attributes) {
    if (Refuse(fd)) {
        return -1;
    }
    Attributes = *attributes;
    return 0;
}

int TAnsweringLine::Flush(int fd, int) {
    if (Refuse(fd)) {
        return -1;
    }
    Arrive();
    Received.clear();
    EndAttempt();
    return 0;
}

int TAnsweringLine::Poll(pollfd* fds, nfds_t count, int timeoutMs) {
    if (count != 1 || Refuse(fds->fd)) {
        errno = EINVAL;
        return -1;
    }
    fds->revents = 0;
    Arrive();
    if (Received.empty() && !HungUp) {
        // Wait as a poll would: until the next bytes arrive or the timeout is over.
        uint32_t wait = static_cast<uint32_t>(std::max(timeoutMs, 0));
        if (!InFlight.empty()) {
            wait = std::min(wait, InFlight.front().ArrivalTick - Tick);
        }
        Tick += wait;
        Arrive();
    }
    if (!Received.empty()) {
        fds->revents = static_cast<short>(fds->events & (POLLIN | POLLOUT));
    } else if (HungUp) {
        fds->revents = POLLHUP;
    } else if ((fds->events & POLLOUT) != 0) {
        fds->revents = POLLOUT;
    }
    return fds->revents != 0 ? 1 : 0;
}

ssize_t TAnsweringLine::Read(int fd, void* data, size_t size) {
    if (Refuse(fd)) {
        return -1;
    }
    Arrive();
    if (Received.empty()) {
        if (HungUp) {
            return 0;
        }
        errno = EAGAIN;
        return -1;
    }
    const size_t n = std::min({size, Received.size(), Piece != 0 ? Piece : size});
    auto* bytes = static_cast<uint8_t*>(data);
    std::copy_n(Received.begin(), n, bytes);
    Received.erase(Received.begin(), Received.begin() + static_cast<std::ptrdiff_t>(n));
    Current.insert(Current.end(), bytes, bytes + n);
    return static_cast<ssize_t>(n);
}

ssize_t TAnsweringLine::Write(int fd, const void*, size_t size) {
    if (Refuse(fd)) {
        return -1;
    }
    if (HungUp) {
        errno = EIO;
        return -1;
    }
    RequestPending = true;
    return static_cast<ssize_t>(size);
}

int TAnsweringLine::Close(int fd) {
    if (Refuse(fd)) {
        return -1;
    }
    Opened = false;
    EndAttempt();
    return 0;
}

} // namespace dravik::fuzz
