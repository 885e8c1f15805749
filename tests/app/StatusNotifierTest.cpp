// SPDX-License-Identifier: GPL-3.0-or-later
// The tray item on a desktop that speaks StatusNotifierItem, played by a fake watcher on a
// private session bus.
#include "DesktopBus.h"
#include "ShellWorld.h"
#include "app/DBusMenu.h"
#include "app/GlassPanel.h"
#include "app/StatusNotifierItem.h"
#include "app/StatusPanelController.h"
#include "app/WindowFade.h"
#include "engine/MixerEngine.h"
#include "ui/EngineAdapter.h"

#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace voxlane {
namespace {

using test::DesktopBus;
using test::ShellWorld;

// The desktop's side: org.kde.StatusNotifierWatcher with a host, as KDE's and GNOME's
// AppIndicator extension offer it.
class FakeWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
public:
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items;
    QStringList senders;

public slots:
    void RegisterStatusNotifierItem(const QString& service) {
        items << service;
        senders << message().service();
    }
};

// Sends a call from `from` and waits for its answer while the event loop runs (the item lives
// on this thread, so a blocking call would wait for itself).
QDBusMessage callAndWait(QDBusConnection& from, const QDBusMessage& call) {
    QDBusPendingCallWatcher watcher(from.asyncCall(call, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return watcher.isFinished(); }, 5000));
    return watcher.reply();
}

class StatusNotifier : public ::testing::Test {
protected:
    void SetUp() override {
        if (!DesktopBus::available()) GTEST_SKIP() << "dbus-daemon is not installed";
        bus = std::make_unique<DesktopBus>();
        ASSERT_TRUE(bus->ready());
        ASSERT_TRUE(bus->desktop().registerObject("/StatusNotifierWatcher", &watcher,
                                                  QDBusConnection::ExportAllContents));
        ASSERT_TRUE(bus->desktop().registerService("org.kde.StatusNotifierWatcher"));
        engine = std::make_unique<MixerEngine>(world.engineServices());
        adapter = std::make_unique<EngineAdapter>(*engine);
        StatusTrayOptions tray{&bus->app(),
                               {[this] { return loginOn; },
                                [this](bool on) {
                                    loginOn = on;
                                    return true;
                                }},
                               [this] { ++quits; },
                               [this] { ++devicesWindows; }};
        controller = std::make_unique<StatusPanelController>(
            *adapter, world.scheduler, [](EngineAdapter&) { return new QLabel("content"); }, true,
            std::move(tray));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.items.isEmpty(); }, 5000));
        service = watcher.items.first();
    }
    QDBusMessage itemCall(const QString& method, const QList<QVariant>& arguments) {
        auto call = QDBusMessage::createMethodCall(service, StatusNotifierItem::path,
                                                   StatusNotifierItem::interface, method);
        call.setArguments(arguments);
        return callAndWait(bus->desktop(), call);
    }

    ShellWorld world;
    FakeWatcher watcher;
    std::unique_ptr<DesktopBus> bus; // members go in the reverse order: the bus last
    std::unique_ptr<MixerEngine> engine;
    std::unique_ptr<EngineAdapter> adapter;
    std::unique_ptr<StatusPanelController> controller;
    QString service;
    bool loginOn = false;
    int quits = 0, devicesWindows = 0;
};

TEST_F(StatusNotifier, RegistersWithTheWatcherInsteadOfTheXEmbedIcon) {
    EXPECT_EQ(service, bus->app().baseService());
    EXPECT_EQ(watcher.senders.first(), bus->app().baseService());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return controller->statusNotifierItem()->state() ==
                   StatusNotifierItem::State::registered;
        },
        5000));
    EXPECT_EQ(controller->trayIcon(), nullptr);

    // What the host reads: its id, status, icon, tooltip and menu.
    StatusNotifierItem::registerTypes();
    auto get = [&](const QString& name) {
        auto call = QDBusMessage::createMethodCall(service, StatusNotifierItem::path,
                                                   "org.freedesktop.DBus.Properties", "Get");
        call << QString(StatusNotifierItem::interface) << name;
        const QDBusMessage answer = callAndWait(bus->desktop(), call);
        EXPECT_EQ(answer.type(), QDBusMessage::ReplyMessage) << name.toStdString();
        return answer.arguments().value(0).value<QDBusVariant>().variant();
    };
    EXPECT_EQ(get("Id").toString(), "voxlane");
    EXPECT_EQ(get("Status").toString(), "Active");
    EXPECT_EQ(get("Menu").value<QDBusObjectPath>().path(), StatusNotifierItem::menuPath);
    StatusNotifierImages icon;
    get("IconPixmap").value<QDBusArgument>() >> icon;
    ASSERT_FALSE(icon.isEmpty());
    EXPECT_EQ(icon.first().pixels.size(), icon.first().width * icon.first().height * 4);
    StatusNotifierToolTip tip;
    get("ToolTip").value<QDBusArgument>() >> tip;
    EXPECT_TRUE(tip.body.startsWith("Speakers"));

    // Every microphone muted: the host is asked for attention.
    engine->toggleMicMute();
    world.scheduler.advance(0.01);
    EXPECT_EQ(get("Status").toString(), "NeedsAttention");
    get("ToolTip").value<QDBusArgument>() >> tip;
    EXPECT_TRUE(tip.title.contains("microphones muted"));
}

// Activate opens the panel next to the click and a second one closes it; the wheel steps the
// output's volume (the steps are PanelPlacement's wheel rule), sideways turns do nothing, and the
// middle click mutes it, neither opening the panel.
TEST_F(StatusNotifier, ActivateTogglesThePanelTheWheelStepsAndTheMiddleClickMutes) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    itemCall("Activate", {screen.right() - 20, screen.top() + 5});
    ASSERT_TRUE(controller->isOpen());
    const QRect frame = controller->panel()->geometry();
    EXPECT_EQ(frame.top(), screen.top() + 5 + 2);
    EXPECT_EQ(frame.x() + frame.width(), screen.x() + screen.width() - 4);
    itemCall("Activate", {screen.right() - 20, screen.top() + 5});
    EXPECT_FALSE(controller->isOpen());
    controller->fade().finish();
    world.scheduler.advance(1.0); // past the grace after a dismissal
    EXPECT_FALSE(engine->metering());

    const ObjectId speakers = engine->defaultOutput()->id;
    engine->setMasterVolume(0.5f);
    itemCall("Scroll", {120, QString("vertical")});
    itemCall("Scroll", {120, QString("horizontal")});
    EXPECT_FLOAT_EQ(world.sim.deviceVolume(speakers), 0.5625f);
    itemCall("SecondaryActivate", {10, 10});
    EXPECT_TRUE(world.sim.deviceMuted(speakers, Side::output));
    itemCall("SecondaryActivate", {10, 10});
    EXPECT_FALSE(world.sim.deviceMuted(speakers, Side::output));
    EXPECT_FALSE(controller->isOpen());
}

TEST_F(StatusNotifier, TheMenuOffersDevicesOpenAtLoginAndQuit) {
    DBusMenu::registerTypes();
    auto menuCall = [&](const QString& method, const QList<QVariant>& arguments) {
        auto call = QDBusMessage::createMethodCall(service, StatusNotifierItem::menuPath,
                                                   "com.canonical.dbusmenu", method);
        call.setArguments(arguments);
        return callAndWait(bus->desktop(), call);
    };
    auto layout = [&] {
        const QDBusMessage reply = menuCall("GetLayout", {0, -1, QStringList()});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        DBusMenuLayout root;
        reply.arguments().value(1).value<QDBusArgument>() >> root;
        return root;
    };
    DBusMenuLayout root = layout();
    ASSERT_EQ(root.children.size(), 4);
    EXPECT_EQ(root.children[1].properties.value("toggle-type").toString(), "checkmark");
    EXPECT_EQ(root.children[1].properties.value("toggle-state").toInt(), 0);
    EXPECT_EQ(root.children[2].properties.value("type").toString(), "separator");

    const QVariant noData = QVariant::fromValue(QDBusVariant(QString()));
    menuCall("Event", {root.children[0].id, QString("clicked"), noData, 0u});
    EXPECT_EQ(devicesWindows, 1);
    menuCall("Event", {root.children[1].id, QString("clicked"), noData, 0u});
    EXPECT_TRUE(loginOn);
    EXPECT_EQ(layout().children[1].properties.value("toggle-state").toInt(), 1);
    // Turned off elsewhere: the host's next look at the menu learns it needs the new layout.
    loginOn = false;
    EXPECT_TRUE(menuCall("AboutToShow", {0}).arguments().value(0).toBool());
    EXPECT_EQ(layout().children[1].properties.value("toggle-state").toInt(), 0);
    EXPECT_FALSE(menuCall("AboutToShow", {0}).arguments().value(0).toBool());
    menuCall("Event", {root.children[3].id, QString("clicked"), noData, 0u});
    EXPECT_EQ(quits, 1);
}

TEST(StatusNotifierFallback, WithoutAWatcherTheXEmbedIconStandsIn) {
    if (!DesktopBus::available()) GTEST_SKIP() << "dbus-daemon is not installed";
    DesktopBus bus;
    ASSERT_TRUE(bus.ready());
    ShellWorld world;
    MixerEngine engine{world.engineServices()};
    EngineAdapter adapter(engine);
    StatusPanelController controller(
        adapter, world.scheduler, [](EngineAdapter&) { return new QLabel("content"); }, true,
        StatusTrayOptions{&bus.app(), {}, {}, {}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller.trayIcon() != nullptr; }, 5000));
    EXPECT_EQ(controller.statusNotifierItem()->state(), StatusNotifierItem::State::unavailable);
}

} // namespace
} // namespace voxlane

#include "StatusNotifierTest.moc"
