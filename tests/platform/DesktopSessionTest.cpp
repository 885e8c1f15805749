// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DesktopSession.h"

#include <gtest/gtest.h>
#include <set>

namespace voxlane {
namespace {

using Names = std::vector<std::string>;

std::set<std::string> installedPrograms;
bool installed(const std::string& program) {
    return installedPrograms.count(program) > 0;
}

TEST(DesktopSession, SoundSettingsAreTheDesktopsOwnElsePavucontrol) {
    EXPECT_EQ(DesktopSession::desktops("ubuntu:GNOME"), (Names{"ubuntu", "gnome"}));
    EXPECT_TRUE(DesktopSession::desktops(nullptr).empty());

    installedPrograms = {"gnome-control-center", "systemsettings5", "pavucontrol"};
    EXPECT_EQ(DesktopSession::soundSettingsCommand({"ubuntu", "gnome"}, installed),
              (Names{"gnome-control-center", "sound"}));
    EXPECT_EQ(DesktopSession::soundSettingsCommand({"kde"}, installed),
              (Names{"systemsettings5", "kcm_pulseaudio"}));
    EXPECT_EQ(DesktopSession::soundSettingsCommand({"sway"}, installed), Names{"pavucontrol"});
    // GNOME without its settings program installed: the volume control still opens.
    installedPrograms = {"pavucontrol"};
    EXPECT_EQ(DesktopSession::soundSettingsCommand({"gnome"}, installed), Names{"pavucontrol"});
    // Nothing known: empty, and the user is told what to open.
    installedPrograms = {};
    EXPECT_TRUE(DesktopSession::soundSettingsCommand({"sway"}, installed).empty());
}

TEST(DesktopSession, TheVolumeKeysHolderIsTheDesktopsKeyDaemonFirst) {
    // GNOME runs both its shell and the media-keys daemon: the daemon is named.
    const auto gnome = DesktopSession::volumeKeyHolder({"bash", "gnome-shell", "gsd-media-keys"});
    ASSERT_TRUE(gnome);
    EXPECT_EQ(gnome->name, "GNOME\u2019s media keys");
    // Process names are cut to 15 bytes by the kernel.
    EXPECT_EQ(DesktopSession::volumeKeyHolder({"xfce4-volumed-p", "xfce4-panel"})->name,
              "Xfce\u2019s volume daemon");
    EXPECT_FALSE(DesktopSession::volumeKeyHolder({"bash", "voxlane"}));
}

} // namespace
} // namespace voxlane
