#pragma once

#include "config/TerminalConfig.h"

#include <string>
#include <vector>

namespace dravik {

// Every reason why WriteConfig would refuse config, as its messages: one per tank that fails,
// one per script line that fails, and the script's length; empty when it would be accepted.
std::vector<std::string> ConfigProblems(const TTerminalConfig& config);

} // namespace dravik
