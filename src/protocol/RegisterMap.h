#pragma once

#include "config/TerminalConfig.h"
#include "protocol/ScriptCodec.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dravik {

// The controller's holding registers.
constexpr int32_t MaskRegister = 32;      // bit i set: tank i enabled
constexpr int32_t ThresholdRegister = 36; // two per tank, always moved as one block
constexpr int32_t ThresholdCount = 2 * TankCount;
constexpr int32_t ScriptRegister = 256; // the 200 script bytes, high byte first
constexpr int32_t ScriptRegisterCount = ScriptAreaSize / 2;

uint16_t TankMask(const TTerminalConfig& config);

enum class TTankField { Hmin, Hmax, Hhigh };

// Why a tank's thresholds cannot be sent: the field the first failing rule is about and the
// message "Резервуар %d:\r\n...". An enabled tank needs 1..99 with hmin < hmax < hhigh, a
// disabled one values that fit their register byte.
struct TTankProblem {
    TTankField Field = TTankField::Hmin;
    std::string Message;
};
std::optional<TTankProblem> TankProblem(int index, const TTankRecord& tank);

// Raises the message of TankProblem, if there is one.
void CheckTank(int index, const TTankRecord& tank);

// The two registers of a tank: hmin and hmax, then hhigh and the midpoint.
void PackTank(const TTankRecord& tank, uint16_t* words);
void UnpackTank(const uint16_t* words, TTankRecord& tank);

// The registers from ScriptRegister on for an encoded script: its bytes and one or two zero
// bytes, so that it ends with the end command in whole registers. Empty for an empty script.
std::vector<uint16_t> ScriptImage(const TEncodedScript& script);

TScriptArea ScriptAreaBytes(const uint16_t* words);

} // namespace dravik
