// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MediaKeyTap.h"

#include <QSocketNotifier>

namespace voxlane {

MediaKeyTap::MediaKeyTap(std::unique_ptr<VolumeKeyGrabber> grabber, QObject* parent)
    : QObject(parent), grabber_(std::move(grabber)) {
    if (!grabber_) return;
    grabber_->onPress = [this](const VolumeKeyGrabber::Press& press) {
        if (handler) handler(press.key, press.fine, press.isRepeat);
    };
    if (grabber_->fd() >= 0) {
        notifier_ = new QSocketNotifier(grabber_->fd(), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] { grabber_->dispatch(); });
    }
}

MediaKeyTap::~MediaKeyTap() {
    stop();
}

bool MediaKeyTap::start() {
    if (!grabber_) return false;
    if (grabber_->isGrabbed()) return true;
    return grabber_->grab();
}

void MediaKeyTap::stop() {
    if (grabber_ && grabber_->isGrabbed()) grabber_->release();
}

} // namespace voxlane
