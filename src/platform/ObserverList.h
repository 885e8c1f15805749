// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace voxlane {

// Keeps an observation alive; dropping (or resetting) it ends the observation.
using Subscription = std::shared_ptr<void>;

// Observers of one object, called synchronously on the thread that notifies (the main thread).
// An observer may drop its own or any other subscription while being notified.
template <typename Event>
class ObserverList {
public:
    using Handler = std::function<void(const Event&)>;

    ObserverList() = default;
    ObserverList(const ObserverList&) = delete;
    ObserverList& operator=(const ObserverList&) = delete;

    [[nodiscard]] Subscription subscribe(Handler handler) {
        auto entry = std::make_shared<Handler>(std::move(handler));
        entries_.push_back(entry);
        return entry;
    }

    void notify(const Event& event) {
        // Iterate over a snapshot: handlers may subscribe or unsubscribe.
        std::vector<std::weak_ptr<Handler>> snapshot(entries_.begin(), entries_.end());
        for (const auto& weak : snapshot) {
            if (auto handler = weak.lock()) (*handler)(event);
        }
        std::erase_if(entries_, [](const auto& weak) { return weak.expired(); });
    }

    bool empty() {
        std::erase_if(entries_, [](const auto& weak) { return weak.expired(); });
        return entries_.empty();
    }

private:
    std::vector<std::weak_ptr<Handler>> entries_;
};

} // namespace voxlane
