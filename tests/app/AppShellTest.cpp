// SPDX-License-Identifier: GPL-3.0-or-later
// The shell: launch decisions, the panel's opening and quitting, the volume keys, the device
// priorities window and the first-run window, on the simulated audio server.
#include "app/AppShell.h"

#include "ShellWorld.h"
#include "app/DevicesWindowController.h"
#include "app/GlassPanel.h"
#include "app/LaunchOptions.h"
#include "app/MainMenu.h"
#include "app/MediaKeyTap.h"
#include "app/OnboardingWindowController.h"
#include "app/VolumeHUDController.h"
#include "engine/MixerEngine.h"
#include "engine/SettingsStore.h"
#include "support/TempDirectory.h"
#include "ui/DeviceRow.h"
#include "ui/DeviceSection.h"
#include "ui/DevicesView.h"
#include "ui/GhostButton.h"
#include "ui/OnboardingView.h"
#include "ui/OptionRow.h"
#include "ui/PermissionCard.h"
#include "ui/Switch.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>

namespace voxlane {
namespace {

using test::ShellWorld;
using Status = AudioPermission::Status;

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

// The shell's engine with ranked output rules A (connected, the speakers), B (never) and C (gone).
class DevicesWindow : public ::testing::Test {
protected:
    void SetUp() override {
        world.defaults->setBoolean(AppShell::onboardingCompletedKey, true);
        shell = std::make_unique<AppShell>(world.services(), LaunchOptions{}, true);
        shell->start();
        DeviceRules rules = engine().deviceRules();
        rules.outputs = {{"speakers", "Speakers", Transport::builtIn, false},
                         {"usb", "USB DAC", Transport::usb, true},
                         {"bt", "Headphones", Transport::bluetooth, false}};
        rules.outputsRanked = true;
        engine().setDeviceRules(rules);
    }
    MixerEngine& engine() { return *shell->engine(); }
    DevicesView* open() {
        shell->openDevicesWindow();
        return shell->devicesWindow().window();
    }
    ShellWorld world;
    std::unique_ptr<AppShell> shell;
};

// The window shows the engine's rules and every change goes straight into the engine (the rows'
// buttons and dragging are DeviceSection's, through the same change); Escape closes it, and
// opening it again brings the same window to the front.
TEST_F(DevicesWindow, ShowsTheRulesChangesGoIntoTheEngineAndItOpensOnce) {
    DevicesView* view = open();
    ASSERT_NE(view, nullptr);
    DeviceSection* outputs = view->outputs();
    ASSERT_EQ(outputs->rows().size(), 3u);
    EXPECT_TRUE(view->keepBluetoothOption()->isOn());
    EXPECT_TRUE(view->alertsOption()->isOn());
    outputs->row("speakers")->exclusionButton()->click();
    EXPECT_TRUE(engine().deviceRules().outputs[0].never);
    EXPECT_EQ(DeviceRules::load(*world.defaults), engine().deviceRules()) << "stored";
    outputs->resetButton()->click(); // which rows offer what is DeviceSection's
    EXPECT_FALSE(engine().deviceRules().outputsRanked);
    view->alertsOption()->toggle()->click();
    EXPECT_FALSE(engine().deviceRules().alertsFollowOutput);
    view->keepBluetoothOption()->toggle()->click();
    EXPECT_FALSE(engine().deviceRules().keepBluetoothHighQuality);
    // A change from elsewhere shows at once.
    DeviceRules rules = engine().deviceRules();
    rules.outputs.push_back({"hdmi", "Monitor", Transport::hdmi, false});
    engine().setDeviceRules(rules);
    EXPECT_NE(outputs->row("hdmi"), nullptr);

    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_FALSE(view->isVisible());
    QWidget other; // another window in front of it
    other.show();
    other.activateWindow();
    EXPECT_EQ(open(), view);
    EXPECT_TRUE(QTest::qWaitForWindowActive(view));
    int views = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        views += qobject_cast<DevicesView*>(w) != nullptr;
    EXPECT_EQ(views, 1);
}

// The first-run window with a permission check the test answers.
class Onboarding : public ::testing::Test {
protected:
    Onboarding() { setenv("XDG_CONFIG_HOME", config.path().c_str(), 1); }
    ~Onboarding() override { unsetenv("XDG_CONFIG_HOME"); }

    std::unique_ptr<OnboardingView> view(bool sandboxed = false) {
        OnboardingView::Actions actions;
        actions.checkAccess = [this](std::function<void(Status)> done) {
            ++checks;
            answer = std::move(done);
        };
        actions.openSettings = [this] {
            ++settingsOpened;
            return soundSettings;
        };
        actions.loginEnabled = [this] { return registered > 0; };
        actions.registerLogin = [this] { ++registered; };
        actions.sandboxed = sandboxed;
        return std::make_unique<OnboardingView>(*world.defaults, QIcon(), actions,
                                                [this] { ++finished; });
    }

    test::TempDirectory config;
    ShellWorld world;
    std::function<void(Status)> answer;
    bool soundSettings = true;
    int checks = 0, settingsOpened = 0, registered = 0, finished = 0;
};

// An earlier success needs no check and no card; an ordinary session checks quietly and only a
// failure shows the card; in a sandbox the card asks first and the desktop's settings are no help.
TEST_F(Onboarding, TheAccessCardShowsOnlyWhereAccessIsMissing) {
    EXPECT_FALSE(view()->cardShown());
    EXPECT_EQ(checks, 0);
    world.defaults->remove(AudioPermission::grantedKey);
    auto v = view();
    EXPECT_EQ(checks, 1); // by itself, as the window opens
    EXPECT_EQ(v->status(), Status::checking);
    EXPECT_FALSE(v->cardShown());
    answer(Status::denied);
    ASSERT_TRUE(v->cardShown());
    EXPECT_EQ(v->card()->buttons(), (QStringList{"Open Settings", "Check again"}));
    v->card()->button("Open Settings")->click();
    EXPECT_EQ(settingsOpened, 1);
    // No settings program known: the card says what to open instead.
    soundSettings = false;
    v->card()->button("Open Settings")->click();
    EXPECT_TRUE(v->card()->text().startsWith("Open your desktop"));
    v->card()->button("Check again")->click();
    EXPECT_EQ(checks, 2);
    answer(Status::granted);
    EXPECT_EQ(v->status(), Status::granted);
    // Finishing with the switch off registers nothing.
    v->loginOption()->toggle()->click();
    v->mainButton()->click();
    EXPECT_EQ(registered, 0);
    EXPECT_EQ(finished, 1);

    auto sandboxed = view(/*sandboxed=*/true);
    EXPECT_EQ(checks, 2);
    ASSERT_TRUE(sandboxed->cardShown());
    sandboxed->card()->button("Check")->click();
    EXPECT_EQ(checks, 3);
    answer(Status::denied);
    EXPECT_TRUE(sandboxed->card()->text().contains("xdg-run/pipewire-0"));
    EXPECT_EQ(sandboxed->card()->buttons(), QStringList{"Check again"});
}

// Closed, the window leaves the first run to do: the next launch shows it again, and finishing it
// registers the login entry, completes the first run and opens the panel. "--onboarding" shows it
// once more after that.
TEST_F(Onboarding, ClosingLeavesTheFirstRunToDoAndFinishingCompletesIt) {
    world.defaults->remove(AudioPermission::grantedKey);
    const auto launch = [&](std::vector<std::string> arguments) {
        auto shell =
            std::make_unique<AppShell>(world.services(), LaunchOptions::parse(arguments), true);
        shell->start();
        return shell;
    };
    auto closed = launch({});
    ASSERT_NE(closed->onboarding().window(), nullptr);
    closed->onboarding().window()->close();
    EXPECT_FALSE(world.defaults->boolean(AppShell::onboardingCompletedKey).has_value());
    EXPECT_FALSE(closed->controller()->isOpen());
    closed.reset();

    auto shell = launch({});
    OnboardingView* window = shell->onboarding().window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(shell->controller()->isOpen());
    EXPECT_TRUE(window->launchAtLogin());
    EXPECT_FALSE(window->cardShown()) << "an ordinary session asks nothing of the user";
    window->mainButton()->click();
    EXPECT_NE(config.read("autostart/io.github.voxlane.Voxlane.desktop").find(" --login"),
              std::string::npos);
    EXPECT_EQ(world.defaults->boolean(AppShell::onboardingCompletedKey), true);
    EXPECT_EQ(shell->onboarding().window(), nullptr);
    EXPECT_TRUE(shell->controller()->isOpen());
    // The engine checks as well, without a notice in the panel while it does.
    EXPECT_EQ(shell->engine()->audioAccess(), Status::checking);
    shell.reset();

    auto again = launch({"--onboarding"});
    ASSERT_NE(again->onboarding().window(), nullptr);
    again->onboarding().window()->mainButton()->click();
    EXPECT_TRUE(again->controller()->isOpen());
}

} // namespace
} // namespace voxlane
