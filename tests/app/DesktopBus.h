// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/PrivateBus.h"

#include <QDBusConnection>
#include <QString>

namespace voxlane::test {

// A private session bus for one test with two connections: one for the program under test and
// one for the desktop the test plays (tray watcher, portal).
class DesktopBus {
public:
    static bool available() { return PrivateBus::available(); }

    DesktopBus() {
        static int instances = 0;
        const QString suffix = QString::number(++instances);
        if (!bus_.start()) return;
        const QString address = QString::fromStdString(bus_.address());
        app_ = QDBusConnection::connectToBus(address, "voxlane-test-app-" + suffix);
        desktop_ = QDBusConnection::connectToBus(address, "voxlane-test-desktop-" + suffix);
    }
    ~DesktopBus() {
        QDBusConnection::disconnectFromBus(app_.name());
        QDBusConnection::disconnectFromBus(desktop_.name());
    }
    DesktopBus(const DesktopBus&) = delete;
    DesktopBus& operator=(const DesktopBus&) = delete;

    bool ready() const { return app_.isConnected() && desktop_.isConnected(); }
    QDBusConnection& app() { return app_; }
    QDBusConnection& desktop() { return desktop_; }

private:
    PrivateBus bus_;
    QDBusConnection app_{QString()};
    QDBusConnection desktop_{QString()};
};

} // namespace voxlane::test
