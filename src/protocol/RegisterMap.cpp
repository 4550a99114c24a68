#include "protocol/RegisterMap.h"

#include "base/Exception.h"
#include "base/Text.h"

namespace dravik {
namespace {

constexpr int32_t LevelLow = 1;
constexpr int32_t LevelHigh = 99;
constexpr int32_t ByteHigh = 255;

// The rule a field's value must meet: within low..high. Wide enough for a bound one above any
// value; a rule is looked at only once those before it held, so its bounds then fit an int32_t.
struct TRule {
    TTankField Field;
    int64_t Value;
    int64_t Low;
    int64_t High;
};

uint16_t Pack(int32_t high, int32_t low) {
    return static_cast<uint16_t>(high << 8 | low);
}

} // namespace

uint16_t TankMask(const TTerminalConfig& config) {
    uint16_t mask = 0;
    for (size_t i = 0; i < TankCount; ++i) {
        if (config.Tanks[i].active != 0) {
            mask = static_cast<uint16_t>(mask | 1u << i);
        }
    }
    return mask;
}

std::optional<TTankProblem> TankProblem(int index, const TTankRecord& tank) {
    using enum TTankField;
    // Not validated when disabled, but a value beyond one byte would spill into its neighbour.
    const std::vector<TRule> rules =
        tank.active != 0
            ? std::vector<TRule>{{Hmin, tank.hmin, LevelLow, LevelHigh},
                                 {Hmax, tank.hmax, LevelLow, LevelHigh},
                                 {Hhigh, tank.hhigh, LevelLow, LevelHigh},
                                 {Hmax, tank.hmax, int64_t{tank.hmin} + 1, LevelHigh},
                                 {Hhigh, tank.hhigh, int64_t{tank.hmax} + 1, LevelHigh}}
            : std::vector<TRule>{{Hmin, tank.hmin, 0, ByteHigh},
                                 {Hmax, tank.hmax, 0, ByteHigh},
                                 {Hhigh, tank.hhigh, 0, ByteHigh}};
    for (const TRule& rule : rules) {
        if (rule.Value < rule.Low || rule.Value > rule.High) {
            return TTankProblem{
                rule.Field, Format(Cp1251("Резервуар %d:\r\n%d не в диапазоне %d..%d"), index + 1,
                                   static_cast<int32_t>(rule.Value), static_cast<int32_t>(rule.Low),
                                   static_cast<int32_t>(rule.High))};
        }
    }
    return std::nullopt;
}

void CheckTank(int index, const TTankRecord& tank) {
    if (const std::optional<TTankProblem> problem = TankProblem(index, tank)) {
        Raise(problem->Message);
    }
}

void PackTank(const TTankRecord& tank, uint16_t* words) {
    words[0] = Pack(tank.hmin, tank.hmax);
    words[1] = Pack(tank.hhigh, (tank.hmin + tank.hmax) / 2);
}

void UnpackTank(const uint16_t* words, TTankRecord& tank) {
    tank.hmin = words[0] >> 8;
    tank.hmax = words[0] & 0xFF;
    tank.hhigh = words[1] >> 8;
}

std::vector<uint16_t> ScriptImage(const TEncodedScript& script) {
    std::vector<uint16_t> words;
    const auto n = static_cast<size_t>(script.Count);
    if (n == 0) {
        return words;
    }
    for (size_t k = 0; k < n / 2; ++k) {
        words.push_back(Pack(script.Bytes[2 * k], script.Bytes[2 * k + 1]));
    }
    words.push_back(n % 2 != 0 ? Pack(script.Bytes[n - 1], 0) : 0);
    return words;
}

TScriptArea ScriptAreaBytes(const uint16_t* words) {
    TScriptArea bytes{};
    for (size_t k = 0; k < ScriptRegisterCount; ++k) {
        bytes[2 * k] = static_cast<uint8_t>(words[k] >> 8);
        bytes[2 * k + 1] = static_cast<uint8_t>(words[k] & 0xFF);
    }
    return bytes;
}

} // namespace dravik
