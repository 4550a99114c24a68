#pragma once

#include "link/SerialDevice.h"

#include <cerrno>

namespace dravik::test {

// The real serial devices, but every open is refused with one errno, as the system refuses a
// device without the rights, one that is gone, or one another program holds.
class FailingOpen : public SerialDevice {
public:
    explicit FailingOpen(int error) : Error(error) {}

    int Open(const char* /*path*/, int /*flags*/) override {
        errno = Error;
        return -1;
    }

private:
    int Error;
};

} // namespace dravik::test
