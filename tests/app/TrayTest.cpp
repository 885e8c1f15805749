// SPDX-License-Identifier: GPL-3.0-or-later
// The panel's window and where it goes, the tray icon, and the tray item on a desktop that
// speaks StatusNotifierItem, played by a fake watcher on a private session bus.
#include "ShellWorld.h"
#include "app/DBusMenu.h"
#include "app/GlassPanel.h"
#include "app/PanelPlacement.h"
#include "app/StatusNotifierItem.h"
#include "app/StatusPanelController.h"
#include "app/WindowFade.h"
#include "engine/MixerEngine.h"
#include "ui/EngineAdapter.h"

#include <QApplication>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QLabel>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTest>
#include <gtest/gtest.h>

namespace voxlane {
namespace {

using test::DesktopBus;
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
    const auto top = PanelPlacement::atPoint(size, {1000, 12}, screen, topBar);
    EXPECT_EQ(std::pair(top.frame, top.hangsFromTop), std::pair(QRect(840, 30, 320, 400), true));
    const auto bottom =
        PanelPlacement::atPoint(size, {1880, 1060}, screen, QRect(0, 0, 1920, 1036));
    EXPECT_EQ(std::pair(bottom.frame, bottom.hangsFromTop),
              std::pair(QRect(1596, 634, 320, 400), false));
    // A panel that hides itself leaves the whole screen available: the nearest edge counts.
    EXPECT_EQ(PanelPlacement::atPoint(size, {300, 1075}, screen, screen).frame,
              QRect(140, 673, 320, 400));
    // Growing keeps the edge the panel hangs from.
    const QRect current(100, 30, 320, 200);
    EXPECT_EQ(PanelPlacement::resized(current, {320, 260}), QRect(100, 30, 320, 260));
    EXPECT_EQ(PanelPlacement::resized(current, {320, 260}, false), QRect(100, -30, 320, 260));
}

TEST(PanelPlacement, TheWheelStepsOnTheGridAndSmallTurnsStepFinely) {
    const auto after = StatusPanelController::volumeAfterScroll;
    EXPECT_FLOAT_EQ(after(0.52f, 120), 0.5625f); // off the grid: onto it
    EXPECT_FLOAT_EQ(after(0.5f, -1), 0.484375f);
    EXPECT_FLOAT_EQ(after(0.97f, 240), 1.0f);
    EXPECT_FLOAT_EQ(after(0.01f, -10), 0.0f);
}

// The engine on the simulated server with a status panel controller whose panel shows a label.
struct TrayWorld : ShellWorld {
    explicit TrayWorld(bool useTray, StatusTrayOptions tray = {})
        : controller(
              adapter, scheduler, [](EngineAdapter&) { return new QLabel("content"); }, useTray,
              std::move(tray)) {}
    MixerEngine engine{engineServices()};
    EngineAdapter adapter{engine};
    StatusPanelController controller;
};

// Opening twice fades in once with one set of monitors; the window goes when the fade-out has
// run, unless the panel is opened again before; Escape closes it. (How it grows is
// PanelPlacement's.)
TEST(StatusPanel, OpensAndClosesAndTheEngineFollows) {
    TrayWorld world(/*useTray=*/false);
    StatusPanelController& controller = world.controller;
    controller.open();
    controller.open();
    GlassPanel* panel = controller.panel();
    EXPECT_TRUE(world.engine.metering());
    EXPECT_EQ(controller.fade().count(), 1);
    EXPECT_EQ(controller.monitorInstalls(), 1);
    controller.close();
    controller.close();
    EXPECT_EQ(controller.fade().count(), 2);
    EXPECT_FALSE(world.engine.metering());
    EXPECT_FALSE(controller.monitorsInstalled());
    EXPECT_TRUE(panel->isVisible());
    controller.fade().finish();
    EXPECT_FALSE(panel->isVisible());
    controller.toggle();
    controller.close();
    controller.open(); // before the fade-out ended
    controller.fade().finish();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(world.engine.metering());
    EXPECT_EQ(panel->windowOpacity(), 1.0);
    QTest::keyClick(panel, Qt::Key_Escape);
    EXPECT_FALSE(controller.isOpen());
}

TEST(StatusPanelTray, IconClicksToggleAndClicksElsewhereClose) {
    TrayWorld world(/*useTray=*/true);
    StatusPanelController& controller = world.controller;
    QSystemTrayIcon* tray = controller.trayIcon();
    ASSERT_NE(tray, nullptr);
    // A middle click mutes the output and leaves the panel closed.
    emit tray->activated(QSystemTrayIcon::MiddleClick);
    EXPECT_TRUE(world.engine.masterMuted());
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
    // When that click was on the tray icon, the icon's own toggle follows: it is ignored, while a
    // later click opens the panel again.
    emit tray->activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(controller.isOpen());
    world.scheduler.advance(0.5);
    emit tray->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(controller.isOpen());
}

// The desktop's side: org.kde.StatusNotifierWatcher with a host, as KDE's and GNOME's
// AppIndicator extension offer it.
class FakeWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
public:
    bool hostRegistered() const { return true; }
    QStringList items, senders;

public slots:
    void RegisterStatusNotifierItem(const QString& service) {
        items << service;
        senders << message().service();
    }
};

class StatusNotifier : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_BUS();
        bus = std::make_unique<DesktopBus>();
        ASSERT_TRUE(bus->ready());
        ASSERT_TRUE(bus->desktop().registerObject("/StatusNotifierWatcher", &watcher,
                                                  QDBusConnection::ExportAllContents));
        ASSERT_TRUE(bus->desktop().registerService("org.kde.StatusNotifierWatcher"));
        const LoginItem login{[this] { return loginOn; },
                              [this](bool on) { return loginOn = on, true; }};
        world = std::make_unique<TrayWorld>(true, StatusTrayOptions{&bus->app(), login,
                                                                    [this] { ++quits; },
                                                                    [this] { ++devicesWindows; }});
        ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.items.isEmpty(); }, 5000));
        service = watcher.items.first();
    }
    // Sends a call from the desktop and waits for its answer while the event loop runs (the item
    // lives on this thread, so a blocking call would wait for itself).
    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QList<QVariant>& arguments) {
        auto call = QDBusMessage::createMethodCall(service, path, interface, method);
        call.setArguments(arguments);
        QDBusPendingCallWatcher watcher(bus->desktop().asyncCall(call, 5000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return watcher.isFinished(); }, 5000));
        return watcher.reply();
    }
    QDBusMessage itemCall(const QString& method, const QList<QVariant>& arguments) {
        return call(StatusNotifierItem::path, StatusNotifierItem::interface, method, arguments);
    }

    FakeWatcher watcher;
    std::unique_ptr<DesktopBus> bus; // members go in the reverse order: the bus last
    std::unique_ptr<TrayWorld> world;
    QString service;
    bool loginOn = false;
    int quits = 0, devicesWindows = 0;
};

TEST_F(StatusNotifier, RegistersWithTheWatcherInsteadOfTheXEmbedIcon) {
    EXPECT_EQ(service, bus->app().baseService());
    EXPECT_EQ(watcher.senders.first(), bus->app().baseService());
    StatusPanelController& controller = world->controller;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return controller.statusNotifierItem()->state() ==
                   StatusNotifierItem::State::registered;
        },
        5000));
    EXPECT_EQ(controller.trayIcon(), nullptr);
    // What the host reads: its id, status, tooltip and menu.
    StatusNotifierItem::registerTypes();
    const auto get = [&](const QString& name) {
        const QDBusMessage answer =
            call(StatusNotifierItem::path, "org.freedesktop.DBus.Properties", "Get",
                 {QString(StatusNotifierItem::interface), name});
        EXPECT_EQ(answer.type(), QDBusMessage::ReplyMessage) << name.toStdString();
        return answer.arguments().value(0).value<QDBusVariant>().variant();
    };
    EXPECT_EQ(get("Id").toString(), "voxlane");
    EXPECT_EQ(get("Status").toString(), "Active");
    EXPECT_EQ(get("Menu").value<QDBusObjectPath>().path(), StatusNotifierItem::menuPath);
    StatusNotifierToolTip tip;
    get("ToolTip").value<QDBusArgument>() >> tip;
    EXPECT_TRUE(tip.body.startsWith("Speakers"));
    // Every microphone muted: the host is asked for attention.
    world->engine.toggleMicMute();
    world->scheduler.advance(0.01);
    EXPECT_EQ(get("Status").toString(), "NeedsAttention");
    get("ToolTip").value<QDBusArgument>() >> tip;
    EXPECT_TRUE(tip.title.contains("microphones muted"));
}

// Activate opens the panel next to the click and a second one closes it; the wheel steps the
// output's volume (the steps are PanelPlacement's wheel rule), sideways turns do nothing, and the
// middle click mutes it, neither opening the panel.
TEST_F(StatusNotifier, ActivateTogglesThePanelTheWheelStepsAndTheMiddleClickMutes) {
    StatusPanelController& controller = world->controller;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    itemCall("Activate", {screen.right() - 20, screen.top() + 5});
    ASSERT_TRUE(controller.isOpen());
    const QRect frame = controller.panel()->geometry();
    EXPECT_EQ(frame.topRight(), QPoint(screen.right() - 4, screen.top() + 5 + 2));
    itemCall("Activate", {screen.right() - 20, screen.top() + 5});
    EXPECT_FALSE(controller.isOpen());
    controller.fade().finish();
    world->scheduler.advance(1.0); // past the grace after a dismissal
    EXPECT_FALSE(world->engine.metering());

    const ObjectId speakers = world->engine.defaultOutput()->id;
    world->engine.setMasterVolume(0.5f);
    itemCall("Scroll", {120, QString("vertical")});
    itemCall("Scroll", {120, QString("horizontal")});
    EXPECT_FLOAT_EQ(world->sim.deviceVolume(speakers), 0.5625f);
    for (bool muted : {true, false}) {
        itemCall("SecondaryActivate", {10, 10});
        EXPECT_EQ(world->sim.deviceMuted(speakers, Side::output), muted);
    }
    EXPECT_FALSE(controller.isOpen());
}

TEST_F(StatusNotifier, TheMenuOffersDevicesOpenAtLoginAndQuit) {
    DBusMenu::registerTypes();
    const auto menuCall = [&](const QString& method, const QList<QVariant>& arguments) {
        return call(StatusNotifierItem::menuPath, "com.canonical.dbusmenu", method, arguments);
    };
    // The layout's entries; the login entry's check state.
    const auto layout = [&] {
        const QDBusMessage reply = menuCall("GetLayout", {0, -1, QStringList()});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        DBusMenuLayout root;
        reply.arguments().value(1).value<QDBusArgument>() >> root;
        return root.children;
    };
    const auto loginChecked = [&] { return layout()[1].properties.value("toggle-state").toInt(); };
    const auto entries = layout();
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(entries[1].properties.value("toggle-type").toString(), "checkmark");
    EXPECT_EQ(entries[2].properties.value("type").toString(), "separator");
    const auto click = [&](int entry) {
        menuCall("Event", {entries[entry].id, QString("clicked"),
                           QVariant::fromValue(QDBusVariant(QString())), 0u});
    };
    EXPECT_EQ(loginChecked(), 0);
    click(0);
    EXPECT_EQ(devicesWindows, 1);
    click(1);
    EXPECT_TRUE(loginOn);
    EXPECT_EQ(loginChecked(), 1);
    // Turned off elsewhere: the host's next look at the menu learns it needs the new layout.
    loginOn = false;
    EXPECT_TRUE(menuCall("AboutToShow", {0}).arguments().value(0).toBool());
    EXPECT_EQ(loginChecked(), 0);
    EXPECT_FALSE(menuCall("AboutToShow", {0}).arguments().value(0).toBool());
    click(3);
    EXPECT_EQ(quits, 1);
}

TEST(StatusNotifierFallback, WithoutAWatcherTheXEmbedIconStandsIn) {
    SKIP_WITHOUT_BUS();
    DesktopBus bus;
    ASSERT_TRUE(bus.ready());
    TrayWorld world(true, StatusTrayOptions{&bus.app(), {}, {}, {}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return world.controller.trayIcon() != nullptr; }, 5000));
    EXPECT_EQ(world.controller.statusNotifierItem()->state(),
              StatusNotifierItem::State::unavailable);
}

} // namespace
} // namespace voxlane

#include "TrayTest.moc"
