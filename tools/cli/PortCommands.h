#pragma once

#include "base/Cancellation.h"

#include <string>
#include <vector>

namespace dravik::cli {

// "ports" and "scan": which serial devices there are, and on which the controller answers.
bool IsPortCommand(const std::string& command);

// Runs the command of args[0]; the port map is read from settingsPath unless --settings names
// another file. The exit status: 0, 1 when scan found no controller, 2 for a usage error; a
// cancelled scan raises TCancelled once it has printed what it found.
int RunPortCommand(const std::vector<std::string>& args, const std::string& settingsPath,
                   const TCancellation* cancellation = nullptr);

// Their lines of the usage text.
extern const char* const PortCommandsUsage;

} // namespace dravik::cli
