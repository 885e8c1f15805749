// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/DeviceSectionRules.h"

#include <algorithm>

namespace voxlane::DeviceSectionRules {

std::string rankLabel(const std::vector<DeviceRule>& rules, bool ranked, std::size_t index) {
    if (index >= rules.size()) return {};
    if (rules[index].never) return "\u2013";
    if (!ranked) return {};
    const auto place = std::count_if(rules.begin(), rules.begin() + std::ptrdiff_t(index),
                                     [](const DeviceRule& r) { return !r.never; });
    return std::to_string(place + 1);
}

std::vector<DeviceRule> moved(std::vector<DeviceRule> rules, std::size_t from,
                              std::size_t toOffset) {
    if (from >= rules.size() || toOffset > rules.size()) return rules;
    // The gap was counted with the rule still in place.
    const std::size_t at = toOffset > from ? toOffset - 1 : toOffset;
    if (at == from) return rules;
    DeviceRule rule = std::move(rules[from]);
    rules.erase(rules.begin() + std::ptrdiff_t(from));
    rules.insert(rules.begin() + std::ptrdiff_t(at), std::move(rule));
    // The user placed this rule below the ones above it: all of them now hold their place.
    for (std::size_t i = 0; i <= at; ++i)
        rules[i].ranked = true;
    return rules;
}

std::vector<DeviceRule> toggledNever(std::vector<DeviceRule> rules, std::string_view uid) {
    const auto it =
        std::find_if(rules.begin(), rules.end(), [&](const DeviceRule& r) { return r.uid == uid; });
    if (it != rules.end()) it->never = !it->never;
    return rules;
}

std::vector<DeviceRule> forgotten(std::vector<DeviceRule> rules, std::string_view uid) {
    std::erase_if(rules, [&](const DeviceRule& r) { return r.uid == uid; });
    return rules;
}

std::vector<DeviceRule> withoutExclusions(std::vector<DeviceRule> rules) {
    for (auto& rule : rules)
        rule.never = false;
    return rules;
}

std::string_view statusLine(bool never, bool isCurrent, bool isConnected) {
    if (never) return "Never auto-select";
    if (isCurrent) return "In use";
    if (isConnected) return "Connected";
    return "Not connected";
}

std::string_view hint(bool ranked) {
    return ranked ? "Top connected device is used" : "Drag to set a priority";
}

std::string_view exclusionSymbol(bool never) {
    return never ? "nosign" : "circle.dashed";
}

std::string_view exclusionHelp(bool never) {
    return never ? "Allow automatic switching" : "Never switch to this device automatically";
}

} // namespace voxlane::DeviceSectionRules
