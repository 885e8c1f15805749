// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/StatusReport.h"

#include "devices/DeviceRules.h"
#include "engine/MixerEngine.h"

#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>

namespace voxlane::StatusReport {
namespace {

std::string accessName(AudioPermission::Status status) {
    switch (status) {
    case AudioPermission::Status::unknown:
        return "unknown";
    case AudioPermission::Status::checking:
        return "checking";
    case AudioPermission::Status::granted:
        return "granted";
    case AudioPermission::Status::denied:
        return "denied";
    }
    return "unknown";
}

nlohmann::json deviceJson(const AudioDevice& device) {
    return {{"uid", device.uid},
            {"name", device.name},
            {"transport", transportWord(device.transport)},
            {"hasOutput", device.hasOutput},
            {"hasInput", device.hasInput},
            {"symbol", device.symbolName()}};
}

nlohmann::json settingsJson(const AppSettings& settings) {
    return {{"volume", settings.volume},
            {"muted", settings.muted},
            {"outputUID", settings.outputUID ? nlohmann::json(*settings.outputUID) : nullptr},
            {"eq", settings.eq}};
}

std::string percent(float volume) {
    return std::to_string(static_cast<int>(std::lround(volume * 100))) + "\u00a0%";
}

} // namespace

nlohmann::json json(const MixerEngine& engine, const std::string& serverDescription,
                    AudioPermission::Status access) {
    nlohmann::json devices = nlohmann::json::array();
    std::vector<std::string> seen;
    for (const auto* list : {&engine.outputDevices(), &engine.inputDevices()}) {
        for (const auto& device : *list) {
            if (std::find(seen.begin(), seen.end(), device.uid) != seen.end()) continue;
            seen.push_back(device.uid);
            devices.push_back(deviceJson(device));
        }
    }
    nlohmann::json apps = nlohmann::json::array();
    for (const auto& app : engine.apps()) {
        nlohmann::json pids = nlohmann::json::array();
        for (const auto& process : app.processes)
            pids.push_back(process.pid);
        const auto stored = engine.allSettings().find(app.id);
        apps.push_back(
            {{"id", app.id},
             {"name", app.name},
             {"playing", app.isPlaying()},
             {"recording", app.isRecording()},
             {"regular", app.isRegularApp},
             {"pids", pids},
             {"settings", stored != engine.allSettings().end() ? settingsJson(stored->second)
                                                               : nlohmann::json(nullptr)}});
    }
    auto uidOf = [](const std::optional<AudioDevice>& device) {
        return device ? nlohmann::json(device->uid) : nlohmann::json(nullptr);
    };
    return {{"server", serverDescription},
            {"serverConnected", engine.serverConnected()},
            {"devices", devices},
            {"defaultOutput", uidOf(engine.defaultOutput())},
            {"defaultInput", uidOf(engine.defaultInput())},
            {"masterVolume", engine.masterVolumeKnown() ? nlohmann::json(engine.masterVolume())
                                                        : nlohmann::json(nullptr)},
            {"masterMuted", engine.masterMuted()},
            {"softwareVolume", engine.softVolumeActive()},
            {"audioAccess", accessName(access)},
            {"apps", apps}};
}

std::string text(const MixerEngine& engine, const std::string& serverDescription,
                 AudioPermission::Status access) {
    const nlohmann::json report = json(engine, serverDescription, access);
    std::ostringstream out;
    out << "Audio server: " << serverDescription
        << (engine.serverConnected() ? "" : " (not reachable)") << "\n";
    out << "Audio access: " << report["audioAccess"].get<std::string>() << "\n\nDevices:\n";
    for (const auto& device : report["devices"]) {
        const std::string uid = device["uid"];
        std::string roles;
        if (device["hasOutput"].get<bool>()) roles += "output";
        if (device["hasInput"].get<bool>()) roles += roles.empty() ? "input" : "+input";
        out << "  " << device["name"].get<std::string>() << "  uid=" << uid
            << "  transport=" << device["transport"].get<std::string>() << "  " << roles
            << "  symbol=" << device["symbol"].get<std::string>();
        if (report["defaultOutput"] == uid) out << "  [default output]";
        if (report["defaultInput"] == uid) out << "  [default input]";
        out << "\n";
    }
    out << "\nMaster volume: ";
    if (engine.masterVolumeKnown()) {
        out << percent(engine.masterVolume()) << (engine.masterMuted() ? " (muted)" : "")
            << (engine.softVolumeActive() ? ", software volume" : ", hardware volume") << "\n";
    } else {
        out << "unknown\n";
    }
    out << "\nApps:\n";
    if (engine.apps().empty()) out << "  (none)\n";
    for (const auto& app : engine.apps()) {
        out << "  " << app.name << "  id=" << app.id << "  "
            << (app.isPlaying() ? "playing" : "silent") << (app.isRecording() ? ", recording" : "");
        const auto stored = engine.allSettings().find(app.id);
        if (stored != engine.allSettings().end()) {
            const AppSettings& s = stored->second;
            out << "  settings: volume " << percent(s.volume) << (s.muted ? ", muted" : "");
            if (s.outputUID) out << ", output " << *s.outputUID;
            if (s.eq.preset != EQPreset::off) out << ", EQ " << EQPresets::title(s.eq.preset);
        }
        out << "\n";
    }
    return out.str();
}

} // namespace voxlane::StatusReport
