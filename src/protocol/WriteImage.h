#pragma once

#include "config/TerminalConfig.h"
#include "protocol/RegisterMap.h"
#include "protocol/ScriptCodec.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace dravik {

// The registers that a write of one configuration sends, and so what the controller holds
// after it.
struct TWriteImage {
    uint16_t Mask = 0;
    std::array<uint16_t, ThresholdCount> Thresholds{};
    std::vector<uint16_t> Script; // from ScriptRegister on; empty: the area is not written
};

// The image of a configuration that has passed the check, with its script's bytes.
TWriteImage MakeWriteImage(const TTerminalConfig& config, const TEncodedScript& script);

// Every difference between what a write sends and what the controller holds, compared as a read
// takes them: the low byte of a tank's second register (the midpoint, which a read ignores and a
// controller may compute itself) is left out. Named in the user's terms with both values, tank
// by tank and then byte by byte of the script: "Резервуар 5, Hmin: ожидалось 10, в контроллере
// 0". held.Script holds as many registers as sent.Script.
std::vector<std::string> ImageDifferences(const TWriteImage& sent, const TWriteImage& held);

} // namespace dravik
