// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/DeviceSectionRules.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

namespace Rules = DeviceSectionRules;

std::vector<DeviceRule> abc() {
    return {{"a", "A", Transport::unknown, false},
            {"b", "B", Transport::unknown, true},
            {"c", "C", Transport::unknown, false}};
}

std::vector<std::string> uids(const std::vector<DeviceRule>& rules) {
    std::vector<std::string> out;
    for (const auto& r : rules)
        out.push_back(r.uid);
    return out;
}

std::vector<std::string> labels(const std::vector<DeviceRule>& rules, bool ranked) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < rules.size(); ++i)
        out.push_back(Rules::rankLabel(rules, ranked, i));
    return out;
}

TEST(DeviceSectionRules, RankLabelsSkipExcludedDevices) {
    using V = std::vector<std::string>;
    EXPECT_EQ(labels(abc(), true), (V{"1", "\u2013", "2"}));
    EXPECT_EQ(labels(abc(), false), (V{"", "\u2013", ""}));
    EXPECT_EQ(Rules::rankLabel(abc(), true, 7), "");
}

// The gap counts in the list before the move; the dragged rule and those above it are placed by
// the user (and never forgotten); a drop into its own gap, either side, moves and places nothing.
TEST(DeviceSectionRules, MoveCountsTheGapInTheListBeforeTheMove) {
    using V = std::vector<std::string>;
    const auto ranked = [](const std::vector<DeviceRule>& rules) {
        std::vector<bool> flags;
        for (const auto& rule : rules)
            flags.push_back(rule.ranked);
        return flags;
    };
    EXPECT_EQ(uids(Rules::moved(abc(), 2, 0)), (V{"c", "a", "b"}));
    EXPECT_EQ(uids(Rules::moved(abc(), 0, 3)), (V{"b", "c", "a"}));
    EXPECT_EQ(uids(Rules::moved(abc(), 0, 2)), (V{"b", "a", "c"}));
    EXPECT_EQ(ranked(Rules::moved(abc(), 0, 2)), (std::vector<bool>{true, true, false}));
    EXPECT_EQ(ranked(Rules::moved(abc(), 2, 0)), (std::vector<bool>{true, false, false}));
    for (auto [from, to] : {std::pair{1, 1}, {1, 2}, {3, 0}, {0, 4}})
        EXPECT_EQ(Rules::moved(abc(), from, to), abc()) << from << " to " << to;
}

// Exclusion, forgetting and reset through the device window are the shell tests'; of two rules
// with one uid only the first flips, forgetting removes both.
TEST(DeviceSectionRules, ToggleTheFirstAndForgetEveryRuleOfAUid) {
    auto twice = abc();
    twice.push_back({"a", "A again", Transport::unknown, false});
    EXPECT_TRUE(Rules::toggledNever(twice, "a")[0].never);
    EXPECT_FALSE(Rules::toggledNever(twice, "a")[3].never);
    EXPECT_EQ(uids(Rules::forgotten(twice, "a")), (std::vector<std::string>{"b", "c"}));
}

} // namespace
} // namespace voxlane
