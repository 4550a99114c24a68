#include "LinkTestSupport.h"

#include "support/Messages.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/ioctl.h>
#include <unistd.h>

namespace dravik::test {

void FakeClock::Advance(uint32_t milliseconds) {
    Tick += milliseconds;
    const uint32_t total =
        static_cast<uint32_t>(Time.Second * 1000 + Time.Millisecond) + milliseconds;
    Time.Second = static_cast<int>(total / 1000 % 60);
    Time.Millisecond = static_cast<int>(total % 1000);
}

int RecordingDevice::Count(const std::string& name) const {
    int count = 0;
    for (const std::string& call : Calls) {
        count += call == name ? 1 : 0;
    }
    return count;
}

bool RecordingDevice::Fails(const std::string& name) {
    Calls.push_back(name);
    auto planned = Failures.find(name);
    if (planned == Failures.end() || planned->second.empty()) {
        return false;
    }
    const int code = planned->second.front();
    planned->second.pop_front();
    errno = code;
    return code != 0;
}

int RecordingDevice::Open(const char* path, int flags) {
    LastOpenFlags = flags;
    return Fails("open") ? -1 : SerialDevice::Open(path, flags);
}

int RecordingDevice::Control(int fd, unsigned long request, void* argument) {
    const std::map<unsigned long, std::string> names = {{TIOCEXCL, "ioctl TIOCEXCL"},
                                                        {TIOCNXCL, "ioctl TIOCNXCL"},
                                                        {TIOCMBIS, "ioctl TIOCMBIS"},
                                                        {TIOCMBIC, "ioctl TIOCMBIC"}};
    const auto name = names.find(request);
    return Fails(name != names.end() ? name->second : "ioctl")
               ? -1
               : SerialDevice::Control(fd, request, argument);
}

int RecordingDevice::Lock(int fd, int operation) {
    return Fails("flock") ? -1 : SerialDevice::Lock(fd, operation);
}

int RecordingDevice::GetAttributes(int fd, termios* attributes) {
    return Fails("tcgetattr") ? -1 : SerialDevice::GetAttributes(fd, attributes);
}

int RecordingDevice::SetAttributes(int fd, int when, const termios* attributes) {
    if (Count("tcsetattr") == 0) {
        AppliedAttributes = *attributes;
    }
    LastAttributes = *attributes;
    return Fails("tcsetattr") ? -1 : SerialDevice::SetAttributes(fd, when, attributes);
}

int RecordingDevice::SetSpeed(termios* attributes, speed_t speed) {
    return Fails("cfsetspeed") ? -1 : SerialDevice::SetSpeed(attributes, speed);
}

int RecordingDevice::Flush(int fd, int queue) {
    return Fails("tcflush") ? -1 : SerialDevice::Flush(fd, queue);
}

int RecordingDevice::Poll(pollfd* fds, nfds_t count, int timeoutMs) {
    return Fails("poll") ? -1 : SerialDevice::Poll(fds, count, timeoutMs);
}

ssize_t RecordingDevice::Read(int fd, void* data, size_t size) {
    if (Fails("read")) {
        return -1;
    }
    const ssize_t n = SerialDevice::Read(fd, data, size);
    if (AfterRead) {
        AfterRead(n);
    }
    return n;
}

ssize_t RecordingDevice::Write(int fd, const void* data, size_t size) {
    return Fails("write") ? -1 : SerialDevice::Write(fd, data, std::min(size, MaxWrite));
}

int RecordingDevice::Close(int fd) {
    return Fails("close") ? -1 : SerialDevice::Close(fd);
}

TemporaryDirectory::TemporaryDirectory() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/dravik_link_XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    Directory = pattern;
    Previous = std::filesystem::current_path().string();
    std::filesystem::current_path(Directory);
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(Previous, ignored);
    std::filesystem::remove_all(Directory, ignored);
}

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFileText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::vector<std::string> LogLines(const std::string& path) {
    const std::string text = FileText(path);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

std::string Body(const std::string& line) {
    // "[dd.mm.yy hh:nn:ss.zzz]" takes the first 23 characters.
    return line.size() > 23 ? line.substr(23) : std::string();
}

std::vector<std::string> OpeningBodies() {
    return {"  i  ", "  i " + std::string(30, '='), W("  i Начало работы")};
}

std::vector<std::string> ClosingBodies(int32_t port) {
    return {Format(W("  i COM%d закрыт"), port), "  i  ", W("  i Завершено"),
            "    " + std::string(30, '*')};
}

TPortResolver OnePort(int32_t port, const std::string& path) {
    return [port, path](int32_t number) { return number == port ? path : std::string(); };
}

TDcb TerminalLine() {
    TDcb dcb;
    dcb.BaudRate = 19200;
    dcb.Flags = DcbBinary;
    dcb.ByteSize = 8;
    dcb.Parity = 0;
    dcb.StopBits = 0;
    return dcb;
}

std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> bytes) {
    return std::vector<uint8_t>(bytes);
}

} // namespace dravik::test
