// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/DeviceSwitching.h"

#include "audio/AudioDevices.h"
#include "devices/DevicePolicy.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"
#include "platform/server/AudioServer.h"

#include <algorithm>
#include <limits>

namespace voxlane {
namespace {

constexpr const char* kCategory = "engine";
// How long after a change of the connected devices the rules are applied, and when the two late
// refreshes run that apply them again after the system's own switching.
constexpr double kWindow = 3.0;
constexpr double kLateRefreshes[] = {1.0, 2.5};

} // namespace

DeviceSwitching::DeviceSwitching(AudioServer& server, Scheduler& scheduler,
                                 std::function<void()> refreshLater)
    : server_(server), scheduler_(scheduler), refreshLater_(std::move(refreshLater)),
      until_(-std::numeric_limits<double>::infinity()) {}

void DeviceSwitching::setDefaultOutput(ObjectId device) {
    server_.setDefaultDevice(Role::output, device);
    server_.setDefaultDevice(Role::alerts, device);
}

std::optional<DeviceRules> DeviceSwitching::devicesChanged(const std::vector<AudioDevice>& devices,
                                                           const DeviceRules& rules) {
    std::set<std::string> uids;
    for (const auto& device : devices)
        uids.insert(device.uid);
    if (uids == known_) return std::nullopt;
    if (!known_.empty()) {
        until_ = scheduler_.now() + kWindow;
        for (double delay : kLateRefreshes)
            scheduler_.asyncAfter(delay, refreshLater_);
    }
    known_ = std::move(uids);
    DeviceRules learned = rules;
    learned.learn(devices);
    return learned;
}

void DeviceSwitching::apply(const std::vector<AudioDevice>& devices, const DeviceRules& rules) {
    if (scheduler_.now() < until_) {
        auto uidOf = [&](ObjectId id) -> std::optional<std::string> {
            if (auto device = AudioDevices::device(server_, id)) return device->uid;
            return std::nullopt;
        };
        const auto decision =
            DevicePolicy::decide(rules, devices, uidOf(server_.defaultDevice(Role::output)),
                                 uidOf(server_.defaultDevice(Role::input)));
        auto connected = [&](const std::optional<std::string>& uid) -> const AudioDevice* {
            if (!uid) return nullptr;
            const auto it = std::find_if(devices.begin(), devices.end(),
                                         [&](const AudioDevice& d) { return d.uid == *uid; });
            return it != devices.end() ? &*it : nullptr;
        };
        if (const AudioDevice* output = connected(decision.output)) {
            Log::info(kCategory, "Ausgabe → " + output->name + " (Regel)");
            // The alert device follows an output chosen by rule, whatever the option says.
            setDefaultOutput(output->id);
        }
        if (const AudioDevice* input = connected(decision.input)) {
            Log::info(kCategory, "Eingabe → " + input->name + " (Regel)");
            server_.setDefaultDevice(Role::input, input->id);
        }
    }

    if (rules.alertsFollowOutput) {
        const ObjectId output = server_.defaultDevice(Role::output);
        if (output != noObject && server_.defaultDevice(Role::alerts) != output)
            server_.setDefaultDevice(Role::alerts, output);
    }
}

} // namespace voxlane
