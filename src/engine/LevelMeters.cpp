// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/LevelMeters.h"

#include "engine/AppTap.h"

#include <algorithm>

namespace voxlane {

void LevelMeters::update(const std::map<std::string, std::unique_ptr<AppTap>>& taps) {
    std::map<std::string, float> values;
    std::set<std::string> limiting;
    for (const auto& [id, tap] : taps) {
        TapState& state = tap->state();
        const float peak = state.load(TapState::peakLevel);
        state.store(TapState::peakLevel, peak * 0.5f);
        const auto previous = values_.find(id);
        const float decayed = previous != values_.end() ? previous->second * decay : 0.0f;
        values[id] = std::max(decayed, std::min(peak, 1.0f));
        const float floor = state.load(TapState::limiterFloor);
        state.store(TapState::limiterFloor, 1.0f);
        if (floor < limitingThreshold) limiting.insert(id);
    }
    assign(std::move(values), std::move(limiting));
}

void LevelMeters::clear() {
    assign({}, {});
}

void LevelMeters::assign(std::map<std::string, float> values, std::set<std::string> limiting) {
    bool changed = false;
    if (values != values_) {
        values_ = std::move(values);
        changed = true;
    }
    if (limiting != limiting_) {
        limiting_ = std::move(limiting);
        changed = true;
    }
    if (changed) observers_.notify(0);
}

} // namespace voxlane
