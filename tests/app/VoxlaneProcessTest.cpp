// SPDX-License-Identifier: GPL-3.0-or-later
// The voxlane program itself on a private X server: the panel opens, a second launch toggles
// it, SIGTERM ends the program the ordinary way, and a file size limit makes a save fail
// instead of the program. Without an X server it says so.
#include "support/TempDirectory.h"
#include "support/Xvfb.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace voxlane {
namespace {

class VoxlaneOnX11 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::Xvfb::available())
            GTEST_SKIP() << "Xvfb and xdotool are needed (scripts/deps.sh installs them)";
        ASSERT_TRUE(x.start());
        runtime = QString::fromStdString((dir.path() / "runtime").string());
        config = QString::fromStdString((dir.path() / "config").string());
        ASSERT_TRUE(QDir().mkpath(runtime));
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // The first run is behind us, so the panel opens the ordinary way.
        ASSERT_TRUE(QDir().mkpath(config + "/voxlane"));
        QFile demo(config + "/voxlane/demo.json");
        ASSERT_TRUE(demo.open(QIODevice::WriteOnly));
        demo.write(R"({"onboardingCompleted": {"boolean": true}})");
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");
        env.remove("WAYLAND_DISPLAY");
        env.insert("DISPLAY", QString::fromStdString(x.display()));
        env.insert("XDG_RUNTIME_DIR", runtime);
        env.insert("XDG_CONFIG_HOME", config);
        env.insert("VOXLANE_LOG", "stderr");
        return env;
    }

    void launch(QProcess& process) const {
        process.setProcessEnvironment(environment());
        process.start(VOXLANE_PATH, {"--demo"});
    }

    // The panel's geometry while it is on screen.
    std::optional<QRect> visiblePanel() const {
        const auto found = x.xdotool({"search", "--onlyvisible", "--name", "^Voxlane$"});
        const QString ids = QString::fromStdString(found.value_or(""));
        if (ids.trimmed().isEmpty()) return std::nullopt;
        const QString id = ids.split('\n', Qt::SkipEmptyParts).first();
        const auto info = x.xdotool({"getwindowgeometry", id.toStdString()});
        if (!info) return std::nullopt;
        const auto m = QRegularExpression(R"(Position: (-?\d+),(-?\d+).*Geometry: (\d+)x(\d+))",
                                          QRegularExpression::DotMatchesEverythingOption)
                           .match(QString::fromStdString(*info));
        if (!m.hasMatch()) return std::nullopt;
        return QRect(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                     m.captured(4).toInt());
    }

    test::TempDirectory dir;
    test::Xvfb x;
    QString runtime, config;
};

TEST_F(VoxlaneOnX11, PanelOpensASecondLaunchTogglesItAndSigtermQuits) {
    QProcess voxlane;
    launch(voxlane);
    ASSERT_TRUE(voxlane.waitForStarted(5000));

    // No tray on a bare X server: the panel opens by itself at the top right, 8 pixels in.
    std::optional<QRect> panel;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (panel = visiblePanel()).has_value(); }, 10000))
        << voxlane.readAllStandardError().toStdString();
    EXPECT_EQ(panel->x() + panel->width(), 640 - 8);
    EXPECT_EQ(panel->y(), 2);
    EXPECT_EQ(panel->width(), 320);

    // A second launch hands over to the first and ends; the panel closes.
    QProcess second;
    launch(second);
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !visiblePanel().has_value(); }, 5000));
    // ...and the next one opens it again.
    QProcess third;
    launch(third);
    ASSERT_TRUE(third.waitForFinished(5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return visiblePanel().has_value(); }, 5000));

    ::kill(pid_t(voxlane.processId()), SIGTERM);
    ASSERT_TRUE(voxlane.waitForFinished(5000));
    EXPECT_EQ(voxlane.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(voxlane.exitCode(), 0);
    // The single-instance socket went with it.
    EXPECT_TRUE(QDir(runtime).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

// Under a file size limit the first save is refused by the kernel: logged, not fatal, and its
// temporary file is removed.
TEST_F(VoxlaneOnX11, ASaveBeyondTheFileSizeLimitFailsWithALogLine) {
    QFile demo(config + "/voxlane/demo.json");
    ASSERT_TRUE(demo.open(QIODevice::WriteOnly | QIODevice::Truncate));
    // Larger than the limit; the launch then adds the audio access to it and saves.
    demo.write(R"({"onboardingCompleted": {"boolean": true}, "note": {"data": ")" +
               QByteArray(8192, 'x') + R"("}})");
    demo.close();
    QProcess voxlane;
    voxlane.setChildProcessModifier([] {
        rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    launch(voxlane);
    ASSERT_TRUE(voxlane.waitForStarted(5000));
    QByteArray err;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            err += voxlane.readAllStandardError();
            return err.contains("nicht gespeichert");
        },
        10000))
        << err.toStdString();
    EXPECT_EQ(voxlane.state(), QProcess::Running);
    ::kill(pid_t(voxlane.processId()), SIGTERM);
    ASSERT_TRUE(voxlane.waitForFinished(5000));
    EXPECT_EQ(voxlane.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(QDir(config + "/voxlane").entryList(QDir::Files), QStringList{"demo.json"});
}

TEST(VoxlaneProcess, ADisplayWithoutAServerIsOneLineAndExitOne) {
    test::TempDirectory dir;
    QProcess voxlane;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("WAYLAND_DISPLAY");
    env.insert("DISPLAY", ":97.0"); // no server answers there
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(dir.path().string()));
    voxlane.setProcessEnvironment(env);
    voxlane.start(VOXLANE_PATH, {"--demo"});
    ASSERT_TRUE(voxlane.waitForFinished(10000));
    EXPECT_EQ(voxlane.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(voxlane.exitCode(), 1);
    const QByteArray err = voxlane.readAllStandardError();
    EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
    EXPECT_TRUE(err.contains(":97.0")) << err.toStdString();
}

} // namespace
} // namespace voxlane
