#pragma once

#include <string>

namespace sim {

// The pseudo-terminal and the link that names its device; unplugging makes a fresh one.
class Line {
public:
    explicit Line(std::string link);
    ~Line();
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    int Master() const { return MasterFd; }

    // The link names the fresh terminal before the old one goes, so that a client that sees
    // the hang-up and reconnects at once never opens the dead device.
    void Unplug();

private:
    void Plug();
    void Close();

    std::string Link;
    int MasterFd = -1;
    int SlaveFd = -1;
};

} // namespace sim
