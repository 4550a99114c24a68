#include "protocol/ConfigCheck.h"

#include "base/Exception.h"
#include "base/Text.h"
#include "protocol/RegisterMap.h"

#include <optional>

namespace dravik {
namespace {

// The one walk over a configuration that both the refusal and the list of problems take.
TEncodedScript Check(const TTerminalConfig& config, const TScriptProblemSink& report) {
    for (size_t i = 0; i < TankCount; ++i) {
        std::optional<std::string> problem;
        try {
            CheckTank(static_cast<int>(i), config.Tanks[i]);
        } catch (const Exception& e) {
            problem = e.message();
        }
        if (problem) {
            report(*problem);
        }
    }
    return EncodeScript(config.Script, report);
}

} // namespace

std::vector<std::string> ConfigProblems(const TTerminalConfig& config) {
    std::vector<std::string> problems;
    Check(config, [&](const std::string& message) { problems.push_back(message); });
    return problems;
}

TEncodedScript CheckConfig(const TTerminalConfig& config) {
    return Check(config, [](const std::string& message) { Raise(message); });
}

} // namespace dravik
