#include "base/SystemError.h"

#include <cerrno>

#include <gtest/gtest.h>

namespace dravik {
namespace {

TEST(SystemText, IsTheSystemTextWithoutTrailingDotsOrBlanks) {
    EXPECT_EQ(SystemText(ENOENT), "No such file or directory");
    EXPECT_EQ(SystemText(EBUSY), "Device or resource busy");
    const std::string unknown = SystemText(99999);
    ASSERT_FALSE(unknown.empty());
    EXPECT_NE(unknown.back(), '.');
    EXPECT_NE(unknown.back(), ' ');
}

} // namespace
} // namespace dravik
