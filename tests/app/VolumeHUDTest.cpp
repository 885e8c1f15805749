// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/HUDModel.h"
#include "app/VolumeHUDController.h"
#include "app/WindowFade.h"
#include "platform/ManualScheduler.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <gtest/gtest.h>

namespace voxlane {
namespace {

// It shows at the top right without taking the focus or clicks. Each show restarts the timer that
// hides it (a key held down keeps it up); a show during the fade-out keeps it, whole.
TEST(VolumeHUD, ShowsWithoutTakingFocusAndHidesAWhileAfterTheLastShow) {
    ManualScheduler scheduler;
    VolumeHUDController hud{scheduler};
    const auto show = [&](float level) {
        hud.show(level, false, "Studio Display", "video-display");
    };
    show(0.3f);
    QWidget* panel = hud.panel();
    EXPECT_TRUE(panel->isVisible());
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(area.contains(panel->geometry()));
    EXPECT_GT(panel->x(), area.center().x());
    EXPECT_TRUE(panel->windowFlags() & Qt::WindowTransparentForInput);
    EXPECT_TRUE(panel->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_FALSE(panel->isActiveWindow());
    EXPECT_EQ(hud.model().deviceName(), "Studio Display");

    hud.fade().finish();
    scheduler.advance(1.5);
    show(0.45f);
    scheduler.advance(1.5);
    EXPECT_TRUE(hud.isShown());
    scheduler.advance(0.1);
    EXPECT_FALSE(hud.isShown());
    show(0.4f);
    hud.fade().finish();
    EXPECT_EQ(panel->windowOpacity(), 1.0);
    EXPECT_TRUE(hud.isShown());
    scheduler.advance(1.6);
    hud.fade().finish();
    EXPECT_FALSE(panel->isVisible());
}

} // namespace
} // namespace voxlane
