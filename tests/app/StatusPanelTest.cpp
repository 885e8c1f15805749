// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShellWorld.h"
#include "app/GlassPanel.h"
#include "app/PanelPlacement.h"
#include "app/StatusPanelController.h"
#include "app/WindowFade.h"
#include "engine/MixerEngine.h"
#include "ui/EngineAdapter.h"
#include "ui/Fader.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace voxlane {
namespace {

using test::ShellWorld;

TEST(PanelPlacement, HangsUnderTheTrayItemKeepingFourPixelsInside) {
    const QRect available(0, 28, 1920, 1052); // a 28-pixel top bar
    const QSize size(320, 400);

    // In the middle: centred under the item, 2 pixels below it.
    EXPECT_EQ(PanelPlacement::frame(size, QRect(1000, 3, 22, 22), available),
              QRect(851, 27, 320, 400));
    // Near the right edge: the right edge stays 4 pixels inside.
    const QRect right = PanelPlacement::frame(size, QRect(1890, 3, 22, 22), available);
    EXPECT_EQ(right.x() + right.width(), 1920 - 4);
    EXPECT_EQ(right.y(), 27);
    // Near the left edge: the left edge stays 4 pixels inside.
    EXPECT_EQ(PanelPlacement::frame(size, QRect(2, 3, 22, 22), available).x(), 4);
    // An area on a second screen to the right: the bounds are that screen's.
    const QRect second(1920, 0, 1280, 1024);
    const QRect onSecond = PanelPlacement::frame(size, QRect(1925, 2, 22, 22), second);
    EXPECT_EQ(onSecond.x(), 1924);
    // Wider than the area: the right bound wins.
    EXPECT_EQ(PanelPlacement::frame(QSize(2000, 100), QRect(900, 3, 22, 22), available).x(),
              1920 - 2000 - 4);
}

TEST(PanelPlacement, StandsAboveATrayAtTheBottomAndFallsBackToTheTopRight) {
    const QRect available(0, 0, 1920, 1040); // a 40-pixel panel at the bottom
    const QRect above = PanelPlacement::frame({320, 400}, QRect(1800, 1049, 22, 22), available);
    EXPECT_EQ(above.y() + above.height(), 1049 - 2);
    // No anchor: 8 pixels from the right, 2 below the top of the available area.
    EXPECT_EQ(PanelPlacement::frame({320, 400}, std::nullopt, QRect(0, 28, 1920, 1052)),
              QRect(1920 - 320 - 8, 30, 320, 400));
}

TEST(PanelPlacement, AnchorsAtTheClickOnWhicheverEdgeTheDesktopsPanelIs) {
    const QRect screen(0, 0, 1920, 1080);
    const QSize size(320, 400);
    // A top bar of 28 pixels: under the bar, centred on the click.
    auto top = PanelPlacement::atPoint(size, {1000, 12}, screen, QRect(0, 28, 1920, 1052));
    EXPECT_EQ(top.frame, QRect(840, 30, 320, 400));
    EXPECT_TRUE(top.hangsFromTop);
    // KDE's default: a 44-pixel panel at the bottom, the tray at the right.
    auto bottom = PanelPlacement::atPoint(size, {1880, 1060}, screen, QRect(0, 0, 1920, 1036));
    EXPECT_EQ(bottom.frame, QRect(1920 - 4 - 320, 1036 - 2 - 400, 320, 400));
    EXPECT_FALSE(bottom.hangsFromTop);
    // Side panels: beside them, vertically centred on the click and kept inside.
    auto left = PanelPlacement::atPoint(size, {20, 500}, screen, QRect(48, 0, 1872, 1080));
    EXPECT_EQ(left.frame, QRect(50, 300, 320, 400));
    auto right = PanelPlacement::atPoint(size, {1900, 1070}, screen, QRect(0, 0, 1872, 1080));
    EXPECT_EQ(right.frame, QRect(1872 - 2 - 320, 1080 - 4 - 400, 320, 400));
    // A panel that hides itself leaves the whole screen available: the nearest edge counts.
    auto hidden = PanelPlacement::atPoint(size, {300, 1075}, screen, screen);
    EXPECT_EQ(hidden.frame.y() + hidden.frame.height(), 1073);
    EXPECT_EQ(hidden.frame.x(), 140);
    // Without any placement: the middle of the area.
    EXPECT_EQ(PanelPlacement::centred(size, QRect(0, 28, 1920, 1052)), QRect(800, 354, 320, 400));
}

TEST(PanelPlacement, TheWheelStepsOnTheGridAndSmallTurnsStepFinely) {
    EXPECT_FLOAT_EQ(StatusPanelController::volumeAfterScroll(0.5f, 120), 0.5625f);
    EXPECT_FLOAT_EQ(StatusPanelController::volumeAfterScroll(0.5f, -360), 0.3125f);
    // Off the grid: onto it.
    EXPECT_FLOAT_EQ(StatusPanelController::volumeAfterScroll(0.52f, 120), 0.5625f);
    EXPECT_FLOAT_EQ(StatusPanelController::volumeAfterScroll(0.5f, 30), 0.515625f);
    EXPECT_FLOAT_EQ(StatusPanelController::volumeAfterScroll(0.5f, -1), 0.484375f);
    EXPECT_FLOAT_EQ(StatusPanelController::volumeAfterScroll(0.97f, 240), 1.0f);
    EXPECT_FLOAT_EQ(StatusPanelController::volumeAfterScroll(0.01f, -10), 0.0f);
    EXPECT_FLOAT_EQ(StatusPanelController::volumeAfterScroll(0.3f, 0), 0.3f);
}

TEST(PanelPlacement, GrowingKeepsTheEdgeThePanelHangsFrom) {
    const QRect current(100, 30, 320, 200);
    EXPECT_EQ(PanelPlacement::resized(current, {320, 260}), QRect(100, 30, 320, 260));
    EXPECT_EQ(PanelPlacement::resized(current, {320, 260}, false), QRect(100, -30, 320, 260));
}

class StatusPanel : public ::testing::Test {
protected:
    ShellWorld world;
    MixerEngine engine{world.engineServices()};
    EngineAdapter adapter{engine};
    QVBoxLayout* contentLayout = nullptr;
    StatusPanelController controller{adapter, world.scheduler,
                                     [this](EngineAdapter&) {
                                         auto* content = new QWidget;
                                         content->setFixedWidth(300);
                                         contentLayout = new QVBoxLayout(content);
                                         contentLayout->setContentsMargins(0, 0, 0, 0);
                                         contentLayout->setSpacing(0);
                                         auto* label = new QLabel("Sound");
                                         label->setFixedHeight(100);
                                         contentLayout->addWidget(label);
                                         return content;
                                     },
                                     /*useTray=*/false};
    GlassPanel* panel() { return controller.panel(); }
};

// Opening twice fades in once with one set of monitors; the window goes when the fade-out has
// run, unless the panel is opened again before.
TEST_F(StatusPanel, OpensAndClosesAndTheEngineFollows) {
    EXPECT_FALSE(engine.metering());
    controller.open();
    controller.open();
    EXPECT_TRUE(controller.isOpen());
    EXPECT_TRUE(engine.metering());
    EXPECT_TRUE(panel()->isVisible());
    EXPECT_EQ(controller.fade().count(), 1);
    EXPECT_EQ(controller.monitorInstalls(), 1);
    // At the top right of the screen when nothing says where (PanelPlacement's rule).
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(panel()->geometry().right(), area.right() - 8);

    controller.close();
    controller.close();
    EXPECT_EQ(controller.fade().count(), 2);
    EXPECT_FALSE(controller.isOpen());
    EXPECT_FALSE(engine.metering());
    EXPECT_FALSE(controller.monitorsInstalled());
    EXPECT_TRUE(panel()->isVisible());
    controller.fade().finish();
    EXPECT_FALSE(panel()->isVisible());

    controller.toggle();
    EXPECT_TRUE(engine.metering());
    controller.close();
    controller.open(); // before the fade-out ended
    controller.fade().finish();
    EXPECT_TRUE(panel()->isVisible());
    EXPECT_TRUE(engine.metering());
    EXPECT_EQ(panel()->windowOpacity(), 1.0);
}

TEST_F(StatusPanel, EscapeClosesAndGoesNoFurther) {
    controller.open();
    bool reachedPanel = false;
    struct Spy : QObject {
        bool* flag;
        explicit Spy(bool* f) : flag(f) {}
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::KeyPress) *flag = true;
            return false;
        }
    } spy(&reachedPanel);
    panel()->installEventFilter(&spy);
    QTest::keyClick(panel(), Qt::Key_A);
    EXPECT_TRUE(controller.isOpen()); // other keys reach the panel's controls
    EXPECT_TRUE(reachedPanel);
    reachedPanel = false;
    QTest::keyClick(panel(), Qt::Key_Escape);
    EXPECT_FALSE(controller.isOpen());
    EXPECT_FALSE(engine.metering());
    EXPECT_FALSE(reachedPanel);
}

TEST_F(StatusPanel, GrowsDownwardsWithItsTopEdgeFixed) {
    controller.open();
    const QRect before = panel()->geometry();
    auto* more = new QLabel("Silent apps");
    more->setFixedHeight(60);
    contentLayout->addWidget(more);
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel()->height() != before.height(); }, 1000));
    EXPECT_EQ(panel()->geometry(), QRect(before.topLeft(), QSize(320, before.height() + 60)));
}

TEST(StatusPanelTray, IconClicksToggleAndClicksElsewhereClose) {
    ShellWorld world;
    MixerEngine engine{world.engineServices()};
    EngineAdapter adapter(engine);
    StatusPanelController controller(
        adapter, world.scheduler, [](EngineAdapter&) { return new QLabel("content"); }, true);
    QSystemTrayIcon* tray = controller.trayIcon();
    ASSERT_NE(tray, nullptr);
    EXPECT_FALSE(tray->icon().isNull());
    // A middle click mutes the output, which the tooltip tells, and leaves the panel closed.
    const QString tip = tray->toolTip();
    emit tray->activated(QSystemTrayIcon::MiddleClick);
    EXPECT_TRUE(engine.masterMuted());
    EXPECT_NE(tray->toolTip(), tip);
    EXPECT_FALSE(controller.isOpen());

    // Left and right clicks both toggle; there is no context menu.
    emit tray->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(controller.isOpen());
    emit tray->activated(QSystemTrayIcon::Context);
    EXPECT_FALSE(controller.isOpen());
    EXPECT_EQ(tray->contextMenu(), nullptr);

    // A click inside the panel keeps it; one in another of our windows closes it.
    controller.open();
    QTest::mouseClick(controller.panel(), Qt::LeftButton);
    EXPECT_TRUE(controller.isOpen());
    QWidget other;
    other.resize(100, 100);
    other.show();
    QTest::mouseClick(&other, Qt::LeftButton);
    EXPECT_FALSE(controller.isOpen());
    EXPECT_FALSE(engine.metering());
    // When that click was on the tray icon, the icon's own toggle follows: it is ignored...
    emit tray->activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(controller.isOpen());
    // ...while a later click opens the panel again.
    world.scheduler.advance(0.5);
    emit tray->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(controller.isOpen());
}

} // namespace
} // namespace voxlane
