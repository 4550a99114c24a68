#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace dravik::ui {

// A whole number as the tank grid takes it from a cell: leading blanks, an optional sign, then
// decimal digits or hexadecimal ones after "$", "0x" or "x"; nothing may follow, and the value
// must fit a 32-bit signed integer. No value when the text is not such a number.
std::optional<int32_t> ParseCellInteger(std::string_view text);

} // namespace dravik::ui
