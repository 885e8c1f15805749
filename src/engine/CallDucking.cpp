// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/CallDucking.h"

#include "audio/CallDetector.h"
#include "platform/Defaults.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace voxlane {
namespace {

constexpr const char* kCategory = "engine";
constexpr const char* kEnabledKey = "duckingEnabled";
constexpr const char* kLevelKey = "duckLevel";
constexpr double kReleaseWindow = 1.5;
constexpr double kReleaseReconcile = 1.6;

} // namespace

CallDucking::CallDucking(Defaults& defaults, Scheduler& scheduler, Hooks hooks)
    : defaults_(defaults), scheduler_(scheduler), hooks_(std::move(hooks)),
      releaseUntil_(-std::numeric_limits<double>::infinity()) {
    enabled_ = defaults.boolean(kEnabledKey).value_or(true);
    // A hand-edited level is held to what the menu could have set.
    level_ = static_cast<float>(std::clamp(defaults.number(kLevelKey).value_or(0.3), 0.0, 1.0));
}

template <typename T>
void CallDucking::assign(T& field, T value, EngineProperty property) {
    if (field == value) return;
    field = std::move(value);
    hooks_.changed(property);
}

bool CallDucking::isDucking() const {
    return enabled_ && activeCall_ && !pausedForCall_;
}

bool CallDucking::isDucked(const AppGroup& app) const {
    return isDucking() && app.isPlaying() && app.id != activeCall_->id && !app.isRecording();
}

bool CallDucking::releasing() const {
    return scheduler_.now() < releaseUntil_;
}

void CallDucking::update(const std::vector<AppGroup>& apps) {
    auto call = CallDetector::activeCall(apps);
    const bool wasDucking = isDucking();
    const bool changed = call.has_value() != activeCall_.has_value() ||
                         (call && activeCall_ && call->id != activeCall_->id);
    if (changed) setPausedForCall(false);
    assign(activeCall_, std::move(call), EngineProperty::activeCall);
    if (activeCall_) Log::info(kCategory, "Call erkannt: " + activeCall_->id);
    if (wasDucking && !isDucking()) {
        releaseUntil_ = scheduler_.now() + kReleaseWindow;
        scheduler_.asyncAfter(kReleaseReconcile, hooks_.reconcile);
    }
}

void CallDucking::setPausedForCall(bool paused) {
    assign(pausedForCall_, paused, EngineProperty::duckingPausedForCall);
}

void CallDucking::setEnabled(bool enabled) {
    assign(enabled_, enabled, EngineProperty::duckingEnabled);
    defaults_.setBoolean(kEnabledKey, enabled);
}

void CallDucking::setLevel(float level) {
    const float clamped = std::isnan(level) ? 0.0f : std::clamp(level, 0.0f, 1.0f);
    assign(level_, clamped, EngineProperty::duckLevel);
    defaults_.setNumber(kLevelKey, clamped);
}

} // namespace voxlane
