#pragma once

#include "base/Exception.h"

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dravik::ui {

// A whole number as the tank grid takes it from a cell: leading blanks, an optional sign, then
// decimal digits or hexadecimal ones after "$", "0x" or "x"; nothing may follow, and the value
// must fit a 32-bit signed integer. No value when the text is not such a number.
std::optional<int32_t> ParseCellInteger(std::string_view text);

// A cell's text refused as no such number; its message is the grid's own, in English.
class TCellRefusal : public Exception {
public:
    using Exception::Exception;
};

// What to do about a refused cell, in the window's language; nothing for any other failure.
std::vector<std::string> CellRefusalAdvice(const std::exception& failure);

} // namespace dravik::ui
