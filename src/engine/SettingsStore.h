// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/AppSettings.h"

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace voxlane {

class Defaults;

using AppSettingsMap = std::map<std::string, AppSettings>;

// The per-app settings dictionary, stored under "appSettings" as a JSON object from app id to
// record.
namespace SettingsStore {

inline constexpr const char* key = "appSettings";

// The stored value decoded record by record.
struct Decoded {
    struct Unreadable {
        nlohmann::json record; // {id: stored record}, or the whole value when it is no object
        std::string reason;
    };
    AppSettingsMap settings;
    std::vector<Unreadable> unreadable;
};
Decoded decode(const nlohmann::json& stored);

// Every record that decodes. A record that does not (or a stored value that is no object) is
// skipped, logged and set aside under "unreadable", so that the next save cannot lose it.
AppSettingsMap load(Defaults& defaults);
// Writes every record that is not at its defaults. False (logged) when something could not be
// stored: a record whose id is not UTF-8 is left out, the others are written.
bool save(Defaults& defaults, const AppSettingsMap& settings);

} // namespace SettingsStore
} // namespace voxlane
