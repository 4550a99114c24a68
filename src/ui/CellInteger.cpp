#include "ui/CellInteger.h"

#include "base/IntegerText.h"

#include <limits>

namespace dravik::ui {

std::optional<int32_t> ParseCellInteger(std::string_view text) {
    const std::optional<int64_t> number =
        ParseInteger(text, THexMarks::DollarOrX, std::numeric_limits<int32_t>::min(),
                     std::numeric_limits<int32_t>::max());
    return number ? std::optional<int32_t>(static_cast<int32_t>(*number)) : std::nullopt;
}

} // namespace dravik::ui
