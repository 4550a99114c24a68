#include "protocol/RegisterMap.h"

#include "base/Exception.h"
#include "base/Text.h"

namespace dravik {
namespace {

constexpr int32_t LevelLow = 1;
constexpr int32_t LevelHigh = 99;
constexpr int32_t ByteHigh = 255;

void CheckRange(int32_t value, int32_t low, int32_t high) {
    if (value < low || value > high) {
        Raise(Format(Cp1251("%d не в диапазоне %d..%d"), value, low, high));
    }
}

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

void CheckTank(int index, const TTankRecord& tank) {
    try {
        if (tank.active != 0) {
            CheckRange(tank.hmin, LevelLow, LevelHigh);
            CheckRange(tank.hmax, LevelLow, LevelHigh);
            CheckRange(tank.hhigh, LevelLow, LevelHigh);
            CheckRange(tank.hmax, tank.hmin + 1, LevelHigh);
            CheckRange(tank.hhigh, tank.hmax + 1, LevelHigh);
        } else {
            // Not validated, but a value beyond one byte would spill into its neighbour.
            CheckRange(tank.hmin, 0, ByteHigh);
            CheckRange(tank.hmax, 0, ByteHigh);
            CheckRange(tank.hhigh, 0, ByteHigh);
        }
    } catch (const Exception& e) {
        Raise(Format(Cp1251("Резервуар %d:\r\n%s"), index + 1, e.message().c_str()));
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
