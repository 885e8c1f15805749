// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SettingsStore.h"

#include "platform/Defaults.h"
#include "platform/Log.h"
#include "platform/Utf8.h"

#include <nlohmann/json.hpp>

namespace voxlane::SettingsStore {

Decoded decode(const nlohmann::json& stored) {
    Decoded decoded;
    if (!stored.is_object()) {
        decoded.unreadable.push_back({stored, "kein Objekt"});
        return decoded;
    }
    for (const auto& [id, record] : stored.items()) {
        try {
            decoded.settings.emplace(id, record.get<AppSettings>());
        } catch (const nlohmann::json::exception& error) {
            decoded.unreadable.push_back({nlohmann::json{{id, record}}, id + ": " + error.what()});
        }
    }
    return decoded;
}

AppSettingsMap load(Defaults& defaults) {
    const auto* stored = defaults.value(key);
    if (!stored) return {};
    Decoded decoded = decode(*stored);
    for (auto& bad : decoded.unreadable)
        defaults.keepUnreadable(key, std::move(bad.record), bad.reason);
    return std::move(decoded.settings);
}

bool save(Defaults& defaults, const AppSettingsMap& settings) {
    bool complete = true;
    nlohmann::json json = nlohmann::json::object();
    for (const auto& [id, record] : settings) {
        if (record.isDefault()) continue;
        if (!Utf8::isValid(id) || (record.outputUID && !Utf8::isValid(*record.outputUID))) {
            Log::error("engine", "Einstellungen für " + Utf8::valid(id) +
                                     " nicht gespeichert: Text ist kein UTF-8");
            complete = false;
            continue;
        }
        json[id] = record;
    }
    return defaults.setValue(key, std::move(json)) && complete;
}

} // namespace voxlane::SettingsStore
