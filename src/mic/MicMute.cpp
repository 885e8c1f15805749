// SPDX-License-Identifier: GPL-3.0-or-later
#include "mic/MicMute.h"

#include "audio/AudioDevices.h"
#include "platform/Defaults.h"
#include "platform/Log.h"
#include "platform/server/AudioServer.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <vector>

namespace voxlane {
namespace {

constexpr const char* kCategory = "mic";
// The input control of a device that can be set: its mute, else its volume.
DeviceControl inputControl(AudioServer& server, ObjectId id) {
    return server.control(id, Side::input).value_or(DeviceControl{});
}

bool isSettable(const DeviceControl& control, MicMute::Saved::Kind kind) {
    return kind == MicMute::Saved::Kind::mute ? control.mute && control.muteSettable
                                              : control.volume && control.volumeSettable;
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

MicMute::MicMute(AudioServer& server, Defaults& defaults, bool restoreAtStart)
    : server_(server), defaults_(defaults), saved_(load(defaults)) {
    if (saved_.empty() || !restoreAtStart) return;
    Log::notice(kCategory, "Mikrofone waren beim letzten Beenden noch stumm – stelle " +
                               std::to_string(saved_.size()) + " Gerät(e) wieder her");
    restore();
}

void MicMute::muteAll() {
    struct Target {
        ObjectId id;
        Saved::Kind kind;
    };
    std::vector<Target> targets, returning;
    std::set<std::string, std::less<>> connected;
    for (const AudioDevice& device : AudioDevices::all(server_)) {
        if (!device.hasInput) continue;
        if (auto entry = saved_.find(device.uid); entry != saved_.end()) {
            // Back since the last look: its entry still holds the state before the mute. One
            // whose control cannot be set yet is tried again at the next call.
            const Saved::Kind kind = entry->second.kind;
            if (connectedWhenMuted_.count(device.uid)) {
                connected.insert(device.uid);
            } else if (isSettable(inputControl(server_, device.id), kind)) {
                connected.insert(device.uid);
                returning.push_back({device.id, kind});
            }
            continue;
        }
        connected.insert(device.uid);
        const DeviceControl control = inputControl(server_, device.id);
        if (isSettable(control, Saved::Kind::mute)) {
            saved_[device.uid] = {Saved::Kind::mute, *control.mute ? 1.0f : 0.0f};
            targets.push_back({device.id, Saved::Kind::mute});
        } else if (isSettable(control, Saved::Kind::volume)) {
            const float volume = *control.volume;
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
            server_.setMute(target.id, Side::input, true);
        } else {
            server_.setVolume(target.id, Side::input, 0.0f);
        }
    }
}

void MicMute::restore() {
    const auto devices = AudioDevices::all(server_);
    SavedMap remaining;
    for (const auto& item : saved_) {
        const auto& [uid, entry] = item;
        const auto device = std::find_if(devices.begin(), devices.end(),
                                         [&](const AudioDevice& d) { return d.uid == item.first; });
        if (device == devices.end()) {
            remaining.emplace(uid, entry);
        } else if (entry.kind == Saved::Kind::volume) {
            server_.setVolume(device->id, Side::input, entry.value);
        } else {
            server_.setMute(device->id, Side::input, entry.value != 0);
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
