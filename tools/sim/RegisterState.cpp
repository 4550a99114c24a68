#include "RegisterState.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

struct Tank {
    int index, hmin, hmax, hhigh;
};

} // namespace

bool RegisterState::Served(int address) {
    return address == MaskRegister || (address >= ThresholdFirst && address <= ThresholdLast) ||
           (address >= ScriptFirst && address <= ScriptLast);
}

bool RegisterState::RangeServed(int start, int count) {
    for (int a = start; a < start + count; ++a) {
        if (!Served(a)) {
            return false;
        }
    }
    return count > 0;
}

RegisterState RegisterState::Default() {
    RegisterState state;
    for (int a = 0; a <= ScriptLast; ++a) {
        if (Served(a)) {
            state.Set(a, 0);
        }
    }
    const Tank tanks[] = {{0, 10, 50, 90}, {1, 20, 60, 85}, {2, 5, 40, 95}};
    uint16_t mask = 0;
    for (const Tank& t : tanks) {
        mask = static_cast<uint16_t>(mask | 1u << t.index);
        state.Set(ThresholdFirst + 2 * t.index, static_cast<uint16_t>(t.hmin << 8 | t.hmax));
        state.Set(ThresholdFirst + 2 * t.index + 1,
                  static_cast<uint16_t>(t.hhigh << 8 | (t.hmin + t.hmax) / 2));
    }
    // A disabled tank keeps thresholds of its own.
    state.Set(ThresholdFirst + 2 * 3, 15 << 8 | 45);
    state.Set(ThresholdFirst + 2 * 3 + 1, 80 << 8 | 30);
    state.Set(MaskRegister, mask);
    // Commands 04 01 02, 03 05 06 07 08, 05 02 03, then the end command.
    const std::vector<uint8_t> script = {0x04, 0x01, 0x02, 0x03, 0x05, 0x06,
                                         0x07, 0x08, 0x05, 0x02, 0x03, 0x00};
    for (size_t k = 0; k < script.size(); k += 2) {
        const uint8_t low = k + 1 < script.size() ? script[k + 1] : 0;
        state.Set(ScriptFirst + static_cast<int>(k / 2),
                  static_cast<uint16_t>(script[k] << 8 | low));
    }
    return state;
}

std::optional<RegisterState> RegisterState::Load(const std::string& path, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    RegisterState state = Default();
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        int address = -1;
        std::string value;
        fields >> address >> value;
        size_t used = 0;
        unsigned long parsed = 0;
        try {
            parsed = std::stoul(value, &used, 0);
        } catch (const std::exception&) {
            used = 0;
        }
        if (!Served(address) || used == 0 || used != value.size() || parsed > 0xFFFF) {
            error = path + ":" + std::to_string(number) + ": expected '<register> 0x<value>'";
            return std::nullopt;
        }
        state.Set(address, static_cast<uint16_t>(parsed));
    }
    return state;
}

bool RegisterState::Save(const std::string& path) const {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        for (const auto& [address, value] : Values) {
            char line[32];
            std::snprintf(line, sizeof line, "%d 0x%04X\n", address, value);
            out << line;
        }
        out.flush();
        if (!out) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

uint16_t RegisterState::Get(int address) const {
    const auto it = Values.find(address);
    return it == Values.end() ? 0 : it->second;
}

void RegisterState::Set(int address, uint16_t value) {
    Values[address] = value;
}
