#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

namespace voxlane::test {

// A private D-Bus session bus for one test: a dbus-daemon of its own, with one connection for
// the program under test and one for the desktop the test plays (tray watcher, portal).
class PrivateBus {
public:
    static bool available() { return !QStandardPaths::findExecutable("dbus-daemon").isEmpty(); }

    PrivateBus() {
        static int instances = 0;
        const QString suffix = QString::number(++instances);
        daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (!daemon_.waitForStarted(3000)) return;
        while (!daemon_.canReadLine())
            if (!daemon_.waitForReadyRead(5000)) return;
        address_ = QString::fromLatin1(daemon_.readLine()).trimmed();
        app_ = QDBusConnection::connectToBus(address_, "voxlane-test-app-" + suffix);
        desktop_ = QDBusConnection::connectToBus(address_, "voxlane-test-desktop-" + suffix);
    }
    ~PrivateBus() {
        QDBusConnection::disconnectFromBus(app_.name());
        QDBusConnection::disconnectFromBus(desktop_.name());
        daemon_.terminate();
        daemon_.waitForFinished(3000);
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool ready() const { return app_.isConnected() && desktop_.isConnected(); }
    QDBusConnection& app() { return app_; }
    QDBusConnection& desktop() { return desktop_; }

private:
    QProcess daemon_;
    QString address_;
    QDBusConnection app_{QString()};
    QDBusConnection desktop_{QString()};
};

} // namespace voxlane::test
