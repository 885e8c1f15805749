// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's portals, played by fakes on a private session bus: the microphone hot key
// through GlobalShortcuts (and the X11 grab where it is missing or declined), and light or dark
// after the Settings portal (and the application palette where no portal answers).
#include "ShellWorld.h"
#include "app/DesktopColorScheme.h"
#include "app/DesktopShortcuts.h"
#include "engine/MixerEngine.h"
#include "platform/HotKey.h"
#include "platform/Log.h"
#include "support/FakeKeyGrabber.h"

#include <QApplication>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace voxlane {
namespace {

using test::DesktopBus;
using test::FakeKeyGrabber;
using test::ShellWorld;

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
        QVariantMap results;
        results.insert("session_handle", session);
        respond(path, 0, results);
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
            PortalShortcuts answered;
            for (PortalShortcut s : shortcuts) {
                s.properties.insert("trigger_description", "Ctrl+Alt+Super+M");
                answered << s;
            }
            results.insert("shortcuts", QVariant::fromValue(answered));
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
    void respond(const QString& path, uint response, const QVariantMap& results) {
        // After the reply, as the portal does.
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
    void offerPortal() {
        ASSERT_TRUE(bus->desktop().registerObject(DesktopShortcuts::portalPath, portal.get(),
                                                  QDBusConnection::ExportAllContents));
        ASSERT_TRUE(bus->desktop().registerService(DesktopShortcuts::portalService));
    }
    void startEngine() {
        shortcuts = std::make_unique<DesktopShortcuts>(&bus->app(), &x11);
        engine = std::make_unique<MixerEngine>([&] {
            auto services = world.engineServices();
            services.keyGrabber = shortcuts.get();
            return services;
        }());
    }
    bool routeIs(DesktopShortcuts::Route route) {
        return QTest::qWaitFor([&] { return shortcuts->route() == route; }, 5000);
    }
    ShellWorld world;
    FakeKeyGrabber x11;
    std::unique_ptr<DesktopBus> bus; // the bus goes after the rest
    std::unique_ptr<FakePortal> portal;
    std::unique_ptr<DesktopShortcuts> shortcuts;
    std::unique_ptr<MixerEngine> engine;
};

TEST_F(PortalShortcutsTest, ThePortalBindsTheHotKeyAndItsActivationMutesTheMicrophones) {
    offerPortal();
    startEngine();
    ASSERT_TRUE(routeIs(DesktopShortcuts::Route::portal));
    ASSERT_EQ(portal->bound.size(), 1);
    EXPECT_EQ(portal->bound.first().properties.value("preferred_trigger").toString(),
              DesktopShortcuts::trigger(HotKey::micMuteCombination));
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
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                world.scheduler.advance(0.01);
                return engine->micMuted() == muted;
            },
            5000));
    }
}

TEST_F(PortalShortcutsTest, DeclinedOrMissingPortalsLeaveTheHotKeyToX11) {
    portal->bindAnswer = 1; // the user said no in the desktop's dialog
    offerPortal();
    startEngine();
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
    startEngine(); // nobody offers the portal on this bus
    ASSERT_TRUE(routeIs(DesktopShortcuts::Route::fallback));
    EXPECT_TRUE(x11.grabs.empty());
    EXPECT_TRUE(std::ranges::any_of(log.entries(), [](const auto& entry) {
        return entry.category == "keys" &&
               entry.message.find("Control+Alt+Super+M") != std::string::npos;
    }));
}

TEST(PortalShortcuts, TriggersInTheNotationOfTheShortcutsSpecification) {
    EXPECT_EQ(DesktopShortcuts::trigger(HotKey::micMuteCombination), "CTRL+ALT+LOGO+m");
    EXPECT_EQ(DesktopShortcuts::shortcutID({KeySyms::m, keyModifierAlt}, {0x41424344, 7}),
              "shortcut-41424344-7");
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

// A private bus with `portal` (if any) offered on it, the palette's window `window` until the end.
struct SchemeWorld {
    SchemeWorld(QObject* portal, QColor window) {
        setWindowColour(window);
        offered = bus.ready() &&
                  (!portal || (bus.desktop().registerObject(DesktopColorScheme::portalPath, portal,
                                                            QDBusConnection::ExportAllContents) &&
                               bus.desktop().registerService(DesktopColorScheme::portalService)));
    }
    ~SchemeWorld() { QApplication::setPalette(saved); }
    QPalette saved = QApplication::palette();
    DesktopBus bus;
    bool offered = false;
};

TEST(DesktopColorScheme, ThePortalsPreferenceWinsAndTheSchemeFollowsItsChanges) {
    SKIP_WITHOUT_BUS();
    FakeSettingsPortal portal;
    portal.scheme = 1;
    SchemeWorld world(&portal, QColor(240, 240, 240)); // a light desktop theme
    ASSERT_TRUE(world.offered);
    DesktopColorScheme scheme(&world.bus.app());
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return changes.size() == 2; }, 5000));
    EXPECT_FALSE(scheme.dark());
    EXPECT_EQ(changes.last().value(0).toBool(), false);
    // No preference: the palette decides, and a dark palette then means dark.
    change("org.freedesktop.appearance", "color-scheme", 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return scheme.portalValue() == 0u; }, 5000));
    EXPECT_FALSE(scheme.dark());
    setWindowColour(QColor(40, 40, 44));
    EXPECT_TRUE(scheme.dark());
    EXPECT_EQ(changes.size(), 3);
}

TEST(DesktopColorScheme, AnOlderPortalIsReadWithRead) {
    SKIP_WITHOUT_BUS();
    FakeSettingsPortal portal;
    portal.scheme = 2;
    portal.old = true;
    SchemeWorld world(&portal, QColor(30, 30, 30));
    ASSERT_TRUE(world.offered);
    DesktopColorScheme scheme(&world.bus.app());
    scheme.waitUntilSettled(5000);
    EXPECT_EQ(scheme.portalValue(), 2u);
    EXPECT_FALSE(scheme.dark()) << "prefer light, though the palette is dark";
}

// No portal on the bus (or no bus): settled at once, by the palette, and following it.
TEST(DesktopColorScheme, WithoutAPortalThePaletteDecides) {
    SKIP_WITHOUT_BUS();
    SchemeWorld world(nullptr, QColor(35, 35, 38));
    ASSERT_TRUE(world.offered);
    DesktopColorScheme scheme(&world.bus.app());
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

#include "DesktopPortalsTest.moc"
