// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/QtScheduler.h"

#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace voxlane {
namespace {

int milliseconds(double seconds) {
    if (!(seconds > 0)) return 0; // also NaN
    return int(std::min(std::llround(seconds * 1000.0), 24LL * 3600 * 1000));
}

} // namespace

QtScheduler::QtScheduler(QObject* parent) : QObject(parent) {
    clock_.start();
}

bool QtScheduler::onMainThread() const {
    return QThread::currentThread() == thread();
}

void QtScheduler::onMain(std::function<void()> start) {
    if (onMainThread()) {
        start();
    } else {
        QMetaObject::invokeMethod(this, std::move(start), Qt::QueuedConnection);
    }
}

void QtScheduler::async(std::function<void()> work) {
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

WorkItemRef QtScheduler::asyncAfter(double seconds, std::function<void()> work) {
    auto item = std::make_shared<WorkItem>();
    const int ms = milliseconds(seconds);
    onMain([this, item, ms, work = std::move(work)]() mutable {
        QTimer::singleShot(ms, Qt::PreciseTimer, this, [item, work = std::move(work)] {
            if (!item->isCancelled()) work();
        });
    });
    return item;
}

WorkItemRef QtScheduler::repeating(double interval, std::function<void()> work) {
    auto item = std::make_shared<WorkItem>();
    const int ms = std::max(1, milliseconds(interval));
    onMain([this, item, ms, work = std::move(work)]() mutable {
        auto* timer = new QTimer(this);
        timer->setTimerType(Qt::PreciseTimer);
        timer->setInterval(ms);
        connect(timer, &QTimer::timeout, this, [timer, item, work = std::move(work)] {
            if (!item->isCancelled()) work();
            // The work may have cancelled its own timer.
            if (item->isCancelled()) {
                timer->stop();
                timer->deleteLater();
            }
        });
        timer->start();
    });
    return item;
}

void QtScheduler::sync(std::function<void()> work) {
    if (onMainThread()) {
        work();
    } else {
        QMetaObject::invokeMethod(this, std::move(work), Qt::BlockingQueuedConnection);
    }
}

double QtScheduler::now() const {
    return double(clock_.nsecsElapsed()) / 1e9;
}

} // namespace voxlane
