// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/DeviceSectionRules.h"

#include "ui/Translations.h"

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

std::string statusLine(bool never, bool isCurrent, bool isConnected) {
    if (never) return translate("DeviceSectionRules", "Never auto-select");
    if (isCurrent) return translate("DeviceSectionRules", "In use");
    if (isConnected) return translate("DeviceSectionRules", "Connected");
    return translate("DeviceSectionRules", "Not connected");
}

std::string hint(bool ranked) {
    return ranked ? translate("DeviceSectionRules", "Top connected device is used")
                  : translate("DeviceSectionRules", "Drag to set a priority");
}

std::string_view exclusionSymbol(bool never) {
    return never ? "circle-slash" : "circle-dashed";
}

std::string exclusionHelp(bool never) {
    return never ? translate("DeviceSectionRules", "Allow automatic switching")
                 : translate("DeviceSectionRules", "Never switch to this device automatically");
}

std::string resetTitle() {
    return translate("DeviceSectionRules", "Reset");
}

std::string forgetTitle() {
    return translate("DeviceSectionRules", "Forget");
}

std::string moveKeysHint() {
    return translate("DeviceSectionRules", "Alt+Up or Alt+Down moves it in the list");
}

} // namespace voxlane::DeviceSectionRules
