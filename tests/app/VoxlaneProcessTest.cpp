// SPDX-License-Identifier: GPL-3.0-or-later
// The voxlane program itself on a private X server, and without one.
#include "ShellWorld.h"
#include "app/DBusService.h"
#include "app/GlassPanel.h"
#include "support/Xvfb.h"
#include "ui/DeviceMenu.h"
#include "ui/EngineAdapter.h"
#include "ui/Fader.h"
#include "ui/PanelView.h"
#include "ui/SoundModule.h"

#include <QApplication>
#include <QDBusInterface>
#include <QRegularExpression>
#include <sys/resource.h>

namespace voxlane {
namespace {

class VoxlaneOnX11 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::Xvfb::available())
            GTEST_SKIP() << "Xvfb and xdotool are needed (scripts/deps.sh installs them)";
        ASSERT_TRUE(x.start());
    }
    QProcessEnvironment environment(const std::string& busAddress = {}) const {
        QProcessEnvironment env = home.environment(busAddress);
        env.remove("QT_QPA_PLATFORM");
        env.remove("WAYLAND_DISPLAY");
        env.insert("DISPLAY", QString::fromStdString(x.display()));
        env.insert("VOXLANE_LOG", "stderr");
        return env;
    }
    void launch(QProcess& process, const QStringList& arguments = {"--demo"},
                const std::string& busAddress = {}) const {
        process.setProcessEnvironment(environment(busAddress));
        process.start(VOXLANE_PATH, arguments);
    }
    // The visible windows `by` (--name or --pid) `what`.
    QStringList windows(const std::string& by, const std::string& what) const {
        const auto found = x.xdotool({"search", "--onlyvisible", by, what});
        return QString::fromStdString(found.value_or("")).split('\n', Qt::SkipEmptyParts);
    }
    // The panel's geometry while it is on screen.
    std::optional<QRect> visiblePanel() const {
        const QStringList ids = windows("--name", "^Voxlane$");
        const auto info = ids.isEmpty()
                              ? std::nullopt
                              : x.xdotool({"getwindowgeometry", ids.first().toStdString()});
        const auto m = QRegularExpression(R"(Position: (-?\d+),(-?\d+).*Geometry: (\d+)x(\d+))",
                                          QRegularExpression::DotMatchesEverythingOption)
                           .match(QString::fromStdString(info.value_or("")));
        if (!m.hasMatch()) return std::nullopt;
        return QRect(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                     m.captured(4).toInt());
    }
    test::ProgramHome home;
    test::Xvfb x;
};

TEST_F(VoxlaneOnX11, PanelOpensASecondLaunchTogglesItAndSigtermQuits) {
    QProcess voxlane;
    launch(voxlane);
    // No tray on a bare X server: the panel opens by itself at the top right, 8 pixels in.
    std::optional<QRect> panel;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (panel = visiblePanel()).has_value(); }, 10000))
        << voxlane.readAllStandardError().toStdString();
    EXPECT_EQ(panel->topRight() + QPoint(1, 0), QPoint(640 - 8, 2));
    // A second launch hands over to the first and ends; the panel closes, and the next one opens
    // it again.
    for (bool open : {false, true}) {
        QProcess next;
        launch(next);
        ASSERT_TRUE(next.waitForFinished(5000));
        EXPECT_EQ(next.exitCode(), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return visiblePanel().has_value() == open; }));
    }
    EXPECT_TRUE(test::terminates(voxlane));
    // The single-instance socket went with it.
    EXPECT_TRUE(QDir(home.runtime).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

// Under a file size limit the first save is refused by the kernel: logged, not fatal, and its
// temporary file is removed.
TEST_F(VoxlaneOnX11, ASaveBeyondTheFileSizeLimitFailsWithALogLine) {
    // Larger than the limit; the launch then adds the audio access to it and saves.
    home.dir.write("config/voxlane/demo.json",
                   R"({"onboardingCompleted": {"boolean": true}, "note": {"data": ")" +
                       std::string(8192, 'x') + R"("}})");
    QProcess voxlane;
    voxlane.setChildProcessModifier([] {
        rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    launch(voxlane);
    QByteArray err;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (err += voxlane.readAllStandardError()).contains("nicht gespeichert"); },
        10000))
        << err.toStdString();
    EXPECT_TRUE(test::terminates(voxlane));
    EXPECT_EQ(QDir(home.config + "/voxlane").entryList(QDir::Files), QStringList{"demo.json"});
}

// Where the master fader's track (a quarter along) and the output menu stand in the panel's
// window: the sound module heads any panel, so a panel of our own, offscreen, tells.
std::pair<QPoint, QPoint> faderAndMenuPlaces() {
    test::ShellWorld world;
    MixerEngine engine{world.engineServices()};
    EngineAdapter adapter(engine);
    PanelView panel(adapter, {});
    panel.resize(panel.sizeHint());
    panel.show();
    QApplication::processEvents();
    const QPoint inset(GlassPanel::padding, GlassPanel::padding);
    const Fader* fader = panel.sound()->fader();
    const QRectF track = fader->trackRect();
    const QWidget* menu = panel.sound()->deviceMenu();
    return {fader->mapTo(&panel,
                         QPointF(track.left() + track.width() / 4, track.center().y()).toPoint()) +
                inset,
            menu->mapTo(&panel, QPoint(12, menu->height() / 2)) + inset};
}

// With a tray and no window manager nothing takes the focus from the panel: while open it holds
// the pointer, so that a click outside it closes it, while clicks on its own controls work, and
// it holds it again after one of its menus has had it.
TEST_F(VoxlaneOnX11, WithoutAWindowManagerAClickOutsideClosesThePanel) {
    SKIP_WITHOUT_BUS();
    test::PrivateBus bus;
    ASSERT_TRUE(bus.start());
    const auto [fader, deviceMenu] = faderAndMenuPlaces();
    QProcess voxlane;
    // At login the tray counts as there (it may come up later): the panel waits to be opened.
    launch(voxlane, {"--demo", "--login"}, bus.address());
    QDBusConnection connection =
        QDBusConnection::connectToBus(QString::fromStdString(bus.address()), "x11-click-outside");
    // Made anew for every call: an interface made before the program serves it stays invalid.
    const auto control = [&] {
        return std::make_unique<QDBusInterface>(DBusService::serviceName, DBusService::objectPath,
                                                DBusService::interfaceName, connection);
    };
    const auto property = [&](const char* name) { return control()->property(name); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return property("PanelVisible").isValid(); }, 10000))
        << voxlane.readAllStandardError().toStdString();
    EXPECT_FALSE(property("PanelVisible").toBool());
    EXPECT_FALSE(visiblePanel().has_value());
    std::optional<QRect> panel;
    const auto shown = [&](bool open) {
        return QTest::qWaitFor([&] { return (panel = visiblePanel()).has_value() == open; }) &&
               property("PanelVisible").toBool() == open;
    };
    const auto click = [&](QPoint at) {
        return x
            .xdotool({"mousemove", std::to_string(at.x()), std::to_string(at.y()), "click", "1"})
            .has_value();
    };
    const QPoint outside(20, 200); // left of the panel, which opens at the right edge
    // Opened by a second launch, the shell's own toggle.
    QProcess second;
    launch(second, {"--demo"}, bus.address());
    ASSERT_TRUE(second.waitForFinished(5000));
    ASSERT_TRUE(shown(true)) << voxlane.readAllStandardError().toStdString();
    ASSERT_FALSE(panel->contains(outside));
    ASSERT_TRUE(click(outside));
    EXPECT_TRUE(shown(false)) << "a click outside closes the panel";

    // A click on the master fader moves it (in percent) and leaves the panel open.
    control()->call("SetPanelVisible", true);
    ASSERT_TRUE(shown(true));
    ASSERT_GT(property("MasterVolume").toDouble(), 40);
    ASSERT_TRUE(click(panel->topLeft() + fader));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return std::abs(property("MasterVolume").toDouble() - 25) < 5; }, 3000));
    EXPECT_TRUE(property("PanelVisible").toBool()) << "a click inside leaves the panel open";

    // The output menu takes the pointer while it is open; Escape closes the menu only.
    const auto windowsBecome = [&](qsizetype count) {
        const std::string pid = std::to_string(voxlane.processId());
        return QTest::qWaitFor([&] { return windows("--pid", pid).size() == count; }, 3000);
    };
    ASSERT_TRUE(windowsBecome(1));
    ASSERT_TRUE(click(panel->topLeft() + deviceMenu));
    ASSERT_TRUE(windowsBecome(2)) << "the menu opens";
    ASSERT_TRUE(x.key({"Escape"}));
    ASSERT_TRUE(windowsBecome(1)) << "and closes";
    EXPECT_TRUE(property("PanelVisible").toBool()) << "Escape closed the menu, not the panel";
    ASSERT_TRUE(click(outside));
    EXPECT_TRUE(shown(false)) << "after the menu, a click outside still closes the panel";
    EXPECT_TRUE(test::terminates(voxlane));
    QDBusConnection::disconnectFromBus("x11-click-outside");
}

TEST(VoxlaneProcess, ADisplayWithoutAServerIsOneLineAndExitOne) {
    test::ProgramHome home;
    QProcessEnvironment env = home.environment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("WAYLAND_DISPLAY");
    env.insert("DISPLAY", ":97.0"); // no server answers there
    QProcess voxlane;
    voxlane.setProcessEnvironment(env);
    voxlane.start(VOXLANE_PATH, {"--demo"});
    ASSERT_TRUE(voxlane.waitForFinished(10000));
    EXPECT_EQ(std::pair(voxlane.exitStatus(), voxlane.exitCode()),
              std::pair(QProcess::NormalExit, 1));
    const QByteArray err = voxlane.readAllStandardError();
    EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
    EXPECT_TRUE(err.contains(":97.0")) << err.toStdString();
}

} // namespace
} // namespace voxlane
