#include "protocol/ConfigCheck.h"

#include "base/Text.h"

#include <functional>
#include <optional>

namespace dravik {
namespace {

using TProblemSink = std::function<void(const TConfigProblem&)>;

// The one walk over a configuration that the refusal, the list of problems and the window's
// marks all take, so that none of them can disagree with the write.
TEncodedScript Check(const TTerminalConfig& config, const TProblemSink& report) {
    for (size_t i = 0; i < TankCount; ++i) {
        const int index = static_cast<int>(i);
        if (const std::optional<TTankProblem> problem = TankProblem(index, config.Tanks[i])) {
            report({TConfigProblem::Tank, index, problem->Field, problem->Message});
        }
    }
    return EncodeScript(config.Script, [&](int line, const std::string& message) {
        report({TConfigProblem::ScriptLine, line, TTankField::Hmin, message});
    });
}

} // namespace

TConfigReview ReviewConfig(const TTerminalConfig& config) {
    TConfigReview review;
    review.ScriptBytes = Check(config, [&](const TConfigProblem& problem) {
                             review.Problems.push_back(problem);
                         }).Needed;
    return review;
}

std::vector<std::string> ConfigProblems(const TTerminalConfig& config) {
    std::vector<std::string> problems;
    Check(config, [&](const TConfigProblem& problem) { problems.push_back(problem.Message); });
    return problems;
}

TEncodedScript CheckConfig(const TTerminalConfig& config) {
    return Check(config, [](const TConfigProblem& problem) { Raise(problem.Message); });
}

} // namespace dravik
