#pragma once

#include "engine/AppSettings.h"

#include <map>
#include <string>

namespace voxlane {

class Defaults;

using AppSettingsMap = std::map<std::string, AppSettings>;

// The per-app settings dictionary, stored as JSON data under "appSettings".
namespace SettingsStore {

inline constexpr const char* key = "appSettings";

// Nothing stored, or anything that does not decode as a whole, loads as no settings at all.
AppSettingsMap load(const Defaults& defaults);
// Writes every record that is not at its defaults; never reports an error.
void save(Defaults& defaults, const AppSettingsMap& settings);

} // namespace SettingsStore
} // namespace voxlane
