#include "link/OperationStatus.h"

#include <gtest/gtest.h>

namespace dravik {
namespace {

TEST(MakeStatus, SuccessIgnoresTheMessageAndFailureFallsBackToTheCode) {
    struct Case {
        int32_t code;
        const char* message;
        bool success;
        const char* expected;
    };
    for (const Case& c :
         {Case{0, "whatever", true, "OK"}, Case{0, "", true, "OK"}, Case{-2, "", false, "-2"},
          Case{-2, "COM3: busy", false, "COM3: busy"}, Case{5, "", false, "5"}}) {
        const TOperationStatus status = MakeStatus(c.code, c.message);
        EXPECT_EQ(status.Success, c.success) << c.code;
        EXPECT_EQ(status.Code, c.code);
        EXPECT_EQ(status.Message, c.expected);
    }
}

TEST(BytesToHex, WritesTwoUpperCaseDigitsAndABlankPerByte) {
    const uint8_t bytes[] = {0x00, 0x7F, 0x80, 0x0A, 0xFF};
    EXPECT_EQ(BytesToHex(bytes, 3), "00 7F 80 ");
    EXPECT_EQ(BytesToHex(bytes, 5), "00 7F 80 0A FF ");
    EXPECT_EQ(BytesToHex(bytes, 0), "");
}

} // namespace
} // namespace dravik
