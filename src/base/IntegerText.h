#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace dravik {

// Which marks may introduce hexadecimal digits after the optional sign.
enum class THexMarks { Dollar, DollarOrX }; // DollarOrX: "$", "x", "0x" in either letter case

// The value of a decimal (or, with hex, hexadecimal) digit; -1 for any other character.
int DigitValue(char c, bool hex);

// Leading blanks, an optional sign, then decimal digits or hexadecimal digits after a mark. The
// whole text must convert into [min, max]; otherwise there is no number.
std::optional<int64_t> ParseInteger(std::string_view text, THexMarks marks, int64_t min,
                                    int64_t max);

} // namespace dravik
