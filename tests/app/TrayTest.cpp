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
#include <QVBoxLayout>
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
    EXPECT_EQ(top.frame, QRect(840, 30, 320, 400));
    EXPECT_TRUE(top.hangsFromTop);
    const auto bottom =
        PanelPlacement::atPoint(size, {1880, 1060}, screen, QRect(0, 0, 1920, 1036));
    EXPECT_EQ(bottom.frame, QRect(1596, 634, 320, 400));
    EXPECT_FALSE(bottom.hangsFromTop);
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
    EXPECT_FLOAT_EQ(after(0.5f, 120), 0.5625f);
    EXPECT_FLOAT_EQ(after(0.52f, 120), 0.5625f); // off the grid: onto it
    EXPECT_FLOAT_EQ(after(0.5f, -1), 0.484375f);
    EXPECT_FLOAT_EQ(after(0.97f, 240), 1.0f);
    EXPECT_FLOAT_EQ(after(0.01f, -10), 0.0f);
}

// Opening twice fades in once with one set of monitors; the window goes when the fade-out has
// run, unless the panel is opened again before. Grown, it keeps its top edge; Escape closes it.
TEST(StatusPanel, OpensAndClosesAndTheEngineFollows) {
    ShellWorld world;
    MixerEngine engine{world.engineServices()};
    EngineAdapter adapter{engine};
    QVBoxLayout* layout = nullptr;
    StatusPanelController controller{adapter, world.scheduler,
                                     [&](EngineAdapter&) {
                                         auto* content = new QWidget;
                                         content->setFixedWidth(300);
                                         layout = new QVBoxLayout(content);
                                         layout->setContentsMargins(0, 0, 0, 0);
                                         layout->setSpacing(0);
                                         layout->addWidget(new QLabel("Sound"));
                                         return content;
                                     },
                                     /*useTray=*/false};
    EXPECT_FALSE(engine.metering());
    controller.open();
    controller.open();
    GlassPanel* panel = controller.panel();
    EXPECT_TRUE(engine.metering());
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(controller.fade().count(), 1);
    EXPECT_EQ(controller.monitorInstalls(), 1);
    controller.close();
    controller.close();
    EXPECT_EQ(controller.fade().count(), 2);
    EXPECT_FALSE(engine.metering());
    EXPECT_FALSE(controller.monitorsInstalled());
    EXPECT_TRUE(panel->isVisible());
    controller.fade().finish();
    EXPECT_FALSE(panel->isVisible());
    controller.toggle();
    controller.close();
    controller.open(); // before the fade-out ended
    controller.fade().finish();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(engine.metering());
    EXPECT_EQ(panel->windowOpacity(), 1.0);

    const QRect before = panel->geometry();
    auto* more = new QLabel("Silent apps");
    more->setFixedHeight(60);
    layout->addWidget(more);
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->height() != before.height(); }, 1000));
    EXPECT_EQ(panel->geometry(), QRect(before.topLeft(), QSize(320, before.height() + 60)));
    QTest::keyClick(panel, Qt::Key_Escape);
    EXPECT_FALSE(controller.isOpen());
}

TEST(StatusPanelTray, IconClicksToggleAndClicksElsewhereClose) {
    ShellWorld world;
    MixerEngine engine{world.engineServices()};
    EngineAdapter adapter(engine);
    StatusPanelController controller(
        adapter, world.scheduler, [](EngineAdapter&) { return new QLabel("content"); }, true);
    QSystemTrayIcon* tray = controller.trayIcon();
    ASSERT_NE(tray, nullptr);
    // A middle click mutes the output and leaves the panel closed.
    emit tray->activated(QSystemTrayIcon::MiddleClick);
    EXPECT_TRUE(engine.masterMuted());
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
    // When that click was on the tray icon, the icon's own toggle follows: it is ignored...
    emit tray->activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(controller.isOpen());
    // ...while a later click opens the panel again.
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

#include "TrayTest.moc"
