#include "config/TerminalConfig.h"

#include <gtest/gtest.h>

namespace dravik {
namespace {

TEST(TerminalConfig, NewAndClearedRecordsAreEqual) {
    TTerminalConfig fresh;
    for (const auto& tank : fresh.Tanks) {
        EXPECT_EQ(tank, TTankRecord{});
    }
    EXPECT_EQ(fresh.Script.Count(), 0);

    TTerminalConfig used;
    used.Tanks[3] = {1, 10, 50, 90};
    used.Tanks[15] = {0, 150, -5, 0};
    used.Script.Add(" 00");
    const TScriptLines* list = &used.Script;
    used.Clear();
    EXPECT_EQ(used, fresh);
    EXPECT_EQ(&used.Script, list); // the same list, emptied
}

TEST(TerminalConfig, KeepsAnyThresholdAndEveryLineInOrder) {
    TTerminalConfig config;
    config.Tanks[0] = {0, 0, 150, -5};
    EXPECT_EQ(config.Tanks[0].hmax, 150);
    EXPECT_EQ(config.Tanks[0].hhigh, -5);

    config.Script.Add("a");
    config.Script.Add("");
    config.Script.Add("a");
    ASSERT_EQ(config.Script.Count(), 3);
    EXPECT_EQ(config.Script[0], "a");
    EXPECT_EQ(config.Script[1], "");
    EXPECT_EQ(config.Script[2], "a");

    TScriptLines copy;
    copy.Assign(config.Script);
    EXPECT_EQ(copy, config.Script);
    copy.Assign(std::vector<std::string>{"x"});
    EXPECT_EQ(copy.Count(), 1);
}

} // namespace
} // namespace dravik
