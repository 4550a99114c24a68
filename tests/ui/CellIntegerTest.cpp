#include "ui/CellInteger.h"

#include <gtest/gtest.h>

namespace dravik::ui {
namespace {

TEST(CellInteger, TakesWholeNumbersInDecimalAndHexadecimal) {
    const struct {
        const char* text;
        int32_t value;
    } cases[] = {
        {"0", 0},
        {"42", 42},
        {"-7", -7},
        {"+7", 7},
        {"   15", 15},
        {"$1A", 26},
        {"$ff", 255},
        {"0x10", 16},
        {"0XfF", 255},
        {"-$10", -16},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"$7FFFFFFF", INT32_MAX},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseCellInteger(c.text), c.value) << c.text;
    }
}

TEST(CellInteger, RefusesAnythingElse) {
    for (const char* text :
         {"", " ", "abc", "12abc", "1.5", "1,5", "15 ", "- 1", "$", "0x", "$G", "0x-1", "--1",
          "2147483648", "-2147483649", "$80000000", "99999999999999999999", "1e3"}) {
        EXPECT_EQ(ParseCellInteger(text), std::nullopt) << text;
    }
}

} // namespace
} // namespace dravik::ui
