// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/VolumeKeyGrabber.h"

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace voxlane {

// Intercepts the volume keys while it runs, through a grabber of the window system. Each key
// press goes to `handler` (key, fine step, repeat); releases never do. The keys are taken from
// the rest of the desktop while the tap runs, so the shell runs it only while it handles them.
class MediaKeyTap : public QObject {
    Q_OBJECT
public:
    // Without a grabber (no X11 session) the tap never starts.
    explicit MediaKeyTap(std::unique_ptr<VolumeKeyGrabber> grabber, QObject* parent = nullptr);
    ~MediaKeyTap() override;

    // Grabs the keys; true when the tap runs afterwards.
    bool start();
    // Releases them.
    void stop();
    bool isRunning() const { return grabber_ && grabber_->isGrabbed(); }

    std::function<bool(MediaKey key, bool fine, bool isRepeat)> handler;

    VolumeKeyGrabber* grabber() const { return grabber_.get(); }

private:
    std::unique_ptr<VolumeKeyGrabber> grabber_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace voxlane
