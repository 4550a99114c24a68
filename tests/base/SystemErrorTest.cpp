#include "base/SystemError.h"

#include "base/Text.h"

#include <cerrno>
#include <clocale>
#include <string>

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

// The process's locale for the life of the object, when the system has it.
class ScopedLocale {
public:
    explicit ScopedLocale(const char* name) : Previous(std::setlocale(LC_ALL, nullptr)) {
        Have = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~ScopedLocale() { std::setlocale(LC_ALL, Previous.c_str()); }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

    bool Have = false;

private:
    std::string Previous;
};

TEST(SystemText, ComesInWindows1251WhateverTheLocale) {
    for (const char* name : {"C", "C.UTF-8", "en_US.UTF-8"}) {
        SCOPED_TRACE(name);
        const ScopedLocale locale(name);
        if (locale.Have) {
            EXPECT_EQ(SystemText(ENOENT), "No such file or directory");
        }
    }
    const ScopedLocale russian("ru_RU.UTF-8");
    if (!russian.Have) {
        GTEST_SKIP() << "ru_RU.UTF-8 is not generated (scripts/install-deps.sh does it)";
    }
    EXPECT_EQ(SystemText(ENOENT), Cp1251("Нет такого файла или каталога"));
}

TEST(LocaleToCp1251, TurnsWhatTheCodePageLacksIntoQuestionMarks) {
    const ScopedLocale locale("C.UTF-8");
    ASSERT_TRUE(locale.Have);
    EXPECT_EQ(LocaleToCp1251("Ошибка \xE2\x82\xAC \xE4\xB8\xAD"), Cp1251("Ошибка € ?"));
}

} // namespace
} // namespace dravik
