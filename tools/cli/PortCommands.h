#pragma once

#include "base/Cancellation.h"

#include <string>
#include <vector>

namespace dravik::cli {

// Whether the command of the arguments (options may come before it) is "ports" or "scan": which
// serial devices there are, and on which the controller answers.
bool IsPortCommand(const std::vector<std::string>& args);

// Runs the command of the arguments; the port map is read from settingsPath unless --settings names
// another file. The exit status: 0, 1 when scan found no controller, 2 for a usage error; a
// cancelled scan raises TCancelled once it has printed what it found.
int RunPortCommand(const std::vector<std::string>& args, const std::string& settingsPath,
                   const TCancellation* cancellation = nullptr);

// Their lines of the usage text.
extern const char* const PortCommandsUsage;

} // namespace dravik::cli
