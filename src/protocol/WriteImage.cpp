#include "protocol/WriteImage.h"

#include "base/Text.h"

namespace dravik {
namespace {

const char* YesNo(bool value) {
    return value ? "да" : "нет";
}

bool Enabled(uint16_t mask, size_t tank) {
    return (mask >> tank & 1) != 0;
}

// What a read makes of the tank's two registers.
TTankRecord TankAt(const TWriteImage& image, size_t tank) {
    TTankRecord record;
    UnpackTank(&image.Thresholds[2 * tank], record);
    return record;
}

void CompareTank(size_t tank, const TWriteImage& sent, const TWriteImage& held,
                 std::vector<std::string>& out) {
    const int number = static_cast<int>(tank) + 1;
    const bool enabled = Enabled(sent.Mask, tank);
    if (enabled != Enabled(held.Mask, tank)) {
        out.push_back(Format(Cp1251("Резервуар %d, включён: ожидалось %s, в контроллере %s"),
                             number, Cp1251(YesNo(enabled)).c_str(),
                             Cp1251(YesNo(!enabled)).c_str()));
    }
    const TTankRecord want = TankAt(sent, tank);
    const TTankRecord have = TankAt(held, tank);
    // The names of the window's columns.
    const struct {
        const char* Name;
        int32_t Want, Have;
    } levels[] = {{"Hmin", want.hmin, have.hmin},
                  {"Hmax", want.hmax, have.hmax},
                  {"Авария", want.hhigh, have.hhigh}};
    for (const auto& level : levels) {
        if (level.Want != level.Have) {
            out.push_back(Format(Cp1251("Резервуар %d, %s: ожидалось %d, в контроллере %d"), number,
                                 Cp1251(level.Name).c_str(), level.Want, level.Have));
        }
    }
}

void CompareScriptByte(int index, uint8_t want, uint8_t have, std::vector<std::string>& out) {
    if (want != have) {
        out.push_back(Format(Cp1251("Скрипт, байт %d: ожидалось %02X, в контроллере %02X"),
                             index + 1, want, have));
    }
}

} // namespace

TWriteImage MakeWriteImage(const TTerminalConfig& config, const TEncodedScript& script) {
    TWriteImage image;
    image.Mask = TankMask(config);
    for (size_t i = 0; i < TankCount; ++i) {
        PackTank(config.Tanks[i], &image.Thresholds[2 * i]);
    }
    image.Script = ScriptImage(script);
    return image;
}

std::vector<std::string> ImageDifferences(const TWriteImage& sent, const TWriteImage& held) {
    std::vector<std::string> out;
    for (size_t i = 0; i < TankCount; ++i) {
        CompareTank(i, sent, held, out);
    }
    for (size_t k = 0; k < sent.Script.size(); ++k) {
        const int first = 2 * static_cast<int>(k);
        CompareScriptByte(first, static_cast<uint8_t>(sent.Script[k] >> 8),
                          static_cast<uint8_t>(held.Script[k] >> 8), out);
        CompareScriptByte(first + 1, static_cast<uint8_t>(sent.Script[k] & 0xFF),
                          static_cast<uint8_t>(held.Script[k] & 0xFF), out);
    }
    return out;
}

} // namespace dravik
