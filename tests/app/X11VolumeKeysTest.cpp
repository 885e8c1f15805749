#include "ShellWorld.h"
#include "app/MediaKeyTap.h"
#include "app/X11VolumeKeyGrabber.h"
#include "engine/MixerEngine.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <gtest/gtest.h>

namespace voxlane {
namespace {

// A private X server for one test: Xvfb picks a free display and tells it on standard output.
class Xvfb {
public:
    ~Xvfb() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            process_.waitForFinished(3000);
        }
    }
    bool start() {
        process_.start("Xvfb",
                       {"-displayfd", "1", "-screen", "0", "640x480x24", "-nolisten", "tcp"});
        if (!process_.waitForStarted(3000)) return false;
        while (!process_.canReadLine()) {
            if (!process_.waitForReadyRead(5000)) return false;
        }
        display_ = ":" + QString::fromLatin1(process_.readLine()).trimmed();
        return display_.size() > 1;
    }
    const QString& display() const { return display_; }

    // xdotool key on this display; true when it ran successfully.
    bool key(const QString& keys) const {
        QProcess xdotool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display_);
        xdotool.setProcessEnvironment(env);
        xdotool.start("xdotool", {"key", keys});
        return xdotool.waitForFinished(5000) && xdotool.exitCode() == 0;
    }

private:
    QProcess process_;
    QString display_;
};

TEST(X11VolumeKeys, GrabbedKeysStepTheSoftwareVolumeAndOthersCannotGrabThem) {
    if (QStandardPaths::findExecutable("Xvfb").isEmpty() ||
        QStandardPaths::findExecutable("xdotool").isEmpty())
        GTEST_SKIP() << "Xvfb and xdotool are needed (scripts/deps.sh installs them)";
    Xvfb x;
    ASSERT_TRUE(x.start());
    const QByteArray display = x.display().toLatin1();

    test::ShellWorld world(/*hardwareVolume=*/false);
    MixerEngine engine{EngineServices{world.hal,
                                      world.scheduler,
                                      *world.defaults,
                                      world.workspace,
                                      world.sounds,
                                      world.systemEvents,
                                      {},
                                      {}}};
    ASSERT_TRUE(engine.softVolumeActive());
    engine.setMasterVolume(0.5f);

    auto grabber = X11VolumeKeyGrabber::connect(display.constData());
    ASSERT_TRUE(grabber);
    MediaKeyTap tap(std::move(grabber));
    int presses = 0;
    tap.handler = [&](MediaKey key, bool fine, bool) {
        ++presses;
        return engine.handleVolumeKey(key, fine);
    };
    ASSERT_TRUE(tap.start());

    const auto waitForVolume = [&](float expected) {
        return QTest::qWaitFor([&] { return engine.masterVolume() == expected; }, 5000);
    };
    ASSERT_TRUE(x.key("XF86AudioRaiseVolume"));
    EXPECT_TRUE(waitForVolume(0.5625f)) << engine.masterVolume();
    // Alt+Shift: the fine step.
    ASSERT_TRUE(x.key("alt+shift+XF86AudioLowerVolume"));
    EXPECT_TRUE(waitForVolume(0.546875f)) << engine.masterVolume();
    // With Num Lock on the keys still arrive.
    ASSERT_TRUE(x.key("Num_Lock"));
    ASSERT_TRUE(x.key("XF86AudioMute"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return engine.masterMuted(); }, 5000));
    EXPECT_EQ(presses, 3); // presses only, never the releases

    // While we hold the keys another program's grab is refused; once released it succeeds.
    auto other = X11VolumeKeyGrabber::connect(display.constData());
    ASSERT_TRUE(other);
    EXPECT_FALSE(other->grab());
    EXPECT_FALSE(other->isGrabbed());
    tap.stop();
    EXPECT_FALSE(tap.isRunning());
    EXPECT_TRUE(other->grab());
    // ...and then ours is refused: the tap does not run.
    EXPECT_FALSE(tap.start());
}

} // namespace
} // namespace voxlane
