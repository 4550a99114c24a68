#include "config/TerminalConfig.h"

namespace dravik {

void TTerminalConfig::Clear() {
    Tanks.fill(TTankRecord{});
    Script.Clear();
}

} // namespace dravik
