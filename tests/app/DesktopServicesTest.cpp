// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop as the shell meets it: the panel's window and where it goes, the tray icon, and,
// played by fakes on a private bus, the StatusNotifierItem watcher, the GlobalShortcuts portal
// for the hot key (else the X11 grab) and the Settings portal for light or dark.
#include "ShellWorld.h"
#include "app/DBusMenu.h"
#include "app/DesktopColorScheme.h"
#include "app/DesktopShortcuts.h"
#include "app/GlassPanel.h"
#include "app/PanelPlacement.h"
#include "app/StatusNotifierItem.h"
#include "app/StatusPanelController.h"
#include "app/WindowFade.h"
#include "platform/HotKey.h"
#include "platform/Log.h"
#include "support/FakeKeyGrabber.h"
#include "ui/EngineAdapter.h"

#include <QApplication>
#include <QDBusContext>
#include <QDBusVariant>
#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTimer>

namespace voxlane {
namespace {

using test::DesktopBus;
using test::FakeKeyGrabber;
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
             {QRect(1890, 3, 22, 22), topBar, QRect(1596, 27, 320, 400)}, // right bound
             {QRect(1800, 1049, 22, 22), QRect(0, 0, 1920, 1040), QRect(1596, 647, 320, 400)},
             {std::nullopt, topBar, QRect(1592, 30, 320, 400)}})
        EXPECT_EQ(PanelPlacement::frame(size, c.anchor, c.available), c.expected);
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
    // The tray's wheel steps on the grid, small turns finely.
    const auto after = StatusPanelController::volumeAfterScroll;
    EXPECT_FLOAT_EQ(after(0.52f, 120), 0.5625f); // off the grid: onto it
    EXPECT_FLOAT_EQ(after(0.5f, -1), 0.484375f);
    EXPECT_FLOAT_EQ(after(0.97f, 240), 1.0f);
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
// run, unless the panel is opened again before; Escape closes it.
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

// The icon toggles the panel on either button; a click in another of our windows closes it, and
// when that click was on the icon, the icon's own toggle that follows is ignored.
TEST(StatusPanelTray, IconClicksToggleAndClicksElsewhereClose) {
    TrayWorld world(/*useTray=*/true);
    StatusPanelController& controller = world.controller;
    QSystemTrayIcon* tray = controller.trayIcon();
    ASSERT_NE(tray, nullptr);
    emit tray->activated(QSystemTrayIcon::Context);
    EXPECT_TRUE(controller.isOpen());
    QWidget other;
    other.resize(100, 100);
    other.show();
    QTest::mouseClick(&other, Qt::LeftButton);
    EXPECT_FALSE(controller.isOpen());
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
        ASSERT_TRUE(
            bus->offer(&watcher, "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher"));
        const LoginItem login{[this] { return loginOn; },
                              [this](bool on) { return loginOn = on, true; }};
        world = std::make_unique<TrayWorld>(true, StatusTrayOptions{&bus->app(), login,
                                                                    [this] { ++quits; },
                                                                    [this] { ++devicesWindows; }});
        ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.items.isEmpty(); }));
        service = watcher.items.first();
    }
    // A call from the desktop to the item.
    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QList<QVariant>& arguments) {
        return test::callAndWait(bus->desktop(), service, path, interface, method, arguments);
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
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return controller.statusNotifierItem()->state() == StatusNotifierItem::State::registered;
    }));
    EXPECT_EQ(controller.trayIcon(), nullptr);
    // What the host reads: its status and menu.
    StatusNotifierItem::registerTypes();
    const auto get = [&](const QString& name) {
        const QDBusMessage answer =
            call(StatusNotifierItem::path, "org.freedesktop.DBus.Properties", "Get",
                 {QString(StatusNotifierItem::interface), name});
        EXPECT_EQ(answer.type(), QDBusMessage::ReplyMessage) << name.toStdString();
        return answer.arguments().value(0).value<QDBusVariant>().variant();
    };
    EXPECT_EQ(get("Status").toString(), "Active");
    EXPECT_EQ(get("Menu").value<QDBusObjectPath>().path(), StatusNotifierItem::menuPath);
    // Every microphone muted: the host is asked for attention.
    world->engine.toggleMicMute();
    world->scheduler.advance(0.01);
    EXPECT_EQ(get("Status").toString(), "NeedsAttention");
}

// Activate opens the panel next to the click and a second one closes it; the wheel steps the
// output's volume (the steps are PanelPlacement's wheel rule), sideways turns do nothing, and the
// middle click mutes it, neither opening the panel.
TEST_F(StatusNotifier, ActivateTogglesThePanelTheWheelStepsAndTheMiddleClickMutes) {
    StatusPanelController& controller = world->controller;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    itemCall("Activate", {screen.right() - 20, screen.top() + 5});
    ASSERT_TRUE(controller.isOpen());
    EXPECT_EQ(controller.panel()->geometry().topRight(),
              QPoint(screen.right() - 4, screen.top() + 5 + 2));
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return world.controller.trayIcon() != nullptr; }));
    EXPECT_EQ(world.controller.statusNotifierItem()->state(),
              StatusNotifierItem::State::unavailable);
}

// xdg-desktop-portal's GlobalShortcuts as the desktop offers it: each call answers with a
// request object, whose Response signal follows the reply.
class FakePortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)
public:
    explicit FakePortal(QDBusConnection& bus) : bus_(bus) {}
    uint version() const { return 1; }
    uint bindAnswer = 0; // 1: the user declined
    QString session;
    PortalShortcuts bound;
    int binds = 0;
    void activate(const QString& sessionPath, const QString& id) {
        auto signal = QDBusMessage::createSignal(DesktopShortcuts::portalPath,
                                                 DesktopShortcuts::portalInterface, "Activated");
        signal << QVariant::fromValue(QDBusObjectPath(sessionPath)) << id << qulonglong(1234)
               << QVariantMap();
        bus_.send(signal);
    }

public slots:
    QDBusObjectPath CreateSession(const QVariantMap& options) {
        const QString path = requestPath(options);
        session = QString("%1/session/%2/%3")
                      .arg(DesktopShortcuts::portalPath, sender(),
                           options.value("session_handle_token").toString());
        respond(path, 0, {{"session_handle", session}});
        return QDBusObjectPath(path);
    }
    QDBusObjectPath BindShortcuts(const QDBusObjectPath& sessionPath,
                                  const QList<voxlane::PortalShortcut>& shortcuts,
                                  const QString& /*parentWindow*/, const QVariantMap& options) {
        ++binds;
        const QString path = requestPath(options);
        QVariantMap results;
        if (sessionPath.path() == session && bindAnswer == 0) {
            bound = shortcuts;
            for (PortalShortcut& s : bound)
                s.properties.insert("trigger_description", "Ctrl+Alt+Super+M");
            results.insert("shortcuts", QVariant::fromValue(bound));
        }
        respond(path, bindAnswer, results);
        return QDBusObjectPath(path);
    }

private:
    QString sender() const { return message().service().mid(1).replace('.', '_'); }
    QString requestPath(const QVariantMap& options) const {
        return QString("%1/request/%2/%3")
            .arg(DesktopShortcuts::portalPath, sender(), options.value("handle_token").toString());
    }
    // Answers after the reply, as the portal does.
    void respond(const QString& path, uint response, const QVariantMap& results) {
        QTimer::singleShot(0, this, [this, path, response, results] {
            auto signal =
                QDBusMessage::createSignal(path, "org.freedesktop.portal.Request", "Response");
            signal << response << results;
            bus_.send(signal);
        });
    }
    QDBusConnection& bus_;
};

class PortalShortcutsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_BUS();
        DesktopShortcuts::registerTypes();
        bus = std::make_unique<DesktopBus>();
        ASSERT_TRUE(bus->ready());
        portal = std::make_unique<FakePortal>(bus->desktop());
    }
    // The engine with its hot key, on a bus where the portal is offered or not.
    void startEngine(bool offerPortal) {
        ASSERT_TRUE(!offerPortal || bus->offer(portal.get(), DesktopShortcuts::portalPath,
                                               DesktopShortcuts::portalService));
        shortcuts = std::make_unique<DesktopShortcuts>(&bus->app(), &x11);
        EngineServices services = world.engineServices();
        services.keyGrabber = shortcuts.get();
        engine = std::make_unique<MixerEngine>(services);
    }
    bool routeIs(DesktopShortcuts::Route route) {
        return QTest::qWaitFor([&] { return shortcuts->route() == route; });
    }
    ShellWorld world;
    FakeKeyGrabber x11;
    std::unique_ptr<DesktopBus> bus; // the bus goes after the rest
    std::unique_ptr<FakePortal> portal;
    std::unique_ptr<DesktopShortcuts> shortcuts;
    std::unique_ptr<MixerEngine> engine;
};

TEST_F(PortalShortcutsTest, ThePortalBindsTheHotKeyAndItsActivationMutesTheMicrophones) {
    startEngine(true);
    ASSERT_TRUE(routeIs(DesktopShortcuts::Route::portal));
    ASSERT_EQ(portal->bound.size(), 1);
    EXPECT_EQ(portal->bound.first().properties.value("preferred_trigger").toString(),
              DesktopShortcuts::trigger(HotKey::micMuteCombination));
    // In the notation the portal takes.
    EXPECT_EQ(DesktopShortcuts::trigger(HotKey::micMuteCombination), "CTRL+ALT+LOGO+m");
    EXPECT_EQ(DesktopShortcuts::shortcutID({KeySyms::m, keyModifierAlt}, {0x41424344, 7}),
              "shortcut-41424344-7");
    EXPECT_TRUE(x11.grabs.empty()); // no X11 grab beside the desktop's
    // The desktop's own words for the keys.
    ASSERT_NE(engine->hotKey(), nullptr);
    EXPECT_EQ(shortcuts->triggerDescription({HotKey::signature, engine->hotKey()->id()}),
              "Ctrl+Alt+Super+M");
    // Another session's shortcut is not ours.
    portal->activate(portal->session + "x", "mute-microphones");
    QTest::qWait(50);
    world.scheduler.advance(0.01);
    EXPECT_FALSE(engine->micMuted());
    for (bool muted : {true, false}) {
        portal->activate(portal->session, "mute-microphones");
        EXPECT_TRUE(QTest::qWaitFor([&] {
            world.scheduler.advance(0.01);
            return engine->micMuted() == muted;
        }));
    }
}

TEST_F(PortalShortcutsTest, DeclinedOrMissingPortalsLeaveTheHotKeyToX11) {
    portal->bindAnswer = 1; // the user said no in the desktop's dialog
    startEngine(true);
    ASSERT_TRUE(routeIs(DesktopShortcuts::Route::fallback));
    EXPECT_EQ(portal->binds, 1);
    ASSERT_EQ(x11.grabs.size(), 1u);
    EXPECT_EQ(x11.grabs.begin()->second, HotKey::micMuteCombination);
    ASSERT_TRUE(x11.press(HotKey::micMuteCombination));
    world.scheduler.advance(0.01);
    EXPECT_TRUE(engine->micMuted());
}

TEST_F(PortalShortcutsTest, WithoutPortalOrGrabTheLogSaysTheKeyDoesNothing) {
    x11.answer = KeyGrabber::Status::taken;
    Log::Capture log;
    startEngine(/*offerPortal=*/false);
    ASSERT_TRUE(routeIs(DesktopShortcuts::Route::fallback));
    EXPECT_TRUE(x11.grabs.empty());
    EXPECT_TRUE(std::ranges::any_of(log.entries(), [](const auto& entry) {
        return entry.category == "keys" &&
               entry.message.find("Control+Alt+Super+M") != std::string::npos;
    }));
}

// org.freedesktop.portal.Settings: ReadOne as version 2 offers it, Read for older callers; an
// `old` portal (before version 2) has Read only, the value in a variant in a variant.
class FakeSettingsPortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    uint scheme = 0;
    bool old = false;
    QStringList asked;

public slots:
    QDBusVariant ReadOne(const QString& group, const QString& key) {
        if (old) sendErrorReply(QDBusError::UnknownMethod);
        asked << "ReadOne " + group + " " + key;
        return QDBusVariant(scheme);
    }
    QDBusVariant Read(const QString& group, const QString& key) {
        asked << "Read " + group + " " + key;
        return QDBusVariant(QVariant::fromValue(QDBusVariant(scheme)));
    }

signals:
    void SettingChanged(const QString& group, const QString& key, const QDBusVariant& value);
};

// Gives the application palette the window colour `window`.
void setWindowColour(QColor window) {
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Window, window);
    QApplication::setPalette(palette);
}

// A private bus with the fake portal offered on it or not; the palette's window colour is the
// test's until the end.
class DesktopColorSchemeTest : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_BUS();
        ASSERT_TRUE(bus.ready());
    }
    void TearDown() override { QApplication::setPalette(saved); }
    // The scheme on a palette whose window is `window`, with the portal offered unless `offer`
    // is false.
    DesktopColorScheme& start(QColor window, bool offer = true) {
        setWindowColour(window);
        EXPECT_TRUE(!offer || bus.offer(&portal, DesktopColorScheme::portalPath,
                                        DesktopColorScheme::portalService));
        return scheme.emplace(&bus.app());
    }
    QPalette saved = QApplication::palette();
    DesktopBus bus;
    FakeSettingsPortal portal;
    std::optional<DesktopColorScheme> scheme;
};

TEST_F(DesktopColorSchemeTest, ThePortalsPreferenceWinsAndTheSchemeFollowsItsChanges) {
    portal.scheme = 1;
    DesktopColorScheme& scheme = start(QColor(240, 240, 240)); // a light desktop theme
    QSignalSpy changes(&scheme, &DesktopColorScheme::changed);
    scheme.waitUntilSettled(5000);
    ASSERT_TRUE(scheme.settled());
    EXPECT_EQ(portal.asked, QStringList{"ReadOne org.freedesktop.appearance color-scheme"});
    EXPECT_EQ(scheme.portalValue(), 1u);
    EXPECT_TRUE(scheme.dark()) << "prefer dark, though the palette is light";
    ASSERT_EQ(changes.size(), 1);
    // The user switches the desktop to light; other settings pass by.
    const auto change = [&](const char* group, const char* key, uint value) {
        emit portal.SettingChanged(group, key, QDBusVariant(QVariant(value)));
    };
    change("org.freedesktop.appearance", "accent-color", 1);
    change("org.gnome.desktop.interface", "color-scheme", 1);
    change("org.freedesktop.appearance", "color-scheme", 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return changes.size() == 2; }));
    EXPECT_FALSE(scheme.dark());
    EXPECT_EQ(changes.last().value(0).toBool(), false);
    // No preference: the palette decides, and a dark palette then means dark.
    change("org.freedesktop.appearance", "color-scheme", 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return scheme.portalValue() == 0u; }));
    EXPECT_FALSE(scheme.dark());
    setWindowColour(QColor(40, 40, 44));
    EXPECT_TRUE(scheme.dark());
    EXPECT_EQ(changes.size(), 3);
}

TEST_F(DesktopColorSchemeTest, AnOlderPortalIsReadWithRead) {
    portal.scheme = 2;
    portal.old = true;
    DesktopColorScheme& scheme = start(QColor(30, 30, 30));
    scheme.waitUntilSettled(5000);
    EXPECT_EQ(scheme.portalValue(), 2u);
    EXPECT_FALSE(scheme.dark()) << "prefer light, though the palette is dark";
}

// No portal on the bus (or no bus): settled at once, by the palette, and following it.
TEST_F(DesktopColorSchemeTest, WithoutAPortalThePaletteDecides) {
    DesktopColorScheme& scheme = start(QColor(35, 35, 38), /*offer=*/false);
    scheme.waitUntilSettled(5000);
    EXPECT_EQ(std::pair(scheme.settled(), scheme.portalValue()),
              std::pair(true, std::optional<uint>()));
    EXPECT_TRUE(scheme.dark());
    QSignalSpy changes(&scheme, &DesktopColorScheme::changed);
    setWindowColour(QColor(246, 245, 244));
    EXPECT_FALSE(scheme.dark());
    EXPECT_EQ(changes.size(), 1);
}

} // namespace
} // namespace voxlane

#include "DesktopServicesTest.moc"
