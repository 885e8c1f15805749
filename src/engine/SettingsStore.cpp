#include "engine/SettingsStore.h"

#include "platform/Defaults.h"

#include <nlohmann/json.hpp>

namespace voxlane::SettingsStore {

AppSettingsMap load(const Defaults& defaults) {
    const auto data = defaults.data(key);
    if (!data) return {};
    try {
        const auto json = nlohmann::json::parse(*data);
        if (!json.is_object()) return {};
        return json.get<AppSettingsMap>();
    } catch (const nlohmann::json::exception&) {
        return {};
    }
}

void save(Defaults& defaults, const AppSettingsMap& settings) {
    nlohmann::json json = nlohmann::json::object();
    for (const auto& [id, record] : settings) {
        if (!record.isDefault()) json[id] = record;
    }
    try {
        defaults.setData(key, json.dump());
    } catch (const nlohmann::json::exception&) {
        // Not encodable (invalid UTF-8 in an id): keep what was stored.
    }
}

} // namespace voxlane::SettingsStore
