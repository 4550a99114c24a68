#pragma once

// What the tests of dravik_cli's commands share: a fresh current folder, and a configuration file
// that every command accepts, with a copy that differs in one threshold.
#include "support/Files.h"
#include "support/TempDir.h"

#include <string>

#include <gtest/gtest.h>

namespace dravik::test {

inline const char* const GoodCfg =
    "<?xml version=\"1.0\"?>\r\n<configure><tanks>"
    "<item index=\"0\" active=\"-1\" hmin=\"10\" hmax=\"50\" hhigh=\"90\"/>"
    "</tanks><script><item> 04 01 02</item><item> 03 01 02 03 04</item>"
    "</script></configure>\r\n";

class CliFolderTest : public ::testing::Test {
protected:
    // good.cfg, and changed.cfg whose first tank has hmin 20 in place of 10.
    static void WriteGoodAndChanged() {
        WriteBytes("good.cfg", GoodCfg);
        std::string changed = GoodCfg;
        changed.replace(changed.find("hmin=\"10\""), 10, "hmin=\"20\"");
        WriteBytes("changed.cfg", changed);
    }

    TempDir Dir;
};

} // namespace dravik::test
