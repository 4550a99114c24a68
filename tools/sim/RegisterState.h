#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

// The controller's holding registers: 32 (tank mask), 36..67 (thresholds), 256..355 (script).
class RegisterState {
public:
    static constexpr int MaskRegister = 32;
    static constexpr int ThresholdFirst = 36;
    static constexpr int ThresholdLast = 67;
    static constexpr int ScriptFirst = 256;
    static constexpr int ScriptLast = 355;
    static constexpr int FirstServed = MaskRegister;
    static constexpr int LastServed = ScriptLast;

    static bool Served(int address);
    // A request for count registers from start touches only served registers.
    static bool RangeServed(int start, int count);

    // A realistic controller: three tanks enabled with plausible thresholds, a short script.
    static RegisterState Default();

    // Lines "<decimal address> 0x<4 hex digits>"; nullopt when the file cannot be read.
    static std::optional<RegisterState> Load(const std::string& path, std::string& error);
    // Written to a temporary file and renamed, so a reader never sees half a state.
    bool Save(const std::string& path) const;

    uint16_t Get(int address) const;
    void Set(int address, uint16_t value);

private:
    std::map<int, uint16_t> Values;
};
