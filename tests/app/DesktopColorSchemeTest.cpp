// SPDX-License-Identifier: GPL-3.0-or-later
// Light or dark after the desktop: the Settings portal played by a fake on a private session
// bus, and the application palette where no portal answers.
#include "app/DesktopColorScheme.h"

#include "DesktopBus.h"

#include <QApplication>
#include <QDBusVariant>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace voxlane {
namespace {

using test::DesktopBus;

// org.freedesktop.portal.Settings as version 2 offers it (ReadOne, and Read for older callers).
class FakeSettingsPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    uint scheme = 0;
    QStringList asked;

public slots:
    QDBusVariant ReadOne(const QString& group, const QString& key) {
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

// The portal before version 2: Read only, the value in a variant in a variant.
class OldSettingsPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    uint scheme = 0;

public slots:
    QDBusVariant Read(const QString&, const QString&) {
        return QDBusVariant(QVariant::fromValue(QDBusVariant(scheme)));
    }
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
    if (!DesktopBus::available()) GTEST_SKIP() << "dbus-daemon is not installed";
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
    if (!DesktopBus::available()) GTEST_SKIP() << "dbus-daemon is not installed";
    OldSettingsPortal portal;
    portal.scheme = 2;
    SchemeWorld world(&portal, QColor(30, 30, 30));
    ASSERT_TRUE(world.offered);
    DesktopColorScheme scheme(&world.bus.app());
    scheme.waitUntilSettled(5000);
    EXPECT_EQ(scheme.portalValue(), 2u);
    EXPECT_FALSE(scheme.dark()) << "prefer light, though the palette is dark";
}

// No portal on the bus (or no bus): settled at once, by the palette, and following it.
TEST(DesktopColorScheme, WithoutAPortalThePaletteDecides) {
    if (!DesktopBus::available()) GTEST_SKIP() << "dbus-daemon is not installed";
    SchemeWorld world(nullptr, QColor(35, 35, 38));
    ASSERT_TRUE(world.offered);
    DesktopColorScheme scheme(&world.bus.app());
    scheme.waitUntilSettled(5000);
    EXPECT_TRUE(scheme.settled());
    EXPECT_EQ(scheme.portalValue(), std::nullopt);
    EXPECT_TRUE(scheme.dark());
    QSignalSpy changes(&scheme, &DesktopColorScheme::changed);
    setWindowColour(QColor(246, 245, 244));
    EXPECT_FALSE(scheme.dark());
    EXPECT_EQ(changes.size(), 1);
}

} // namespace
} // namespace voxlane

#include "DesktopColorSchemeTest.moc"
