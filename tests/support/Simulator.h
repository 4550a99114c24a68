#pragma once

#include "support/TempFolder.h"

#include <cstdint>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace dravik::test {

// Runs dravik_sim for the life of the object, in a folder of its own: Link() names its
// terminal, State() reads the registers it holds (from its state file, written after every
// write request). Waiting is bounded by generous deadlines only.
class Simulator {
public:
    explicit Simulator(std::vector<std::string> arguments = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    const std::string& Link() const { return LinkPath; }
    const std::string& StatePath() const { return StateFile; }
    std::map<int, uint16_t> State() const;

    // SIGTERM and wait; the exit status, or -1 when it did not end by itself.
    int Stop();

private:
    TTempFolder Folder;
    std::string LinkPath;
    std::string StateFile;
    pid_t Pid = -1;
};

} // namespace dravik::test
