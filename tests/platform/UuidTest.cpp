// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Uuid.h"

#include <gtest/gtest.h>
#include <regex>
#include <set>

namespace voxlane {
namespace {

TEST(Uuid, VersionFourInUpperCaseTextAndNeverRepeated) {
    const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    std::set<std::string> seen;
    for (int i = 0; i < 2000; ++i) {
        const auto uuid = makeUuid();
        ASSERT_TRUE(std::regex_match(uuid, form)) << uuid;
        ASSERT_TRUE(seen.insert(uuid).second) << uuid;
    }
}

} // namespace
} // namespace voxlane
