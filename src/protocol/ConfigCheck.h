#pragma once

#include "config/TerminalConfig.h"
#include "protocol/RegisterMap.h"
#include "protocol/ScriptCodec.h"

#include <string>
#include <vector>

namespace dravik {

// One reason why WriteConfig would refuse a configuration, with where it lies: a tank's field,
// or a line of the script.
struct TConfigProblem {
    enum TPlace { Tank, ScriptLine };
    TPlace Place = Tank;
    int Index = 0;                       // the tank's index, or the script line's
    TTankField Field = TTankField::Hmin; // for a tank: the field its first failing rule is about
    std::string Message;                 // exactly as the write would raise it
};

// What the write's check finds in a configuration: every problem in the order the check meets
// them (each tank that fails, in index order, then each problem of the script, see
// EncodeScript, each once) and the bytes the script's commands take. One pass over the lines.
struct TConfigReview {
    std::vector<TConfigProblem> Problems;
    int ScriptBytes = 0; // above ScriptMaxBytes when the script is too long
};
TConfigReview ReviewConfig(const TTerminalConfig& config);

// The messages of ReviewConfig's problems: empty when the write would go ahead.
std::vector<std::string> ConfigProblems(const TTerminalConfig& config);

// The same check as WriteConfig makes it before it opens the port: raises the first of
// ConfigProblems, else gives the script's bytes.
TEncodedScript CheckConfig(const TTerminalConfig& config);

} // namespace dravik
