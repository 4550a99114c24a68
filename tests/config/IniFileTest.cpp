#include "config/IniFile.h"

#include <gtest/gtest.h>

namespace dravik {
namespace {

struct TRead {
    std::string Text;
    std::optional<std::string> Value; // of "port" in "conn"
};

TEST(IniFile, ReadsAKeyLikeTheProfileFunctions) {
    const TRead cases[] = {
        {"[conn]\r\nport=5\r\n", "5"},
        {"[ CONN ]\r\n  Port  =  5  \r\n", "5"},
        {"[conn]\r\nport\t=\t7\t", "7"},
        {"[conn]\nport=a=b\n", "a=b"},
        {"[conn]\r\nport=\r\n", ""},
        {"[conn]\r\nport=1\r\nport=2\r\n[conn]\r\nport=3", "1"},
        {"[x]\r\n[conn]\r\nport=4\r\n", "4"},
        {"", std::nullopt},
        {"[other]\r\nport=5\r\n", std::nullopt},
        {"port=5\r\n[conn]\r\n", std::nullopt},
        {"[conn]\r\n;port=5\r\n", std::nullopt},
        {"[conn]\r\nports=7\r\nport\r\n", std::nullopt},
        {"[conn]\r\n[x]\r\nport=5", std::nullopt},
    };
    for (const TRead& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(TIniFile(c.Text).Read("conn", "port"), c.Value);
    }
}

TEST(IniFile, WritesOneKeyAndKeepsEveryOtherByte) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "[conn]\r\nport=7\r\n"},
        {"[conn]\r\nport=5\r\n", "[conn]\r\nport=7\r\n"},
        {"; top\r\n[a]\r\nx = 1 \r\n\r\n[CONN]\r\n  Port = 5  ; old\r\nother=2\r\n",
         "; top\r\n[a]\r\nx = 1 \r\n\r\n[CONN]\r\nport=7\r\nother=2\r\n"},
        {"[a]\nx=1\n", "[a]\nx=1\n[conn]\nport=7\n"},
        {"[a]\r\nx=1", "[a]\r\nx=1\r\n[conn]\r\nport=7\r\n"},
        {"[conn]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n", "[conn]\r\nx=1\r\nport=7\r\n\r\n[b]\r\ny=2\r\n"},
        {"[conn]\r\n; note\r\n", "[conn]\r\n; note\r\nport=7\r\n"},
        {"[conn]", "[conn]\r\nport=7\r\n"},
        {"[conn]\r\nport=5", "[conn]\r\nport=7"},
        {"[conn]\r\nport=1\r\nport=2\r\n", "[conn]\r\nport=7\r\nport=2\r\n"},
        // A CR that ends the file only lacks its LF: the last line keeps its key.
        {"[conn]\r\nx=1\r", "[conn]\r\nx=1\r\nport=7\r\n"},
        {"[a]\nx=1\r", "[a]\nx=1\r\n[conn]\nport=7\n"},
        {"[a]\r", "[a]\r\n[conn]\r\nport=7\r\n"},
    };
    for (const auto& [before, after] : cases) {
        SCOPED_TRACE(before);
        TIniFile file(before);
        file.Write("conn", "port", "7");
        EXPECT_EQ(file.Text(), after);
        EXPECT_EQ(file.Read("conn", "port"), "7");
        EXPECT_EQ(file.Read("conn", "x"), TIniFile(before).Read("conn", "x"));
        EXPECT_EQ(file.Read("a", "x"), TIniFile(before).Read("a", "x"));
    }
}

} // namespace
} // namespace dravik
