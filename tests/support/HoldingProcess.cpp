#include "support/HoldingProcess.h"

#include <climits>
#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace dravik::test {
namespace {

// Tells the parent, which otherwise sees the pipe end at the exec, that the child did not get
// there.
[[noreturn]] void Fail(int ready) {
    const char failed = 1;
    [[maybe_unused]] const ssize_t n = ::write(ready, &failed, 1);
    ::_exit(127);
}

} // namespace

HoldingProcess::HoldingProcess(const std::string& device) {
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    Child = ::fork();
    if (Child == 0) {
        const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0 || ::dup2(fd, STDIN_FILENO) < 0) {
            Fail(ready[1]);
        }
        // Only the device and the pipe that closes on exec stay open.
        ::close_range(STDERR_FILENO + 1, static_cast<unsigned>(ready[1]) - 1, 0);
        ::close_range(static_cast<unsigned>(ready[1]) + 1, UINT_MAX, 0);
        ::execlp("sleep", "sleep", "600", nullptr);
        Fail(ready[1]);
    }
    ::close(ready[1]);
    char byte = 0;
    // The pipe ends at the exec: from then on the process table shows the device held by sleep.
    const ssize_t n = ::read(ready[0], &byte, 1);
    ::close(ready[0]);
    if (Child < 0 || n != 0) {
        if (Child > 0) {
            ::waitpid(Child, nullptr, 0);
        }
        throw std::runtime_error("the holding process did not start");
    }
}

HoldingProcess::~HoldingProcess() {
    ::kill(Child, SIGKILL);
    ::waitpid(Child, nullptr, 0);
}

} // namespace dravik::test
