// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShellWorld.h"
#include "app/GlassPanel.h"
#include "app/PanelPlacement.h"
#include "app/StatusPanelController.h"
#include "app/WindowFade.h"
#include "engine/MixerEngine.h"
#include "ui/EngineAdapter.h"

#include <QApplication>
#include <QLabel>
#include <QSystemTrayIcon>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace voxlane {
namespace {

using test::ShellWorld;

// Under (or above) the tray item, 2 pixels from it and at least 4 inside the available area;
// at the click's point next to whichever edge the desktop's panel is on; else top right.
TEST(PanelPlacement, NextToTheTrayItemOrTheClickKeptInsideTheArea) {
    const QSize size(320, 400);
    const QRect topBar(0, 28, 1920, 1052), screen(0, 0, 1920, 1080);
    struct Case {
        std::optional<QRect> anchor;
        QRect available, expected;
    };
    for (const Case& c : std::vector<Case>{
             {QRect(1000, 3, 22, 22), topBar, QRect(851, 27, 320, 400)},  // centred
             {QRect(1890, 3, 22, 22), topBar, QRect(1596, 27, 320, 400)}, // right bound
             {QRect(2, 3, 22, 22), topBar, QRect(4, 27, 320, 400)},       // left bound
             {QRect(1800, 1049, 22, 22), QRect(0, 0, 1920, 1040), QRect(1596, 647, 320, 400)},
             {std::nullopt, topBar, QRect(1592, 30, 320, 400)}})
        EXPECT_EQ(PanelPlacement::frame(size, c.anchor, c.available), c.expected);
    // Wider than the area: the right bound wins.
    EXPECT_EQ(PanelPlacement::frame({2000, 100}, QRect(900, 3, 22, 22), topBar).x(), -84);

    const auto top = PanelPlacement::atPoint(size, {1000, 12}, screen, topBar);
    EXPECT_EQ(top.frame, QRect(840, 30, 320, 400));
    EXPECT_TRUE(top.hangsFromTop);
    const auto bottom =
        PanelPlacement::atPoint(size, {1880, 1060}, screen, QRect(0, 0, 1920, 1036));
    EXPECT_EQ(bottom.frame, QRect(1596, 634, 320, 400));
    EXPECT_FALSE(bottom.hangsFromTop);
    // A panel that hides itself leaves the whole screen available: the nearest edge counts.
    EXPECT_EQ(PanelPlacement::atPoint(size, {300, 1075}, screen, screen).frame,
              QRect(140, 673, 320, 400));
    EXPECT_EQ(PanelPlacement::centred(size, topBar), QRect(800, 354, 320, 400));
    // Growing keeps the edge the panel hangs from.
    const QRect current(100, 30, 320, 200);
    EXPECT_EQ(PanelPlacement::resized(current, {320, 260}), QRect(100, 30, 320, 260));
    EXPECT_EQ(PanelPlacement::resized(current, {320, 260}, false), QRect(100, -30, 320, 260));
}

TEST(PanelPlacement, TheWheelStepsOnTheGridAndSmallTurnsStepFinely) {
    const auto after = StatusPanelController::volumeAfterScroll;
    EXPECT_FLOAT_EQ(after(0.5f, 120), 0.5625f);
    EXPECT_FLOAT_EQ(after(0.52f, 120), 0.5625f); // off the grid: onto it
    EXPECT_FLOAT_EQ(after(0.5f, -1), 0.484375f);
    EXPECT_FLOAT_EQ(after(0.97f, 240), 1.0f);
    EXPECT_FLOAT_EQ(after(0.01f, -10), 0.0f);
}

// Opening twice fades in once with one set of monitors; the window goes when the fade-out has
// run, unless the panel is opened again before. Escape closes it and goes no further while other
// keys reach its controls. Grown, it keeps its top edge.
TEST(StatusPanel, OpensAndClosesAndTheEngineFollows) {
    ShellWorld world;
    MixerEngine engine{world.engineServices()};
    EngineAdapter adapter{engine};
    QVBoxLayout* layout = nullptr;
    StatusPanelController controller{adapter, world.scheduler,
                                     [&](EngineAdapter&) {
                                         auto* content = new QWidget;
                                         content->setFixedWidth(300);
                                         layout = new QVBoxLayout(content);
                                         layout->setContentsMargins(0, 0, 0, 0);
                                         layout->setSpacing(0);
                                         layout->addWidget(new QLabel("Sound"));
                                         return content;
                                     },
                                     /*useTray=*/false};
    EXPECT_FALSE(engine.metering());
    controller.open();
    controller.open();
    GlassPanel* panel = controller.panel();
    EXPECT_TRUE(engine.metering());
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(controller.fade().count(), 1);
    EXPECT_EQ(controller.monitorInstalls(), 1);
    controller.close();
    controller.close();
    EXPECT_EQ(controller.fade().count(), 2);
    EXPECT_FALSE(engine.metering());
    EXPECT_FALSE(controller.monitorsInstalled());
    EXPECT_TRUE(panel->isVisible());
    controller.fade().finish();
    EXPECT_FALSE(panel->isVisible());
    controller.toggle();
    controller.close();
    controller.open(); // before the fade-out ended
    controller.fade().finish();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(engine.metering());
    EXPECT_EQ(panel->windowOpacity(), 1.0);

    struct Spy : QObject {
        int keys = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            keys += e->type() == QEvent::KeyPress;
            return false;
        }
    } spy;
    panel->installEventFilter(&spy);
    QTest::keyClick(panel, Qt::Key_A);
    EXPECT_TRUE(controller.isOpen());
    EXPECT_EQ(spy.keys, 1);
    const QRect before = panel->geometry();
    auto* more = new QLabel("Silent apps");
    more->setFixedHeight(60);
    layout->addWidget(more);
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->height() != before.height(); }, 1000));
    EXPECT_EQ(panel->geometry(), QRect(before.topLeft(), QSize(320, before.height() + 60)));
    QTest::keyClick(panel, Qt::Key_Escape);
    EXPECT_FALSE(controller.isOpen());
    EXPECT_EQ(spy.keys, 1);
}

TEST(StatusPanelTray, IconClicksToggleAndClicksElsewhereClose) {
    ShellWorld world;
    MixerEngine engine{world.engineServices()};
    EngineAdapter adapter(engine);
    StatusPanelController controller(
        adapter, world.scheduler, [](EngineAdapter&) { return new QLabel("content"); }, true);
    QSystemTrayIcon* tray = controller.trayIcon();
    ASSERT_NE(tray, nullptr);
    // A middle click mutes the output and leaves the panel closed.
    emit tray->activated(QSystemTrayIcon::MiddleClick);
    EXPECT_TRUE(engine.masterMuted());
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
