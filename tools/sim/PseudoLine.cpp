#include "PseudoLine.h"

#include "Options.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace sim {

Line::Line(std::string link) : Link(std::move(link)) {
    Plug();
}

Line::~Line() {
    Close();
    ::unlink(Link.c_str());
}

void Line::Unplug() {
    const int oldMaster = MasterFd;
    const int oldSlave = SlaveFd;
    Plug();
    ::close(oldMaster);
    ::close(oldSlave);
}

void Line::Plug() {
    char name[256] = {};
    if (::openpty(&MasterFd, &SlaveFd, name, nullptr, nullptr) != 0) {
        Fail(std::string("openpty: ") + std::strerror(errno));
    }
    // Raw before any client opens it, so nothing is echoed back; the simulator keeps this
    // slave descriptor so that the master never reads EIO between two clients.
    termios tio{};
    ::tcgetattr(SlaveFd, &tio);
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, B19200);
    ::tcsetattr(SlaveFd, TCSANOW, &tio);
    ::fcntl(MasterFd, F_SETFD, FD_CLOEXEC);
    ::fcntl(SlaveFd, F_SETFD, FD_CLOEXEC);
    const std::string temporary = Link + ".new";
    ::unlink(temporary.c_str());
    if (::symlink(name, temporary.c_str()) != 0 || ::rename(temporary.c_str(), Link.c_str()) != 0) {
        Fail("cannot make the link " + Link + ": " + std::strerror(errno));
    }
}

void Line::Close() {
    if (MasterFd >= 0) {
        ::close(MasterFd);
        ::close(SlaveFd);
    }
    MasterFd = SlaveFd = -1;
}

} // namespace sim
