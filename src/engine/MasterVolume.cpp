// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/MasterVolume.h"

#include "audio/AudioDevices.h"
#include "engine/AppTap.h"
#include "engine/SoftVolume.h"
#include "platform/Log.h"
#include "platform/server/AudioServer.h"

#include <algorithm>
#include <cmath>

namespace voxlane {
namespace {
constexpr const char* kCategory = "engine";
} // namespace

MasterVolume::MasterVolume(AudioServer& server, Defaults& defaults, Hooks hooks)
    : server_(server), defaults_(defaults), hooks_(std::move(hooks)) {}

MasterVolume::~MasterVolume() = default;

template <typename T>
void MasterVolume::assign(T& field, T value, EngineProperty property) {
    if (field == value) return;
    field = std::move(value);
    hooks_.changed(property);
}

float MasterVolume::softwareGain() const {
    if (!softwareActive_) return 1.0f;
    return softwareMuted_ ? 0.0f : volume_ * volume_;
}

void MasterVolume::refresh(const std::optional<AudioDevice>& output) {
    // An output the server no longer knows (it went, or the server did) is no output without
    // volume: its volume listeners may be told before the engine reads the new defaults.
    if (!output || !server_.device(output->id)) {
        if (known_) {
            known_ = false;
            hooks_.changed(EngineProperty::masterVolume);
        }
        return;
    }
    const bool hardware = SoftVolume::hasHardwareVolume(server_, output->id);
    if (softwareActive_ == hardware) {
        Log::info(kCategory, std::string("Software-Lautstärke ") + (hardware ? "aus" : "an") +
                                 " für " + output->name);
        assign(softwareActive_, !hardware, EngineProperty::softVolumeActive);
    }
    const auto volume = hardware ? AudioDevices::volume(server_, output->id)
                                 : std::optional(SoftVolume::level(defaults_, output->uid));
    const bool known = volume.has_value();
    const bool changed = known && volume_ != *volume;
    if (known) volume_ = *volume;
    if (changed || known != known_) {
        known_ = known;
        hooks_.changed(EngineProperty::masterVolume);
    }
    if (!hardware) {
        assign(muted_, softwareMuted_, EngineProperty::masterMuted);
        return;
    }
    const auto control = server_.control(output->id, Side::output);
    assign(muted_, control && control->mute.value_or(false), EngineProperty::masterMuted);
}

void MasterVolume::watch(const std::optional<AudioDevice>& output) {
    listeners_.clear();
    if (!output) return;
    for (Change change : {Change::volume, Change::mute})
        if (auto subscription = server_.subscribe(change, output->id, hooks_.refresh))
            listeners_.push_back(std::move(subscription));
}

void MasterVolume::setVolume(const AudioDevice& output, float volume, bool unmuteWhenAudible) {
    const float v = std::isnan(volume) ? 0.0f : std::clamp(volume, 0.0f, 1.0f);
    assign(volume_, v, EngineProperty::masterVolume);
    if (softwareActive_) {
        SoftVolume::setLevel(defaults_, v, output.uid);
        if (unmuteWhenAudible && v > 0 && softwareMuted_) {
            softwareMuted_ = false;
            assign(muted_, false, EngineProperty::masterMuted);
        }
        hooks_.reconcile();
        return;
    }
    server_.setVolume(output.id, Side::output, v);
    if (unmuteWhenAudible && v > 0 && muted_) setMuted(output, false);
}

void MasterVolume::setMuted(const AudioDevice& output, bool muted) {
    assign(muted_, muted, EngineProperty::masterMuted);
    if (softwareActive_) {
        softwareMuted_ = muted;
        hooks_.reconcile();
        return;
    }
    server_.setMute(output.id, Side::output, muted);
}

void MasterVolume::handleKey(const AudioDevice& output, MediaKey key, bool fine) {
    const float step = fine ? 1.0f / 64.0f : 1.0f / 16.0f;
    switch (key) {
    case MediaKey::volumeUp:
        if (muted_) setMuted(output, false);
        setVolume(output, step * std::round((volume_ + step) / step));
        break;
    case MediaKey::volumeDown:
        // Turning a muted output down leaves it muted.
        setVolume(output, step * std::round((volume_ - step) / step), false);
        break;
    case MediaKey::mute:
        setMuted(output, !muted_);
        break;
    }
}

void MasterVolume::reconcileGlobalTap(const std::string& outputUID,
                                      const std::map<std::string, std::unique_ptr<AppTap>>& taps,
                                      std::optional<ObjectId> ownProcess) {
    if (!softwareActive_ || !ownProcess) {
        invalidateGlobalTap();
        return;
    }
    std::vector<ObjectId> excluded{*ownProcess};
    for (const auto& [id, tap] : taps) {
        if (tap->mode() == AppTap::Mode::process) {
            excluded.insert(excluded.end(), tap->objectIDs().begin(), tap->objectIDs().end());
        }
    }
    std::sort(excluded.begin(), excluded.end());
    excluded.erase(std::unique(excluded.begin(), excluded.end()), excluded.end());

    const float gain = softwareGain();
    if (globalTap_ && globalTap_->excluding() == excluded && globalTap_->outputUID() == outputUID) {
        globalTap_->state().store(TapState::targetGain, gain);
        return;
    }
    std::unique_ptr<AppTap> previous = std::move(globalTap_);
    try {
        globalTap_ = std::make_unique<AppTap>(server_, std::vector<ObjectId>{}, excluded, outputUID,
                                              AppTap::Mode::process, gain, "software volume");
    } catch (const AudioError& error) {
        Log::error(kCategory, "Globaler Tap: " + error.description());
        globalTap_.reset();
    }
    if (previous) previous->invalidate();
}

void MasterVolume::invalidateGlobalTap() {
    if (globalTap_) globalTap_->invalidate();
    globalTap_.reset();
}

} // namespace voxlane
