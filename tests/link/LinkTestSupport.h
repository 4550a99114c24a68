#pragma once

#include "base/Clock.h"
#include "link/ComPortChannel.h"
#include "link/SerialDevice.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace dravik::test {

// A clock that stands still unless the test or a device moves it.
class FakeClock : public Clock {
public:
    uint32_t Tick = 0;
    LocalTime Time{2024, 12, 9, 14, 5, 30, 982};

    uint32_t TickCount() override { return Tick; }
    LocalTime Now() override { return Time; }
    void Sleep(uint32_t milliseconds) override { Advance(milliseconds); }

    // Moves the tick counter and the wall clock together (the wall clock within its minute).
    void Advance(uint32_t milliseconds);
};

// The real devices, with every call recorded by name ("open", "ioctl TIOCEXCL", "poll", ...) and
// chosen calls failed with a chosen errno.
class RecordingDevice : public SerialDevice {
public:
    std::vector<std::string> Calls;
    // For each call name, the errno values that its next calls fail with; 0 lets a call through.
    std::map<std::string, std::deque<int>> Failures;
    size_t MaxWrite = std::numeric_limits<size_t>::max(); // the most one write takes
    std::function<void(ssize_t)> AfterRead;               // runs after each real read
    // What the first tcsetattr asked for (the open's settings; a later one is the restore at
    // close) and how many there were.
    termios AppliedAttributes{};
    termios LastAttributes{}; // what the last tcsetattr asked for
    int LastOpenFlags = 0;

    int Count(const std::string& name) const;

    int Open(const char* path, int flags) override;
    int Control(int fd, unsigned long request, void* argument) override;
    int Lock(int fd, int operation) override;
    int GetAttributes(int fd, termios* attributes) override;
    int SetAttributes(int fd, int when, const termios* attributes) override;
    int SetSpeed(termios* attributes, speed_t speed) override;
    int Flush(int fd, int queue) override;
    int Poll(pollfd* fds, nfds_t count, int timeoutMs) override;
    ssize_t Read(int fd, void* data, size_t size) override;
    ssize_t Write(int fd, const void* data, size_t size) override;
    int Close(int fd) override;

protected:
    // Records the call; true, with errno set, when it is to fail.
    bool Fails(const std::string& name);
};

// An empty current directory for the test's life: the link log lands there.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::string& Path() const { return Directory; }

private:
    std::string Directory;
    std::string Previous;
};

std::string FileText(const std::string& path);
void WriteFileText(const std::string& path, const std::string& text);

// The lines of a link log, without their "\r\n"; a last line without one is kept as it is.
std::vector<std::string> LogLines(const std::string& path);

// A log line from its first blank after the time stamp: "  i COM3 подключен" (in cp1251).
std::string Body(const std::string& line);

// The bodies of the opening and the closing entries of a block.
std::vector<std::string> OpeningBodies();
std::vector<std::string> ClosingBodies(int32_t port);

// Maps port to path and every other number to no device.
TPortResolver OnePort(int32_t port, const std::string& path);

// The settings the terminal puts on the line: 19200 8N1, binary, nothing else.
TDcb TerminalLine();

std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> bytes);

} // namespace dravik::test
