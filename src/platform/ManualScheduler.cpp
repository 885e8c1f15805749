// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ManualScheduler.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace voxlane {

ManualScheduler::ManualScheduler() : mainThread_(std::this_thread::get_id()) {}

WorkItemRef ManualScheduler::submit(double due, double interval, std::function<void()> work) {
    auto item = std::make_shared<WorkItem>();
    {
        std::lock_guard lock(mutex_);
        entries_.push_back(Entry{due, nextSequence_++, interval, item, std::move(work)});
    }
    submitted_.notify_all();
    return item;
}

void ManualScheduler::async(std::function<void()> work) {
    submit(now(), 0, std::move(work));
}

WorkItemRef ManualScheduler::asyncAfter(double seconds, std::function<void()> work) {
    return submit(now() + std::max(0.0, seconds), 0, std::move(work));
}

WorkItemRef ManualScheduler::repeating(double interval, std::function<void()> work) {
    if (!(interval > 0)) throw std::invalid_argument("repeating interval must be positive");
    return submit(now() + interval, interval, std::move(work));
}

void ManualScheduler::sync(std::function<void()> work) {
    if (isMainThread()) {
        work();
        return;
    }
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    bool done = false;
    async([&] {
        work();
        std::lock_guard lock(doneMutex);
        done = true;
        doneSignal.notify_all();
    });
    std::unique_lock lock(doneMutex);
    doneSignal.wait(lock, [&] { return done; });
}

double ManualScheduler::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

bool ManualScheduler::takeNext(double limit, Entry& out) {
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [](const Entry& e) { return e.item->isCancelled(); });
    auto next =
        std::min_element(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
            return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
        });
    if (next == entries_.end() || next->due > limit) return false;
    out = std::move(*next);
    entries_.erase(next);
    now_ = std::max(now_, out.due);
    return true;
}

void ManualScheduler::finish(Entry& entry) {
    if (entry.interval <= 0 || entry.item->isCancelled()) return;
    std::lock_guard lock(mutex_);
    entry.due += entry.interval;
    entry.sequence = nextSequence_++;
    entries_.push_back(std::move(entry));
}

int ManualScheduler::runPending() {
    int ran = 0;
    Entry entry;
    while (takeNext(now(), entry)) {
        if (entry.item->isCancelled()) continue;
        entry.work();
        ++ran;
        finish(entry);
    }
    return ran;
}

int ManualScheduler::advance(double seconds) {
    const double target = now() + std::max(0.0, seconds);
    int ran = 0;
    Entry entry;
    while (takeNext(target, entry)) {
        if (entry.item->isCancelled()) continue;
        entry.work();
        ++ran;
        finish(entry);
    }
    std::lock_guard lock(mutex_);
    now_ = std::max(now_, target);
    return ran;
}

bool ManualScheduler::runPendingUntil(const std::function<bool()>& done, double realTimeout) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(realTimeout));
    for (;;) {
        runPending();
        if (done()) return true;
        if (Clock::now() >= deadline) return false;
        // Wake on a submission, or re-check `done()` after a short slice: a worker may finish
        // without submitting anything.
        std::unique_lock lock(mutex_);
        submitted_.wait_for(lock, std::chrono::milliseconds(5), [&] {
            return std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) {
                return e.due <= now_ && !e.item->isCancelled();
            });
        });
    }
}

std::size_t ManualScheduler::pendingCount() const {
    std::lock_guard lock(mutex_);
    return std::count_if(entries_.begin(), entries_.end(),
                         [](const Entry& e) { return !e.item->isCancelled(); });
}

} // namespace voxlane
