#include "ui/CellInteger.h"

#include "base/IntegerText.h"
#include "base/Text.h"

#include <limits>

namespace dravik::ui {

std::optional<int32_t> ParseCellInteger(std::string_view text) {
    const std::optional<int64_t> number =
        ParseInteger(text, THexMarks::DollarOrX, std::numeric_limits<int32_t>::min(),
                     std::numeric_limits<int32_t>::max());
    return number ? std::optional<int32_t>(static_cast<int32_t>(*number)) : std::nullopt;
}

std::vector<std::string> CellRefusalAdvice(const std::exception& failure) {
    if (dynamic_cast<const TCellRefusal*>(&failure) == nullptr) {
        return {};
    }
    return {Cp1251("Порог — целое число, например 50 (можно и -5, $32, 0x32)."),
            Cp1251("В ячейке оставлено прежнее значение.")};
}

} // namespace dravik::ui
