// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the device rules reader as the stored "deviceRules" value (as JSON
// when they parse, else as text). Rule by rule: a list keeps every rule that decodes. Whatever
// loads must save and load back unchanged, keep what was set aside, and survive learning.
#include "audio/AudioDevice.h"
#include "devices/DeviceRules.h"
#include "platform/Defaults.h"
#include "platform/Log.h"

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

void checkList(const std::vector<voxlane::DeviceRule>& list) {
    std::set<std::string> uids;
    for (const auto& rule : list)
        check(uids.insert(rule.uid).second);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace voxlane;
    const std::string text(reinterpret_cast<const char*>(data), size);
    auto value = nlohmann::json::parse(text, nullptr, false);
    if (value.is_discarded()) value = text;
    Log::Capture quiet;
    auto defaults = Defaults::inMemory();
    if (!defaults->setValue(DeviceRules::key, value)) return 0;

    const DeviceRules rules = DeviceRules::load(*defaults);
    checkList(rules.outputs);
    checkList(rules.inputs);
    const auto* aside = defaults->value(Defaults::unreadableKey);
    const nlohmann::json kept = aside ? *aside : nlohmann::json();

    check(rules.save(*defaults));
    check(DeviceRules::load(*defaults) == rules);
    const auto* asideAfter = defaults->value(Defaults::unreadableKey);
    check(kept.is_null() ? asideAfter == nullptr : *asideAfter == kept);

    // Learning the stored devices back changes nothing but may shed learned ones.
    DeviceRules learned = rules;
    std::vector<AudioDevice> devices;
    for (const auto& rule : rules.outputs) {
        AudioDevice device;
        device.uid = rule.uid;
        device.name = rule.name;
        device.transport = rule.transport;
        device.hasOutput = true;
        devices.push_back(device);
    }
    learned.learn(devices);
    check(learned.outputs == rules.outputs);
    checkList(learned.inputs);
    return 0;
}
