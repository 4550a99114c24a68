#include "base/Text.h"

#include <gtest/gtest.h>

namespace dravik {
namespace {

TEST(Text, RussianBecomesWindows1251Bytes) {
    // "Таймаут" in Windows-1251, byte for byte.
    EXPECT_EQ(Cp1251("Таймаут"), "\xD2\xE0\xE9\xEC\xE0\xF3\xF2");
    EXPECT_EQ(Cp1251("Ёё"), "\xA8\xB8");
    EXPECT_EQ(Cp1251("OK"), "OK");
}

TEST(Text, ConversionBackAndUnmappableCharacters) {
    EXPECT_EQ(Cp1251ToUtf8("\xD2\xE0\xE9\xEC\xE0\xF3\xF2"), "Таймаут");
    // Characters Windows-1251 cannot hold become "?".
    EXPECT_EQ(Cp1251("a\xE2\x82\xACz"), "a\x88z"); // the euro sign exists in 1251
    EXPECT_EQ(Cp1251("a\xE4\xB8\xADz"), "a?z");
    // Every byte survives the trip through Unicode, the one without a character (0x98) too.
    std::string every;
    for (int byte = 1; byte <= 0xFF; ++byte) {
        every += static_cast<char>(byte);
    }
    EXPECT_EQ(Cp1251(Cp1251ToUtf8(every)), every);
    EXPECT_EQ(Cp1251ToUtf8("\x98\xA0"), "\xC2\x98\xC2\xA0");
}

TEST(Text, FormatsTemplatesOfTheSystem) {
    EXPECT_EQ(Format("%2d|%2d|%2d", 9, 10, 255), " 9|10|255");
    EXPECT_EQ(Format(Cp1251("Резервуар %d:\r\n%s"), 3, "x"), Cp1251("Резервуар 3:\r\nx"));
    EXPECT_EQ(Format("%s", ""), "");
    EXPECT_EQ(Format("&#x%02X;", 0xA0), "&#xA0;");
    EXPECT_EQ(Format("%d%%", -7), "-7%");
    EXPECT_EQ(Format("%04o %s", 0640, "root"), "0640 root");
}

TEST(Text, AConversionWithoutItsKindOfArgumentIsShownAsWritten) {
    struct Case {
        std::string shown;
        const char* expected;
    };
    for (const Case& c : {Case{Format("%s|%d", 5, 6), "%s|5"}, Case{Format("%d", "x"), "%d"},
                          Case{Format("%d and %s", 1), "1 and %s"}, Case{Format("50%"), "50%"},
                          Case{Format("%q", 1), "%q"}}) {
        EXPECT_EQ(c.shown, c.expected);
    }
}

TEST(Text, FullStopIsAddedAfterCharactersAboveTheDot) {
    struct Case {
        const char* message;
        const char* shown;
    };
    for (const Case& c :
         {Case{"Таймаут", "Таймаут."}, Case{"Done.", "Done."}, Case{"a)", "a)"}, Case{"a!", "a!"},
          Case{"a ", "a "}, Case{"a\r\n", "a\r\n"}, Case{"COM3:", "COM3:."}, Case{"x/", "x/."},
          Case{"7", "7."}, Case{"", ""}}) {
        EXPECT_EQ(WithFullStop(Cp1251(c.message)), Cp1251(c.shown)) << c.message;
    }
}

} // namespace
} // namespace dravik
