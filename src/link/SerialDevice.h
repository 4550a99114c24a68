#pragma once

#include <poll.h>
#include <sys/types.h>
#include <termios.h>

namespace dravik {

// The one seam to serial devices: the system calls the channel makes on a port, with their own
// return and errno conventions, so that tests can inject EINTR, short writes or EIO by
// overriding single calls. Nothing else in the program touches a serial device.
class SerialDevice {
public:
    virtual ~SerialDevice() = default;
    virtual int Open(const char* path, int flags);
    virtual int Control(int fd, unsigned long request, void* argument); // ioctl
    virtual int Lock(int fd, int operation);                            // flock
    virtual int GetAttributes(int fd, termios* attributes);
    virtual int SetAttributes(int fd, int when, const termios* attributes);
    virtual int SetSpeed(termios* attributes, speed_t speed); // cfsetspeed
    virtual int Flush(int fd, int queue);                     // tcflush
    virtual int Drain(int fd);                                // tcdrain
    virtual int Poll(pollfd* fds, nfds_t count, int timeoutMs);
    virtual ssize_t Read(int fd, void* data, size_t size);
    virtual ssize_t Write(int fd, const void* data, size_t size);
    virtual int Close(int fd);
};

// The real devices: every call goes straight to the system.
SerialDevice& SystemSerialDevice();

// The device layer every channel uses; tests swap it with ScopedSerialDevice.
SerialDevice& CurrentSerialDevice();

class ScopedSerialDevice {
public:
    explicit ScopedSerialDevice(SerialDevice& device);
    ~ScopedSerialDevice();
    ScopedSerialDevice(const ScopedSerialDevice&) = delete;
    ScopedSerialDevice& operator=(const ScopedSerialDevice&) = delete;

private:
    SerialDevice* Previous;
};

} // namespace dravik
