// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Scheduler.h"

#include <QElapsedTimer>
#include <QObject>

namespace voxlane {

// The main queue on the Qt event loop of the thread that creates it (the main thread): `async`
// posts a queued call, `asyncAfter` and `repeating` run precise timers whose work is skipped
// once its item is cancelled, `sync` from another thread blocks until the main thread has run
// the work. `now()` is monotonic, in seconds since the scheduler was created.
class QtScheduler final : public QObject, public Scheduler {
    Q_OBJECT
public:
    explicit QtScheduler(QObject* parent = nullptr);

    void async(std::function<void()> work) override;
    WorkItemRef asyncAfter(double seconds, std::function<void()> work) override;
    WorkItemRef repeating(double interval, std::function<void()> work) override;
    void sync(std::function<void()> work) override;
    double now() const override;

private:
    bool onMainThread() const;
    // Runs `start` on the main thread: at once when called there, else queued.
    void onMain(std::function<void()> start);

    QElapsedTimer clock_;
};

} // namespace voxlane
