#pragma once

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace dravik {

// A process that has a device open.
struct TDeviceHolder {
    pid_t Pid = 0;
    std::string Program; // its command name
};

// Which other processes have which devices open, as the process table under procDir ("/proc")
// shows them: one pass over every process's descriptors. A process that holds the master side of
// a pseudo-terminal is its far end, not a user of the line, and is not counted for that line;
// this process is never counted. Processes of other users whose descriptors may not be read are
// not seen.
class TDeviceHolders {
public:
    explicit TDeviceHolders(const std::string& procDir);

    // The holders of the device by its final path ("/dev/ttyUSB0").
    std::vector<TDeviceHolder> Of(const std::string& device) const;

private:
    std::multimap<std::string, TDeviceHolder> Open; // device -> a process that has it open
    std::multimap<std::string, pid_t> FarEnds;      // "/dev/pts/N" -> a holder of its master
};

} // namespace dravik
