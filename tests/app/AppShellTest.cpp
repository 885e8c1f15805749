// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppShell.h"

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
    EXPECT_EQ(decide({"--login"}, false), LaunchAction::showOnboarding);
    // Completed: by hand without arguments the panel opens; any "--" argument keeps it shut.
    EXPECT_EQ(decide({"file.txt"}, true), LaunchAction::openPanelSoon);
    EXPECT_EQ(decide({"--demo"}, true), LaunchAction::stayClosed);
    EXPECT_EQ(decide({"--onboarding"}, true), LaunchAction::showOnboarding);
    // Without a tray the panel is the only way in: it opens unless started at login.
    EXPECT_EQ(decide({"--demo"}, true, false), LaunchAction::openPanelSoon);
    EXPECT_EQ(decide({"--login"}, true, false), LaunchAction::stayClosed);
    const LaunchOptions parsed = args({"--demo", "--login", "-x"});
    EXPECT_TRUE(parsed.demo && parsed.login && parsed.anyDoubleDash && !parsed.onboarding);
    EXPECT_FALSE(args({"-demo"}).anyDoubleDash);
}

class Shell : public ::testing::Test {
protected:
    explicit Shell(bool hardwareVolume = true) : world(hardwareVolume) {}
    std::unique_ptr<AppShell> launch(std::vector<std::string> arguments) {
        auto d = std::make_unique<AppShell>(world.services(), args(std::move(arguments)), true);
        d->start();
        return d;
    }
    ShellWorld world;
};

// After a normal launch the panel opens by itself (when is LaunchDecision's); a second launch
// leaves it open where there is a tray. Ctrl+Q in it quits, and the shell's windows close it
// first. At login the panel stays closed until a second launch opens it.
TEST_F(Shell, ANormalLaunchOpensThePanelWhereCtrlQQuits) {
    world.defaults->setBoolean(AppShell::onboardingCompletedKey, true);
    auto shell = launch({});
    int quits = 0, devicesShown = 0;
    shell->mainMenu().quit = [&] { ++quits; };
    shell->showDevicesWindow = [&](MixerEngine&) { ++devicesShown; };
    world.scheduler.advance(1);
    ASSERT_TRUE(shell->controller()->isOpen());
    EXPECT_TRUE(shell->engine()->metering());
    shell->reopen();
    EXPECT_TRUE(shell->controller()->isOpen());

    QWidget* panel = shell->controller()->panel();
    panel->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel));
    QTest::keyClick(panel, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quits, 1);
    shell->openDevicesWindow();
    EXPECT_FALSE(shell->controller()->isOpen());
    EXPECT_EQ(devicesShown, 1);
    shell.reset();

    auto atLogin = launch({"--login"});
    world.scheduler.advance(5);
    EXPECT_FALSE(atLogin->controller()->isOpen());
    atLogin->reopen();
    EXPECT_TRUE(atLogin->controller()->isOpen());
}

class SoftVolumeShell : public Shell {
protected:
    SoftVolumeShell() : Shell(/*hardwareVolume=*/false) {}
};

// A refused grab is retried every two seconds until it succeeds; then the keys step the software
// volume, shown by the volume display, until a device with its own volume becomes the default.
TEST_F(SoftVolumeShell, VolumeKeysAreGrabbedAndStepTheSoftwareVolumeUntilItEnds) {
    world.keys->refuse = true;
    auto shell = launch({"--login"});
    MixerEngine& engine = *shell->engine();
    ASSERT_TRUE(engine.softVolumeActive());
    EXPECT_FALSE(engine.volumeKeysReady());
    EXPECT_TRUE(shell->trustPollRunning());
    const int grabs = world.keys->grabs;
    world.scheduler.advance(2.0);
    EXPECT_EQ(world.keys->grabs, grabs + 1);
    world.keys->refuse = false; // the other program let go of the keys
    world.scheduler.advance(2.0);
    EXPECT_TRUE(engine.volumeKeysReady());
    EXPECT_FALSE(shell->trustPollRunning());
    world.scheduler.advance(10.0);
    EXPECT_EQ(world.keys->grabs, grabs + 2);

    engine.setMasterVolume(0.5f);
    world.grabber->press(MediaKey::volumeUp);
    EXPECT_FLOAT_EQ(engine.masterVolume(), 0.5625f);
    world.grabber->press(MediaKey::volumeDown, /*fine=*/true);
    EXPECT_FLOAT_EQ(engine.masterVolume(), 0.546875f);
    EXPECT_TRUE(shell->hud().isShown());
    EXPECT_EQ(shell->hud().model().level(), engine.masterVolume());
    world.grabber->press(MediaKey::mute);
    EXPECT_TRUE(shell->hud().model().muted());

    const ObjectId other = world.sim.addDevice(test::deviceSetup("usb", "USB DAC"));
    world.sim.setDefaultDevice(Role::output, other);
    world.scheduler.advance(1);
    EXPECT_FALSE(engine.softVolumeActive());
    EXPECT_FALSE(world.keys->grabbed);
    EXPECT_FALSE(engine.volumeKeysReady());
}

TEST_F(Shell, TerminationSignalQuitsAndTheEngineShutsDown) {
    // Settings kept in a file, their writes coalesced: the change below is still pending when
    // the signal comes, and must reach the disk on the way out.
    test::TempDirectory dir;
    world.defaults = Defaults::openFile(dir.path() / "defaults.json", world.scheduler);
    world.defaults->setBoolean(AudioPermission::grantedKey, true);
    world.defaults->setBoolean(AppShell::onboardingCompletedKey, true);
    world.sim.addProcess(
        test::processSetup(601, SimServer::Signal::sine(0.2f), "org.example.Radio"));
    auto shell = launch({"--login"});
    MixerEngine& engine = *shell->engine();
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
    EXPECT_EQ(world.probes.liveTaps() + world.probes.liveAggregates() + world.probes.liveRenders(),
              0u);
    const auto stored = Defaults::readOnlyCopy(dir.path() / "defaults.json");
    EXPECT_EQ(SettingsStore::load(*stored).at("org.example.Radio").volume, 0.5f);
}

} // namespace
} // namespace voxlane
