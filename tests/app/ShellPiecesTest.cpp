// SPDX-License-Identifier: GPL-3.0-or-later
// The shell's smaller pieces: single instance, autostart entry, updates, the Qt scheduler, the
// volume display and the volume keys' grabs (on a fake keyboard and on a private X server).
#include "ShellWorld.h"
#include "app/Autostart.h"
#include "app/HUDModel.h"
#include "app/KeyGrabberVolumeKeys.h"
#include "app/MediaKeyTap.h"
#include "app/QtScheduler.h"
#include "app/SingleInstance.h"
#include "app/VolumeHUDController.h"
#include "app/WindowFade.h"
#include "app/X11KeyEvents.h"
#include "platform/ManualScheduler.h"
#include "platform/X11KeyGrabber.h"
#include "support/FakeKeyGrabber.h"
#include "support/TempDirectory.h"
#include "support/Xvfb.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <atomic>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace voxlane {
namespace {

// A socket left by a dead instance is taken over; a second launch then asks the first to reopen.
TEST(SingleInstance, TakesOverAStaleSocketAndASecondLaunchAsksTheFirstToReopen) {
    test::TempDirectory dir;
    const QString path = QString::fromStdString((dir.path() / "instance").string());
    {
        QFile stale(path);
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly)); // nobody listens behind it
    }
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
    EXPECT_FALSE(autostart.isEnabled());
    ASSERT_TRUE(autostart.enable("/home/a b/$x\\y%/voxlane"));
    EXPECT_TRUE(autostart.isEnabled());
    const std::string text = dir.read("autostart/io.github.voxlane.Voxlane.desktop");
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u) << text;
    EXPECT_NE(text.find("\nExec=\"/home/a b/\\\\$x\\\\\\\\y%%/voxlane\" --login\n"),
              std::string::npos)
        << text;
    EXPECT_TRUE(autostart.disable());
    EXPECT_FALSE(autostart.isEnabled());
    EXPECT_TRUE(autostart.disable()); // nothing left to remove
    std::ofstream(autostart.entryPath()) << "[Desktop Entry]\nExec=voxlane --login\nHidden=true\n";
    EXPECT_FALSE(autostart.isEnabled());
}

// The real event loop runs here: each test waits for what it expects with a generous limit.
bool waitFor(const std::function<bool()>& done) {
    return QTest::qWaitFor(done, 2000);
}

TEST(QtScheduler, AsyncRunsLaterInOrderDelayedAfterItsDelayRepeatingUntilCancelled) {
    QtScheduler scheduler;
    std::vector<int> order;
    scheduler.async([&] { order.push_back(1); });
    scheduler.async([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty()); // never inline, even on the main thread
    const double start = scheduler.now();
    double ranAt = -1;
    bool cancelledRan = false;
    auto cancelled = scheduler.asyncAfter(0.02, [&] { cancelledRan = true; });
    scheduler.asyncAfter(0.05, [&] { ranAt = scheduler.now(); });
    cancelled->cancel();
    ASSERT_TRUE(waitFor([&] { return ranAt >= 0; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    // The clock counts seconds.
    EXPECT_GE(ranAt - start, 0.045);
    EXPECT_LT(ranAt - start, 1.0);
    EXPECT_FALSE(cancelledRan);
    EXPECT_TRUE(cancelled->isCancelled());

    // A repeating one runs until cancelled, even from its own work.
    int runs = 0;
    WorkItemRef timer;
    timer = scheduler.repeating(0.005, [&] {
        if (++runs == 3) timer->cancel();
    });
    ASSERT_TRUE(waitFor([&] { return runs >= 3; }));
    // Several more intervals go by: nothing more may run.
    bool later = false;
    scheduler.asyncAfter(0.04, [&] { later = true; });
    ASSERT_TRUE(waitFor([&] { return later; }));
    EXPECT_EQ(runs, 3);
}

TEST(QtScheduler, WorkFromOtherThreadsRunsOnTheMainThread) {
    QtScheduler scheduler;
    QThread* main = QThread::currentThread();
    std::atomic<bool> asyncOnMain{false}, delayedOnMain{false}, syncDone{false};
    std::thread worker([&] {
        scheduler.async([&] { asyncOnMain = QThread::currentThread() == main; });
        scheduler.asyncAfter(0.01, [&] { delayedOnMain = QThread::currentThread() == main; });
        // Blocks until the main loop has run it.
        int value = 0;
        scheduler.sync([&] { value = QThread::currentThread() == main ? 42 : -1; });
        syncDone = value == 42;
    });
    ASSERT_TRUE(waitFor([&] { return syncDone.load() && delayedOnMain.load(); }));
    worker.join();
    EXPECT_TRUE(asyncOnMain);
    // On the main thread itself sync runs at once.
    int inline_ = 0;
    scheduler.sync([&] { inline_ = 7; });
    EXPECT_EQ(inline_, 7);
}

// It shows without taking the focus or clicks; each show restarts the timer that hides it (a key
// held down keeps it up).
TEST(VolumeHUD, ShowsWithoutTakingFocusAndHidesAWhileAfterTheLastShow) {
    ManualScheduler scheduler;
    VolumeHUDController hud{scheduler};
    const auto show = [&](float level) {
        hud.show(level, false, "Studio Display", "video-display");
    };
    show(0.3f);
    QWidget* panel = hud.panel();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(panel->windowFlags() & Qt::WindowTransparentForInput);
    EXPECT_TRUE(panel->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_FALSE(panel->isActiveWindow());
    hud.fade().finish();
    scheduler.advance(1.5);
    show(0.45f);
    scheduler.advance(1.5);
    EXPECT_TRUE(hud.isShown());
    scheduler.advance(0.1);
    EXPECT_FALSE(hud.isShown());
    hud.fade().finish();
    EXPECT_FALSE(panel->isVisible());
}

TEST(KeyGrabberVolumeKeys, GrabsEveryVariantAllOrNothingAndReportsFineStepsWithAltShift) {
    test::FakeKeyGrabber keyboard;
    ASSERT_EQ(keyboard.grab({KeySyms::m, keyModifierControl}, {0x4d495852, 1}),
              KeyGrabber::Status::grabbed); // the hot key
    KeyGrabberVolumeKeys keys(keyboard);
    std::vector<std::tuple<MediaKey, bool, bool>> presses;
    keys.onPress = [&](const VolumeKeyGrabber::Press& p) {
        presses.emplace_back(p.key, p.fine, p.isRepeat);
    };
    // A refused variant leaves nothing of ours grabbed and the other grabs alone.
    keyboard.answer = KeyGrabber::Status::taken;
    EXPECT_FALSE(keys.grab());
    EXPECT_FALSE(keys.isGrabbed());
    EXPECT_EQ(keyboard.grabs.size(), 1u) << "only the hot key's grab is left";
    EXPECT_FALSE(keyboard.press({KeySyms::audioMute, 0})) << "nothing grabbed";

    keyboard.answer = KeyGrabber::Status::grabbed;
    ASSERT_TRUE(keys.grab());
    EXPECT_EQ(keyboard.grabs.size(), 13u);
    keyboard.press({KeySyms::audioRaiseVolume, 0});
    keyboard.press({KeySyms::audioLowerVolume, keyModifierAlt | keyModifierShift}, true);
    keyboard.press({KeySyms::audioMute, keyModifierShift});
    EXPECT_EQ(presses,
              (std::vector<std::tuple<MediaKey, bool, bool>>{{MediaKey::volumeUp, false, false},
                                                             {MediaKey::volumeDown, true, true},
                                                             {MediaKey::mute, false, false}}));
    keys.release();
    EXPECT_EQ(keyboard.grabs.size(), 1u);
    EXPECT_FALSE(keys.isGrabbed());
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
        return QTest::qWaitFor(
            [&] {
                world.scheduler.runPending();
                return done();
            },
            5000);
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
