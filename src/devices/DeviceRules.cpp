#include "devices/DeviceRules.h"

#include "coreaudio/AudioDevice.h"
#include "platform/Defaults.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>

namespace voxlane {
namespace {

std::optional<DeviceRule> decodeRule(const nlohmann::json& json) {
    if (!json.is_object()) return std::nullopt;
    const auto uid = json.find("uid");
    const auto name = json.find("name");
    const auto transport = json.find("transport");
    const auto never = json.find("never");
    if (uid == json.end() || !uid->is_string() || name == json.end() || !name->is_string() ||
        transport == json.end() || !transport->is_number_unsigned() || never == json.end() ||
        !never->is_boolean()) {
        return std::nullopt;
    }
    const auto code = transport->get<std::uint64_t>();
    if (code > UINT32_MAX) return std::nullopt;
    return DeviceRule{uid->get<std::string>(), name->get<std::string>(),
                      static_cast<std::uint32_t>(code), never->get<bool>()};
}

std::vector<DeviceRule> decodeList(const nlohmann::json& json, const char* key) {
    const auto it = json.find(key);
    if (it == json.end() || !it->is_array()) return {};
    std::vector<DeviceRule> rules;
    for (const auto& element : *it) {
        auto rule = decodeRule(element);
        if (!rule) return {};
        rules.push_back(std::move(*rule));
    }
    return rules;
}

bool decodeFlag(const nlohmann::json& json, const char* key, bool fallback) {
    const auto it = json.find(key);
    return it != json.end() && it->is_boolean() ? it->get<bool>() : fallback;
}

void merge(std::vector<DeviceRule>& list, const AudioDevice& device) {
    auto it = std::find_if(list.begin(), list.end(),
                           [&](const DeviceRule& rule) { return rule.uid == device.uid; });
    if (it != list.end()) {
        it->name = device.name;
        it->transport = device.transport;
    } else {
        list.push_back({device.uid, device.name, device.transport, false});
    }
}

} // namespace

void to_json(nlohmann::json& json, const DeviceRule& rule) {
    json = {{"uid", rule.uid},
            {"name", rule.name},
            {"transport", rule.transport},
            {"never", rule.never}};
}

void to_json(nlohmann::json& json, const DeviceRules& rules) {
    json = {{"outputs", rules.outputs},
            {"inputs", rules.inputs},
            {"outputsRanked", rules.outputsRanked},
            {"inputsRanked", rules.inputsRanked},
            {"keepBluetoothHighQuality", rules.keepBluetoothHighQuality},
            {"alertsFollowOutput", rules.alertsFollowOutput}};
}

DeviceRules decodeDeviceRules(const nlohmann::json& json) {
    DeviceRules rules;
    if (!json.is_object()) return rules;
    rules.outputs = decodeList(json, "outputs");
    rules.inputs = decodeList(json, "inputs");
    rules.outputsRanked = decodeFlag(json, "outputsRanked", false);
    rules.inputsRanked = decodeFlag(json, "inputsRanked", false);
    rules.keepBluetoothHighQuality = decodeFlag(json, "keepBluetoothHighQuality", true);
    rules.alertsFollowOutput = decodeFlag(json, "alertsFollowOutput", true);
    return rules;
}

DeviceRules DeviceRules::load(const Defaults& defaults) {
    const auto data = defaults.data(key);
    if (!data) return {};
    const auto json = nlohmann::json::parse(*data, nullptr, /*allow_exceptions=*/false);
    return decodeDeviceRules(json); // a parse failure is "discarded", not an object: defaults
}

void DeviceRules::save(Defaults& defaults) const {
    try {
        defaults.setData(key, nlohmann::json(*this).dump());
    } catch (const nlohmann::json::exception&) {
        // Not encodable (invalid UTF-8 in a name): keep what was stored.
    }
}

void DeviceRules::learn(std::span<const AudioDevice> devices) {
    for (const auto& device : devices) {
        if (device.hasOutput) merge(outputs, device);
    }
    for (const auto& device : devices) {
        if (device.hasInput) merge(inputs, device);
    }
}

} // namespace voxlane
