// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DisplayPlatform.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

using DisplayPlatform::Choice;
using DisplayPlatform::choose;

// Wayland sessions use XWayland where it exists; without it, Wayland itself with a note for the
// log. X11 and the user's own choice are left alone.
TEST(DisplayPlatform, WaylandSessionsUseXWaylandWhereItExists) {
    EXPECT_EQ(choose({"", "wayland-0", ":0"}), (Choice{"xcb", ""}));
    const Choice native = choose({"", "wayland-1", ""});
    EXPECT_EQ(native.platform, "wayland");
    EXPECT_NE(native.limitation.find("ohne XWayland"), std::string::npos) << native.limitation;
    EXPECT_EQ(choose({"", "", ":0"}), Choice{});
    EXPECT_EQ(choose({"xcb", "wayland-0", ""}), Choice{});
    const Choice asked = choose({"wayland-egl", "wayland-0", ":0"});
    EXPECT_EQ(asked.platform, "");
    EXPECT_NE(asked.limitation.find("QT_QPA_PLATFORM=wayland-egl"), std::string::npos);
}

} // namespace
} // namespace voxlane
