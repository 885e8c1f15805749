// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ObserverList.h"

#include <map>
#include <memory>
#include <set>
#include <string>

namespace voxlane {

class AppTap;

// Display levels of the per-app taps while the panel is on screen: a level that jumps up to each
// new peak and falls by 18 % per tick, and which apps' limiters are working.
class LevelMeters {
public:
    static constexpr double tickInterval = 1.0 / 24.0;
    static constexpr float decay = 0.82f;
    static constexpr float limitingThreshold = 0.89f;

    const std::map<std::string, float>& values() const { return values_; }
    const std::set<std::string>& limiting() const { return limiting_; }

    // Called whenever `values` or `limiting` changed.
    [[nodiscard]] Subscription observe(std::function<void()> handler) {
        return observers_.subscribe([h = std::move(handler)](const int&) { h(); });
    }

    // One tick: reads each tap's peak (then halves it) and deepest limiter gain (then resets
    // it) from its control block.
    void update(const std::map<std::string, std::unique_ptr<AppTap>>& taps);
    // Empties both collections.
    void clear();

private:
    void assign(std::map<std::string, float> values, std::set<std::string> limiting);

    std::map<std::string, float> values_;
    std::set<std::string> limiting_;
    ObserverList<int> observers_;
};

} // namespace voxlane
