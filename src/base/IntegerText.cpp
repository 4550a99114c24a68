#include "base/IntegerText.h"

namespace dravik {
namespace {

// Length of the hexadecimal mark at the start of text, 0 when there is none.
size_t HexMark(std::string_view text, THexMarks marks) {
    if (text.starts_with('$')) {
        return 1;
    }
    if (marks != THexMarks::DollarOrX) {
        return 0;
    }
    if (text.starts_with('x') || text.starts_with('X')) {
        return 1;
    }
    return text.starts_with("0x") || text.starts_with("0X") ? 2 : 0;
}

} // namespace

int DigitValue(char c, bool hex) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (hex && c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (hex && c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::optional<int64_t> ParseInteger(std::string_view text, THexMarks marks, int64_t min,
                                    int64_t max) {
    size_t i = text.find_first_not_of(' ');
    if (i == std::string_view::npos) {
        return std::nullopt;
    }
    const bool negative = text[i] == '-';
    i += (text[i] == '-' || text[i] == '+') ? 1U : 0U;
    const size_t mark = HexMark(text.substr(i), marks);
    const bool hex = mark > 0;
    i += mark;
    // Magnitudes up to 2^63 fit, so the test against the limit below never overflows.
    const uint64_t limit =
        negative ? uint64_t{0} - static_cast<uint64_t>(min) : static_cast<uint64_t>(max);
    if (i >= text.size() || (negative && min >= 0)) {
        return std::nullopt;
    }
    uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text[i], hex);
        const uint64_t base = hex ? 16 : 10;
        if (digit < 0 || static_cast<uint64_t>(digit) > limit ||
            magnitude > (limit - static_cast<uint64_t>(digit)) / base) {
            return std::nullopt;
        }
        magnitude = magnitude * base + static_cast<uint64_t>(digit);
    }
    return negative ? static_cast<int64_t>(uint64_t{0} - magnitude)
                    : static_cast<int64_t>(magnitude);
}

} // namespace dravik
