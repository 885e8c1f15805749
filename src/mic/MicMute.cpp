// SPDX-License-Identifier: GPL-3.0-or-later
#include "mic/MicMute.h"

#include "audio/AudioDevices.h"
#include "audio/CA.h"
#include "platform/Defaults.h"
#include "platform/Log.h"
#include "platform/hal/Hal.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <vector>

namespace voxlane {
namespace {

constexpr const char* kCategory = "mic";
constexpr AudioObjectPropertyAddress muteAddr =
    CA::address(kAudioDevicePropertyMute, kAudioObjectPropertyScopeInput);
constexpr AudioObjectPropertyAddress volumeAddr =
    CA::address(kAudioDevicePropertyVolumeScalar, kAudioObjectPropertyScopeInput);

bool isSettable(Hal& hal, AudioObjectID id, const AudioObjectPropertyAddress& address) {
    bool settable = false;
    return hal.isPropertySettable(id, address, &settable) == 0 && settable;
}

void writeMute(Hal& hal, AudioObjectID id, std::uint32_t value) {
    hal.setPropertyData(id, muteAddr, 0, nullptr, sizeof(value), &value);
}

void writeVolume(Hal& hal, AudioObjectID id, float value) {
    hal.setPropertyData(id, volumeAddr, 0, nullptr, sizeof(value), &value);
}

std::optional<MicMute::Saved> decodeEntry(const nlohmann::json& json) {
    if (!json.is_object()) return std::nullopt;
    const auto kind = json.find("kind");
    const auto value = json.find("value");
    if (kind == json.end() || !kind->is_string() || value == json.end() || !value->is_number()) {
        return std::nullopt;
    }
    const double number = value->get<double>();
    if (std::isnan(number)) return std::nullopt;
    const auto& name = kind->get_ref<const std::string&>();
    if (name == "mute")
        return MicMute::Saved{MicMute::Saved::Kind::mute, number != 0 ? 1.0f : 0.0f};
    if (name == "volume") {
        return MicMute::Saved{MicMute::Saved::Kind::volume,
                              static_cast<float>(std::clamp(number, 0.0, 1.0))};
    }
    return std::nullopt;
}

} // namespace

MicMute::MicMute(Hal& hal, Defaults& defaults, bool restoreAtStart)
    : hal_(hal), defaults_(defaults), saved_(load(defaults)) {
    if (saved_.empty() || !restoreAtStart) return;
    Log::notice(kCategory, "Mikrofone waren beim letzten Beenden noch stumm – stelle " +
                               std::to_string(saved_.size()) + " Gerät(e) wieder her");
    restore();
}

void MicMute::muteAll() {
    struct Target {
        AudioObjectID id;
        Saved::Kind kind;
    };
    std::vector<Target> targets, returning;
    std::set<std::string, std::less<>> connected;
    for (const AudioDevice& device : AudioDevices::all(hal_)) {
        if (!device.hasInput) continue;
        if (auto entry = saved_.find(device.uid); entry != saved_.end()) {
            // Back since the last look: its entry still holds the state before the mute. One
            // whose control cannot be set yet is tried again at the next call.
            const Saved::Kind kind = entry->second.kind;
            if (connectedWhenMuted_.count(device.uid)) {
                connected.insert(device.uid);
            } else if (isSettable(hal_, device.id,
                                  kind == Saved::Kind::mute ? muteAddr : volumeAddr)) {
                connected.insert(device.uid);
                returning.push_back({device.id, kind});
            }
            continue;
        }
        connected.insert(device.uid);
        if (isSettable(hal_, device.id, muteAddr)) {
            const auto muted = CA::value<std::uint32_t>(hal_, device.id, muteAddr).value_or(0);
            saved_[device.uid] = {Saved::Kind::mute, muted != 0 ? 1.0f : 0.0f};
            targets.push_back({device.id, Saved::Kind::mute});
        } else if (isSettable(hal_, device.id, volumeAddr)) {
            const float volume = CA::value<float>(hal_, device.id, volumeAddr).value_or(1.0f);
            saved_[device.uid] = {Saved::Kind::volume,
                                  std::isnan(volume) ? 1.0f : std::clamp(volume, 0.0f, 1.0f)};
            targets.push_back({device.id, Saved::Kind::volume});
        }
    }
    connectedWhenMuted_ = std::move(connected);
    // On disk before the first device changes: a crash from here on is repaired at next start.
    if (!targets.empty()) persist();
    targets.insert(targets.end(), returning.begin(), returning.end());
    for (const Target& target : targets) {
        if (target.kind == Saved::Kind::mute) {
            writeMute(hal_, target.id, 1);
        } else {
            writeVolume(hal_, target.id, 0.0f);
        }
    }
}

void MicMute::restore() {
    const auto devices = AudioDevices::all(hal_);
    SavedMap remaining;
    for (const auto& item : saved_) {
        const auto& [uid, entry] = item;
        const auto device = std::find_if(devices.begin(), devices.end(),
                                         [&](const AudioDevice& d) { return d.uid == item.first; });
        if (device == devices.end()) {
            remaining.emplace(uid, entry);
        } else if (entry.kind == Saved::Kind::volume) {
            writeVolume(hal_, device->id, entry.value);
        } else {
            writeMute(hal_, device->id, entry.value != 0 ? 1 : 0);
        }
    }
    saved_ = std::move(remaining);
    connectedWhenMuted_.clear();
    persist();
}

void MicMute::persist() {
    if (saved_.empty()) {
        defaults_.remove(key);
    } else {
        defaults_.setValue(key, encode(saved_));
    }
    // On disk before any device changes: the store would otherwise wait to coalesce writes.
    defaults_.flush();
}

MicMute::SavedMap MicMute::load(Defaults& defaults) {
    const auto* stored = defaults.value(key);
    if (!stored) return {};
    Decoded decoded = decode(*stored);
    for (auto& bad : decoded.unreadable)
        defaults.keepUnreadable(key, std::move(bad), "kein gültiger gespeicherter Zustand");
    return std::move(decoded.saved);
}

MicMute::Decoded MicMute::decode(const nlohmann::json& stored) {
    Decoded decoded;
    if (!stored.is_object()) {
        decoded.unreadable.push_back(stored);
        return decoded;
    }
    for (const auto& [uid, value] : stored.items()) {
        if (auto entry = decodeEntry(value)) {
            decoded.saved.emplace(uid, *entry);
        } else {
            decoded.unreadable.push_back(nlohmann::json{{uid, value}});
        }
    }
    return decoded;
}

nlohmann::json MicMute::encode(const SavedMap& saved) {
    nlohmann::json json = nlohmann::json::object();
    for (const auto& [uid, entry] : saved) {
        json[uid] = {{"kind", entry.kind == Saved::Kind::mute ? "mute" : "volume"},
                     {"value", entry.value}};
    }
    return json;
}

} // namespace voxlane
