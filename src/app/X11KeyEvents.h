// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

namespace voxlane {

class X11KeyGrabber;

// Reads the key grabber's X11 connection whenever it has something, on the Qt main loop, and
// stops watching once the connection is lost.
class X11KeyEvents : public QObject {
    Q_OBJECT
public:
    X11KeyEvents(X11KeyGrabber& grabber, QObject* parent = nullptr);

private:
    X11KeyGrabber& grabber_;
    QSocketNotifier* notifier_;
};

} // namespace voxlane
