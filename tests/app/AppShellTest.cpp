// SPDX-License-Identifier: GPL-3.0-or-later
// The shell: launch decisions, the panel's opening and quitting, the volume keys, the device
// priorities window and the first-run window on the simulated audio server; and its smaller
// pieces: single instance, autostart entry, the Qt scheduler and the volume keys on an X server.
#include "ShellWorld.h"
#include "app/Autostart.h"
#include "app/DevicesWindowController.h"
#include "app/GlassPanel.h"
#include "app/KeyGrabberVolumeKeys.h"
#include "app/MainMenu.h"
#include "app/MediaKeyTap.h"
#include "app/OnboardingWindowController.h"
#include "app/QtScheduler.h"
#include "app/SingleInstance.h"
#include "app/VolumeHUDController.h"
#include "app/X11KeyEvents.h"
#include "engine/SettingsStore.h"
#include "platform/X11KeyGrabber.h"
#include "support/FakeKeyGrabber.h"
#include "support/Xvfb.h"
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
#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <fstream>
#include <thread>

namespace voxlane {
namespace {

using test::ShellWorld;
using Status = AudioPermission::Status;

TEST(LaunchDecision, FirstRunDoubleDashRuleAndLogin) {
    const auto decide = [](std::vector<std::string> a, bool completed, bool tray = true) {
        return decideLaunch(LaunchOptions::parse(a), completed, tray);
    };
    // Not completed yet: the first-run window, whatever the arguments.
    EXPECT_EQ(decide({"--login"}, false), LaunchAction::showOnboarding);
    // Completed: by hand without arguments the panel opens; any "--" argument keeps it shut.
    EXPECT_EQ(decide({"file.txt"}, true), LaunchAction::openPanelSoon);
    // Without a tray the panel is the only way in: it opens unless started at login.
    EXPECT_EQ(decide({"--demo"}, true, false), LaunchAction::openPanelSoon);
    EXPECT_EQ(decide({"--login"}, true, false), LaunchAction::stayClosed);
    const LaunchOptions parsed = LaunchOptions::parse({"--demo", "--login", "-x"});
    EXPECT_TRUE(parsed.demo && parsed.login && parsed.anyDoubleDash && !parsed.onboarding);
    EXPECT_FALSE(LaunchOptions::parse({"-demo"}).anyDoubleDash);
}

// The simulated server after the first run.
struct ShellLaunch : ShellWorld {
    explicit ShellLaunch(bool hardwareVolume = true) : ShellWorld(hardwareVolume) {
        defaults->setBoolean(AppShell::onboardingCompletedKey, true);
    }
};

// After a normal launch the panel opens by itself (when is LaunchDecision's); a second launch
// leaves it open where there is a tray. Ctrl+Q in it quits, and the shell's windows close it
// first. At login the panel stays closed until a second launch opens it.
TEST(Shell, ANormalLaunchOpensThePanelWhereCtrlQQuits) {
    ShellLaunch world;
    auto shell = world.launch({});
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
    auto atLogin = world.launch({"--login"});
    world.scheduler.advance(5);
    EXPECT_FALSE(atLogin->controller()->isOpen());
    atLogin->reopen();
    EXPECT_TRUE(atLogin->controller()->isOpen());
}

// A refused grab is retried every two seconds until it succeeds; then the keys step the software
// volume, shown by the volume display, until a device with its own volume becomes the default.
TEST(Shell, VolumeKeysAreGrabbedAndStepTheSoftwareVolumeUntilItEnds) {
    ShellLaunch world(/*hardwareVolume=*/false);
    world.keys->refuse = true;
    auto shell = world.launch({"--login"});
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
    EXPECT_TRUE(shell->hud().isShown());
    EXPECT_EQ(shell->hud().model().level(), 0.5625f);
    const ObjectId other = world.sim.addDevice(test::deviceSetup("usb", "USB DAC"));
    world.sim.setDefaultDevice(Role::output, other);
    world.scheduler.advance(1);
    EXPECT_FALSE(engine.softVolumeActive());
    EXPECT_FALSE(world.keys->grabbed);
    EXPECT_FALSE(engine.volumeKeysReady());
}

// Settings kept in a file, their writes coalesced: the change below is still pending when the
// signal comes, and must reach the disk on the way out.
TEST(Shell, TerminationSignalQuitsAndTheEngineShutsDown) {
    ShellLaunch world;
    test::TempDirectory dir;
    world.defaults = Defaults::openFile(dir.path() / "defaults.json", world.scheduler);
    world.defaults->setBoolean(AudioPermission::grantedKey, true);
    world.defaults->setBoolean(AppShell::onboardingCompletedKey, true);
    world.sim.addProcess(
        test::processSetup(601, SimServer::Signal::sine(0.2f), "org.example.Radio"));
    auto shell = world.launch({"--login"});
    MixerEngine& engine = *shell->engine();
    engine.setVolume(0.5f, "org.example.Radio");
    ASSERT_GT(world.probes.liveTaps(), 0u);
    QTimer::singleShot(0, [] { std::raise(SIGTERM); });
    QObject watchdog; // its timer goes with it
    QTimer::singleShot(5000, &watchdog, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0); // the ordinary quit, not the watchdog
    EXPECT_TRUE(engine.taps().empty());
    EXPECT_EQ(world.probes.liveTaps() + world.probes.liveAggregates() + world.probes.liveRenders(),
              0u);
    const auto stored = Defaults::readOnlyCopy(dir.path() / "defaults.json");
    EXPECT_EQ(SettingsStore::load(*stored).at("org.example.Radio").volume, 0.5f);
}

// The window shows the engine's ranked output rules and every change goes straight into the
// engine (the rows' buttons, dragging and Reset are DeviceSection's, through the same change);
// opening it again brings the same window to the front.
TEST(DevicesWindow, ShowsTheRulesChangesGoIntoTheEngineAndItOpensOnce) {
    ShellLaunch world;
    auto shell = world.launch({});
    MixerEngine& engine = *shell->engine();
    DeviceRules rules = engine.deviceRules();
    rules.outputs = {{"speakers", "Speakers", Transport::builtIn, false},
                     {"usb", "USB DAC", Transport::usb, true}};
    rules.outputsRanked = true;
    engine.setDeviceRules(rules);
    const auto open = [&] {
        shell->openDevicesWindow();
        return shell->devicesWindow().window();
    };
    DevicesView* view = open();
    ASSERT_NE(view, nullptr);
    DeviceSection* outputs = view->outputs();
    ASSERT_EQ(outputs->rows().size(), 2u);
    outputs->row("speakers")->exclusionButton()->click();
    EXPECT_TRUE(engine.deviceRules().outputs[0].never);
    EXPECT_EQ(DeviceRules::load(*world.defaults), engine.deviceRules()) << "stored";
    // A change from elsewhere shows at once.
    rules = engine.deviceRules();
    rules.outputs.push_back({"hdmi", "Monitor", Transport::hdmi, false});
    engine.setDeviceRules(rules);
    EXPECT_NE(outputs->row("hdmi"), nullptr);
    view->close();
    QWidget other; // another window in front of it
    other.show();
    other.activateWindow();
    EXPECT_EQ(open(), view);
    EXPECT_TRUE(QTest::qWaitForWindowActive(view));
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
        actions.openSettings = [this] { return ++settingsOpened, true; };
        actions.loginEnabled = [this] { return registered > 0; };
        actions.registerLogin = [this] { ++registered; };
        actions.sandboxed = sandboxed;
        return std::make_unique<OnboardingView>(*world.defaults, QIcon(), actions,
                                                [this] { ++finished; });
    }
    test::TempDirectory config;
    test::ShellWorld world;
    std::function<void(Status)> answer;
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
    EXPECT_FALSE(v->cardShown());
    answer(Status::denied);
    ASSERT_TRUE(v->cardShown());
    v->card()->button("Open Settings")->click();
    EXPECT_EQ(settingsOpened, 1);
    v->card()->button("Check again")->click();
    EXPECT_EQ(checks, 2);
    answer(Status::granted);
    EXPECT_EQ(v->status(), Status::granted);
    // Finishing with the switch off registers nothing.
    v->loginOption()->toggle()->click();
    v->mainButton()->click();
    EXPECT_EQ(std::pair(registered, finished), std::pair(0, 1));
    auto sandboxed = view(/*sandboxed=*/true);
    ASSERT_TRUE(sandboxed->cardShown());
    EXPECT_EQ(checks, 2) << "the card asks first";
    sandboxed->card()->button("Check")->click();
    answer(Status::denied);
    EXPECT_EQ(sandboxed->card()->buttons(), QStringList{"Check again"}) << "no settings to open";
}

// Closed, the window leaves the first run to do: the next launch shows it again, and finishing it
// registers the login entry, completes the first run and opens the panel. "--onboarding" shows it
// once more after that.
TEST_F(Onboarding, ClosingLeavesTheFirstRunToDoAndFinishingCompletesIt) {
    world.defaults->remove(AudioPermission::grantedKey);
    auto closed = world.launch({});
    ASSERT_NE(closed->onboarding().window(), nullptr);
    closed->onboarding().window()->close();
    EXPECT_FALSE(world.defaults->boolean(AppShell::onboardingCompletedKey).has_value());
    EXPECT_FALSE(closed->controller()->isOpen());
    closed.reset();
    auto shell = world.launch({});
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
    auto again = world.launch({"--onboarding"});
    ASSERT_NE(again->onboarding().window(), nullptr);
    again->onboarding().window()->mainButton()->click();
    EXPECT_TRUE(again->controller()->isOpen());
}

// A socket left by a dead instance is taken over; a second launch then asks the first to reopen.
TEST(SingleInstance, TakesOverAStaleSocketAndASecondLaunchAsksTheFirstToReopen) {
    test::TempDirectory dir;
    const QString path = QString::fromStdString((dir.path() / "instance").string());
    ASSERT_TRUE(QFile(path).open(QIODevice::WriteOnly)); // nobody listens behind it
    SingleInstance first(path);
    ASSERT_TRUE(first.claim());
    QSignalSpy reopen(&first, &SingleInstance::reopenRequested);
    SingleInstance second(path);
    EXPECT_FALSE(second.claim());
    ASSERT_TRUE(reopen.wait(2000));
    EXPECT_EQ(reopen.count(), 1);
}

// The entry starts the program at login with its path quoted as desktop entries want it; an
// entry the user hid counts as off.
TEST(Autostart, WritesAQuotedEntryThatStartsAtLoginHonoursHidingAndRemovesIt) {
    test::TempDirectory dir;
    Autostart autostart(dir.path() / "autostart" / "io.github.voxlane.Voxlane.desktop");
    ASSERT_TRUE(autostart.enable("/home/a b/$x\\y%/voxlane"));
    EXPECT_TRUE(autostart.isEnabled());
    const std::string text = dir.read("autostart/io.github.voxlane.Voxlane.desktop");
    EXPECT_NE(text.find("\nExec=\"/home/a b/\\\\$x\\\\\\\\y%%/voxlane\" --login\n"),
              std::string::npos)
        << text;
    EXPECT_TRUE(autostart.disable());
    EXPECT_FALSE(autostart.isEnabled());
    std::ofstream(autostart.entryPath()) << "[Desktop Entry]\nExec=voxlane --login\nHidden=true\n";
    EXPECT_FALSE(autostart.isEnabled());
}

// Work runs later (never inline) in order, after its delay unless cancelled, repeating until
// cancelled even from its own work; work from other threads runs on the main thread.
TEST(QtScheduler, RunsLaterInOrderAfterItsDelayUntilCancelledAndOnTheMainThread) {
    QtScheduler scheduler;
    std::vector<int> order;
    scheduler.async([&] { order.push_back(1); });
    scheduler.async([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty());
    const double start = scheduler.now();
    double ranAt = -1;
    scheduler.asyncAfter(0.02, [&] { order.push_back(3); })->cancel();
    scheduler.asyncAfter(0.05, [&] { ranAt = scheduler.now(); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return ranAt >= 0; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_TRUE(ranAt - start >= 0.045 && ranAt - start < 1.0) << "the clock counts seconds";
    int runs = 0;
    WorkItemRef timer = scheduler.repeating(0.005, [&] {
        if (++runs == 3) timer->cancel();
    });
    bool later = false; // several more intervals after the third run
    ASSERT_TRUE(QTest::qWaitFor([&] { return runs >= 3; }));
    scheduler.asyncAfter(0.04, [&] { later = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return later; }));
    EXPECT_EQ(runs, 3);

    QThread* main = QThread::currentThread();
    std::atomic<bool> asyncOnMain{false}, delayedOnMain{false}, syncDone{false};
    std::thread worker([&] {
        scheduler.async([&] { asyncOnMain = QThread::currentThread() == main; });
        scheduler.asyncAfter(0.01, [&] { delayedOnMain = QThread::currentThread() == main; });
        int value = 0; // sync blocks until the main loop has run it
        scheduler.sync([&] { value = QThread::currentThread() == main ? 42 : -1; });
        syncDone = value == 42;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return syncDone.load() && delayedOnMain.load(); }));
    worker.join();
    EXPECT_TRUE(asyncOnMain);
    int inline_ = 0; // on the main thread itself sync runs at once
    scheduler.sync([&] { inline_ = 7; });
    EXPECT_EQ(inline_, 7);
}

// A refused grab takes back what the volume keys hold and leaves the hot key's grab alone.
TEST(KeyGrabberVolumeKeys, ARefusedGrabLeavesTheOtherGrabsAlone) {
    test::FakeKeyGrabber keyboard;
    ASSERT_EQ(keyboard.grab({KeySyms::m, keyModifierControl}, {0x4d495852, 1}),
              KeyGrabber::Status::grabbed); // the hot key
    KeyGrabberVolumeKeys keys(keyboard);
    keyboard.answer = KeyGrabber::Status::taken;
    EXPECT_FALSE(keys.grab());
    EXPECT_EQ(keyboard.grabs.size(), 1u);
    keyboard.answer = KeyGrabber::Status::grabbed;
    ASSERT_TRUE(keys.grab());
    keys.release();
    EXPECT_EQ(keyboard.grabs.size(), 1u);
}

TEST(X11VolumeKeys, GrabbedKeysStepTheSoftwareVolumeAndOthersCannotGrabThem) {
    if (!test::Xvfb::available())
        GTEST_SKIP() << "Xvfb and xdotool are needed (scripts/deps.sh installs them)";
    test::Xvfb x;
    ASSERT_TRUE(x.start());
    const std::string& display = x.display();
    test::ShellWorld world(/*hardwareVolume=*/false);
    MixerEngine engine{world.engineServices()};
    ASSERT_TRUE(engine.softVolumeActive());
    engine.setMasterVolume(0.5f);

    // The volume keys share the session's key grabber with the hot key.
    auto keys = X11KeyGrabber::connect(world.scheduler, display.c_str());
    ASSERT_TRUE(keys);
    X11KeyEvents events(*keys);
    MediaKeyTap tap(std::make_unique<KeyGrabberVolumeKeys>(*keys));
    int presses = 0;
    tap.handler = [&](MediaKey key, bool fine, bool) {
        ++presses;
        return engine.handleVolumeKey(key, fine);
    };
    ASSERT_TRUE(tap.start());
    const auto waitUntil = [&](const std::function<bool()>& done) {
        return QTest::qWaitFor([&] {
            world.scheduler.runPending();
            return done();
        });
    };
    ASSERT_TRUE(x.key({"XF86AudioRaiseVolume"}));
    EXPECT_TRUE(waitUntil([&] { return engine.masterVolume() == 0.5625f; }));
    // Alt+Shift: the fine step.
    ASSERT_TRUE(x.key({"alt+shift+XF86AudioLowerVolume"}));
    EXPECT_TRUE(waitUntil([&] { return engine.masterVolume() == 0.546875f; }));
    // With Num Lock on the keys still arrive.
    ASSERT_TRUE(x.key({"Num_Lock"}));
    ASSERT_TRUE(x.key({"XF86AudioMute"}));
    EXPECT_TRUE(waitUntil([&] { return engine.masterMuted(); }));
    EXPECT_EQ(presses, 3); // presses only, never the releases
    // While we hold the keys another program's grab is refused; once released it succeeds.
    auto otherKeys = X11KeyGrabber::connect(world.scheduler, display.c_str());
    ASSERT_TRUE(otherKeys);
    KeyGrabberVolumeKeys other(*otherKeys);
    EXPECT_FALSE(other.grab());
    tap.stop();
    EXPECT_TRUE(other.grab());
    // ...and then ours is refused: the tap does not run.
    EXPECT_FALSE(tap.start());
}

} // namespace
} // namespace voxlane
