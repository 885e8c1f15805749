// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DisplayPlatform.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

using DisplayPlatform::Choice;
using DisplayPlatform::choose;

TEST(DisplayPlatform, WaylandSessionsUseXWaylandWhereItExists) {
    // GNOME, KDE and wlroots sessions with XWayland: the xcb platform, nothing to report.
    EXPECT_EQ(choose({"", "wayland-0", ":0"}), (Choice{"xcb", ""}));
    // Without XWayland: Wayland itself, and the log says why the panel stands in the middle.
    const Choice native = choose({"", "wayland-1", ""});
    EXPECT_EQ(native.platform, "wayland");
    EXPECT_NE(native.limitation.find("ohne XWayland"), std::string::npos) << native.limitation;
}

TEST(DisplayPlatform, X11AndTheUsersOwnChoiceAreLeftAlone) {
    EXPECT_EQ(choose({"", "", ":0"}), Choice{});
    EXPECT_EQ(choose({"", "", ""}), Choice{}); // no display: reported by the caller
    EXPECT_EQ(choose({"offscreen", "wayland-0", ":0"}), Choice{});
    EXPECT_EQ(choose({"xcb", "wayland-0", ""}), Choice{});
    // A Wayland platform the user asked for is kept, with the same note as without XWayland.
    const Choice asked = choose({"wayland-egl", "wayland-0", ":0"});
    EXPECT_EQ(asked.platform, "");
    EXPECT_NE(asked.limitation.find("QT_QPA_PLATFORM=wayland-egl"), std::string::npos);
}

TEST(DisplayPlatform, OnlyWaylandPlatformsLeavePlacementToTheCompositor) {
    for (const char* name : {"wayland", "wayland-egl", "wayland;xcb"})
        EXPECT_FALSE(DisplayPlatform::placesWindows(name)) << name;
    for (const char* name : {"xcb", "offscreen", "xcb;wayland"})
        EXPECT_TRUE(DisplayPlatform::placesWindows(name)) << name;
}

} // namespace
} // namespace voxlane
