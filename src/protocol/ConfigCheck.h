#pragma once

#include "config/TerminalConfig.h"
#include "protocol/ScriptCodec.h"

#include <string>
#include <vector>

namespace dravik {

// Every reason why WriteConfig would refuse config, as its messages in the order the check meets
// them: each tank that fails, in index order, then each problem of the script (see EncodeScript),
// each once. Empty when the write would go ahead. One pass over the script's lines.
std::vector<std::string> ConfigProblems(const TTerminalConfig& config);

// The same check as WriteConfig makes it before it opens the port: raises the first of
// ConfigProblems, else gives the script's bytes.
TEncodedScript CheckConfig(const TTerminalConfig& config);

} // namespace dravik
