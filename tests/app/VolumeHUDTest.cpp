// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/HUDModel.h"
#include "app/HUDView.h"
#include "app/VolumeHUDController.h"
#include "app/WindowFade.h"
#include "platform/ManualScheduler.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace voxlane {
namespace {

TEST(HUDModel, SpeakerSymbolFollowsLevelAndMute) {
    EXPECT_EQ(HUDModel::speakerSymbol(0.8f, true), "audio-volume-muted");
    EXPECT_EQ(HUDModel::speakerSymbol(0.0f, false), "audio-volume-muted");
    EXPECT_EQ(HUDModel::speakerSymbol(0.3f, false), "audio-volume-low");
    EXPECT_EQ(HUDModel::speakerSymbol(0.34f, false), "audio-volume-medium");
    EXPECT_EQ(HUDModel::speakerSymbol(0.67f, false), "audio-volume-high");
}

TEST(HUDModel, EqualWritesNotifyNobody) {
    HUDModel model;
    QSignalSpy spy(&model, &HUDModel::changed);
    model.setLevel(0.5f); // the initial value
    model.setMuted(false);
    model.setSymbol("video-display");
    EXPECT_EQ(spy.count(), 0);
    model.setLevel(0.3f);
    model.setDeviceName("Speakers");
    EXPECT_EQ(spy.count(), 2);
}

class VolumeHUD : public ::testing::Test {
protected:
    ManualScheduler scheduler;
    VolumeHUDController hud{scheduler};
    void show(float level = 0.5f) { hud.show(level, false, "Studio Display", "video-display"); }
};

TEST_F(VolumeHUD, AppearsAtTheTopRightWithoutTakingFocusOrClicks) {
    show(0.3f);
    QWidget* panel = hud.panel();
    EXPECT_TRUE(panel->isVisible());
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(area.contains(panel->geometry()));
    EXPECT_GT(panel->x(), area.center().x());
    EXPECT_TRUE(panel->windowFlags() & Qt::WindowTransparentForInput);
    EXPECT_TRUE(panel->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(panel->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_FALSE(panel->isActiveWindow());
    EXPECT_EQ(hud.model().deviceName(), "Studio Display");
}

// Each show restarts the timer that hides it (a key held down keeps it up); a show during the
// fade-out keeps it, whole.
TEST_F(VolumeHUD, HidesAWhileAfterTheLastShow) {
    show();
    hud.fade().finish();
    scheduler.advance(1.5);
    show(0.45f);
    scheduler.advance(1.5);
    EXPECT_TRUE(hud.isShown());
    EXPECT_EQ(hud.fade().count(), 2); // one fade-in per show, none out yet
    scheduler.advance(0.1);
    EXPECT_FALSE(hud.isShown());
    EXPECT_EQ(hud.fade().target(), 0);
    show(0.4f);
    hud.fade().finish();
    EXPECT_TRUE(hud.panel()->isVisible());
    EXPECT_EQ(hud.panel()->windowOpacity(), 1.0);
    EXPECT_TRUE(hud.isShown());
    scheduler.advance(1.6);
    EXPECT_FALSE(hud.isShown());
    hud.fade().finish();
    EXPECT_FALSE(hud.panel()->isVisible());
}

} // namespace
} // namespace voxlane
