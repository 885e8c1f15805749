// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/DeviceRules.h"

#include "audio/AudioDevice.h"
#include "platform/Defaults.h"
#include "platform/Log.h"
#include "platform/Utf8.h"
#include "platform/server/Transport.h"

#include <algorithm>
#include <set>

namespace voxlane {
namespace {

// Four characters packed big-endian into 32 bits, as files of the first format wrote transports.
consteval std::uint32_t fourCC(const char (&code)[5]) {
    return (std::uint32_t(std::uint8_t(code[0])) << 24) |
           (std::uint32_t(std::uint8_t(code[1])) << 16) |
           (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}

struct TransportName {
    Transport transport;
    std::string_view word;
    // How files of the first format stored it: four characters packed into a number.
    std::uint32_t earlierCode;
};

constexpr TransportName transports[] = {
    {Transport::unknown, "unknown", 0},
    {Transport::builtIn, "builtin", fourCC("bltn")},
    {Transport::bluetooth, "bluetooth", fourCC("blue")},
    {Transport::bluetoothLE, "bluetoothle", fourCC("blea")},
    {Transport::network, "network", fourCC("airp")},
    {Transport::usb, "usb", fourCC("usb ")},
    {Transport::hdmi, "hdmi", fourCC("hdmi")},
    {Transport::displayPort, "displayport", fourCC("dprt")},
    {Transport::phoneWired, "phonewired", fourCC("ccwd")},
    {Transport::phoneWireless, "phonewireless", fourCC("ccwl")},
    {Transport::aggregate, "aggregate", fourCC("grup")},
    {Transport::software, "virtual", fourCC("virt")},
};

std::optional<Transport> decodeTransport(const nlohmann::json& json) {
    if (json.is_string()) return transportNamed(json.get_ref<const std::string&>());
    if (!json.is_number_unsigned()) return std::nullopt;
    // A number the first format wrote; one we do not know only loses the device's symbol until
    // the device is seen again.
    const auto code = json.get<std::uint64_t>();
    for (const auto& name : transports) {
        if (name.earlierCode == code) return name.transport;
    }
    return Transport::unknown;
}

// Why `json` is no rule, if it is none.
std::optional<std::string> invalidRule(const nlohmann::json& json) {
    if (!json.is_object()) return "kein Objekt";
    const auto member = [&](const char* key, bool (nlohmann::json::*test)() const noexcept) {
        const auto it = json.find(key);
        return it != json.end() && ((*it).*test)();
    };
    if (!member("uid", &nlohmann::json::is_string)) return "uid fehlt oder ist kein Text";
    if (!member("name", &nlohmann::json::is_string)) return "name fehlt oder ist kein Text";
    if (!member("never", &nlohmann::json::is_boolean)) return "never fehlt oder ist kein Boolean";
    const auto transport = json.find("transport");
    if (transport == json.end() || !decodeTransport(*transport)) return "transport unbekannt";
    const auto ranked = json.find("ranked");
    if (ranked != json.end() && !ranked->is_boolean()) return "ranked ist kein Boolean";
    return std::nullopt;
}

DeviceRule decodeRule(const nlohmann::json& json) {
    const auto ranked = json.find("ranked");
    return DeviceRule{json["uid"].get<std::string>(), json["name"].get<std::string>(),
                      *decodeTransport(json["transport"]), json["never"].get<bool>(),
                      ranked != json.end() && ranked->get<bool>()};
}

std::vector<DeviceRule> decodeList(const nlohmann::json& json, const char* key,
                                   std::vector<DeviceRules::Decoded::Unreadable>& unreadable) {
    const auto it = json.find(key);
    if (it == json.end()) return {};
    if (!it->is_array()) {
        unreadable.push_back({nlohmann::json{{key, *it}}, std::string(key) + ": keine Liste"});
        return {};
    }
    std::vector<DeviceRule> rules;
    std::set<std::string> seen;
    for (const auto& element : *it) {
        if (auto reason = invalidRule(element)) {
            unreadable.push_back(
                {nlohmann::json{{key, nlohmann::json::array({element})}}, key + (": " + *reason)});
            continue;
        }
        DeviceRule rule = decodeRule(element);
        if (!seen.insert(rule.uid).second) continue; // a uid appears once per list
        rules.push_back(std::move(rule));
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

void forgetOldLearned(std::vector<DeviceRule>& list, const std::set<std::string_view>& connected) {
    if (list.size() <= DeviceRules::maxLearned) return;
    std::size_t excess = list.size() - DeviceRules::maxLearned;
    std::vector<DeviceRule> kept;
    kept.reserve(list.size());
    for (auto& rule : list) {
        if (excess > 0 && !rule.never && !rule.ranked && !connected.count(rule.uid)) {
            --excess;
            continue;
        }
        kept.push_back(std::move(rule));
    }
    list = std::move(kept);
}

} // namespace

std::string_view transportWord(Transport transport) {
    for (const auto& name : transports) {
        if (name.transport == transport) return name.word;
    }
    return "unknown";
}

std::optional<Transport> transportNamed(std::string_view word) {
    for (const auto& name : transports) {
        if (name.word == word) return name.transport;
    }
    return std::nullopt;
}

void to_json(nlohmann::json& json, const DeviceRule& rule) {
    json = {{"uid", rule.uid},
            {"name", rule.name},
            {"transport", transportWord(rule.transport)},
            {"never", rule.never}};
    if (rule.ranked) json["ranked"] = true;
}

void to_json(nlohmann::json& json, const DeviceRules& rules) {
    json = {{"outputs", rules.outputs},
            {"inputs", rules.inputs},
            {"outputsRanked", rules.outputsRanked},
            {"inputsRanked", rules.inputsRanked},
            {"keepBluetoothHighQuality", rules.keepBluetoothHighQuality},
            {"alertsFollowOutput", rules.alertsFollowOutput}};
}

DeviceRules::Decoded DeviceRules::decode(const nlohmann::json& stored) {
    Decoded decoded;
    if (!stored.is_object()) {
        decoded.unreadable.push_back({stored, "kein Objekt"});
        return decoded;
    }
    DeviceRules& rules = decoded.rules;
    rules.outputs = decodeList(stored, "outputs", decoded.unreadable);
    rules.inputs = decodeList(stored, "inputs", decoded.unreadable);
    rules.outputsRanked = decodeFlag(stored, "outputsRanked", false);
    rules.inputsRanked = decodeFlag(stored, "inputsRanked", false);
    rules.keepBluetoothHighQuality = decodeFlag(stored, "keepBluetoothHighQuality", true);
    rules.alertsFollowOutput = decodeFlag(stored, "alertsFollowOutput", true);
    return decoded;
}

DeviceRules DeviceRules::load(Defaults& defaults) {
    const auto* stored = defaults.value(key);
    if (!stored) return {};
    Decoded decoded = decode(*stored);
    for (auto& bad : decoded.unreadable)
        defaults.keepUnreadable(key, std::move(bad.record), bad.reason);
    return std::move(decoded.rules);
}

bool DeviceRules::save(Defaults& defaults) const {
    return defaults.setValue(key, nlohmann::json(*this));
}

void DeviceRules::learn(std::span<const AudioDevice> devices) {
    std::set<std::string_view> connectedOutputs, connectedInputs;
    for (const auto& device : devices) {
        if (!device.hasOutput) continue;
        merge(outputs, device);
        connectedOutputs.insert(device.uid);
    }
    for (const auto& device : devices) {
        if (!device.hasInput) continue;
        merge(inputs, device);
        connectedInputs.insert(device.uid);
    }
    forgetOldLearned(outputs, connectedOutputs);
    forgetOldLearned(inputs, connectedInputs);
}

} // namespace voxlane
