// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace voxlane {

// Opening at login, as the settings menu sees it: whether it is on now, and turning it on or
// off (false when that failed).
struct LoginItem {
    std::function<bool()> isEnabled;
    std::function<bool(bool enabled)> setEnabled;
};

} // namespace voxlane
