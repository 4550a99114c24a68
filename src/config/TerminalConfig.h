#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace dravik {

constexpr int TankCount = 16;

struct TTankRecord {
    uint8_t active = 0; // writers store 0 or 1; readers take any non-zero value as enabled
    int32_t hmin = 0;
    int32_t hmax = 0;
    int32_t hhigh = 0;

    bool operator==(const TTankRecord&) const = default;
};

// The script as text lines (Windows-1251), in the order they were added; duplicates and empty
// lines are kept.
class TScriptLines {
public:
    int Count() const { return static_cast<int>(Lines.size()); }
    const std::string& operator[](int index) const { return Lines.at(static_cast<size_t>(index)); }
    void Add(std::string line) { Lines.push_back(std::move(line)); }
    void Assign(const TScriptLines& other) { Lines = other.Lines; }
    void Assign(std::vector<std::string> lines) { Lines = std::move(lines); }
    void Clear() { Lines.clear(); }

    bool operator==(const TScriptLines&) const = default;

private:
    std::vector<std::string> Lines;
};

// One complete controller configuration: sixteen tanks (index i is tank number i + 1 to the
// user) and the scheme script.
class TTerminalConfig {
public:
    std::array<TTankRecord, TankCount> Tanks{};
    TScriptLines Script;

    void Clear();

    bool operator==(const TTerminalConfig&) const = default;
};

} // namespace dravik
