#include "protocol/ConfigCheck.h"

#include "base/Exception.h"
#include "protocol/RegisterMap.h"
#include "protocol/ScriptCodec.h"

namespace dravik {
namespace {

template <typename F>
void Collect(std::vector<std::string>& problems, F&& check) {
    try {
        check();
    } catch (const Exception& e) {
        problems.push_back(e.message());
    }
}

} // namespace

std::vector<std::string> ConfigProblems(const TTerminalConfig& config) {
    std::vector<std::string> problems;
    for (size_t i = 0; i < TankCount; ++i) {
        Collect(problems, [&] { CheckTank(static_cast<int>(i), config.Tanks[i]); });
    }
    // Lines are tried one by one behind the accepted ones, so that every bad line is named while
    // the end command and the length limit act exactly as in the encoder. Each line costs the
    // same however many came before it.
    TEncodedScript accepted;
    for (int i = 0; i < config.Script.Count(); ++i) {
        TEncodedScript tried = accepted;
        try {
            const bool goOn = EncodeScriptLine(config.Script[i], tried);
            accepted = tried;
            if (!goOn) {
                break;
            }
        } catch (const Exception& e) {
            problems.push_back(e.message());
        }
    }
    return problems;
}

} // namespace dravik
