// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppDelegate.h"

#include "ShellWorld.h"
#include "app/GlassPanel.h"
#include "app/LaunchOptions.h"
#include "app/MainMenu.h"
#include "app/MediaKeyTap.h"
#include "app/VolumeHUDController.h"
#include "engine/MixerEngine.h"
#include "engine/SettingsStore.h"
#include "support/TempDirectory.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>

namespace voxlane {
namespace {

using test::ShellWorld;

LaunchOptions args(std::vector<std::string> a) {
    return LaunchOptions::parse(a);
}

TEST(LaunchDecision, FirstRunDoubleDashRuleAndLogin) {
    const auto decide = [](std::vector<std::string> a, bool completed, bool tray = true) {
        return decideLaunch(args(std::move(a)), completed, tray);
    };
    // Not completed yet: the first-run window, whatever the arguments.
    EXPECT_EQ(decide({}, false), LaunchAction::showOnboarding);
    EXPECT_EQ(decide({"--login"}, false), LaunchAction::showOnboarding);
    // Completed: by hand without arguments the panel opens; any "--" argument keeps it shut.
    EXPECT_EQ(decide({}, true), LaunchAction::openPanelSoon);
    EXPECT_EQ(decide({"file.txt"}, true), LaunchAction::openPanelSoon);
    EXPECT_EQ(decide({"--demo"}, true), LaunchAction::stayClosed);
    EXPECT_EQ(decide({"--login"}, true), LaunchAction::stayClosed);
    EXPECT_EQ(decide({"--onboarding"}, true), LaunchAction::showOnboarding);
    // Without a tray the panel is the only way in: it opens unless started at login.
    EXPECT_EQ(decide({"--demo"}, true, false), LaunchAction::openPanelSoon);
    EXPECT_EQ(decide({"--login"}, true, false), LaunchAction::stayClosed);
    const LaunchOptions parsed = args({"--demo", "--login", "-x"});
    EXPECT_TRUE(parsed.demo && parsed.login && parsed.anyDoubleDash && !parsed.onboarding);
    EXPECT_FALSE(args({"-demo"}).anyDoubleDash);
}

class Delegate : public ::testing::Test {
protected:
    explicit Delegate(bool hardwareVolume = true) : world(hardwareVolume) {}
    std::unique_ptr<AppDelegate> launch(std::vector<std::string> arguments, bool tray = true) {
        auto d = std::make_unique<AppDelegate>(world.services(), args(std::move(arguments)), tray);
        d->didFinishLaunching();
        return d;
    }
    ShellWorld world;
};

TEST_F(Delegate, OpensThePanelFourTenthsOfASecondAfterANormalLaunch) {
    world.defaults->setBoolean(AppDelegate::onboardingCompletedKey, true);
    auto delegate = launch({});
    ASSERT_NE(delegate->engine(), nullptr);
    world.scheduler.advance(0.39);
    EXPECT_FALSE(delegate->controller()->isOpen());
    world.scheduler.advance(0.01);
    EXPECT_TRUE(delegate->controller()->isOpen());
    EXPECT_TRUE(delegate->engine()->panelVisible());
    // A second launch (reopen) with the panel open leaves it open where there is a tray.
    delegate->reopen();
    EXPECT_TRUE(delegate->controller()->isOpen());
}

TEST_F(Delegate, StaysClosedAtLoginAndWithDoubleDashArguments) {
    world.defaults->setBoolean(AppDelegate::onboardingCompletedKey, true);
    for (const char* argument : {"--login", "--demo"}) {
        auto delegate = launch({argument});
        world.scheduler.advance(5);
        EXPECT_FALSE(delegate->controller()->isOpen()) << argument;
        delegate->reopen();
        EXPECT_TRUE(delegate->controller()->isOpen()) << argument;
    }
}

TEST_F(Delegate, FirstRunShowsOnboardingThenOpensThePanel) {
    auto delegate = std::make_unique<AppDelegate>(world.services(), args({}), true);
    std::function<void()> finish;
    delegate->showOnboarding = [&](MixerEngine&, std::function<void()> onFinish) {
        finish = std::move(onFinish);
    };
    delegate->didFinishLaunching();
    world.scheduler.advance(1);
    ASSERT_TRUE(finish);
    EXPECT_FALSE(delegate->controller()->isOpen());
    finish();
    EXPECT_TRUE(delegate->controller()->isOpen());
    // Only the first-run window itself marks the first run completed.
    EXPECT_FALSE(world.defaults->boolean(AppDelegate::onboardingCompletedKey).has_value());
}

TEST_F(Delegate, CtrlQInThePanelQuits) {
    world.defaults->setBoolean(AppDelegate::onboardingCompletedKey, true);
    auto delegate = launch({});
    int quits = 0;
    delegate->mainMenu().quit = [&] { ++quits; };
    world.scheduler.advance(0.4);
    QWidget* panel = delegate->controller()->panel();
    ASSERT_TRUE(panel->isVisible());
    panel->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel));
    QTest::keyClick(panel, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quits, 1);
}

TEST_F(Delegate, HooksCloseThePanelFirst) {
    world.defaults->setBoolean(AppDelegate::onboardingCompletedKey, true);
    auto delegate = launch({});
    int devicesShown = 0;
    delegate->showDevicesWindow = [&](MixerEngine&) { ++devicesShown; };
    world.scheduler.advance(0.4);
    ASSERT_TRUE(delegate->controller()->isOpen());
    delegate->openDevicesWindow();
    EXPECT_FALSE(delegate->controller()->isOpen());
    EXPECT_EQ(devicesShown, 1);
}

class SoftVolumeDelegate : public Delegate {
protected:
    SoftVolumeDelegate() : Delegate(/*hardwareVolume=*/false) {}
};

TEST_F(SoftVolumeDelegate, VolumeKeysStepTheSoftwareVolumeAndShowTheHUD) {
    auto delegate = launch({"--login"});
    MixerEngine& engine = *delegate->engine();
    ASSERT_TRUE(engine.softVolumeActive());
    EXPECT_TRUE(world.keys->grabbed);
    EXPECT_TRUE(engine.volumeKeysReady());
    EXPECT_FALSE(delegate->trustPollRunning());

    engine.setMasterVolume(0.5f);
    world.grabber->press(MediaKey::volumeUp);
    EXPECT_FLOAT_EQ(engine.masterVolume(), 0.5625f);
    world.grabber->press(MediaKey::volumeDown, /*fine=*/true);
    EXPECT_FLOAT_EQ(engine.masterVolume(), 0.546875f);
    EXPECT_TRUE(delegate->hud().isShown());
    EXPECT_EQ(delegate->hud().model().level(), engine.masterVolume());
    EXPECT_EQ(delegate->hud().model().deviceName(), "Speakers");
    world.grabber->press(MediaKey::mute);
    EXPECT_TRUE(engine.masterMuted());
    EXPECT_TRUE(delegate->hud().model().muted());
}

TEST_F(SoftVolumeDelegate, ARefusedGrabIsRetriedEveryTwoSecondsUntilItSucceeds) {
    world.keys->refuse = true;
    auto delegate = launch({"--login"});
    MixerEngine& engine = *delegate->engine();
    EXPECT_FALSE(engine.volumeKeysReady());
    EXPECT_TRUE(delegate->trustPollRunning());
    const int grabs = world.keys->grabs;
    world.scheduler.advance(2.0);
    EXPECT_EQ(world.keys->grabs, grabs + 1);
    world.keys->refuse = false; // the other program let go of the keys
    world.scheduler.advance(2.0);
    EXPECT_TRUE(engine.volumeKeysReady());
    EXPECT_FALSE(delegate->trustPollRunning());
    world.scheduler.advance(10.0);
    EXPECT_EQ(world.keys->grabs, grabs + 2);
}

TEST_F(SoftVolumeDelegate, KeysAreReleasedWhenSoftwareVolumeEnds) {
    auto delegate = launch({"--login"});
    ASSERT_TRUE(world.keys->grabbed);
    // A device with its own volume becomes the default output.
    const ObjectId other = world.sim.addDevice(test::deviceSetup("usb", "USB DAC"));
    world.sim.setDefaultDevice(Role::output, other);
    world.scheduler.advance(1);
    EXPECT_FALSE(delegate->engine()->softVolumeActive());
    EXPECT_FALSE(world.keys->grabbed);
    EXPECT_FALSE(delegate->engine()->volumeKeysReady());
    EXPECT_FALSE(delegate->trustPollRunning());
}

TEST_F(Delegate, TerminationSignalQuitsAndTheEngineShutsDown) {
    // Settings kept in a file, their writes coalesced: the change below is still pending when
    // the signal comes, and must reach the disk on the way out.
    test::TempDirectory dir;
    world.defaults = Defaults::openFile(dir.path() / "defaults.json", world.scheduler);
    world.defaults->setBoolean(AudioPermission::grantedKey, true);
    world.defaults->setBoolean(AppDelegate::onboardingCompletedKey, true);
    world.sim.addProcess(
        test::processSetup(601, SimServer::Signal::sine(0.2f), "org.example.Radio"));
    auto delegate = launch({"--login"});
    MixerEngine& engine = *delegate->engine();
    engine.setVolume(0.5f, "org.example.Radio");
    ASSERT_EQ(engine.taps().size(), 1u);
    ASSERT_GT(world.probes.liveTaps(), 0u);

    QTimer::singleShot(0, [] { std::raise(SIGTERM); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(5000);
    const int code = QApplication::exec();
    EXPECT_EQ(code, 0); // the ordinary quit, not the watchdog
    EXPECT_TRUE(engine.taps().empty());
    EXPECT_EQ(world.probes.liveTaps(), 0u);
    EXPECT_EQ(world.probes.liveAggregates(), 0u);
    EXPECT_EQ(world.probes.liveRenders(), 0u);
    const auto stored = Defaults::readOnlyCopy(dir.path() / "defaults.json");
    EXPECT_EQ(SettingsStore::load(*stored).at("org.example.Radio").volume, 0.5f);
}

} // namespace
} // namespace voxlane
