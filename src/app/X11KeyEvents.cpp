// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/X11KeyEvents.h"

#include "platform/X11KeyGrabber.h"

#include <QSocketNotifier>

namespace voxlane {

X11KeyEvents::X11KeyEvents(X11KeyGrabber& grabber, QObject* parent)
    : QObject(parent), grabber_(grabber),
      notifier_(new QSocketNotifier(grabber.fd(), QSocketNotifier::Read, this)) {
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        grabber_.dispatch();
        if (!grabber_.isConnected()) notifier_->setEnabled(false);
    });
}

} // namespace voxlane
