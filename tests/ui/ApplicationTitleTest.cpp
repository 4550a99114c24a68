#include "ui/ApplicationTitle.h"

#include <gtest/gtest.h>

namespace dravik::ui {
namespace {

TEST(ApplicationTitle, IsTheFileNameUpToItsFirstDotWithTheRestInLowerCase) {
    const struct {
        const char* path;
        const char* title;
    } cases[] = {
        {"/usr/bin/dravik_conf", "dravik_conf"},
        {"/opt/SETUP.EXE", "Setup"},
        {"/home/u/build.v2/TANK.conf.bin", "Tank"},
        {"dravik_conf", "dravik_conf"},
        {"/x/ÜBER", "Über"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ApplicationTitle(QString::fromUtf8(c.path)), QString::fromUtf8(c.title))
            << c.path;
    }
}

} // namespace
} // namespace dravik::ui
