// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/DevicePolicy.h"

#include <algorithm>
#include <vector>

namespace voxlane::DevicePolicy {
namespace {

const DeviceRule* ruleFor(const std::vector<DeviceRule>& rules, const std::string& uid) {
    const auto it = std::find_if(rules.begin(), rules.end(),
                                 [&](const DeviceRule& rule) { return rule.uid == uid; });
    return it != rules.end() ? &*it : nullptr;
}

bool isNever(const std::vector<DeviceRule>& rules, const std::string& uid) {
    const DeviceRule* rule = ruleFor(rules, uid);
    return rule && rule->never;
}

const AudioDevice* deviceWith(std::span<const AudioDevice> devices, const std::string& uid) {
    const auto it = std::find_if(devices.begin(), devices.end(),
                                 [&](const AudioDevice& device) { return device.uid == uid; });
    return it != devices.end() ? &*it : nullptr;
}

// The device to fall back on when the current one must go: the built-in one among the allowed
// devices, else the first allowed one.
std::optional<std::string> fallback(std::span<const AudioDevice> devices,
                                    const std::vector<DeviceRule>& rules, bool avoidBluetooth) {
    std::vector<const AudioDevice*> candidates;
    for (const AudioDevice& device : devices) {
        if (isNever(rules, device.uid)) continue;
        if (avoidBluetooth && device.isBluetooth()) continue;
        candidates.push_back(&device);
    }
    if (candidates.empty()) return std::nullopt;
    for (const AudioDevice* device : candidates) {
        if (device->transport == Transport::builtIn) return device->uid;
    }
    return candidates.front()->uid;
}

// The first rule, in priority order, that is allowed, passes `accept` and names a connected
// device of the list.
template <typename Accept>
std::optional<std::string> rankedTarget(const std::vector<DeviceRule>& rules,
                                        std::span<const AudioDevice> connected, Accept accept) {
    for (const DeviceRule& rule : rules) {
        if (rule.never || !accept(rule)) continue;
        if (deviceWith(connected, rule.uid)) return rule.uid;
    }
    return std::nullopt;
}

} // namespace

Decision decide(const DeviceRules& rules, std::span<const AudioDevice> devices,
                const std::optional<std::string>& currentOutput,
                const std::optional<std::string>& currentInput) {
    Decision decision;

    // Output.
    std::vector<AudioDevice> outputs;
    std::copy_if(devices.begin(), devices.end(), std::back_inserter(outputs),
                 [](const AudioDevice& device) { return device.hasOutput; });
    std::optional<std::string> outputTarget;
    if (rules.outputsRanked) {
        outputTarget = rankedTarget(rules.outputs, outputs, [](const DeviceRule&) { return true; });
    }
    const bool replaceOutput = currentOutput && isNever(rules.outputs, *currentOutput);
    std::optional<std::string> outputCandidate = outputTarget;
    if (replaceOutput && !outputTarget) {
        outputCandidate = fallback(outputs, rules.outputs, false);
    }
    if (outputCandidate != currentOutput) decision.output = outputCandidate;

    std::optional<std::string> effectiveOutput;
    if (decision.output) {
        effectiveOutput = decision.output;
    } else if (!(replaceOutput && !outputCandidate)) {
        effectiveOutput = currentOutput;
    }

    // Input.
    const AudioDevice* effectiveOutputDevice =
        effectiveOutput ? deviceWith(devices, *effectiveOutput) : nullptr;
    const bool avoidBluetooth = rules.keepBluetoothHighQuality && effectiveOutputDevice &&
                                effectiveOutputDevice->isBluetooth();

    std::vector<AudioDevice> inputs;
    std::copy_if(devices.begin(), devices.end(), std::back_inserter(inputs),
                 [](const AudioDevice& device) { return device.hasInput; });
    const AudioDevice* currentInputDevice =
        currentInput ? deviceWith(inputs, *currentInput) : nullptr;

    std::optional<std::string> inputTarget;
    if (rules.inputsRanked) {
        // The stored transport is what counts here, so a rule is judged the same whether or not
        // its device is connected.
        inputTarget = rankedTarget(rules.inputs, inputs, [&](const DeviceRule& rule) {
            return !(avoidBluetooth && isBluetooth(rule.transport));
        });
    }
    const bool replaceInput =
        currentInput &&
        (isNever(rules.inputs, *currentInput) ||
         (avoidBluetooth && currentInputDevice && currentInputDevice->isBluetooth()));
    std::optional<std::string> inputCandidate = inputTarget;
    if (replaceInput && !inputTarget) {
        inputCandidate = fallback(inputs, rules.inputs, avoidBluetooth);
    }
    if (inputCandidate != currentInput) decision.input = inputCandidate;

    return decision;
}

} // namespace voxlane::DevicePolicy
