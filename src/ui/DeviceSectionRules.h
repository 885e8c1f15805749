// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "devices/DeviceRule.h"

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// The texts come in the user's language (the installed translations), else in English.
namespace voxlane::DeviceSectionRules {

// The label before a device in its priority list: an en dash for a device that is never chosen
// automatically; nothing while the list is not ranked; otherwise its 1-based place among the
// devices that may be chosen (excluded ones are not counted).
std::string rankLabel(const std::vector<DeviceRule>& rules, bool ranked, std::size_t index);

// The list after dragging the rule at `from` to the gap before `toOffset` (0 … size, counted in
// the list as it was before the move). The moved rule and every rule above it are then ranked.
// Out-of-range positions and drops back into the same place leave the list as it is.
std::vector<DeviceRule> moved(std::vector<DeviceRule> rules, std::size_t from,
                              std::size_t toOffset);

// The first rule with `uid` has its exclusion flipped; no such rule: unchanged.
std::vector<DeviceRule> toggledNever(std::vector<DeviceRule> rules, std::string_view uid);

// Every rule with `uid` removed.
std::vector<DeviceRule> forgotten(std::vector<DeviceRule> rules, std::string_view uid);

// "Reset": no exclusions left (the caller also turns ranking off).
std::vector<DeviceRule> withoutExclusions(std::vector<DeviceRule> rules);

// Only a device that is not connected can be forgotten.
inline bool canForget(const DeviceRule& rule, const std::set<std::string>& connected) {
    return !connected.contains(rule.uid);
}

// The line under a device's name.
std::string statusLine(bool never, bool isCurrent, bool isConnected);

// The section's hint under its title.
std::string hint(bool ranked);

// The exclusion button: its symbol and its help text.
std::string_view exclusionSymbol(bool never);
std::string exclusionHelp(bool never);

std::string resetTitle();
std::string forgetTitle();
inline constexpr std::string_view dragHandleSymbol = "lines-horizontal";
// How a row moves from the keyboard (its tooltip and accessible description say so).
std::string moveKeysHint();
// Opacity of a row's buttons while the pointer is over the row, and otherwise.
inline constexpr double buttonsHoveredOpacity = 1.0;
inline constexpr double buttonsRestingOpacity = 0.35;

} // namespace voxlane::DeviceSectionRules
