#include "ui/CellInteger.h"

#include <limits>

namespace dravik::ui {
namespace {

constexpr int Decimal = 10;
constexpr int Hexadecimal = 16;
// Beyond this the value has left the 32-bit range whatever its sign, so digits can stop growing.
constexpr int64_t Ceiling = int64_t{std::numeric_limits<int32_t>::max()} + 1;

int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + Decimal;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + Decimal;
    }
    return Hexadecimal; // no digit in any base used here
}

bool TakePrefix(std::string_view& text, std::string_view prefix) {
    if (text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix) {
        text.remove_prefix(prefix.size());
        return true;
    }
    return false;
}

} // namespace

std::optional<int32_t> ParseCellInteger(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = Decimal;
    if (TakePrefix(text, "$") || TakePrefix(text, "0x") || TakePrefix(text, "0X")) {
        base = Hexadecimal;
    }
    if (text.empty()) {
        return std::nullopt;
    }
    int64_t magnitude = 0;
    for (const char c : text) {
        const int digit = DigitValue(c);
        if (digit >= base) {
            return std::nullopt;
        }
        magnitude = magnitude * base + digit;
        if (magnitude > Ceiling) {
            return std::nullopt;
        }
    }
    const int64_t value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<int32_t>::min() ||
        value > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

} // namespace dravik::ui
