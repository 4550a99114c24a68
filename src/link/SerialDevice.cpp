#include "link/SerialDevice.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace dravik {

int SerialDevice::Open(const char* path, int flags) {
    return ::open(path, flags);
}

int SerialDevice::Control(int fd, unsigned long request, void* argument) {
    return ::ioctl(fd, request, argument);
}

int SerialDevice::Lock(int fd, int operation) {
    return ::flock(fd, operation);
}

int SerialDevice::GetAttributes(int fd, termios* attributes) {
    return ::tcgetattr(fd, attributes);
}

int SerialDevice::SetAttributes(int fd, int when, const termios* attributes) {
    return ::tcsetattr(fd, when, attributes);
}

int SerialDevice::SetSpeed(termios* attributes, speed_t speed) {
    return ::cfsetspeed(attributes, speed);
}

int SerialDevice::Flush(int fd, int queue) {
    return ::tcflush(fd, queue);
}

int SerialDevice::Drain(int fd) {
    return ::tcdrain(fd);
}

int SerialDevice::Poll(pollfd* fds, nfds_t count, int timeoutMs) {
    return ::poll(fds, count, timeoutMs);
}

ssize_t SerialDevice::Read(int fd, void* data, size_t size) {
    return ::read(fd, data, size);
}

ssize_t SerialDevice::Write(int fd, const void* data, size_t size) {
    return ::write(fd, data, size);
}

int SerialDevice::Close(int fd) {
    return ::close(fd);
}

namespace {
SerialDevice* Installed = nullptr;
}

SerialDevice& SystemSerialDevice() {
    static SerialDevice system;
    return system;
}

SerialDevice& CurrentSerialDevice() {
    return Installed != nullptr ? *Installed : SystemSerialDevice();
}

ScopedSerialDevice::ScopedSerialDevice(SerialDevice& device) : Previous(Installed) {
    Installed = &device;
}

ScopedSerialDevice::~ScopedSerialDevice() {
    Installed = Previous;
}

} // namespace dravik
