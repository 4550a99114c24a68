#pragma once

#include <string>
#include <sys/types.h>

namespace dravik::test {

// Another program that has a device open for the life of the object: `sleep`, with the device as
// its standard input and no other descriptor of the test's.
class HoldingProcess {
public:
    explicit HoldingProcess(const std::string& device); // throws std::runtime_error
    ~HoldingProcess();
    HoldingProcess(const HoldingProcess&) = delete;
    HoldingProcess& operator=(const HoldingProcess&) = delete;

    pid_t Pid() const { return Child; }

private:
    pid_t Child = -1;
};

} // namespace dravik::test
